#include "cache/slot_lock.h"

#include "common/oledate.h"

namespace quillon {
namespace {

double SecondsBetween(double from, double to) {
  return (DateToLinear(to) - DateToLinear(from)) * kSecondsPerDay;
}

}  // namespace

bool BoundedSlotLock::Acquire(RandomAccessFile& file) {
  if (file.TryLockByte(kSlotLockOffset)) return true;
  const double start = clock_.Now();
  const double since_failure = SecondsBetween(failed_at_, start);
  if (failed_at_ != 0 && since_failure >= 0 && since_failure < 1) return false;
  for (int tries = 0; tries < kSlotLockWaitMs; ++tries) {
    clock_.Sleep(1);
    if (file.TryLockByte(kSlotLockOffset)) return true;
    const double waited = SecondsBetween(start, clock_.Now());
    if (waited * 1000 >= kSlotLockWaitMs || waited < 0) break;
  }
  failed_at_ = clock_.Now();
  return false;
}

}  // namespace quillon
