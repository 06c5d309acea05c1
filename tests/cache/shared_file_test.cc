// The cache file shared with other processes: file calls per read, the one-pass miss, the
// bounded slot lock and the slot choice checked again under it.
#include <gtest/gtest.h>

#include "cache/shared_cache.h"
#include "cache_fixture.h"
#include "platform/windows_1252.h"

namespace quillon::testing {
namespace {

using Lines = std::vector<std::string>;

class SharedFileTest : public CacheTest {
 protected:
  SharedFileTest() { Open(); }
  void Force(TextView ntf, int32_t code = 29) { cache_->cacheForcerLectNTF(Text(ntf), code); }
  std::vector<std::string> Refs() {
    std::vector<std::string> refs;
    for (size_t n = 1; n * kRecordSize <= File().size(); ++n) {
      refs.push_back(ToUtf8(TrimSpaces(RecordAt(static_cast<int>(n)).strRefNTF)));
    }
    return refs;
  }
  bool Traced(const std::string& line) {
    const Lines lines = Traces();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }
};

// Windows-1252, counting the exact conversions of references.
class CountingCodePage final : public CodePage {
 public:
  Text ToText(std::string_view bytes) override { return cp_.ToText(bytes); }
  std::string ToAnsi(TextView text) override { return cp_.ToAnsi(text); }
  bool ToAnsiExact(TextView text, std::string* bytes) override {
    ++exact_conversions;
    return cp_.ToAnsiExact(text, bytes);
  }
  bool IsSingleByte() override { return true; }
  const ByteTable* Characters() override { return cp_.Characters(); }
  int exact_conversions = 0;

 private:
  Windows1252CodePage cp_;
};

// A point in the index is not converted again: its reads and forced reads use the bytes its
// entry was made with, and find and write what a conversion would give.
TEST_F(SharedFileTest, IndexedPointIsConvertedOnceForAllItsReads) {
  FillWithPoints(6, 4, u"A:é.C");
  CountingCodePage counting;
  FctCache cache(fs_, clock_, counting, *trace_, registry_);
  cache.UseFile(kCacheFile);
  EXPECT_EQ(cache.PointRecord(u" A:é.C"), RecordAt(4));  // a scan makes the entry
  EXPECT_EQ(counting.exact_conversions, 1);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(cache.PointRecord(u"A:é.C "), RecordAt(4));
    cache.cacheForcerLectNTF(u"A:é.C", 29);
  }
  EXPECT_EQ(counting.exact_conversions, 1);
  EXPECT_EQ(RecordAt(4).lngEtat, 1);
  EXPECT_EQ(RecordAt(4).lngPollTime, 29);
  EXPECT_EQ(RecordAt(4).strRefNTF, PadToWidth(u"A:é.C", kRefNTFLength));

  cache.cacheForcerLectNTF(u"N:é.W", 29);  // a new point: converted, written, then known
  cache.cacheForcerLectNTF(u"N:é.W", 29);
  EXPECT_EQ(counting.exact_conversions, 2);
  EXPECT_EQ(RecordAt(7).strRefNTF, PadToWidth(u"N:é.W", kRefNTFLength));
  EXPECT_EQ(cache.PointRecord(u"a:é.c"), EnregCache());  // another reference: converted
  EXPECT_EQ(counting.exact_conversions, 3);
}

TEST_F(SharedFileTest, SteadyReadOfAnIndexedPointCostsTwoFileCalls) {
  FillWithPoints(1000, 700, u"A:B.C");
  SharedCache shared(CacheEnvironment{fs_, clock_, cp_, registry_});
  shared.cache().UseFile(kCacheFile);
  CacheServices& control = shared;
  control.PointRecord(u"P:T1.V");  // opens the file and indexes the points
  control.PointRecord(u"A:B.C");
  control.fctDemanderLectNTF(u"A:B.C", 29);
  clock_.AdvanceSeconds(1);
  fs_.ops() = {};
  EXPECT_EQ(control.PointRecord(u"A:B.C"), RecordAt(700));
  control.fctDemanderLectNTF(u"A:B.C", 90);  // the gate is open: forced at once
  // The display's read serves the forced read of the same tick; then the one write.
  EXPECT_EQ(fs_.ops().FileCalls(), 2);
  EXPECT_EQ(fs_.ops().reads, 1);
  EXPECT_EQ(fs_.ops().writes, 1);
  EXPECT_EQ(RecordAt(700).lngPollTime, 90);

  clock_.AdvanceSeconds(0.5);  // within the second: the request waits, only the read is made
  fs_.ops() = {};
  control.PointRecord(u"A:B.C");
  control.fctDemanderLectNTF(u"A:B.C", 90);
  EXPECT_EQ(fs_.ops().FileCalls(), 1);
  // Forced in a later tick, behind another point's read: its record is read again.
  clock_.AdvanceSeconds(0.6);
  fs_.ops() = {};
  control.PointRecord(u"P:T1.V");
  control.fctDemanderLectNTF(u"P:T1.V", 90);
  EXPECT_EQ(fs_.ops().reads, 2);
  EXPECT_EQ(fs_.ops().writes, 2);
  EXPECT_EQ(fs_.ops().lengths, 0);
}

// The server fills the value between the display's read and the forced read's write, whether
// the forced read uses that read or reads the record again: its value texts, its complement
// fields and the rest of the file stay as it wrote them; only state, dates and code change.
TEST_F(SharedFileTest, ServerValueWrittenBetweenReadAndRequestSurvives) {
  EnregCache served = Rec(2, u"A:B.C", u"12.5");
  served.strValeurFormateeLue = PadToWidth(u"12,50 m", kValeurLength);
  served.dtmLecture = 46000.5;
  served.dtmDemande = 46000.25;
  served.lngPollTime = 29;
  served.lngComplement = {1, 2, 3, 4};
  served.strComplement.fill('z');
  for (const bool same_tick : {true, false}) {
    FillWithPoints(3, 2, u"A:B.C");
    SharedCache shared(CacheEnvironment{fs_, clock_, cp_, registry_});
    shared.cache().UseFile(kCacheFile);
    clock_.AdvanceSeconds(2);
    shared.PointRecord(u"A:B.C");
    File().replace(kRecordSize, kRecordSize, Bytes(served));
    if (!same_tick) shared.PointRecord(u"P:T1.V");
    shared.fctDemanderLectNTF(u"A:B.C", same_tick ? 90 : 0);
    EnregCache expected = served;
    expected.lngEtat = 1;
    expected.dtmLecture = 0;
    expected.dtmDemande = clock_.Now();
    if (same_tick) expected.lngPollTime = 90;
    EXPECT_EQ(RecordAt(2), expected) << same_tick;
    EXPECT_EQ(RecordAt(1), Rec(1, u"P:T1.V")) << same_tick;
    EXPECT_EQ(RecordAt(3), Rec(1, u"P:T3.V")) << same_tick;
  }
}

// Nobody writes between the read and the request: the record's bytes are those that a whole
// record write gives, also for a record at the end of a file that stops in its middle.
TEST_F(SharedFileTest, FieldWiseRefreshGivesTheWholeRecordBytes) {
  for (const size_t cut : {size_t{0}, size_t{50}}) {
    EnregCache old = Rec(0, u"A:B.C", u"7");
    old.lngPollTime = 90;
    old.dtmLecture = 46000.5;
    old.strComplement.fill('c');
    SetRecords({Rec(1, u"X:Y.Z"), old});
    File().resize(File().size() - cut);
    SharedCache shared(CacheEnvironment{fs_, clock_, cp_, registry_});
    shared.cache().UseFile(kCacheFile);
    clock_.AdvanceSeconds(2);
    shared.PointRecord(u"A:B.C");
    shared.fctDemanderLectNTF(u"A:B.C", 29);
    std::string expected = Bytes(old);
    if (cut != 0) std::fill(expected.end() - static_cast<std::ptrdiff_t>(cut), expected.end(), 0);
    MarkRequested(reinterpret_cast<uint8_t*>(expected.data()), 29, clock_.Now());
    EXPECT_EQ(File().substr(kRecordSize), expected) << cut;
  }
}

// A handle that is no longer usable shows itself by a failed call: the forced read re-opens
// the file and makes its lookup again, without a length query on the steady path.
TEST_F(SharedFileTest, DeadHandleIsOpenedAgainByTheForcedRead) {
  FillWithPoints(3, 2, u"A:B.C");
  Force(u"A:B.C", 29);
  fs_.InvalidateHandles();
  fs_.ops() = {};
  Force(u"A:B.C", 90);
  EXPECT_EQ(fs_.ops().opens, 1);
  EXPECT_EQ(RecordAt(2).lngPollTime, 90);
  fs_.InvalidateHandles();
  Force(u"D:E.F", 29);  // a miss: the failed length query of the scan shows it
  EXPECT_EQ(Refs(), (Lines{"P:T1.V", "A:B.C", "P:T3.V", "D:E.F"}));
}

// Tracing on, the forced read that uses the display's read writes the same lines as one that
// reads the record again.
TEST_F(SharedFileTest, ForcedReadFromTheDisplaysReadTracesTheSameLines) {
  Lines traced[2];
  for (const bool same_tick : {true, false}) {
    FillWithPoints(3, 2, u"A:B.C");
    Build(true);
    Open();
    cache_->PointRecord(u"A:B.C");
    ClearTraces();
    if (!same_tick) cache_->ForgetLastRead();
    fs_.ops() = {};
    Force(u"A:B.C", 29);
    EXPECT_EQ(fs_.ops().reads, same_tick ? 0 : 1);
    traced[same_tick] = Traces();
  }
  EXPECT_EQ(traced[0], traced[1]);
  EXPECT_EQ(traced[1].size(), 18u);
}

TEST_F(SharedFileTest, MissIsOnePassThatFindsTheFreeSlotToo) {
  std::vector<EnregCache> records(kScanBlockRecords * 2 + 5, Rec(1, u"P:T.V"));
  records[10] = Rec(0, u"P:Old.V");
  SetRecords(records);
  fs_.ops() = {};
  Force(u"A:B.C");
  EXPECT_EQ(fs_.ops().reads, 3 + 1);  // three blocks, then the free slot read again
  EXPECT_EQ(fs_.ops().locks, 1);
  EXPECT_EQ(fs_.ops().writes, 1);
  EXPECT_EQ(RecordAt(11).strRefNTF, PadToWidth(u"A:B.C", kRefNTFLength));
  EXPECT_EQ(cache_->IndexEntry(u"A:B.C"), 11);
}

// Between the scan and the lock, a peer may fill the free slot or append: what it wrote is
// seen under the lock, so a point never gets two records.
TEST_F(SharedFileTest, SlotChoiceIsCheckedAgainUnderTheLock) {
  struct Case {
    const char* what;
    std::vector<EnregCache> peer_wrote;  // the file as the peer leaves it
    Lines expected;
  };
  const std::vector<Case> cases = {
      {"fills the free slot with the point",
       {Rec(1, u"X:1.V"), Rec(1, u"A:B.C"), Rec(1, u"X:3.V")},
       {"X:1.V", "A:B.C", "X:3.V"}},
      {"appends the point",
       {Rec(1, u"X:1.V"), Rec(0, u""), Rec(1, u"X:3.V"), Rec(1, u"A:B.C")},
       {"X:1.V", "", "X:3.V", "A:B.C"}},
      {"fills the free slot with another point and appends a free one",
       {Rec(1, u"X:1.V"), Rec(1, u"Q:Q.Q"), Rec(1, u"X:3.V"), Rec(0, u"")},
       {"X:1.V", "Q:Q.Q", "X:3.V", "A:B.C"}},
      {"fills the free slot with another point",
       {Rec(1, u"X:1.V"), Rec(1, u"Q:Q.Q"), Rec(1, u"X:3.V")},
       {"X:1.V", "Q:Q.Q", "X:3.V", "A:B.C"}},
  };
  for (const Case& c : cases) {
    SetRecords({Rec(1, u"X:1.V"), Rec(0, u""), Rec(1, u"X:3.V")});
    Build(false);
    Open();
    fs_.BeforeNextLock([&] { SetRecords(c.peer_wrote); });
    Force(u"A:B.C", 90);
    EXPECT_EQ(Refs(), c.expected) << c.what;
    const int32_t at = cache_->IndexEntry(u"A:B.C").value_or(0);
    EXPECT_EQ(RecordAt(at).lngEtat, 1) << c.what;
    EXPECT_EQ(RecordAt(at).lngPollTime, 90) << c.what;
  }
}

TEST_F(SharedFileTest, BusyLockSkipsTheNewRecordAndIsNotWaitedForAgainWithinASecond) {
  SetRecords({Rec(1, u"X:1.V")});
  Build(true);
  Open();
  fs_.HoldLocksElsewhere(kCacheFile, true);
  const double start = clock_.Now();
  Force(u"A:B.C");
  const double waited = (DateToLinear(clock_.Now()) - DateToLinear(start)) * kSecondsPerDay;
  EXPECT_NEAR(waited, 0.05, 0.002);
  EXPECT_EQ(Refs(), Lines{"X:1.V"});
  EXPECT_TRUE(Traced("   EC verrou occupé : écriture reportée"));

  fs_.ops() = {};
  clock_.AdvanceSeconds(0.9);
  const double again = clock_.Now();
  Force(u"A:B.C");
  EXPECT_EQ(clock_.Now(), again);  // one try, no wait
  EXPECT_EQ(fs_.ops().locks, 1);
  Force(u"X:1.V", 90);  // a known point needs no lock
  EXPECT_EQ(RecordAt(1).lngPollTime, 90);

  clock_.AdvanceSeconds(0.2);  // a second later the lock is waited for again
  fs_.BeforeNextLock([&] { fs_.HoldLocksElsewhere(kCacheFile, false); });
  Force(u"A:B.C");
  EXPECT_EQ(Refs(), (Lines{"X:1.V", "A:B.C"}));
}

TEST_F(SharedFileTest, ReferenceTheFileCannotHoldIsNeitherLookedUpNorWritten) {
  // Written lossily, "Ω" would become "?" and "Ā" its look-alike "A": both other points.
  SetRecords({Rec(1, u"A:?.F"), Rec(1, u"A:A.F")});
  Build(true);
  Open();
  const std::string before = File();
  fs_.ops() = {};
  for (const TextView ntf : {TextView(u"A:Ω.F"), TextView(u" A:Ā.F"), TextView(u"A:😀.F")}) {
    EXPECT_EQ(cache_->PointRecord(Text(ntf)), EnregCache());
    for (int i = 0; i < 3; ++i) Force(ntf);
    EXPECT_FALSE(cache_->CanStore(Text(ntf)));
  }
  EXPECT_EQ(File(), before);
  EXPECT_EQ(fs_.ops().reads + fs_.ops().writes + fs_.ops().locks, 0);
  const Lines traces = Traces();
  EXPECT_EQ(Lines(traces.begin(), traces.begin() + 4),
            (Lines{"   NTF A:?.F non représentable dans le fichier : ni cherchée ni écrite",
                   "cacheForcerLectNTF - début - A:?.F",
                   "   NTF A:?.F non représentable dans le fichier : ni cherchée ni écrite",
                   "cacheForcerLectNTF - fin"}));
  EXPECT_TRUE(cache_->CanStore(u" A:é.F "));
}

}  // namespace
}  // namespace quillon::testing
