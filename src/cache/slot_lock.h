// The cache file's slot lock: one byte locked around a new record's slot choice and its write
// (and around a server's rewrite of a record), with a bounded wait shared by every writer of
// the file that this code runs.
#pragma once

#include <cstdint>

#include "platform/clock.h"
#include "platform/file_system.h"

namespace quillon {

// The byte locked: far beyond any record, so other processes stay free to open, read and
// write the file.
inline constexpr int64_t kSlotLockOffset = int64_t{1} << 40;
// A busy slot lock is tried again every millisecond for about 50 ms; after a wait that
// failed, only once, without waiting, during the next second.
inline constexpr int kSlotLockWaitMs = 50;

// Takes the slot lock with that bounded wait, so that a peer that keeps the lock costs a
// display or a server little. One per process-wide user of the file; called on one thread.
class BoundedSlotLock {
 public:
  explicit BoundedSlotLock(Clock& clock) : clock_(clock) {}
  BoundedSlotLock(const BoundedSlotLock&) = delete;
  BoundedSlotLock& operator=(const BoundedSlotLock&) = delete;

  // Locks the slot byte of `file`; false when another handle kept it through the wait (or,
  // within a second of a failed wait, at the one try).
  bool Acquire(RandomAccessFile& file);
  // Releases the byte locked by Acquire.
  void Release(RandomAccessFile& file) { file.UnlockByte(kSlotLockOffset); }

 private:
  Clock& clock_;
  double failed_at_ = 0;  // when a wait last failed; 0: never
};

}  // namespace quillon
