// Defaults, saving and restoring, showing and hiding, and the run/design switch.
#include <optional>
#include <set>

#include "control_fixture.h"

namespace quillon::testing {
namespace {

using ::testing::ElementsAre;
using Lifecycle = ControlTest;

TEST_F(Lifecycle, NewControlPlacedInDesignMode) {
  site_.mode = UserMode::kDesign;
  pd_.InitProperties();
  pd_.Show();
  EXPECT_THAT(log_.lines(), ElementsAre("caption txtNTF=", "caption txtPolltime=1 min", "usermode?",
                                        "timer off", "fermer"));
  EXPECT_EQ(pd_.get_Qualite(), u"-2");
  EXPECT_EQ(pd_.get_Valeur(), u"?");
  EXPECT_EQ(pd_.get_ValeurFormatee(), u"?");
  EXPECT_EQ(Saved(),
            (std::map<Text, BagValue>{
                {u"strNTF", Text()}, {u"udtPollTime", int32_t{29}}, {u"strFormat", Text()}}));
}

// What a container's first InitNew or Load starts from, whatever calls came before it.
TEST_F(Lifecycle, ResetGivesTheFreshStateAndKeepsTheRunState) {
  ReachSteadyPhase(u"N1:T1.F1", Seconde_30);
  pd_.put_Formatage(u"0.0");
  pd_.MaJNTF(u"7", u"7,0", 1, 45000.5);
  const double started = pd_.fields().dtmDateDemarrage;
  pd_.Reset();
  EXPECT_EQ(pd_.get_NTF(), u"Noeud:Tag.Field");
  EXPECT_EQ(pd_.get_Formatage(), u"");
  EXPECT_EQ(pd_.get_Valeur(), u"");
  EXPECT_EQ(pd_.get_ValeurFormatee(), u"");
  EXPECT_EQ(pd_.get_Qualite(), u"0");
  EXPECT_EQ(pd_.get_Frequence_Rafraichissement(), Minute_30);
  EXPECT_EQ(pd_.fields().lngPeriodeSec, 0);
  EXPECT_EQ(pd_.fields().dtmDateDernLect, 0);
  EXPECT_EQ(pd_.fields().dtmDateDemarrage, started);
  EXPECT_TRUE(pd_.fields().blnDemarrageTermine);
}

TEST_F(Lifecycle, RestoredControlStartsWithEmptyValuesAndQualityZero) {
  MemoryPropertyBag bag;
  bag.Write(u"strNTF", Text(u"N2:T2.F2"));
  bag.Write(u"strFormat", Text(u"0.0"));
  pd_.ReadProperties(bag);
  EXPECT_TRUE(log_.lines().empty());  // captions and mode wait for Show
  EXPECT_EQ(pd_.get_Formatage(), u"0.0");
  EXPECT_EQ(pd_.get_NTF(), u"N2:T2.F2");
  EXPECT_EQ(bag.entries()[u"strNTF"], BagValue(Text(u"N2:T2.F2")));  // the bag keeps its own
  EXPECT_EQ(pd_.get_Qualite(), u"0");
  EXPECT_EQ(pd_.fields().strValeur, u"");
  pd_.Show();
  EXPECT_EQ(Caption(Child::txtNTF), u"N2:T2.F2");

  bag.Write(u"strNTF", int32_t{5});  // other kinds of value for the texts
  bag.Write(u"strFormat", BagNull{});
  pd_.ReadProperties(bag);
  EXPECT_EQ(pd_.get_NTF(), u"5");
  EXPECT_EQ(pd_.get_Formatage(), u"0.0");
}

TEST_F(Lifecycle, RestoredPeriodFromTheBag) {
  const struct {
    std::optional<BagValue> stored;  // nullopt: no such key
    int32_t poll;
    int32_t seconds;
    const char16_t* caption;  // nullptr: txtPolltime keeps its design text
  } cases[] = {
      {int32_t{70}, 70, 30, u"30 sec"},
      {int32_t{42}, 42, 0, nullptr},
      {std::nullopt, Minute_01, 60, u"1 min"},
      {Text(u"85"), 85, 15, u"15 sec"},
      {84.5, 84, 0, nullptr},  // rounds half to even
      {85.5, 86, 0, nullptr},
      {true, -1, 0, nullptr},
      // Values that cannot be a 32-bit integer leave a fresh control at Minute_30.
      {BagNull{}, 0, 1800, u"30 min"},
      {Text(u"abc"), 0, 1800, u"30 min"},
      {1e12, 0, 1800, u"30 min"},
      {BagOther{}, 0, 1800, u"30 min"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.poll);
    CallLog log;
    FakeSite site{log};
    QuillonPD pd(site, services());
    site.face = [&pd]() -> const FaceState& { return pd.face(); };
    MemoryPropertyBag bag;
    if (c.stored) bag.Write(u"udtPollTime", *c.stored);
    pd.ReadProperties(bag);
    pd.Show();
    EXPECT_EQ(pd.get_Frequence_Rafraichissement(), c.poll);
    EXPECT_EQ(pd.fields().lngPeriodeSec, c.seconds);
    EXPECT_EQ(site.captions.count(Child::txtPolltime) ? site.captions[Child::txtPolltime] : u"",
              c.caption ? c.caption : u"");
  }
}

TEST_F(Lifecycle, HiddenAndShownAgainKeepsTheSteadyPhase) {
  ReachSteadyPhase(u"N1:T1.F1", Seconde_30);  // last read at 1 s
  pd_.Hide();
  EXPECT_THAT(log_.lines(), ElementsAre("timer off", "fermer"));
  EXPECT_FALSE(TickAt(10));  // no tick reaches a hidden control
  clock_.Set(At(20));
  pd_.Show();
  EXPECT_EQ(ReadingTicks(21.5, 32.5), (std::vector<double>{31.5}));  // due at 31 s
  pd_.Hide();
  clock_.Set(At(200));
  pd_.Show();
  EXPECT_TRUE(TickAt(201));  // the period ran out while hidden: at once
  EXPECT_FALSE(TickAt(202));
}

TEST_F(Lifecycle, DesignThenRunRestartsTheStartUpPhaseOnlyForUserModeSpelledExactly) {
  ReachSteadyPhase();
  site_.mode = UserMode::kDesign;
  for (const char16_t* name : {u"usermode", u"USERMODE", u"BackColor", u""}) {
    pd_.AmbientChanged(AmbientNamed(name));
  }
  EXPECT_TRUE(log_.lines().empty());
  pd_.AmbientChanged(AmbientNamed(u"UserMode"));
  EXPECT_THAT(log_.lines(), ElementsAre("usermode?", "timer off", "fermer"));
  EXPECT_FALSE(pd_.fields().blnDemarrageTermine);
  site_.mode = UserMode::kRun;
  clock_.Set(At(100));
  pd_.AmbientChanged(AmbientNamed(u"UserMode"));
  EXPECT_EQ(pd_.fields().dtmDateDemarrage, At(100));
  cache_.records[u"N1:T1.F1"].dtmLecture = At(50);  // older than the new start
  EXPECT_EQ(ReadingTicks(101, 105), (std::vector<double>{101, 102, 103, 104, 105}));
}

TEST_F(Lifecycle, RunModeAgainDoesNotRestartTheStartUpPhase) {
  ReachSteadyPhase();
  clock_.Set(At(5));
  pd_.put_Formatage(u"0");  // re-applies run mode: new start time, same phase
  EXPECT_EQ(pd_.fields().dtmDateDemarrage, At(5));
  EXPECT_TRUE(ReadingTicks(6, 60).empty());
}

TEST_F(Lifecycle, AContainerThatCannotReportTheModeGetsRunMode) {
  site_.mode = UserMode::kUnavailable;
  pd_.InitProperties();
  pd_.Show();
  EXPECT_TRUE(site_.timer_enabled);
  site_.mode = UserMode::kDesign;  // a failing read of the mode counts as unavailable
  site_.timer_enabled = false;
  log_.FailOn("usermode?");
  clock_.Set(At(3));
  pd_.AmbientChanged(AmbientNamed(u"UserMode"));
  EXPECT_TRUE(site_.timer_enabled);
  EXPECT_EQ(pd_.fields().dtmDateDemarrage, At(3));
}

// A bag in memory whose reads and writes of the names given fail.
class FailingBag final : public PropertyBag {
 public:
  explicit FailingBag(std::set<Text> failing) : failing_(std::move(failing)) {}
  bool Read(const Text& name, const BagValue& default_value, BagValue* value) noexcept override {
    return !failing_.count(name) && bag_.Read(name, default_value, value);
  }
  bool Write(const Text& name, const BagValue& value) noexcept override {
    return !failing_.count(name) && bag_.Write(name, value);
  }
  MemoryPropertyBag& bag() { return bag_; }

 private:
  std::set<Text> failing_;
  MemoryPropertyBag bag_;
};

TEST_F(Lifecycle, ABagThatFailsOneKeyLeavesThatSettingAndTheOthersGoOn) {
  pd_.InitProperties();
  pd_.put_NTF(u"Old:T.F");
  pd_.put_Frequence_Rafraichissement(Seconde_30);
  FailingBag bag({u"strNTF", u"udtPollTime"});
  bag.bag().Write(u"strNTF", Text(u"New:T.F"));
  bag.bag().Write(u"udtPollTime", int32_t{Seconde_10});
  bag.bag().Write(u"strFormat", Text(u"0.0"));
  pd_.ReadProperties(bag);
  EXPECT_EQ(pd_.fields().strNTF, u"Old:T.F");
  EXPECT_EQ(pd_.fields().ePollTime, Seconde_30);
  EXPECT_EQ(pd_.fields().lngPeriodeSec, 30);
  EXPECT_EQ(pd_.get_Formatage(), u"0.0");

  FailingBag saved({u"udtPollTime"});
  pd_.WriteProperties(saved);
  EXPECT_EQ(saved.bag().entries(), (std::map<Text, BagValue>{{u"strNTF", Text(u"Old:T.F")},
                                                             {u"strFormat", Text(u"0.0")}}));
}

}  // namespace
}  // namespace quillon::testing
