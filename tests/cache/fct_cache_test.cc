// Record reads and writes, the free-slot choice, the point index and GetData.
#include "cache/fct_cache.h"

#include <gtest/gtest.h>

#include "cache_fixture.h"

namespace quillon::testing {
namespace {

using Lines = std::vector<std::string>;

class FctCacheTest : public CacheTest {
 protected:
  int32_t WriteAt(const EnregCache& r, int32_t n) {
    cache_->fctEcritureDansLeCache(r, n);
    return n;
  }
  void SetStates(std::initializer_list<int32_t> states) {
    std::vector<EnregCache> records;
    int i = 0;
    for (int32_t s : states) records.push_back(Rec(s, u"P:T" + NumberText(++i) + u".V"));
    SetRecords(records);
  }
};

// ---- Reading and counting

TEST_F(FctCacheTest, RecordNumbersPastTheLimitFailCleanlyAndAHalfRecordReadsAsZeroes) {
  FillWithPoints(3);
  Open();
  EXPECT_EQ(cache_->fctLectureDansLeCache(3).strRefNTF, PadToWidth(u"P:T3.V", 60));
  for (int32_t n : {4, 0, -5, kMaxRecordNumber + 1, INT32_MAX}) {
    EXPECT_EQ(cache_->fctLectureDansLeCache(n), EnregCache()) << n;
  }
  const int writes = fs_.ops().writes;
  EXPECT_EQ(WriteAt(Rec(1, u"X:Y.Z"), kMaxRecordNumber + 1), kMaxRecordNumber + 1);
  WriteAt(Rec(1, u"X:Y.Z"), INT32_MAX);
  EXPECT_EQ(fs_.ops().writes, writes);
  EXPECT_EQ(File().size(), 432u);

  Open();
  File().assign(504, '\x01');
  EXPECT_EQ(cache_->RecordCountOfFile(), 4);
  const EnregCache r4 = cache_->fctLectureDansLeCache(4);  // only its first 72 bytes exist
  EXPECT_EQ(r4.lngEtat, 0x01010101);
  EXPECT_EQ(r4.strValeurFormateeLue, Text(20, u'\0'));
  EXPECT_EQ(r4.dtmDemande, 0.0);
}

// ---- Writing and the free-slot choice

TEST_F(FctCacheTest, FirstFreeSlotByStateOnlyAcrossBlocksAndHalfRecords) {
  Open();
  EXPECT_EQ(WriteAt(Rec(1, u"A:B.C"), 0), 1);  // an empty file
  EXPECT_EQ(File(), Bytes(Rec(1, u"A:B.C")));
  SetStates({1, 1, 0, 1, 0});
  EXPECT_EQ(WriteAt(Rec(1, u"A:B.C"), 0), 3);
  EXPECT_EQ(RecordAt(3).strRefNTF, PadToWidth(u"A:B.C", 60));
  EXPECT_EQ(File().size(), 720u);
  SetStates({1, 1, 1, 1, 1});
  EXPECT_EQ(WriteAt(Rec(1, u"A:B.D"), 0), 6);
  EXPECT_EQ(File().size(), 864u);
  SetStates({-1, 2, 1});  // any non-zero state is occupied
  EXPECT_EQ(WriteAt(Rec(1, u"A:B.E"), 0), 4);

  std::vector<EnregCache> records(1000, Rec(1, u"P:T.V"));
  records[kScanBlockRecords + 2] = Rec(0, u"P:Old.V");  // record 458
  SetRecords(records);
  Open();
  EXPECT_EQ(WriteAt(Rec(1, u"A:B.C"), 0), kScanBlockRecords + 3);
  // A trailing half record (504 bytes count 4) is read with its missing bytes as zero.
  SetStates({1, 1, 1, 0});
  File().resize(504);
  EXPECT_EQ(WriteAt(Rec(1, u"A:B.D"), 0), 4);
  EXPECT_EQ(File().size(), 576u);
}

TEST_F(FctCacheTest, WriteAtGivenNumberAndIndexKeepsFirstEntry) {
  SetStates({1, 1, 1});
  Open();
  EXPECT_EQ(WriteAt(Rec(1, u"  A:B.C  "), 2), 2);
  EXPECT_EQ(cache_->IndexEntry(u"A:B.C"), 2);  // trimmed
  WriteAt(Rec(1, u"A:B.C"), 3);
  EXPECT_EQ(cache_->IndexEntry(u"A:B.C"), 2);  // the key was there: refused
  WriteAt(Rec(1, u"a:b.c"), 1);
  EXPECT_EQ(cache_->IndexEntry(u"a:b.c"), 1);  // another reference: an entry of its own
  EXPECT_EQ(cache_->IndexEntry(u"A:B.C"), 2);
}

TEST_F(FctCacheTest, WriteTracesIncludeTheSlotSearch) {
  SetStates({1, 0});
  Build(true);
  Open();
  WriteAt(Rec(1, u" A:B.C "), 0);
  Lines expected = {"fctEcritureDansLeCache - début - Pos.0"};
  Append(expected, ReadTraces("P:T1.V", 1));
  Append(expected, ReadTraces("P:T2.V", 2));
  Append(expected, {"   EC A:B.C 2", "fctEcritureDansLeCache - fin"});
  EXPECT_EQ(Traces(), expected);
}

// ---- Index and GetData

TEST_F(FctCacheTest, ScanFindsAndIndexesThenUsesTheIndex) {
  FillWithPoints(9, 7, u"A:B.C");
  Open();
  fs_.ops() = {};
  EXPECT_EQ(cache_->GetData(u"A:B.C"), RecordAt(7));
  EXPECT_EQ(cache_->IndexEntry(u"A:B.C"), 7);
  fs_.ops() = {};
  EXPECT_EQ(cache_->GetData(u"A:B.C"), RecordAt(7));
  EXPECT_EQ(fs_.ops().reads, 1);  // one record read, verified and returned: no scan
  EXPECT_EQ(fs_.ops().lengths, 0);
}

TEST_F(FctCacheTest, StaleOrOtherCaseEntryIsDroppedAndThePointReindexed) {
  FillWithPoints(12, 7, u"A:B.C");
  Open();
  cache_->GetData(u"A:B.C");
  FillWithPoints(12, 12, u"A:B.C");  // another point took slot 7; A:B.C now at 12
  EXPECT_EQ(cache_->convertNTFToIndex(u"A:B.C"), 0);
  EXPECT_EQ(cache_->IndexEntry(u"A:B.C"), std::nullopt);
  EXPECT_EQ(cache_->GetData(u"A:B.C"), RecordAt(12));
  EXPECT_EQ(cache_->IndexEntry(u"A:B.C"), 12);

}

// References that differ only in letter case are different points: each keeps its own entry,
// so looking one up neither evicts the other nor scans the file for it again.
TEST_F(FctCacheTest, ReferencesDifferingInCaseKeepTheirOwnEntries) {
  FillWithPoints(20, 4, u"A:B.C");
  File().replace(size_t{15} * kRecordSize, kRecordSize, Bytes(Rec(1, u"a:b.c", u"lower")));
  Open();
  EXPECT_EQ(cache_->GetData(u"A:B.C"), RecordAt(4));
  EXPECT_EQ(cache_->GetData(u"a:b.c"), RecordAt(16));
  EXPECT_EQ(cache_->GetData(u"A:b.C"), EnregCache());  // in no record: a scan, no entry
  fs_.ops() = {};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(cache_->GetData(u"A:B.C"), RecordAt(4));
    EXPECT_EQ(cache_->GetData(u"a:b.c"), RecordAt(16));
  }
  EXPECT_EQ(fs_.ops().reads, 6);  // one read each, no scan
  EXPECT_EQ(fs_.ops().lengths, 0);
  EXPECT_EQ(cache_->IndexEntry(u"A:B.C"), 4);
  EXPECT_EQ(cache_->IndexEntry(u"a:b.c"), 16);
  EXPECT_EQ(cache_->IndexEntry(u"A:b.C"), std::nullopt);
  EXPECT_EQ(cache_->convertNTFToIndex(u"A:b.C"), 0);

  // The point moves: only its own entry proves stale.
  FillWithPoints(20, 9, u"A:B.C");
  File().replace(size_t{15} * kRecordSize, kRecordSize, Bytes(Rec(1, u"a:b.c", u"lower")));
  EXPECT_EQ(cache_->GetData(u"A:B.C"), RecordAt(9));
  EXPECT_EQ(cache_->IndexEntry(u"a:b.c"), 16);
}

// A caller's hint stands for the index lookup only while the index is as it was and for the
// reference it was made for; the record it names is checked like an index entry.
TEST_F(FctCacheTest, HintStandsForTheIndexOnlyWhileItHolds) {
  FillWithPoints(9, 4, u"A:B.C");
  PointHint hint;
  EnregCache record;
  ASSERT_TRUE(cache_->PointRecord(u"A:B.C", &record, &hint));  // a scan, learnt by the hint
  EXPECT_EQ(hint.n, 0);                                         // before the scan: no entry
  ASSERT_TRUE(cache_->PointRecord(u"A:B.C", &record, &hint));  // the entry, learnt
  EXPECT_EQ(hint.n, 4);
  fs_.ops() = {};
  ASSERT_TRUE(cache_->PointRecord(u"A:B.C", &record, &hint));
  EXPECT_EQ(fs_.ops().reads, 1);
  // The point moves; a lookup without the hint finds it again and the index changes.
  File().replace(3 * kRecordSize, kRecordSize, Bytes(Rec(1, u"Q:Q.Q")));
  File().replace(7 * kRecordSize, kRecordSize, Bytes(Rec(1, u"A:B.C", u"8")));
  ASSERT_TRUE(cache_->PointRecord(u"A:B.C", &record));
  EXPECT_EQ(cache_->IndexEntry(u"A:B.C"), 8);
  fs_.ops() = {};
  ASSERT_TRUE(cache_->PointRecord(u"A:B.C", &record, &hint));  // the old hint is not used
  EXPECT_EQ(fs_.ops().reads, 1);
  EXPECT_EQ(record.strValeurLue, PadToWidth(u"8", kValeurLength));
  EXPECT_EQ(hint.n, 8);
  // Another reference with this hint: looked up as itself.
  ASSERT_TRUE(cache_->PointRecord(u"P:T2.V", &record, &hint));
  EXPECT_EQ(TrimSpaces(record.strRefNTF), u"P:T2.V");
  // A hint whose record no longer carries its point: checked, dropped, the point found again.
  ASSERT_TRUE(cache_->PointRecord(u"A:B.C", &record, &hint));
  File().replace(7 * kRecordSize, kRecordSize, Bytes(Rec(1, u"Q:Q.R")));
  File() += Bytes(Rec(1, u"A:B.C", u"10"));
  ASSERT_TRUE(cache_->PointRecord(u"A:B.C", &record, &hint));
  EXPECT_EQ(record.strValeurLue, PadToWidth(u"10", kValeurLength));
  EXPECT_EQ(cache_->IndexEntry(u"A:B.C"), 10);
}

TEST_F(FctCacheTest, FirstMatchWinsStateIsIgnoredAndTheCallerReferenceIsUntrimmed) {
  std::vector<EnregCache> records(9, Rec(1, u"P:T.V"));
  records[2] = Rec(0, u"A:B.C", u"three");  // a free slot still carrying the point
  records[8] = Rec(1, u"A:B.C", u"nine");
  SetRecords(records);
  Open();
  EXPECT_EQ(cache_->GetData(u"A:B.C").strValeurLue, PadToWidth(u"three", 20));
  EXPECT_EQ(cache_->IndexEntry(u"A:B.C"), 3);

  SetRecords({Rec(1, u"  A:B.C")});
  Open();
  EXPECT_EQ(cache_->GetData(u"A:B.C "), EnregCache());
  EXPECT_EQ(cache_->GetData(u"A:B.C").lngEtat, 1);  // stored leading spaces are trimmed
}

TEST_F(FctCacheTest, ByteComparisonConfirmsUnmappableCharacters) {
  // "中" has no Windows-1252 byte and is sent as '?': the stored "A:?.C" is not that point.
  std::vector<EnregCache> records(kScanBlockRecords + 5, Rec(1, u"P:T.V"));
  records[1] = Rec(1, u"A:?.C");
  records[kScanBlockRecords + 1] = Rec(1, u"A:é.C");
  SetRecords(records);
  Open();
  EXPECT_EQ(cache_->GetData(u"A:中.C"), EnregCache());
  EXPECT_EQ(cache_->GetData(u"A:?.C"), RecordAt(2));
  EXPECT_EQ(cache_->GetData(u"A:é.C"), RecordAt(kScanBlockRecords + 2));
  EXPECT_EQ(cache_->GetData(Text(61, u'x')), EnregCache());
}

TEST_F(FctCacheTest, NothingIsReadOrWrittenWhileTheFileIsClosed) {
  FillWithPoints(3, 2, u"A:B.C");
  EXPECT_EQ(cache_->GetData(u"A:B.C"), EnregCache());  // before the first open: no index
  EXPECT_FALSE(cache_->HasIndex());
  Open();
  cache_->GetData(u"A:B.C");
  cache_->CloseFile();
  EXPECT_EQ(cache_->RecordCountOfFile(), 0);
  EXPECT_EQ(cache_->GetData(u"A:B.C"), EnregCache());
  EXPECT_EQ(cache_->IndexEntry(u"A:B.C"), std::nullopt);  // the entry proved stale
  WriteAt(Rec(1, u"X:Y.Z"), 0);
  EXPECT_EQ(File().size(), 432u);
  Open();
  EXPECT_EQ(cache_->GetData(u"A:B.C"), RecordAt(2));
}

// ---- Trace sequences of lookups

TEST_F(FctCacheTest, ScanAndIndexedLookupTraces) {
  FillWithPoints(2, 2, u"A:B.C");
  Build(true);
  Open();
  cache_->GetData(u"A:B.C");
  Lines expected = {"GetData - début A:B.C", "convertNTFToIndex - début - A:B.C",
                    "convertNTFToIndex - fin - 0", "   GetData A:B.C position non mémorisée"};
  Append(expected, ReadTraces("P:T1.V", 1));
  Append(expected, ReadTraces("A:B.C", 2));
  Append(expected, {"   Aj coll A:B.C 2", "GetData - fin"});
  EXPECT_EQ(Traces(), expected);

  ClearTraces();
  cache_->GetData(u"A:B.C");
  expected = {"GetData - début A:B.C", "convertNTFToIndex - début - A:B.C"};
  Append(expected, ReadTraces("A:B.C", 2));
  expected.push_back("convertNTFToIndex - fin - 2");
  Append(expected, ReadTraces("A:B.C", 2));  // the verified record, traced as its delivery
  expected.push_back("GetData - fin");
  EXPECT_EQ(Traces(), expected);
}

// A point whose reference differs only in letter case from an indexed one has no entry: its
// lookup reads no record before its scan.
TEST_F(FctCacheTest, LookupOfACaseVariantTracesNoIndexedRead) {
  FillWithPoints(2, 2, u"A:B.C");
  Build(true);
  Open();
  cache_->GetData(u"A:B.C");
  ClearTraces();
  EXPECT_EQ(cache_->GetData(u"a:b.c"), EnregCache());
  Lines expected = {"GetData - début a:b.c", "convertNTFToIndex - début - a:b.c",
                    "convertNTFToIndex - fin - 0", "   GetData a:b.c position non mémorisée"};
  Append(expected, ReadTraces("P:T1.V", 1));
  Append(expected, ReadTraces("A:B.C", 2));
  expected.push_back("GetData - fin");
  EXPECT_EQ(Traces(), expected);
}

TEST_F(FctCacheTest, TracedAndUntracedScansAgree) {
  std::vector<EnregCache> records(kScanBlockRecords * 2 + 3, Rec(1, u"P:T.V"));
  records[kScanBlockRecords * 2 + 1] = Rec(1, u"A:B.C", u"x");
  SetRecords(records);
  File().resize(File().size() - 100);  // a cut last record
  Open();
  const EnregCache quiet = cache_->GetData(u"A:B.C");
  Build(true);
  Open();
  EXPECT_EQ(cache_->GetData(u"A:B.C"), quiet);
  EXPECT_EQ(quiet, RecordAt(kScanBlockRecords * 2 + 2));
  EXPECT_EQ(Traces().size(), 4 + 3 * (kScanBlockRecords * 2 + 2) + 2u);
}

}  // namespace
}  // namespace quillon::testing
