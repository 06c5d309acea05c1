// The open cache file as numbered 144-byte records: record reads and writes, the record count,
// and the block scans. No call throws; a call on the handle that fails is remembered until
// the owner clears it. Called on one thread.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "cache/held_records.h"
#include "cache/record.h"
#include "platform/code_page.h"
#include "platform/file_system.h"
#include "services/trace_log.h"

namespace quillon {

// Records read at once by a scan (about 64 KiB).
inline constexpr int32_t kScanBlockRecords = 65536 / kRecordSize;

// Byte offset of record N; false when N is not a usable record number.
bool RecordOffset(int32_t n, int64_t* offset);

class CacheFile {
 public:
  CacheFile(CodePage& code_page, TraceLogConditionnel& trace)
      : code_page_(code_page), trace_(trace) {}
  CacheFile(const CacheFile&) = delete;
  CacheFile& operator=(const CacheFile&) = delete;

  // Takes `file` as the open file (nullptr: none); drops the records held.
  void Attach(std::unique_ptr<RandomAccessFile> file) {
    held_.Clear();
    file_ = std::move(file);
  }
  bool is_open() const { return file_ != nullptr; }
  // The open handle, for the slot lock; nullptr when none.
  RandomAccessFile* handle() { return file_.get(); }
  // True when the open handle still answers a length query.
  bool Answers();

  // Records of the open file (length / 144, half to even, at most kMaxRecordNumber).
  int32_t RecordCountOfFile();
  // Record N into `out` (144 bytes; bytes that cannot be read zero), traced as
  // fctLectureDansLeCache traces it. False when nothing could be read there. A record held
  // (HoldRecords) is taken from its copy.
  bool fctLectureDansLeCache(int32_t n, uint8_t* out);
  // Reads the records numbered in `slots` (sorted, distinct) in few large reads and holds
  // them: until DropHeld, each stands for a read of its record, and the writes made through
  // this file keep its copy in step. A record that a read did not deliver whole is not held
  // (it is read on its own when asked for). The `known` records (read just before by the
  // caller) are held as given unless read again here. Nothing is marked failed. The count of
  // reads.
  int HoldRecords(const std::vector<int32_t>& slots, const std::vector<KnownRecord>& known = {}) {
    return file_ ? held_.Read(*file_, slots, known) : 0;
  }
  void DropHeld() { held_.Clear(); }
  // Record N into `out` without a trace; sets last_whole().
  bool ReadRecord(int32_t n, uint8_t* out);
  // Writes `size` bytes of record N at its offset; false when nothing was written.
  bool WriteRecord(int32_t n, const uint8_t* bytes, size_t size = kRecordSize);
  // Reads records `first` to `last` in blocks, each as a record read delivers it (missing
  // bytes zero, traced as fctLectureDansLeCache traces it) until `visit(n, bytes)` returns
  // true; returns that record's number (its bytes stay valid until the next scan), or 0.
  template <typename Visit>
  int32_t VisitRecords(int32_t first, int32_t last, Visit&& visit);
  // True when the record that the last scan delivered at `record` was read whole.
  bool ScannedWhole(const uint8_t* record) const {
    return size_t(record - block_.data()) + kRecordSize <= block_got_;
  }

  // The three lines of one record read.
  void TraceRecordRead(int32_t n, const uint8_t* bytes);
  // True when the record bytes last read by ReadRecord were all there.
  bool last_whole() const { return whole_; }
  void set_last_whole(bool whole) { whole_ = whole; }
  // A call on the handle failed since ClearFailed.
  bool failed() const { return failed_; }
  void ClearFailed() { failed_ = false; }

 private:
  // Reads one block of records from `start`; the count of bytes delivered.
  size_t ReadBlock(int32_t start, size_t size);

  CodePage& code_page_;
  TraceLogConditionnel& trace_;
  std::unique_ptr<RandomAccessFile> file_;
  bool failed_ = false;
  bool whole_ = false;
  HeldRecords held_;
  std::vector<uint8_t> block_;  // the scans' read buffer
  size_t block_got_ = 0;        // its bytes that the last block read delivered
};

template <typename Visit>
int32_t CacheFile::VisitRecords(int32_t first, int32_t last, Visit&& visit) {
  const bool traced = trace_.blnTraceActive();
  for (int32_t start = first; start <= last; start += kScanBlockRecords) {
    const int32_t records = std::min(kScanBlockRecords, last - start + 1);
    ReadBlock(start, size_t(records) * kRecordSize);
    for (int32_t k = 0; k < records; ++k) {
      const uint8_t* record = block_.data() + size_t(k) * kRecordSize;
      if (traced) TraceRecordRead(start + k, record);
      if (visit(start + k, record)) return start + k;
    }
  }
  return 0;
}

}  // namespace quillon
