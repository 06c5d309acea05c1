// The flush of the request queue as controls drive it: each control reads its point and asks
// for a forced read; the flush checks and refreshes the queued points from records read ahead
// in few reads, with the same results and traces as a read of each, and falls back to a read
// of each where the reads ahead did not deliver.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "cache/fct.h"
#include "cache_fixture.h"

namespace quillon::testing {
namespace {

using Lines = std::vector<std::string>;

// The in-memory files behind hooks: what another process does right after one of our reads,
// and reads of more than one record that fail.
class HookedFileSystem final : public FileSystem {
 public:
  explicit HookedFileSystem(FakeFileSystem& fs) : fs_(fs) {}
  std::unique_ptr<RandomAccessFile> OpenShared(const Text& path) override {
    auto file = fs_.OpenShared(path);
    return file ? std::make_unique<File>(*this, std::move(file)) : nullptr;
  }
  std::unique_ptr<RandomAccessFile> OpenReadOnly(const Text& path) override {
    return fs_.OpenReadOnly(path);
  }
  FileStatus Append(const Text& path, std::string_view bytes) override {
    return fs_.Append(path, bytes);
  }
  Text ModulePath() override { return fs_.ModulePath(); }

  // Runs once, right after the next read of more than one record.
  std::function<void()> after_block_read;
  bool fail_block_reads = false;
  int block_reads = 0;

 private:
  class File final : public RandomAccessFile {
   public:
    File(HookedFileSystem& fs, std::unique_ptr<RandomAccessFile> file)
        : fs_(fs), file_(std::move(file)) {}
    FileStatus Length(int64_t* length) override { return file_->Length(length); }
    FileStatus ReadAt(int64_t offset, uint8_t* buffer, size_t n, size_t* got) override {
      if (n <= size_t{kRecordSize}) return file_->ReadAt(offset, buffer, n, got);
      ++fs_.block_reads;
      *got = 0;
      const FileStatus status =
          fs_.fail_block_reads ? FileError::kIo : file_->ReadAt(offset, buffer, n, got);
      if (auto peer = std::exchange(fs_.after_block_read, nullptr)) peer();
      return status;
    }
    FileStatus WriteAt(int64_t offset, const uint8_t* data, size_t n) override {
      return file_->WriteAt(offset, data, n);
    }
    FileStatus TryLockByte(int64_t offset) override { return file_->TryLockByte(offset); }
    FileStatus UnlockByte(int64_t offset) override { return file_->UnlockByte(offset); }

   private:
    HookedFileSystem& fs_;
    std::unique_ptr<RandomAccessFile> file_;
  };

  FakeFileSystem& fs_;
};

class FlushTest : public CacheTest {
 protected:
  FlushTest() { Rebuild(false); }
  void Rebuild(bool trace_on) {
    fct_.reset();
    cache_.reset();
    trace_ = std::make_unique<TraceLogConditionnel>(fs_, clock_, cp_, trace_on);
    cache_ = std::make_unique<FctCacheRoutines>(hooked_, clock_, cp_, *trace_, registry_);
    cache_->UseFile(kCacheFile);
    fct_ = std::make_unique<Fct>(*cache_, clock_);
  }
  static Text Point(int i) { return u"P:T" + NumberText(i) + u".V"; }
  // A control's read: its point, then its forced read.
  void Read(TextView ntf, int32_t code = 29) {
    cache_->PointRecord(Text(ntf));
    fct_->fctDemanderLectNTF(Text(ntf), code);
  }
  // The first read flushes at once; the points read after it wait for the gate, each indexed
  // by its read.
  void QueueReads(const std::vector<int>& points) {
    Read(Point(1));
    for (int i : points) Read(Point(i));
  }
  // One second later, the read of a point indexed before that flushes the queue; the file
  // calls counted from here.
  void Flush(int point = 1) {
    hooked_.block_reads = 0;
    fs_.ops() = {};
    clock_.AdvanceSeconds(1);
    Read(Point(point));
  }
  std::string RecordBytes(int n) { return File().substr(size_t(n - 1) * kRecordSize, kRecordSize); }

  HookedFileSystem hooked_{fs_};
  std::unique_ptr<Fct> fct_;
};

TEST_F(FlushTest, QueuedPointsNearEachOtherAreCheckedFromOneReadAndRefreshedInOrder) {
  FillWithPoints(40);
  QueueReads({5, 3, 9, 4});
  Flush();
  EXPECT_EQ(hooked_.block_reads, 1);
  EXPECT_EQ(fs_.ops().reads, 2);  // the display's read of P:T1.V and records 3 to 9 at once
  EXPECT_EQ(fs_.ops().writes, 5);
  EXPECT_EQ(fs_.ops().lengths, 0);
  for (int n : {1, 3, 4, 5, 9}) {
    EXPECT_EQ(RecordAt(n).lngEtat, 1) << n;
    EXPECT_EQ(RecordAt(n).dtmDemande, clock_.Now()) << n;
  }
  EXPECT_EQ(RecordAt(6).dtmDemande, 0);  // read with them, never written
  EXPECT_EQ(File().size(), 40u * kRecordSize);
}

// Reads ahead that fail leave every point to a read of its own: the same traces, the same
// bytes, as with the reads ahead.
TEST_F(FlushTest, FailedReadAheadFallsBackToTheSameTracesAndBytes) {
  const double start = clock_.Now();
  const auto run = [&](bool fail) {
    clock_.Set(start);
    fs_.Contents(kTraceFile).clear();
    FillWithPoints(40);
    File().replace(4 * kRecordSize, 4, std::string("\0\0\0\0", 4));  // record 5: a free slot
    Rebuild(true);
    QueueReads({5, 3, 12, 9, 5});
    hooked_.fail_block_reads = fail;
    Flush();
    hooked_.fail_block_reads = false;
    return std::make_pair(Traces(), File());
  };
  const auto [read_ahead_traces, read_ahead_file] = run(false);
  const int reads_ahead = fs_.ops().reads;
  const auto [fallback_traces, fallback_file] = run(true);
  EXPECT_EQ(hooked_.block_reads, 1);
  EXPECT_EQ(reads_ahead, 2);
  EXPECT_EQ(fs_.ops().reads, 2 + 4);  // the failed read ahead, then one read per point
  EXPECT_EQ(read_ahead_traces, fallback_traces);
  EXPECT_EQ(read_ahead_file, fallback_file);
  EXPECT_EQ(RecordAt(5).lngPollTime, 29);  // a free slot takes the code
}

// The server fills a value in between our read and our write: its value texts survive.
TEST_F(FlushTest, ValueWrittenByTheServerBetweenReadAndWriteSurvives) {
  FillWithPoints(40);
  QueueReads({4, 6});
  hooked_.after_block_read = [&] {
    File().replace(5 * kRecordSize + kOffValeurLue, kValeurLength, "42,5                ");
    File().replace(5 * kRecordSize + kOffValeurFormateeLue, kValeurLength, "42,50 m             ");
  };
  Flush();
  EXPECT_EQ(hooked_.block_reads, 1);
  EXPECT_EQ(RecordAt(6).strValeurLue, PadToWidth(u"42,5", kValeurLength));
  EXPECT_EQ(RecordAt(6).strValeurFormateeLue, PadToWidth(u"42,50 m", kValeurLength));
  EXPECT_EQ(RecordAt(6).lngEtat, 1);
  EXPECT_EQ(RecordAt(6).dtmDemande, clock_.Now());
}

// Between the display's read and the flush another process frees slot 4 and gives it to
// another point: that point's record stays as it is, and ours is requested anew.
TEST_F(FlushTest, SlotTakenByAnotherPointBeforeTheFlushIsLeftAlone) {
  FillWithPoints(40);
  QueueReads({4, 6});
  EnregCache other = Rec(2, u"Q:Q.Q", u"7");
  other.dtmLecture = 46000.5;
  File().replace(3 * kRecordSize, kRecordSize, Bytes(other));
  Flush();
  EXPECT_EQ(RecordBytes(4), Bytes(other));
  ASSERT_EQ(File().size(), 41u * kRecordSize);
  EXPECT_EQ(TrimSpaces(RecordAt(41).strRefNTF), Point(4));
  EXPECT_EQ(RecordAt(41).lngEtat, 1);
  EXPECT_EQ(cache_->IndexEntry(Point(4)), 41);
  EXPECT_EQ(RecordAt(6).lngEtat, 1);
}

// A point queued twice is forced twice, each time with its own code; the second forced read
// sees the first one's write (the code only rises while the slot is occupied).
TEST_F(FlushTest, PointQueuedTwiceSeesItsFirstWrite) {
  FillWithPoints(40);
  File().replace(6 * kRecordSize, 4, std::string("\2\0\0\0", 4));  // record 7, served, code 0
  Read(Point(1));
  Read(Point(7), 90);
  Read(Point(8));
  Read(Point(7), 29);
  Flush();
  EXPECT_EQ(hooked_.block_reads, 1);
  EXPECT_EQ(fs_.ops().writes, 4);
  EXPECT_EQ(RecordAt(7).lngPollTime, 90);
  EXPECT_EQ(RecordAt(7).lngEtat, 1);
  EXPECT_EQ(File().size(), 40u * kRecordSize);
}

// The file shrinks before the flush: records the read ahead did not deliver whole are read on
// their own, found missing, and requested anew at the end.
TEST_F(FlushTest, ShortReadAheadFallsBackForTheRecordsItMissed) {
  FillWithPoints(40);
  QueueReads({3, 8, 9});
  File().resize(8 * kRecordSize + 100);  // record 9 cut, records from 10 gone
  Flush();
  EXPECT_EQ(hooked_.block_reads, 1);
  EXPECT_EQ(RecordAt(3).lngEtat, 1);
  EXPECT_EQ(RecordAt(8).lngEtat, 1);
  EXPECT_EQ(RecordAt(8).dtmDemande, clock_.Now());
  // Record 9, read on its own and not whole, keeps its point: refreshed whole.
  EXPECT_EQ(File().size(), 9u * kRecordSize);
  EXPECT_EQ(TrimSpaces(RecordAt(9).strRefNTF), Point(9));
  EXPECT_EQ(RecordAt(9).lngEtat, 1);
}

// ---- Bursts: the ticks of one wake of the thread's timer

class BurstTest : public FlushTest {
 protected:
  // Points 1 to 40, all indexed and flushed; the gate opens again a second later.
  BurstTest() {
    FillWithPoints(40);
    QueueReads({2, 3, 4, 5, 6, 7, 8});
    Flush();
  }
  // The next second's wake: its reads, counted from here.
  void Wake(const std::vector<int>& points) {
    clock_.AdvanceSeconds(1);
    fs_.ops() = {};
    hooked_.block_reads = 0;
    fct_->BeginBurst();
    for (int i : points) Read(Point(i));
  }
  void EndWake() { fct_->EndBurst(); }
};

// The flush that falls due with the wake's first read waits for its last one, then forces
// every request of the wake from the displays' reads, in order: one read and one write each.
TEST_F(BurstTest, RequestsOfAWakeAreForcedAtItsEndFromTheDisplaysReads) {
  Wake({2, 5, 3});
  EXPECT_EQ(fs_.ops().writes, 0);
  EXPECT_EQ(fct_->PendingRequests(), 3u);
  EXPECT_EQ(fct_->dtmDernierEnvoi(), clock_.Now());  // the gate closed when the flush fell due
  EndWake();
  EXPECT_EQ(fct_->PendingRequests(), 0u);
  EXPECT_EQ(fs_.ops().reads, 3);
  EXPECT_EQ(fs_.ops().writes, 3);
  EXPECT_EQ(hooked_.block_reads, 0);
  for (int n : {2, 3, 5}) {
    EXPECT_EQ(RecordAt(n).lngEtat, 1) << n;
    EXPECT_EQ(RecordAt(n).dtmDemande, clock_.Now()) << n;
  }
  // Within the same second the gate stays closed: the next wake's requests wait.
  fs_.ops() = {};
  fct_->BeginBurst();
  Read(Point(4));
  EndWake();
  EXPECT_EQ(fs_.ops().writes, 0);
  EXPECT_EQ(fct_->PendingRequests(), 1u);
}

// Two controls on one point in a wake: the second forced read sees the first one's write (a
// code only rises while the slot is occupied), not the bytes its display read before it.
TEST_F(BurstTest, PointReadTwiceInAWakeSeesItsFirstWrite) {
  File().replace(6 * kRecordSize, 4, std::string("\2\0\0\0", 4));  // record 7, served, code 0
  Wake({7});
  fct_->fctDemanderLectNTF(Point(7), 90);
  Read(Point(7), 29);
  EndWake();
  EXPECT_EQ(fs_.ops().writes, 3);
  EXPECT_EQ(RecordAt(7).lngPollTime, 90);
  EXPECT_EQ(RecordAt(7).lngEtat, 1);
}

// A request left over from a wake whose end did not flush is checked by a read of its own at
// the next flush: another point took its slot in between, and that record stays as it is.
TEST_F(BurstTest, RequestLeftFromAnEarlierWakeIsReadAgain) {
  Wake({2});
  EndWake();  // flushed
  fct_->BeginBurst();
  Read(Point(4));  // the gate is closed: waits
  EndWake();
  EnregCache other = Rec(2, u"Q:Q.Q", u"7");
  File().replace(3 * kRecordSize, kRecordSize, Bytes(other));
  Wake({2});
  EndWake();
  EXPECT_EQ(RecordBytes(4), Bytes(other));
  ASSERT_EQ(File().size(), 41u * kRecordSize);
  EXPECT_EQ(TrimSpaces(RecordAt(41).strRefNTF), Point(4));
}

// A tick held up in a wake (a script run from a notification): the reads made more than half
// a second before the flush are made again.
TEST_F(BurstTest, ReadsLongBeforeTheEndOfAWakeAreMadeAgain) {
  Wake({2});
  clock_.AdvanceSeconds(1);
  Read(Point(3));
  EnregCache other = Rec(2, u"Q:Q.Q", u"7");
  File().replace(1 * kRecordSize, kRecordSize, Bytes(other));  // point 2's slot taken meanwhile
  EndWake();
  EXPECT_EQ(fs_.ops().reads, 4);  // the two displays', point 2's again, and its scan
  EXPECT_EQ(RecordBytes(2), Bytes(other));
  ASSERT_EQ(File().size(), 41u * kRecordSize);
  EXPECT_EQ(TrimSpaces(RecordAt(41).strRefNTF), Point(2));
  EXPECT_EQ(RecordAt(3).dtmDemande, clock_.Now());
}

// The cache closed in the middle of a wake drops what was queued before; what comes after is
// forced at the end, from the reads made after the file was opened again.
TEST_F(BurstTest, CacheClosedInAWakeDropsTheRequestsBeforeIt) {
  Wake({2, 3});
  fct_->fctFermerCache();
  Read(Point(5));
  EndWake();
  EXPECT_LT(RecordAt(2).dtmDemande, clock_.Now());
  EXPECT_LT(RecordAt(3).dtmDemande, clock_.Now());
  EXPECT_EQ(RecordAt(5).dtmDemande, clock_.Now());
}

// A wake nested in another (a modal loop in a tick) flushes at its own end; the outer wake's
// read before the loop is made again.
TEST_F(BurstTest, NestedWakeFlushesAtItsOwnEnd) {
  Wake({2});
  fct_->BeginBurst();
  Read(Point(3));
  EndWake();
  EXPECT_EQ(fs_.ops().reads, 3);
  EXPECT_EQ(fs_.ops().writes, 2);
  Read(Point(4));
  EndWake();
  EXPECT_EQ(fs_.ops().writes, 2);
  EXPECT_EQ(fct_->PendingRequests(), 1u);
}

}  // namespace
}  // namespace quillon::testing
