// Module Fct, the request queue: forced reads queued, flushed at most once a second for every
// control of the process, and the closing of the cache file.
#pragma once

#include <cstdint>
#include <vector>

#include "cache/cache_services.h"
#include "cache/fct_cache.h"
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

  double dtmDernierEnvoi() const { return dtmDernierEnvoi_; }
  // Points waiting in the queue (0 when there is no queue).
  size_t PendingRequests() const { return queued_; }

 private:
  struct Request {
    PointHint point;  // the reference, with what the cache knew of it when it was queued
    int32_t poll_time;
  };
  bool FlushDue(double now) const;
  void Queue(const Text& ntf, int32_t poll_time, const PointHint* hint);
  void Flush();

  FctCache& cache_;
  Clock& clock_;
  // The first `queued_` requests are the queue (none: no queue). Requests past them keep
  // their texts' memory, so that queueing a point allocates nothing once the queue has been
  // that long; the flush swaps the queue with `flushing_` for the same reason.
  std::vector<Request> colFileAttente_;
  std::vector<Request> flushing_;
  size_t queued_ = 0;
  double dtmDernierEnvoi_ = 0;
};

}  // namespace quillon
