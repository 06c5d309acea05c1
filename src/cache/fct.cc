#include "cache/fct.h"

#include <cmath>
#include <utility>

#include "common/oledate.h"

namespace quillon {

Fct::Fct(FctCache& cache, Clock& clock) : cache_(cache), clock_(clock) {}

bool Fct::FlushDue(double now) const {
  if (dtmDernierEnvoi_ == 0) return true;
  // Whole milliseconds, so that a request exactly one second after the flush is due.
  const double elapsed_ms =
      std::round((DateToLinear(now) - DateToLinear(dtmDernierEnvoi_)) * kSecondsPerDay * 1000.0);
  // A clock set back (an hour at the end of summer time) must not hold requests back.
  return elapsed_ms >= 1000.0 || elapsed_ms < 0.0 || std::isnan(elapsed_ms);
}

void Fct::Queue(const Text& ntf, int32_t poll_time, const PointHint* hint) {
  if (queued_ == colFileAttente_.size()) colFileAttente_.emplace_back();
  Request& request = colFileAttente_[queued_++];
  if (hint != nullptr && SameText(hint->ntf, ntf)) {
    request.point = *hint;
  } else {
    request.point.ntf.assign(ntf);
    request.point.index_version = 0;
  }
  request.poll_time = poll_time;
  request.read_n = bursts_ > 0 ? cache_.LastReadOf(ntf, request.read_bytes) : 0;
  request.read_at = reads_;
}

void Fct::fctDemanderLectNTF(const Text& ntf, int32_t poll_time, const PointHint* hint) {
  Queue(ntf, poll_time, hint);
  const double now = clock_.Now();
  if (flush_waits_ || !FlushDue(now)) {
    cache_.ForgetLastRead();  // the request is forced later, after a fresh read
    return;
  }
  dtmDernierEnvoi_ = now;
  if (bursts_ > 0) {
    flush_waits_ = true;
    cache_.ForgetLastRead();
    return;
  }
  Flush();
  cache_.ForgetLastRead();
}

void Fct::BeginBurst() {
  if (bursts_++ == 0) ++reads_;
}

void Fct::EndBurst() {
  if (bursts_ > 0) --bursts_;
  if (!flush_waits_) return;
  flush_waits_ = false;
  Flush();
}

// Each point keeps the code it came with: a fast control must not raise the others'.
void Fct::Flush() {
  flushing_.swap(colFileAttente_);
  const size_t count = queued_;
  queued_ = 0;
  known_.clear();
  for (size_t i = 0; i < count; ++i) {
    const Request& request = flushing_[i];
    if (request.read_n != 0 && request.read_at == reads_) {
      known_.push_back({request.read_n, request.read_bytes});
    } else {
      cache_.PlanRead(request.point.ntf, &request.point);
    }
  }
  ++reads_;  // from here on our writes change the records: reads made before are stale
  cache_.ReadPlanned(known_);
  // The records read ahead serve this flush only, also when a forced read throws.
  struct DropHeld {
    FctCache& cache;
    ~DropHeld() { cache.DropHeld(); }
  } drop_held{cache_};
  for (size_t i = 0; i < count; ++i) {
    const Request& request = flushing_[i];
    cache_.cacheForcerLectNTF(request.point.ntf, request.poll_time, &request.point);
  }
}

void Fct::fctFermerCache() {
  cache_.CloseFile();
  queued_ = 0;
  ++reads_;  // a file opened again may not be the one those reads came from
}

}  // namespace quillon
