// The tick of timerRead: when it reads, what it reads, and the start-up and steady phases.
#include <memory>
#include <utility>

#include "control_fixture.h"

namespace quillon::testing {
namespace {

using ::testing::ElementsAre;
using Refresh = ControlTest;

std::vector<double> Range(double first, double last) {
  std::vector<double> out;
  for (double s = first; s <= last; s += 1) out.push_back(s);
  return out;
}

using Times = std::vector<double>;

TEST_F(Refresh, StartUpReadsEveryTickFor30SecondsThenOncePerPeriod) {
  StartNew(u"N1:T1.F1", Minute_30);
  cache_.Put(u"N1:T1.F1", u"N1:T1.F1", u"5", u"5", 0);  // its forced read is never served
  EXPECT_EQ(ReadingTicks(1, 40), Range(1, 31));         // the tick at 31 s is the first past 30 s
  EXPECT_TRUE(pd_.fields().blnDemarrageTermine);
  EXPECT_EQ(ReadingTicks(40.5, 1900.5), (Times{1831.5}));  // due at 1831
  EXPECT_EQ(ReadingTicks(1901, 3700), (Times{3632}));      // due at 3631.5
}

TEST_F(Refresh, FreshDataEndsTheStartUpPhase) {
  StartNew(u"N1:T1.F1", Seconde_10);
  cache_.Put(u"N1:T1.F1", u"N1:T1.F1", u"5", u"5", At(-100));  // read before run mode began
  EXPECT_EQ(ReadingTicks(1, 3), Range(1, 3));
  cache_.records[u"N1:T1.F1"].dtmLecture = At(3.5);  // the server reads it again
  EXPECT_TRUE(TickAt(4));
  EXPECT_EQ(ReadingTicks(4.5, 30.5), (Times{14.5, 24.5}));
}

TEST_F(Refresh, ATickReadsRequestsAndStoresTheUntrimmedRecord) {
  StartNew(u"N1:T1.F1", Seconde_20);
  cache_.Put(u"N1:T1.F1", u"  N1:T1.F1", u"12.5", u"12,50", 0);
  ASSERT_TRUE(TickAt(1));
  const Text valeur = u"12.5" + Text(16, u' ');
  EXPECT_THAT(log_.lines(),
              ElementsAre("getdata N1:T1.F1", "demander N1:T1.F1 80", "changed Valeur",
                          "changed ValeurNombre", "changed ValeurFormatee", "changed Qualite",
                          "changed HorodatageDernLect", "caption txtValeur=" + ToUtf8(valeur),
                          "caption txtValeurFormatee=12,50" + std::string(15, ' '),
                          "caption txtHeureDernLect=07/12/2026 14:00:01", "caption txtStatut=Ok",
                          "colour txtStatut=0"));
  EXPECT_EQ(pd_.fields().strValeur, valeur);
  EXPECT_EQ(pd_.get_ValeurNombre(), 12.5);
  EXPECT_EQ(pd_.fields().dtmDateDernLect, At(1));
}

// A read that finds nothing for the point is no good read: the status shows "?" (the code of
// a control not read yet), not "Ok", while the labels and the time of the read follow the
// empty record as any read does.
TEST_F(Refresh, AnotherPointOrAnotherLetterCaseReadsAsTheEmptyRecordWithQualityUnknown) {
  StartNew(u"N1:T1.F1");
  cache_.Put(u"N1:T1.F1", u"n1:t1.f1", u"12", u"12", 0);
  pd_.MaJNTF(u"old", u"old", 1, At(0));
  ASSERT_TRUE(TickAt(1));
  EXPECT_EQ(pd_.fields().strValeur, Text(20, u'\0'));
  EXPECT_EQ(pd_.get_Qualite(), u"-2");
  EXPECT_EQ(Caption(Child::txtStatut), u"?");
  EXPECT_EQ(site_.colours[Child::txtStatut], kColourBlack);  // no longer the red of "Mauvaise"
  EXPECT_EQ(log_.Starting("demander").size(), 1u);           // requested all the same

  cache_.Put(u"N1:T1.F1", u"N1:T1.F1", u"12", u"12", 0);  // the point itself: a good read
  ASSERT_TRUE(TickAt(2));
  EXPECT_EQ(pd_.get_Qualite(), u"0");
  EXPECT_EQ(Caption(Child::txtStatut), u"Ok");

  log_.FailOn("getdata");  // a failing cache gives the empty record too
  ASSERT_TRUE(TickAt(3));
  EXPECT_EQ(pd_.fields().strValeur, Text(20, u'\0'));
  EXPECT_EQ(pd_.fields().lngQualite, -2);
  EXPECT_EQ(Caption(Child::txtStatut), u"?");
  EXPECT_EQ(log_.Starting("demander").size(), 3u);
  EXPECT_EQ(pd_.fields().dtmDateDernLect, At(3));
}

TEST_F(Refresh, AReferenceTypedWithStraySpacesFindsItsPoint) {
  StartNew(u" N1:T1.F1  ");
  cache_.Put(u"N1:T1.F1", u"N1:T1.F1", u"7", u"7", 0);
  ASSERT_TRUE(TickAt(1));
  EXPECT_EQ(log_.Starting("getdata").front(), "getdata N1:T1.F1");
  EXPECT_EQ(pd_.fields().strValeur, u"7" + Text(19, u' '));
  EXPECT_EQ(pd_.get_NTF(), u" N1:T1.F1  ");  // kept as typed
  pd_.put_NTF(u"");  // an empty reference is read and requested like any other
  ASSERT_TRUE(TickAt(2));
  EXPECT_EQ(log_.Starting("getdata").back(), "getdata ");
  EXPECT_EQ(log_.Starting("demander").back(), "demander  29");
}

TEST_F(Refresh, ALastReadWithinHalfADayOfTheZeroDateNeverHoldsAReadBack) {
  // Run at the dawn of the calendar, so that a last read near the zero date is recent.
  const double dawn = DateFromParts(1899, 12, 30, 0, 10, 0);
  clock_.Set(dawn);
  pd_.InitProperties();
  pd_.put_Frequence_Rafraichissement(Minute_30);
  pd_.put_NTF(u"N1:T1.F1");
  cache_.Put(u"N1:T1.F1", u"N1:T1.F1", u"1", u"1", dawn + 1);  // fresh: steady at once
  clock_.AdvanceSeconds(1);
  pd_.timerRead_Timer();
  ASSERT_TRUE(pd_.fields().blnDemarrageTermine);
  log_.Clear();
  clock_.AdvanceSeconds(1);
  pd_.timerRead_Timer();  // read at dawn + 1 s rounds to day 0: counts as no read
  EXPECT_EQ(log_.Starting("getdata").size(), 1u);

  pd_.MaJNTF(u"", u"", 0, 0.6);  // rounds to day 1: a read, 30 minutes not yet run out
  clock_.Set(0.6 + 60 / kSecondsPerDay);
  log_.Clear();
  pd_.timerRead_Timer();
  EXPECT_TRUE(log_.lines().empty());
}

TEST_F(Refresh, SteadyPhaseGate) {
  ReachSteadyPhase(u"N1:T1.F1", Seconde_10);
  pd_.MaJNTF(u"9", u"9", 0, At(5.5));  // a pushed value counts as a read
  EXPECT_EQ(ReadingTicks(2, 17), (Times{16}));
  pd_.put_Frequence_Rafraichissement(42);  // outside the table: every tick
  EXPECT_EQ(ReadingTicks(18, 20), Range(18, 20));
  pd_.MaJNTF(u"", u"", 0, kMaxDate);  // too late to add a period to: no read
  EXPECT_FALSE(TickAt(21));
}

// Ticks that are not due compare the clock with the due time of the last read; a new period
// moves it.
TEST_F(Refresh, APeriodChangedBetweenTwoReadsMovesTheNextRead) {
  ReachSteadyPhase(u"N1:T1.F1", Seconde_10);  // last read at 1 s
  EXPECT_FALSE(TickAt(2));                    // due at 11 s
  pd_.put_Frequence_Rafraichissement(Seconde_30);
  EXPECT_EQ(ReadingTicks(3.5, 32.5), (Times{31.5}));
  pd_.put_Frequence_Rafraichissement(Seconde_10);
  EXPECT_EQ(ReadingTicks(33, 43), (Times{42}));  // due at 41.5 s
}

// The thread's timer leaves out the ticks the control's slot on the board calls idle: those
// of a steady control until its next read, and none once something moved that read.
TEST_F(Refresh, TheBoardCallsIdleTheTicksBeforeTheNextReadOnly) {
  const auto idle_at = [this](double seconds) {
    clock_.Set(At(seconds));
    ticks_.ReadClock();
    return ticks_.Idle(pd_.tick_slot().slot);
  };
  StartNew(u"N1:T1.F1", Seconde_10);
  EXPECT_FALSE(idle_at(0.5));  // the start-up phase reads every tick
  ReachSteadyPhase(u"N1:T1.F1", Seconde_10);  // last read at 1 s
  EXPECT_TRUE(idle_at(2));
  EXPECT_TRUE(idle_at(10.85));
  EXPECT_FALSE(idle_at(10.95));  // within the margin of a reading of the clock
  EXPECT_FALSE(idle_at(11));
  EXPECT_TRUE(TickAt(11.5));
  EXPECT_TRUE(idle_at(12));
  pd_.MaJNTF(u"9", u"9", 0, At(-20));  // a pushed value of long ago
  EXPECT_FALSE(idle_at(12));
  EXPECT_TRUE(TickAt(12));
  EXPECT_TRUE(idle_at(13));
  pd_.put_Frequence_Rafraichissement(42);  // outside the table: every tick
  EXPECT_FALSE(idle_at(13));
  EXPECT_TRUE(TickAt(13));
  pd_.MaJNTF(u"", u"", 0, kMaxDate);  // no date after it: no tick reads
  EXPECT_FALSE(TickAt(14));
  EXPECT_TRUE(idle_at(1e6));
  site_.mode = UserMode::kDesign;
  pd_.AmbientChanged(Ambient::kUserMode);
  EXPECT_FALSE(idle_at(15));
}

// A control made after another went may take its slot: none of its ticks is left out.
TEST_F(Refresh, ANewControlInTheSlotOfOneGoneHasEveryTickCount) {
  FakeSite site{log_};
  auto gone = std::make_unique<QuillonPD>(site, services());
  const TickBoard::Slot slot = gone->tick_slot().slot;
  ticks_.Set(slot, TickBoard::kNoTick);
  gone.reset();
  QuillonPD next(site, services());
  ASSERT_EQ(next.tick_slot().slot, slot);
  EXPECT_EQ(ticks_.due(slot), TickBoard::kEveryTick);
}

TEST_F(Refresh, HidingAnotherControlDoesNotEmptyARunningOne) {
  FakeSite other_site{log_};
  QuillonPD other(other_site, services());
  StartNew(u"N1:T1.F1");
  cache_.Put(u"N1:T1.F1", u"N1:T1.F1", u"12", u"12", 0);
  other.InitProperties();
  other.Show();
  other.Hide();  // closes the shared cache for every control of the process
  ASSERT_FALSE(cache_.open);
  ASSERT_TRUE(TickAt(1));
  EXPECT_EQ(pd_.fields().strValeur, PadToWidth(u"12", 20));
}

// A site whose next notification runs another control's tick, as a script handling an event
// of one control may make another read.
class ReenteringSite final : public ControlSite {
 public:
  void LabelChanged(Child) noexcept override {}
  bool EnableTimer(bool) noexcept override { return true; }
  bool PropertyChanged(const ControlProperty&) noexcept override {
    if (QuillonPD* pd = std::exchange(tick_inside, nullptr)) pd->timerRead_Timer();
    return true;
  }
  UserMode AmbientUserMode() noexcept override { return UserMode::kRun; }

  QuillonPD* tick_inside = nullptr;
};

// The controls of a thread read into storage they share: a tick run inside another's keeps
// to its own record, and the outer tick finishes on its own.
TEST_F(Refresh, ATickRunInsideAnotherControlsReadKeepsEachControlsRecord) {
  cache_.Put(u"N1:T1.F1", u"N1:T1.F1", u"12", u"12", At(0.5));  // fresh: ends the start-up
  cache_.Put(u"N2:T2.F2", u"N2:T2.F2", u"34", u"34", At(-100));
  ReenteringSite outer_site, inner_site;
  QuillonPD outer(outer_site, services()), inner(inner_site, services());
  clock_.Set(T0());
  for (auto [pd, ntf] : {std::pair{&outer, u"N1:T1.F1"}, std::pair{&inner, u"N2:T2.F2"}}) {
    pd->InitProperties();
    pd->Show();
    pd->put_NTF(ntf);
  }
  clock_.Set(At(1));
  outer_site.tick_inside = &inner;
  outer.timerRead_Timer();
  EXPECT_EQ(outer.fields().strValeur, PadToWidth(u"12", 20));
  EXPECT_EQ(inner.fields().strValeur, PadToWidth(u"34", 20));
  EXPECT_TRUE(outer.fields().blnDemarrageTermine);
  EXPECT_FALSE(inner.fields().blnDemarrageTermine);
}

}  // namespace
}  // namespace quillon::testing
