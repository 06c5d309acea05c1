// Forced reads, the request queue with its one-second gate, opening and closing the file.
#include "cache/fct.h"

#include <gtest/gtest.h>

#include "cache/shared_cache.h"
#include "cache_fixture.h"

namespace quillon::testing {
namespace {

using Lines = std::vector<std::string>;

class FctTest : public CacheTest {
 protected:
  explicit FctTest(bool install_path_set = true) {
    if (install_path_set) SetInstallPath("/data");
    Rebuild(false);
  }
  void Rebuild(bool trace_on) {
    fct_.reset();
    Build(trace_on, /*from_registry=*/true);
    fct_ = std::make_unique<Fct>(*cache_, clock_);
  }
  void Request(TextView ntf, int32_t code) { fct_->fctDemanderLectNTF(Text(ntf), code); }
  void Force(TextView ntf, int32_t code) { cache_->cacheForcerLectNTF(Text(ntf), code); }
  void Advance(double seconds) { clock_.AdvanceSeconds(seconds); }

  // Trimmed references of the file's records, in order.
  std::vector<std::string> Refs() {
    std::vector<std::string> refs;
    for (size_t n = 1; n * kRecordSize <= File().size(); ++n) {
      refs.push_back(ToUtf8(TrimSpaces(RecordAt(static_cast<int>(n)).strRefNTF)));
    }
    return refs;
  }
  int32_t PollOf(int n) { return RecordAt(n).lngPollTime; }

  std::unique_ptr<Fct> fct_;
};

// ---- The queue and its gate

TEST_F(FctTest, EachQueuedPointKeepsItsOwnCode) {
  Request(u"R1", 0);
  Advance(0.3);
  Request(u"R2", 70);
  EXPECT_EQ(Refs(), Lines{"R1"});
  EXPECT_EQ(fct_->PendingRequests(), 1u);
  Advance(0.9);
  Request(u"R3", 90);
  EXPECT_EQ(Refs(), (Lines{"R1", "R2", "R3"}));
  EXPECT_EQ(PollOf(1), 0);
  EXPECT_EQ(PollOf(2), 70);  // not raised to the code of the call that flushed
  EXPECT_EQ(PollOf(3), 90);
}

TEST_F(FctTest, FirstRequestFlushesAtOnceThenTheGateOpensExactlyOneSecondLater) {
  Request(u"R1", 29);
  EXPECT_EQ(Refs(), Lines{"R1"});
  EXPECT_EQ(fct_->dtmDernierEnvoi(), clock_.Now());
  Advance(0.999);
  Request(u"R2", 29);
  EXPECT_EQ(Refs(), Lines{"R1"});
  Advance(0.001);
  Request(u"R3", 29);
  EXPECT_EQ(Refs(), (Lines{"R1", "R2", "R3"}));
  Advance(-3600);  // a clock set back (end of summer time) holds nothing back
  Request(u"R4", 29);
  EXPECT_EQ(Refs(), (Lines{"R1", "R2", "R3", "R4"}));
}

TEST_F(FctTest, RequestHeldBackAndThenClosedIsLostUntilAskedAgain) {
  Request(u"R1", 29);
  Advance(0.5);
  Request(u"R2", 29);
  fct_->fctFermerCache();
  EXPECT_EQ(fct_->PendingRequests(), 0u);
  Advance(1);
  Request(u"R3", 29);
  EXPECT_EQ(Refs(), (Lines{"R1", "R3"}));
  Advance(1);
  Request(u"R2", 29);
  EXPECT_EQ(Refs(), (Lines{"R1", "R3", "R2"}));
}

// ---- Forced reads

TEST_F(FctTest, NewPointInAnEmptyFileIsOneExactRequestRecord) {
  Rebuild(true);
  fs_.Contents(kCacheFile);  // exists, empty
  Force(u"A:B.C", 29);
  ASSERT_EQ(File().size(), 144u);
  EnregCache expected = Rec(1, u"A:B.C", u"");
  expected.strValeurFormateeLue = Text(20, u' ');
  expected.dtmDemande = clock_.Now();
  expected.lngPollTime = 29;
  EXPECT_EQ(File(), Bytes(expected));
  EXPECT_EQ(File().substr(124), std::string(20, '\0'));
  EXPECT_EQ(Traces(),
            (Lines{"cacheForcerLectNTF - début - A:B.C", "  FL av GetData", "GetData - début A:B.C",
                   "convertNTFToIndex - début - A:B.C", "convertNTFToIndex - fin - 0",
                   "   GetData A:B.C position non mémorisée", "GetData - fin", "  FL ap GetData",
                   "  FL not found", "fctEcritureDansLeCache - début - Pos.0", "   EC A:B.C 1",
                   "fctEcritureDansLeCache - fin", "cacheForcerLectNTF - fin"}));
}

TEST_F(FctTest, ExistingRecordIsRewrittenInPlace) {
  EnregCache served = Rec(2, u"A:B.C", u"12,5");
  served.dtmLecture = 46000.5;
  served.dtmDemande = 46000.25;
  served.lngPollTime = 29;
  served.lngComplement = {1, 2, 3, 4};
  served.strComplement = {5, 6, 7};
  SetRecords({Rec(1, u"X:Y.Z"), served});
  Rebuild(true);
  Force(u"A:B.C", 0);
  ASSERT_EQ(File().size(), 288u);
  EnregCache expected = served;
  expected.lngEtat = 1;
  expected.dtmLecture = 0;
  expected.dtmDemande = clock_.Now();
  EXPECT_EQ(RecordAt(2), expected);
  const Lines traces = Traces();
  EXPECT_NE(std::find(traces.begin(), traces.end(), "  FL A:B.C 2"), traces.end());
  EXPECT_NE(std::find(traces.begin(), traces.end(), "fctEcritureDansLeCache - début - Pos.2"),
            traces.end());
}

TEST_F(FctTest, MergeRuleOfRefreshCodes) {
  struct Case {
    int32_t state, stored, forced, expected;
  };
  for (const Case c :
       {Case{1, 29, 0, 29}, Case{1, 29, 90, 90}, Case{0, 90, 0, 0}, Case{3, 70, 80, 80}}) {
    EnregCache r = Rec(c.state, u"A:B.C");
    r.lngPollTime = c.stored;
    SetRecords({r});
    Rebuild(false);
    Force(u"A:B.C", c.forced);
    EXPECT_EQ(RecordAt(1).lngPollTime, c.expected) << c.state << " " << c.stored;
    EXPECT_EQ(RecordAt(1).lngEtat, 1);
  }
}

TEST_F(FctTest, ReferencesThatCouldNeverMatchAreNormalised) {
  const Text long_ref = u"N:" + Text(58, u't') + u".PV";
  for (int i = 0; i < 3; ++i) {
    Force(u"  A:B.C ", 29);
    Force(long_ref, 29);
  }
  EXPECT_EQ(Refs(), (Lines{"A:B.C", "N:" + std::string(58, 't')}));
}

TEST_F(FctTest, SlotTakenByAnotherPointMovesTheRefreshedRecord) {
  SetRecords({Rec(1, u"A:B.C"), Rec(1, u"X:Y.Z")});
  Force(u"A:B.C", 29);
  // Another process frees slot 1 and reuses it; the point is rewritten into a free slot.
  SetRecords({Rec(1, u"Q:Q.Q"), Rec(1, u"X:Y.Z"), Rec(0, u"A:B.C")});
  Force(u"A:B.C", 29);
  EXPECT_EQ(Refs(), (Lines{"Q:Q.Q", "X:Y.Z", "A:B.C"}));
  EXPECT_EQ(RecordAt(3).lngEtat, 1);
}

// ---- Opening and closing

TEST_F(FctTest, OpenFileCostsNoLengthQueryAndNoRegistryRead) {
  Force(u"A:B.C", 29);
  EXPECT_EQ(registry_api_.Count("OpenKeyEx"), 1);
  EXPECT_EQ(cache_->strCheminInstall(), u"/data");
  EXPECT_EQ(cache_->intFicCache(), 1);
  fs_.ops() = {};
  Force(u"A:B.C", 29);
  EXPECT_EQ(fs_.ops().opens, 0);
  EXPECT_EQ(fs_.ops().lengths, 0);  // the open file is trusted until a call on it fails
  EXPECT_EQ(fs_.ops().reads, 1);
  EXPECT_EQ(fs_.ops().writes, 1);
  EXPECT_EQ(fs_.ops().locks, 0);  // no new record: no lock
  EXPECT_EQ(registry_api_.Count("OpenKeyEx"), 1);
}

TEST_F(FctTest, ReopenAfterCloseKeepsTheIndexAndGoesOn) {
  SetRecords({Rec(1, u"X:Y.Z"), Rec(1, u"A:B.C")});
  Force(u"A:B.C", 29);
  fct_->fctFermerCache();
  EXPECT_EQ(cache_->IndexEntry(u"A:B.C"), 2);
  fs_.ops() = {};
  Force(u"A:B.C", 90);
  EXPECT_EQ(cache_->intFicCache(), 2);
  EXPECT_EQ(fs_.ops().opens, 1);
  EXPECT_EQ(fs_.ops().reads, 1);  // indexed: one fresh read right before the write
  EXPECT_EQ(RecordAt(2).lngPollTime, 90);
  EXPECT_EQ(registry_api_.Count("OpenKeyEx"), 1);
  fs_.InvalidateHandles();  // handles the platform invalidated are opened again
  Force(u"D:E.F", 29);
  EXPECT_EQ(cache_->intFicCache(), 3);
  EXPECT_EQ(Refs(), (Lines{"X:Y.Z", "A:B.C", "D:E.F"}));
}

class FctWithoutInstallPath : public FctTest {
 protected:
  FctWithoutInstallPath() : FctTest(false) {}
};

// Without an installation path there is no cache file: a folder that anyone can make at the
// root of the drive never stands in for it. The trace says why, and the registry is read
// again at every open until a value is found.
TEST_F(FctWithoutInstallPath, NoCacheFileAtTheRootOfTheDriveAndTheRegistryReadAgain) {
  const Text planted = u"\\Serveur Quillon PD\\cacheQuillonPD_V2.dat";
  fs_.Contents(planted) = Bytes(Rec(1, u"A:B.C", u"666"));
  SharedCache shared(CacheEnvironment{fs_, clock_, cp_, registry_});
  EXPECT_EQ(shared.PointRecord(u"A:B.C"), EnregCache());  // the planted value is not shown
  Rebuild(true);
  Force(u"A:B.C", 29);
  EXPECT_EQ(cache_->FilePath(), u"");
  EXPECT_EQ(Traces(), (Lines{"cacheForcerLectNTF - début - A:B.C",
                             "fctOuvrirCache - chemin d'installation absent (Chemin PD) : pas de "
                             "fichier cache",
                             "cacheForcerLectNTF - fin"}));
  EXPECT_EQ(fs_.Contents(planted), Bytes(Rec(1, u"A:B.C", u"666")));  // nor written
  registry_api_.SetValue("SOFTWARE\\Halvorn\\Pondral", "Chemin PD", kRegSz, std::string(1, '\0'));
  EXPECT_NE(cache_->fctOuvrirCache(), 0);          // an empty value is no path either
  EXPECT_EQ(registry_api_.Count("OpenKeyEx"), 3);  // with the read of the shared state above
  fs_.AddFolder(u"/data\\Serveur Quillon PD\\");
  fs_.AddFolder(u"/opt/quillon/");
  SetInstallPath("/data");
  Force(u"A:B.C", 29);
  EXPECT_EQ(Refs(), Lines{"A:B.C"});
  EXPECT_EQ(fs_.Contents(planted), Bytes(Rec(1, u"A:B.C", u"666")));
}

// A path whose cache file cannot be opened is read again at the next open, so that a display
// starts showing values once the setting is corrected, without a restart.
TEST_F(FctTest, AWrongInstallPathIsReadAgainUntilTheFileOpens) {
  fs_.AddFolder(u"/data\\Serveur Quillon PD\\");
  SetInstallPath("/wrong");
  Rebuild(false);
  Force(u"A:B.C", 29);
  EXPECT_EQ(cache_->strCheminInstall(), u"/wrong");
  EXPECT_FALSE(fs_.Exists(kCacheFile));
  SetInstallPath("/data");
  Force(u"A:B.C", 29);
  EXPECT_EQ(cache_->strCheminInstall(), u"/data");
  EXPECT_EQ(Refs(), Lines{"A:B.C"});
  const int reads = registry_api_.Count("OpenKeyEx");
  cache_->CloseFile();
  Force(u"A:B.C", 29);  // a path that worked is kept when the file opens again
  EXPECT_EQ(registry_api_.Count("OpenKeyEx"), reads);
}

// A reference is whatever a display or a script set: traced, it can neither forge a line nor
// flood the file.
TEST_F(FctTest, ReferencesAreTracedEscapedAndCut) {
  fs_.AddFolder(u"/opt/quillon/");
  Rebuild(true);
  Force(u"A:B.C\r\n14:05:09 - faux", 29);
  Force(Text(100000, u'R'), 29);
  const Lines traces = Traces();
  ASSERT_EQ(traces.size(), 4u);
  EXPECT_EQ(traces[0], "cacheForcerLectNTF - début - A:B.C\\x0D\\x0A14:05:09 - faux");
  EXPECT_EQ(traces[2], "cacheForcerLectNTF - début - " + std::string(256, 'R') +
                           "[... 99744 caractères de plus]");
}

TEST_F(FctTest, MissingCacheFolderChangesNothing) {
  fs_.AddFolder(u"/opt/quillon/");  // the trace file's folder only
  Rebuild(true);
  Request(u"A:B.C", 29);
  EXPECT_EQ(Traces(), (Lines{"cacheForcerLectNTF - début - A:B.C", "cacheForcerLectNTF - fin"}));
  EXPECT_FALSE(fs_.Exists(kCacheFile));
  EXPECT_EQ(fct_->PendingRequests(), 0u);  // the flush dropped it
}

// A control reads into the record of its last read: a miss, an unreadable reference or a
// closed cache must leave nothing of the point read before.
TEST_F(FctTest, ReadingIntoAnEarlierRecordLeavesNothingOfIt) {
  SharedCache shared(CacheEnvironment{fs_, clock_, cp_, registry_});
  CacheServices& services = shared;
  SetRecords({Rec(1, u"A:B.C", u"7"), Rec(2, u"D:E.F", u"8")});
  EnregCache record;
  EXPECT_TRUE(services.PointRecord(u"A:B.C", &record));
  EXPECT_EQ(record.strValeurLue, PadToWidth(u"7", 20));
  EXPECT_TRUE(services.PointRecord(u"D:E.F", &record));
  EXPECT_EQ(record, services.PointRecord(u"D:E.F"));
  EXPECT_FALSE(services.PointRecord(u"X:Y.Z", &record));
  EXPECT_EQ(record, EnregCache());
  EXPECT_TRUE(services.PointRecord(u"A:B.C", &record));
  EXPECT_FALSE(services.PointRecord(Text(61, u'A'), &record));  // longer than a record holds
  EXPECT_EQ(record, EnregCache());
}

TEST_F(FctTest, SharedCacheOpensOnDemandAndClosesForEveryControl) {
  SharedCache shared(CacheEnvironment{fs_, clock_, cp_, registry_});
  CacheServices& services = shared;
  SetRecords({Rec(1, u"A:B.C", u"7")});
  EXPECT_EQ(shared.cache().RecordCountOfFile(), 0);  // not open yet
  EXPECT_EQ(fs_.ops().opens, 0);
  EXPECT_EQ(services.PointRecord(u" A:B.C ").strValeurLue, PadToWidth(u"7", 20));
  EXPECT_EQ(services.PointRecord(u"a:b.c"), EnregCache());  // letter case counts
  fs_.ops() = {};
  services.PointRecord(u"A:B.C");
  EXPECT_EQ(fs_.ops().opens, 0);
  services.fctDemanderLectNTF(u"D:E.F", 29);
  services.fctFermerCache();
  EXPECT_EQ(shared.cache().RecordCountOfFile(), 0);  // closed: the file's record is not seen
  EXPECT_EQ(Refs(), (Lines{"A:B.C", "D:E.F"}));
}

}  // namespace
}  // namespace quillon::testing
