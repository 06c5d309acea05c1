// The record file alone: record reads and writes at their offsets, a handle that fails, and
// the block scans with a cut last record.
#include "cache/cache_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "cache_fixture.h"

namespace quillon::testing {
namespace {

class CacheFileTest : public CacheTest {
 protected:
  void Attach() { file_.Attach(fs_.OpenShared(kCacheFile)); }
  Text RefIn(const uint8_t* bytes) { return DecodeTrimmedReference(bytes, cp_); }

  CacheFile file_{cp_, *trace_};
  uint8_t bytes_[kRecordSize] = {};
};

TEST_F(CacheFileTest, ReadsAndWritesAtTheRecordOffsetsAndTellsAFailedHandle) {
  FillWithPoints(3);
  EXPECT_FALSE(file_.ReadRecord(1, bytes_));  // no file: nothing read, nothing failed
  EXPECT_EQ(file_.RecordCountOfFile(), 0);
  EXPECT_FALSE(file_.failed());
  Attach();
  EXPECT_TRUE(file_.ReadRecord(2, bytes_));
  EXPECT_TRUE(file_.last_whole());
  EXPECT_EQ(RefIn(bytes_), u"P:T2.V");
  EXPECT_FALSE(file_.ReadRecord(0, bytes_));
  EXPECT_FALSE(file_.ReadRecord(kMaxRecordNumber + 1, bytes_));
  EXPECT_FALSE(file_.failed());  // numbers out of range are not a failed handle

  const std::string record = Bytes(Rec(1, u"X:Y.Z"));
  EXPECT_TRUE(file_.WriteRecord(2, reinterpret_cast<const uint8_t*>(record.data()), 84));
  EXPECT_EQ(File().substr(kRecordSize, 84), record.substr(0, 84));
  EXPECT_EQ(RecordAt(2).strValeurLue, Rec(1, u"P:T2.V").strValeurLue);  // the rest as it was
  File().resize(kRecordSize + 100);
  EXPECT_TRUE(file_.ReadRecord(2, bytes_));
  EXPECT_FALSE(file_.last_whole());
  EXPECT_EQ(bytes_[120], 0);  // past the end: zero

  fs_.InvalidateHandles();
  EXPECT_TRUE(file_.is_open());
  EXPECT_FALSE(file_.Answers());
  EXPECT_FALSE(file_.ReadRecord(1, bytes_));
  EXPECT_TRUE(file_.failed());
  EXPECT_EQ(bytes_[kOffRefNTF], 0);
  file_.ClearFailed();
  EXPECT_FALSE(file_.WriteRecord(1, bytes_));
  EXPECT_TRUE(file_.failed());
}

TEST_F(CacheFileTest, ScanVisitsInOrderAcrossBlocksAndStopsAtTheFirstMatch) {
  FillWithPoints(kScanBlockRecords + 3, kScanBlockRecords + 2, u"A:B.C");
  File().resize(File().size() - 50);  // the last record is cut
  Attach();
  int32_t visited = 0;
  const int32_t all = file_.VisitRecords(1, file_.RecordCountOfFile(), [&](int32_t n, const uint8_t* r) {
    EXPECT_EQ(n, ++visited);
    if (n == kScanBlockRecords + 3) {
      EXPECT_FALSE(file_.ScannedWhole(r));
      EXPECT_EQ(r[kRecordSize - 1], 0);
    } else {
      EXPECT_TRUE(file_.ScannedWhole(r)) << n;
    }
    return false;
  });
  EXPECT_EQ(all, 0);
  EXPECT_EQ(visited, kScanBlockRecords + 3);
  const int32_t found = file_.VisitRecords(2, kScanBlockRecords + 3, [&](int32_t, const uint8_t* r) {
    return RefIn(r) == u"A:B.C";
  });
  EXPECT_EQ(found, kScanBlockRecords + 2);
  EXPECT_FALSE(file_.failed());
}

// Records held for a flush share a read across gaps of at most 4 KiB and within 64 KiB; a
// held record stands for its read until dropped, and the file's writes keep it in step.
TEST_F(CacheFileTest, HeldRecordsShareReadsAcrossSmallGapsAndFollowOurWrites) {
  FillWithPoints(600);
  Attach();
  fs_.ops() = {};
  // 2 and 30 are 3,888 bytes apart: one read; 60 is 4,176 bytes past 30: another. Records 25
  // apart from 100 to 600 span 72,144 bytes: two reads.
  std::vector<int32_t> slots = {1, 2, 30, 60};
  for (int32_t n = 100; n <= 600; n += 25) slots.push_back(n);
  EXPECT_EQ(file_.HoldRecords(slots), 4);
  EXPECT_EQ(fs_.ops().reads, 4);
  File().replace(29 * kRecordSize + kOffValeurLue, 4, "9999");  // after our read
  ASSERT_TRUE(file_.fctLectureDansLeCache(30, bytes_));
  EXPECT_EQ(RefIn(bytes_), u"P:T30.V");
  EXPECT_EQ(bytes_[kOffValeurLue], ' ');  // the copy, as read
  EXPECT_TRUE(file_.last_whole());
  bytes_[0] = 7;
  ASSERT_TRUE(file_.WriteRecord(30, bytes_, kOffValeurLue));
  uint8_t again[kRecordSize];
  ASSERT_TRUE(file_.fctLectureDansLeCache(30, again));
  EXPECT_EQ(again[0], 7);
  ASSERT_TRUE(file_.fctLectureDansLeCache(575, again));
  EXPECT_EQ(RefIn(again), u"P:T575.V");
  EXPECT_EQ(fs_.ops().reads, 4);
  ASSERT_TRUE(file_.fctLectureDansLeCache(31, again));  // not held: read
  EXPECT_EQ(fs_.ops().reads, 5);
  file_.DropHeld();
  ASSERT_TRUE(file_.fctLectureDansLeCache(30, again));
  EXPECT_EQ(again[kOffValeurLue], '9');
  EXPECT_EQ(fs_.ops().reads, 6);
  EXPECT_EQ(file_.HoldRecords({599, 601}), 1);  // 601 lies past the end: not held
  ASSERT_TRUE(file_.fctLectureDansLeCache(601, again));
  EXPECT_FALSE(file_.last_whole());
  EXPECT_EQ(fs_.ops().reads, 8);
}

}  // namespace
}  // namespace quillon::testing
