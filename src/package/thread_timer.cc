#include "package/thread_timer.h"

#include <algorithm>
#include <new>

#include "package/thread_registry.h"

namespace quillon {

ThreadTimer::~ThreadTimer() {
  if (id_ != 0) KillTimer(nullptr, id_);
}

// Each timer's clients are touched by its own thread alone; the registry's lock guards only
// which timer a thread has.
ThreadTimer* ThreadTimer::Find(DWORD thread) noexcept {
  ThreadRegistry::Lock lock;
  const ThreadState* state = ThreadRegistry::Find(lock, thread);
  return state != nullptr ? state->timer : nullptr;
}

void ThreadTimer::Unlink() noexcept {
  ThreadRegistry::Lock lock;
  ThreadState* state = ThreadRegistry::Find(lock, thread_);
  if (state == nullptr || state->timer != this) return;
  state->timer = nullptr;
  ThreadRegistry::Prune(lock, thread_);
}

bool ThreadTimer::Join(TimerClient* client, TickSlot slot) noexcept {
  const DWORD thread = GetCurrentThreadId();
  ThreadTimer* timer = Find(thread);
  if (timer == nullptr) {
    timer = new (std::nothrow) ThreadTimer(thread);
    if (timer == nullptr) return false;
    ThreadRegistry::Lock lock;
    ThreadState* state = ThreadRegistry::FindOrAdd(lock, thread);
    if (state == nullptr) {
      delete timer;  // no timer was set yet: nothing to kill
      return false;
    }
    state->timer = timer;
  }
  if (timer->Add(client, slot)) return true;
  if (timer->wakes_running_ == 0 && timer->Empty()) {
    timer->Unlink();
    delete timer;
  }
  return false;
}

void ThreadTimer::Leave(TimerClient* client) noexcept {
  ThreadTimer* timer = Find(GetCurrentThreadId());
  if (timer != nullptr) timer->Remove(client);
}

void ThreadTimer::ThreadEnded() noexcept {
  ThreadTimer* timer = Find(GetCurrentThreadId());
  if (timer == nullptr) return;
  timer->Unlink();
  timer->id_ = 0;  // gone with the thread's message queue; no window call under the loader lock
  delete timer;
}

bool ThreadTimer::Empty() const noexcept {
  return std::none_of(entries_.begin(), entries_.end(),
                      [](const Entry& e) { return e.client != nullptr; });
}

// The timer wakes no later than the new client's first tick is due.
bool ThreadTimer::Add(TimerClient* client, TickSlot slot) noexcept {
  const uint64_t now = GetTickCount64();
  auto found = std::find_if(entries_.begin(), entries_.end(),
                            [client](const Entry& e) { return e.client == client; });
  if (found != entries_.end()) {
    found->due = now + kInterval;
    found->slot = slot;
  } else {
    try {
      entries_.push_back(Entry{client, now + kInterval, slot});
    } catch (...) {
      return false;
    }
  }
  if (id_ != 0 && wake_ <= now + kInterval) return true;
  if (Arm(now) || id_ != 0) return true;
  // No timer: nothing would tick it.
  found = std::find_if(entries_.begin(), entries_.end(),
                       [client](const Entry& e) { return e.client == client; });
  if (wakes_running_ > 0) {
    found->client = nullptr;
  } else {
    entries_.erase(found);
  }
  return false;
}

// Inside a wake the entry is only cleared: the wake goes on over the same positions.
void ThreadTimer::Remove(TimerClient* client) noexcept {
  auto found = std::find_if(entries_.begin(), entries_.end(),
                            [client](const Entry& e) { return e.client == client; });
  if (found == entries_.end()) return;
  if (wakes_running_ > 0) {
    found->client = nullptr;
    return;
  }
  entries_.erase(found);
  if (!entries_.empty()) return;
  Unlink();
  delete this;
}

// Sets the timer to fire when the earliest client is due (at once when one is late).
bool ThreadTimer::Arm(uint64_t now) noexcept {
  uint64_t next = UINT64_MAX;
  for (const Entry& e : entries_) {
    if (e.client != nullptr) next = std::min(next, e.due);
  }
  if (next == UINT64_MAX) return true;
  const uint64_t delay = next > now ? std::min(next - now, kInterval) : USER_TIMER_MINIMUM;
  const UINT_PTR id = SetTimer(nullptr, id_, static_cast<UINT>(delay), &ThreadTimer::Proc);
  if (id == 0) return false;
  if (id_ != 0 && id != id_) KillTimer(nullptr, id_);  // a new timer in place of the old one
  id_ = id;
  wake_ = now + delay;
  return true;
}

// One look-up finds the thread's timer and its environment, which the wake holds a use of:
// the ticks may release every control.
void CALLBACK ThreadTimer::Proc(HWND, UINT, UINT_PTR id, DWORD) {
  ThreadTimer* timer = nullptr;
  WakeBurst* burst = nullptr;
  {
    ThreadRegistry::Lock lock;
    ThreadState* state = ThreadRegistry::Find(lock, GetCurrentThreadId());
    if (state == nullptr || state->timer == nullptr || state->timer->id_ != id) return;
    timer = state->timer;
    burst = state->burst;
    if (burst != nullptr) ++state->environment_uses;
  }
  timer->Wake(burst);
}

// The controls ticked in one wake are one burst of the thread's value cache: their forced
// reads are written after all their reads, from those reads.
void ThreadTimer::Wake(WakeBurst* burst) noexcept {
  if (burst != nullptr) burst->BeginBurst();
  TickDue(burst != nullptr ? &burst->tick_board() : nullptr);  // may delete this timer
  if (burst == nullptr) return;
  burst->EndBurst();
  burst->Release();
}

// Ticks every client due by now + kSlack, each one moved on by one interval before its tick
// (a late one by one interval from now). A tick may add entries (the vector may move) and clear
// any; entries are erased only once no wake runs. Meanwhile the timer is set for the clients
// still due, so that a tick that runs a message loop (a container's modal loop) does not hold
// up the ticks after it: the loop's own wake ticks them.
// The board is asked only about slots on it (a control made on another thread has its own),
// with the clock read again after each tick delivered, which may have taken long.
void ThreadTimer::TickDue(TickBoard* board) noexcept {
  const uint64_t now = GetTickCount64();
  ++wakes_running_;
  Arm(now);
  bool clock_read = false;
  for (size_t i = 0; i < entries_.size(); ++i) {
    Entry& e = entries_[i];
    if (e.client == nullptr || e.due > now + kSlack) continue;
    e.due = e.due + kInterval > now ? e.due + kInterval : now + kInterval;
    if (board != nullptr && e.slot.board == board) {
      if (!clock_read) board->ReadClock();
      clock_read = true;
      if (board->Idle(e.slot.slot)) continue;
    }
    clock_read = false;
    e.client->OnTick();
  }
  if (--wakes_running_ == 0) {
    std::erase_if(entries_, [](const Entry& e) { return e.client == nullptr; });
    if (entries_.empty()) {
      Unlink();
      delete this;
      return;
    }
  }
  Arm(GetTickCount64());
}

}  // namespace quillon
