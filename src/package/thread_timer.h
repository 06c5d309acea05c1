// timerRead of every control of a UI thread, driven by one timer of that thread. The window
// system delivers each timer as a message of its own (under Wine through its server), so a
// thousand controls with a timer each cost a thousand messages a second; the controls of a
// thread share one instead, made with the first control that ticks and killed with the last.
//
// Each control keeps its own second: its first tick comes one interval after it joins, then
// one per interval. The shared timer wakes at the earliest second due and ticks every control
// due within kSlack of it, in the order the controls joined, so controls started together
// share their wakes. A tick that the thread's board (tick_board.h) calls idle is left out
// without touching its control: of a thousand controls that read every ten seconds, a wake
// reaches the hundred that read.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "control/tick_board.h"

namespace quillon {

class WakeBurst;

// What the shared timer ticks.
class TimerClient {
 public:
  TimerClient() = default;
  TimerClient(const TimerClient&) = delete;
  TimerClient& operator=(const TimerClient&) = delete;

  // One tick, on the thread that joined. It may join, leave or destroy any client of the
  // thread (itself included) and run a message loop.
  virtual void OnTick() noexcept = 0;

 protected:
  ~TimerClient() = default;
};

class ThreadTimer {
 public:
  static constexpr uint64_t kInterval = 1000;  // ms between two ticks of one client
  static constexpr uint64_t kSlack = 100;      // ms a tick may come early to share a wake

  // Ticks `client` on the calling thread from now on: first one interval from now, then once
  // per interval; a client already ticking starts its interval again. A client joined inside
  // a tick gets no tick from the wake running now. False when the thread's timer cannot be
  // made (the client is then not ticked). `slot` is the client's on its thread's board, or
  // none: every tick then reaches it.
  static bool Join(TimerClient* client, TickSlot slot) noexcept;
  // Stops ticking `client` (the thread that joined it): no tick reaches it once this returns,
  // not even later in a wake running now. The last client out kills the thread's timer.
  static void Leave(TimerClient* client) noexcept;
  // The calling thread has ended (DLL_THREAD_DETACH): its timer, gone with it, is forgotten.
  static void ThreadEnded() noexcept;

  ThreadTimer(const ThreadTimer&) = delete;
  ThreadTimer& operator=(const ThreadTimer&) = delete;

 private:
  struct Entry {
    TimerClient* client;  // nullptr once it left during a wake
    uint64_t due;         // GetTickCount64() of its next tick
    TickSlot slot;        // where its control says which ticks have nothing to do
  };

  explicit ThreadTimer(DWORD thread) : thread_(thread) {}
  ~ThreadTimer();

  static ThreadTimer* Find(DWORD thread) noexcept;
  static void CALLBACK Proc(HWND, UINT, UINT_PTR id, DWORD);
  bool Add(TimerClient* client, TickSlot slot) noexcept;
  void Remove(TimerClient* client) noexcept;
  // One wake, inside a burst of `burst` (nullptr: none), whose use it then drops.
  void Wake(WakeBurst* burst) noexcept;
  // Ticks the clients due, but for those `board` (the thread's, or nullptr) calls idle;
  // deletes this timer when none is left.
  void TickDue(TickBoard* board) noexcept;
  bool Arm(uint64_t now) noexcept;
  void Unlink() noexcept;
  bool Empty() const noexcept;

  DWORD thread_;                  // whose timer it is (the thread's ThreadState holds it)
  UINT_PTR id_ = 0;               // the thread timer, 0 while there is none
  uint64_t wake_ = 0;             // when it fires next
  std::vector<Entry> entries_;    // in the order the clients joined
  int wakes_running_ = 0;         // a tick may run a message loop, and so another wake
};

}  // namespace quillon
