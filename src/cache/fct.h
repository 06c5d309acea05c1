// Module Fct, the request queue: forced reads queued, flushed at most once a second for every
// control of the process, and the closing of the cache file.
#pragma once

#include <cstdint>
#include <vector>

#include "cache/cache_services.h"
#include "cache/fct_cache.h"
#include "cache/held_records.h"
#include "cache/record.h"
#include "common/text.h"
#include "platform/clock.h"

namespace quillon {

class Fct {
 public:
  Fct(FctCache& cache, Clock& clock);
  Fct(const Fct&) = delete;
  Fct& operator=(const Fct&) = delete;

  // Queues a point with its refresh code (and the hint of the caller's read just before, when
  // given); flushes the queue when a second has passed since the last flush (or the clock was
  // set back), each point forced with its own code.
  void fctDemanderLectNTF(const Text& ntf, int32_t poll_time, const PointHint* hint = nullptr);
  // Closes the cache file and drops the requests still queued.
  void fctFermerCache();

  // A burst: the ticks of the controls of a thread that fall due together. While one is open,
  // a flush that falls due (the second's flush, at the time it falls due) waits for the end
  // of the burst, and then forces the requests of the whole burst from the records that their
  // displays read just before (less than half a second before), without reading them again.
  // Bursts may nest: the end of any of them performs a flush that waits.
  void BeginBurst();
  void EndBurst();

  double dtmDernierEnvoi() const { return dtmDernierEnvoi_; }
  // Points waiting in the queue (0 when there is no queue).
  size_t PendingRequests() const { return queued_; }

 private:
  struct Request {
    PointHint point;  // the reference, with what the cache knew of it when it was queued
    int32_t poll_time;
    // The record that the display read just before queueing it, in a burst: used by the
    // flush while it still stands (ReadStillStands); read_n = 0 when none.
    int32_t read_n = 0;
    uint64_t read_at = 0;    // reads_ when it was queued
    double read_time = 0;    // the clock then
    uint8_t read_bytes[kRecordSize];
  };
  bool FlushDue(double now) const;
  bool ReadStillStands(const Request& request, double now) const;
  void Queue(const Text& ntf, int32_t poll_time, const PointHint* hint, double now);
  void Flush(double now);

  FctCache& cache_;
  Clock& clock_;
  // The first `queued_` requests are the queue (none: no queue). Requests past them keep
  // their texts' memory, so that queueing a point allocates nothing once the queue has been
  // that long; the flush swaps the queue with `flushing_` for the same reason.
  std::vector<Request> colFileAttente_;
  std::vector<Request> flushing_;
  size_t queued_ = 0;
  double dtmDernierEnvoi_ = 0;
  int bursts_ = 0;              // bursts open
  bool flush_waits_ = false;    // a flush fell due in a burst
  uint64_t reads_ = 1;          // moves on at each flush and burst: reads queued before are stale
  std::vector<KnownRecord> known_;
};

}  // namespace quillon
