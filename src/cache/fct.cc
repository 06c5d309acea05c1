#include "cache/fct.h"

#include <cmath>
#include <utility>

#include "common/oledate.h"

namespace quillon {

Fct::Fct(FctCache& cache, Clock& clock) : cache_(cache), clock_(clock) {}

namespace {

// A display's read that a flush may stand on instead of reading the record again.
constexpr double kFreshReadMs = 500;

// Whole milliseconds from `from` to `to`, so that a request exactly one second after the flush
// is due; NaN when either is no date.
double ElapsedMs(double from, double to) {
  return std::round((DateToLinear(to) - DateToLinear(from)) * kSecondsPerDay * 1000.0);
}

}  // namespace

bool Fct::FlushDue(double now) const {
  if (dtmDernierEnvoi_ == 0) return true;
  const double elapsed_ms = ElapsedMs(dtmDernierEnvoi_, now);
  // A clock set back (an hour at the end of summer time) must not hold requests back.
  return elapsed_ms >= 1000.0 || elapsed_ms < 0.0 || std::isnan(elapsed_ms);
}

// Made since the last flush and the start of the burst, and not long ago: a tick that ran a
// script or a modal loop may have held the burst up.
bool Fct::ReadStillStands(const Request& request, double now) const {
  if (request.read_n == 0 || request.read_at != reads_) return false;
  const double elapsed_ms = ElapsedMs(request.read_time, now);
  return elapsed_ms >= 0.0 && elapsed_ms < kFreshReadMs;
}

void Fct::Queue(const Text& ntf, int32_t poll_time, const PointHint* hint, double now) {
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
  request.read_time = now;
}

void Fct::fctDemanderLectNTF(const Text& ntf, int32_t poll_time, const PointHint* hint) {
  const double now = clock_.Now();
  Queue(ntf, poll_time, hint, now);
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
  Flush(now);
  cache_.ForgetLastRead();
}

// Reads queued before a burst, nested or not, are read again by its flush.
void Fct::BeginBurst() {
  ++bursts_;
  ++reads_;
}

void Fct::EndBurst() {
  if (bursts_ > 0) --bursts_;
  if (!flush_waits_) return;
  flush_waits_ = false;
  Flush(clock_.Now());
}

// Each point keeps the code it came with: a fast control must not raise the others'.
void Fct::Flush(double now) {
  flushing_.swap(colFileAttente_);
  const size_t count = queued_;
  queued_ = 0;
  known_.clear();
  for (size_t i = 0; i < count; ++i) {
    const Request& request = flushing_[i];
    if (ReadStillStands(request, now)) {
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
