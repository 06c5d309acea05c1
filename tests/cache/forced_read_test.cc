// The writer under the slot lock alone: the refresh of a known record, the slot choice from
// the free slots a scan noted, and the lock that stays busy.
#include "cache/forced_read.h"

#include <gtest/gtest.h>

#include <cstring>

#include "cache_fixture.h"

namespace quillon::testing {
namespace {

class ForcedReadTest : public CacheTest {
 protected:
  ForcedReadTest() { file_.Attach(fs_.OpenShared(kCacheFile)); }
  StoredReference Ref(TextView text) {
    StoredReference ref;
    FillReference(text, cp_, &ref);
    return ref;
  }
  FreeSlots Runs(int32_t scanned, std::vector<std::pair<int32_t, int32_t>> runs) {
    FreeSlots free;
    free.scanned = scanned;
    free.runs = std::move(runs);
    return free;
  }

  CacheFile file_{cp_, *trace_};
  PointIndex index_;
  ForcedReadWriter writer_{file_, index_, clock_, cp_, *trace_};
};

TEST_F(ForcedReadTest, FreeSlotsAreKeptAsRunsUpToALimit) {
  FreeSlots free;
  for (int32_t n : {3, 4, 5, 9, 11, 12}) free.Add(n);
  EXPECT_EQ(free.runs, (std::vector<std::pair<int32_t, int32_t>>{{3, 5}, {9, 9}, {11, 12}}));
  for (int32_t n = 20; !free.too_many; n += 2) free.Add(n);
  const size_t kept = free.runs.size();
  free.Add(1000000);
  EXPECT_EQ(free.runs.size(), kept);
  EXPECT_TRUE(free.too_many);
}

TEST_F(ForcedReadTest, RefreshWritesTheFirstFieldsOfAWholeRecordAndAllOfACutOne) {
  SetRecords({Rec(1, u"X:1.V"), Rec(2, u"A:B.C", u"12,5")});
  uint8_t bytes[kRecordSize];
  std::memcpy(bytes, File().data() + kRecordSize, kRecordSize);
  File().replace(kRecordSize + kOffValeurLue, 4, "99,0");  // the server writes meanwhile
  writer_.RewriteAsRequested(Ref(u"A:B.C"), bytes, 2, true, 90);
  EXPECT_EQ(RecordAt(2).strValeurLue, PadToWidth(u"99,0", kValeurLength));
  EXPECT_EQ(RecordAt(2).lngEtat, 1);
  EXPECT_EQ(RecordAt(2).lngPollTime, 90);
  EXPECT_EQ(RecordAt(2).dtmDemande, clock_.Now());

  writer_.RewriteAsRequested(Ref(u"A:B.C"), bytes, 2, false, 90);  // not read whole
  EXPECT_EQ(RecordAt(2).strValeurLue, PadToWidth(u"12,5", kValeurLength));
}

// The scan's free slots are trusted: only they and the records appended since are read again.
TEST_F(ForcedReadTest, NewRecordGoesToTheFirstNotedSlotStillFreeOrAtTheEnd) {
  SetRecords({Rec(1, u"X:1.V"), Rec(0, u""), Rec(0, u""), Rec(1, u"X:4.V"), Rec(0, u"")});
  EXPECT_EQ(writer_.WriteNewRequest(Ref(u"A:B.C"), 30, Runs(5, {{3, 3}, {5, 5}})), 3);
  EXPECT_EQ(RecordAt(3).strRefNTF, PadToWidth(u"A:B.C", kRefNTFLength));
  EXPECT_EQ(RecordAt(3).lngPollTime, 30);
  EXPECT_EQ(RecordAt(3).strValeurLue, Text(kValeurLength, u' '));
  EXPECT_EQ(index_.Find(u"A:B.C"), 3);
  EXPECT_EQ(RecordAt(2).lngEtat, 0);  // free, but not noted by the scan

  EXPECT_EQ(writer_.WriteNewRequest(Ref(u"D:E.F"), 30, Runs(4, {})), 5);  // appended since
  EXPECT_EQ(writer_.WriteNewRequest(Ref(u"G:H.I"), 30, Runs(5, {})), 6);  // the end
  FreeSlots all;
  all.too_many = true;  // runs lost: the whole file is read again
  EXPECT_EQ(writer_.WriteNewRequest(Ref(u"J:K.L"), 30, all), 2);
}

TEST_F(ForcedReadTest, BusyLockWritesNothingAndHandsBackNoSlot) {
  SetRecords({Rec(1, u"X:1.V"), Rec(0, u"")});
  fs_.HoldLocksElsewhere(kCacheFile, true);
  const std::string before = File();
  const std::string bytes = Bytes(Rec(1, u"D:E.F"));
  EXPECT_EQ(writer_.WriteNewRequest(Ref(u"A:B.C"), 30, Runs(2, {{2, 2}})), 0);
  EXPECT_EQ(writer_.WriteInFirstFreeSlot(reinterpret_cast<const uint8_t*>(bytes.data()), u"D:E.F"), 0);
  EXPECT_EQ(File(), before);
  EXPECT_EQ(index_.size(), 0u);
  fs_.HoldLocksElsewhere(kCacheFile, false);
  EXPECT_EQ(writer_.WriteInFirstFreeSlot(reinterpret_cast<const uint8_t*>(bytes.data()), u"D:E.F"), 2);
  EXPECT_EQ(RecordAt(2), Rec(1, u"D:E.F"));
  EXPECT_EQ(fs_.ops().unlocks, 1);
}

}  // namespace
}  // namespace quillon::testing
