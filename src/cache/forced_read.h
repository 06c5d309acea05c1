// The writes of a forced read, and of any record whose slot is chosen here: a known point's
// record refreshed at its own slot, and a new record written under the cross-process slot
// lock after the slots a concurrent writer may have filled are read again. No call throws.
// Called on one thread.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "cache/cache_file.h"
#include "cache/point_index.h"
#include "cache/record_codec.h"
#include "cache/slot_lock.h"
#include "cache/stored_reference.h"
#include "platform/clock.h"
#include "platform/code_page.h"
#include "services/trace_log.h"

namespace quillon {

// Free slots seen by a scan of records 1 to `scanned`, as runs of numbers.
struct FreeSlots {
  int32_t scanned = 0;
  std::vector<std::pair<int32_t, int32_t>> runs;
  bool too_many = false;  // more runs than are kept: the slot choice reads the whole file
  void Add(int32_t n);
};

// True for the record bytes of a free slot (state 0).
inline bool IsFreeSlot(const uint8_t* record) { return ReadInt32(record + kOffEtat) == 0; }

class ForcedReadWriter {
 public:
  ForcedReadWriter(CacheFile& file, PointIndex& index, Clock& clock, CodePage& code_page,
                   TraceLogConditionnel& trace)
      : file_(file), index_(index), clock_(clock), code_page_(code_page), trace_(trace),
        slot_lock_(clock) {}
  ForcedReadWriter(const ForcedReadWriter&) = delete;
  ForcedReadWriter& operator=(const ForcedReadWriter&) = delete;

  // Marks the point's record, read into `bytes` from slot N, as requested and writes back
  // only its first fields (state, reference, dates, code); a record not read whole is
  // written whole.
  void RewriteAsRequested(const StoredReference& ref, uint8_t* bytes, int32_t n, bool whole,
                          int32_t poll_time);
  // Writes a new request record of the point under the slot lock, into the first slot still
  // free (or found carrying the point: then that record is requested) among those `free`
  // names and those appended since; indexes it. The slot written, or 0 when the lock stayed
  // busy.
  int32_t WriteNewRequest(const StoredReference& ref, int32_t poll_time, const FreeSlots& free);
  // Under the slot lock, writes whole record bytes into the first free slot or at the end of
  // the file. The slot written, or 0 when the lock stayed busy.
  int32_t WriteInFirstFreeSlot(const uint8_t* bytes, TextView trimmed);
  // Writes `size` bytes of record N, traced as fctEcritureDansLeCache's write.
  void WriteRecordAt(const uint8_t* bytes, TextView trimmed, int32_t n, size_t size = kRecordSize);

 private:
  class Lock;
  int32_t ChooseSlotAgain(const StoredReference& ref, const FreeSlots& free, uint8_t* bytes,
                          bool* taken);

  CacheFile& file_;
  PointIndex& index_;
  Clock& clock_;
  CodePage& code_page_;
  TraceLogConditionnel& trace_;
  BoundedSlotLock slot_lock_;
};

}  // namespace quillon
