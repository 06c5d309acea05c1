// What the library keeps for each thread that uses it, in one place: the environment the
// thread's controls share (ThreadEnvironment) and the shared timer that ticks them
// (ThreadTimer), found together by the thread's id under one process-wide lock. The lock is
// taken when a thread's first control is made or its last one destroyed, when a timer starts
// or stops, and once per wake of a thread's timer, each time only to look up or change one
// entry.
#pragma once

#include <windows.h>

#include "package/exclusive_lock.h"

namespace quillon {

class ThreadEnvironment;
class ThreadTimer;
class TickBoard;

// What the thread's shared timer opens around each wake: the thread's environment, whose
// controls' ticks in one wake are one burst of its value cache. Called on that thread.
class WakeBurst {
 public:
  WakeBurst() = default;
  WakeBurst(const WakeBurst&) = delete;
  WakeBurst& operator=(const WakeBurst&) = delete;

  virtual void BeginBurst() noexcept = 0;
  virtual void EndBurst() noexcept = 0;
  // Where the thread's controls say which of their ticks have nothing to do.
  virtual TickBoard& tick_board() noexcept = 0;
  // Drops the use that the wake took (ThreadState::environment_uses); the last one destroys it.
  virtual void Release() noexcept = 0;

 protected:
  ~WakeBurst() = default;
};

// One thread's share of the library. Read and changed only under ThreadRegistry::Lock.
struct ThreadState {
  ThreadEnvironment* environment = nullptr;
  WakeBurst* burst = nullptr;  // the same environment, as its timer sees it
  long environment_uses = 0;   // the environment's users (controls, pages, a wake running)
  ThreadTimer* timer = nullptr;

  bool Empty() const { return environment == nullptr && timer == nullptr; }
};

class ThreadRegistry {
 public:
  // Holds the registry's lock for its life. Any thread; not re-entrant.
  class Lock {
   public:
    Lock();
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

   private:
    ExclusiveLock lock_;
  };

  ThreadRegistry() = delete;

  // The state of `thread`, nullptr when it holds nothing.
  static ThreadState* Find(const Lock&, DWORD thread) noexcept;
  // The state of `thread`, made empty when it holds nothing; nullptr when there is no memory.
  static ThreadState* FindOrAdd(const Lock&, DWORD thread) noexcept;
  // Forgets the state of `thread` when it holds nothing any more. Its entry is kept for the
  // next thread that needs one, so a thread that makes and drops one control at a time
  // allocates nothing here.
  static void Prune(const Lock&, DWORD thread) noexcept;
  // Frees the entries kept for later threads: the library is being unloaded.
  static void FreeSpareEntries() noexcept;
};

}  // namespace quillon
