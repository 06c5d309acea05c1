// timerRead of many controls driven by one timer per UI thread: how many timer messages a
// thread gets, when each control ticks, and controls enabled, disabled or released inside
// another control's tick.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "control/tick_board.h"
#include "fakes/fake_clock.h"
#include "package/thread_registry.h"
#include "visual/test_face.h"

namespace quillon {
namespace {

constexpr ULONGLONG kSecond = 1000;  // timerRead's interval
// How early a tick may come to share a wake of the thread's timer with others, and how late
// it may come on a loaded machine.
constexpr ULONGLONG kEarly = 120;
constexpr ULONGLONG kLate = 400;

LRESULT CALLBACK ParentProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  return DefWindowProcW(w, m, wp, lp);
}

// The controls of one UI thread, each a face window under one hidden parent.
class Display {
 public:
  struct Control {
    std::unique_ptr<TestFace> site;
    ULONGLONG enabled_at = 0;
    std::vector<ULONGLONG> ticks;      // when each tick came
    std::vector<DWORD> tick_threads;   // on which thread
    std::function<void()> on_tick;     // what the next ticks do besides being counted
  };

  Display() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = ParentProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"SharedTimerTestParent";
    RegisterClassW(&wc);  // a second thread finds it registered
    parent_ = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP | WS_CLIPCHILDREN, 0, 0, 640,
                              480, nullptr, nullptr, wc.hInstance, nullptr);
  }
  ~Display() {
    controls_.clear();
    if (parent_) DestroyWindow(parent_);
  }
  Display(const Display&) = delete;
  Display& operator=(const Display&) = delete;

  HWND parent() const { return parent_; }
  Control& operator[](size_t i) { return *controls_[i]; }
  size_t size() const { return controls_.size(); }
  const std::vector<size_t>& order() const { return order_; }

  // A control with its window, timer off.
  Control& Add() {
    controls_.push_back(std::make_unique<Control>());
    Control* c = controls_.back().get();
    const size_t index = controls_.size() - 1;
    c->site = std::make_unique<TestFace>([this, c, index] {
      c->ticks.push_back(GetTickCount64());
      c->tick_threads.push_back(GetCurrentThreadId());
      order_.push_back(index);
      if (c->on_tick) c->on_tick();
    });
    const int x = static_cast<int>(index % 8) * 10, y = static_cast<int>(index / 8) * 10;
    EXPECT_TRUE(c->site->window().Create(parent_, RECT{x, y, x + 285, y + 155}));
    return *c;
  }
  void Add(size_t n) {
    for (size_t i = 0; i < n; ++i) Add();
  }
  void Enable(Control& c, bool on = true) {
    c.enabled_at = GetTickCount64();
    EXPECT_TRUE(c.site->EnableTimer(on));
  }
  void EnableAll(bool on = true) {
    for (auto& c : controls_) Enable(*c, on);
  }
  void Release(Control& c) { c.site.reset(); }

  // Runs the thread's message loop for `ms`; returns how many timer messages came.
  static int Pump(DWORD ms) {
    int timer_messages = 0;
    const ULONGLONG end = GetTickCount64() + ms;
    for (ULONGLONG now; (now = GetTickCount64()) < end;) {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_TIMER) ++timer_messages;
        DispatchMessageW(&msg);
      }
    }
    return timer_messages;
  }

 private:
  HWND parent_ = nullptr;
  std::vector<std::unique_ptr<Control>> controls_;
  std::vector<size_t> order_;  // the index of each control ticked, in turn
};

class SharedTimerTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_NE(display_.parent(), nullptr); }

  // The first tick comes about one second after `c` was enabled (never early by more than
  // the slack the shared timer allows), the next ones about a second apart.
  static void ExpectSeconds(const Display::Control& c) {
    ASSERT_FALSE(c.ticks.empty());
    const ULONGLONG first = c.ticks[0] - c.enabled_at;
    EXPECT_GE(first, kSecond - kEarly);
    EXPECT_LE(first, kSecond + kLate);
    for (size_t i = 1; i < c.ticks.size(); ++i) {
      EXPECT_GE(c.ticks[i] - c.ticks[i - 1], kSecond - kEarly) << i;
      EXPECT_LE(c.ticks[i] - c.ticks[i - 1], kSecond + kLate) << i;
    }
  }

  Display display_;
};

TEST_F(SharedTimerTest, ManyControlsTickOnceASecondFromOneTimerMessage) {
  display_.Add(40);
  display_.EnableAll();
  const int messages = Display::Pump(3 * kSecond + 450);
  for (size_t i = 0; i < display_.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(display_[i].ticks.size(), 3u);
    ExpectSeconds(display_[i]);
  }
  EXPECT_GE(messages, 3);
  EXPECT_LE(messages, 4) << "one timer message a second for all 40 controls";
  // Each wake ticks the controls in the order they were enabled.
  for (size_t i = 0; i < display_.order().size(); ++i) EXPECT_EQ(display_.order()[i], i % 40);
}

TEST_F(SharedTimerTest, ControlEnabledBetweenTwoTicksKeepsItsOwnSecond) {
  display_.Add(3);
  display_.Enable(display_[0]);
  Display::Pump(kSecond / 2);
  display_.Enable(display_[1]);
  Display::Pump(kSecond / 4);
  display_.Enable(display_[2]);
  display_.Enable(display_[2]);  // enabled again: its second starts again
  const int messages = Display::Pump(2 * kSecond + 400);
  for (size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_GE(display_[i].ticks.size(), 2u);
    EXPECT_LE(display_[i].ticks.size(), 3u);
    ExpectSeconds(display_[i]);
  }
  EXPECT_LE(messages, 3 * 3 + 1) << "no more wakes than the controls' seconds";
}

TEST_F(SharedTimerTest, ControlsChangedInsideATickTakeEffectFromTheNextOne) {
  display_.Add(6);
  display_.EnableAll();
  ULONGLONG first_wake = 0;
  display_[0].on_tick = [&] {
    display_[0].on_tick = nullptr;
    first_wake = GetTickCount64();
    display_.Release(display_[1]);       // released later in the same wake: skipped
    display_.Enable(display_[2], false);  // disabled: no tick from now on
    display_.Enable(display_[5]);         // enabled again: one second from now
  };
  display_[3].on_tick = [&] { display_.Release(display_[3]); };  // releases itself
  display_[4].on_tick = [&] {
    display_[4].on_tick = nullptr;
    display_.Release(display_[0]);  // released after its own tick of this wake
  };
  Display::Pump(2 * kSecond + 450);
  ASSERT_NE(first_wake, 0u);
  EXPECT_EQ(display_[0].ticks.size(), 1u);
  EXPECT_TRUE(display_[1].ticks.empty());
  EXPECT_TRUE(display_[2].ticks.empty());
  EXPECT_EQ(display_[3].ticks.size(), 1u);
  EXPECT_EQ(display_[4].ticks.size(), 2u);
  ASSERT_FALSE(display_[5].ticks.empty());
  EXPECT_GE(display_[5].ticks[0] - first_wake, kSecond - kEarly)
      << "not in the wake that enabled it";
  ExpectSeconds(display_[5]);
}

TEST_F(SharedTimerTest, TheTimerGoesWithTheLastControlAndComesBackWithTheNext) {
  display_.Add(3);
  display_.EnableAll();
  EXPECT_GE(Display::Pump(kSecond + 300), 1);
  display_.Enable(display_[0], false);
  display_.Release(display_[1]);
  EXPECT_GE(Display::Pump(kSecond + 300), 1) << "one control left ticking";
  display_.Enable(display_[2], false);
  EXPECT_EQ(Display::Pump(kSecond + 500), 0) << "no control ticking, no timer";
  display_.Enable(display_[0]);
  Display::Pump(kSecond + 300);
  EXPECT_EQ(display_[0].ticks.size(), 2u);
  // Windows destroyed with their parent tick no more, and the timer goes with them.
  DestroyWindow(display_.parent());
  const size_t ticks = display_[0].ticks.size();
  EXPECT_EQ(Display::Pump(kSecond + 500), 0);
  EXPECT_EQ(display_[0].ticks.size(), ticks);
  EXPECT_EQ(display_[0].site->window().handle(), nullptr);
}

TEST_F(SharedTimerTest, ANestedMessageLoopInATickKeepsTheOthersTicking) {
  display_.Add(3);
  display_.EnableAll();
  int nested_messages = 0;
  display_[0].on_tick = [&] {
    display_[0].on_tick = nullptr;
    nested_messages = Display::Pump(2 * kSecond + 300);  // a modal loop of the container
  };
  Display::Pump(3 * kSecond + 450);
  EXPECT_GE(nested_messages, 2);
  for (size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(display_[i].ticks.size(), 3u);
  }
  for (size_t i = 1; i < 3; ++i) ExpectSeconds(display_[i]);
}

// The thread's environment as its timer sees it: what each wake does with it, in order.
class RecordingBurst final : public WakeBurst {
 public:
  explicit RecordingBurst(std::vector<std::string>& log) : log_(log) {
    ThreadRegistry::Lock lock;
    ThreadState* state = ThreadRegistry::FindOrAdd(lock, GetCurrentThreadId());
    state->burst = this;
    state->environment_uses = 1;
  }
  ~RecordingBurst() {
    ThreadRegistry::Lock lock;
    ThreadState* state = ThreadRegistry::Find(lock, GetCurrentThreadId());
    state->burst = nullptr;
    state->environment_uses = 0;
    ThreadRegistry::Prune(lock, GetCurrentThreadId());
  }
  static long Uses() {
    ThreadRegistry::Lock lock;
    return ThreadRegistry::Find(lock, GetCurrentThreadId())->environment_uses;
  }
  void BeginBurst() noexcept override { log_.push_back("begin"); }
  void EndBurst() noexcept override { log_.push_back("end"); }
  TickBoard& tick_board() noexcept override { return board_; }
  void Release() noexcept override {
    {
      ThreadRegistry::Lock lock;
      --ThreadRegistry::Find(lock, GetCurrentThreadId())->environment_uses;
    }
    log_.push_back("release");
  }

 private:
  std::vector<std::string>& log_;
  testing::FakeClock clock_;
  TickBoard board_{clock_};
};

// Each wake ticks its controls inside one burst of the thread's environment, holding a use of
// it until the burst is over (a tick may release every control).
TEST_F(SharedTimerTest, EachWakeTicksItsControlsInOneBurstOfTheThreadsEnvironment) {
  std::vector<std::string> log;
  RecordingBurst environment(log);
  display_.Add(3);
  for (size_t i = 0; i < 3; ++i) {
    display_[i].on_tick = [&log, i] {
      log.push_back("tick " + std::to_string(i));
      if (i == 0) log.push_back("uses " + std::to_string(RecordingBurst::Uses()));
    };
  }
  display_.EnableAll();
  Display::Pump(2 * kSecond + 450);
  const std::vector<std::string> wake = {"begin",  "tick 0", "uses 2", "tick 1",
                                         "tick 2", "end",    "release"};
  std::vector<std::string> two_wakes = wake;
  two_wakes.insert(two_wakes.end(), wake.begin(), wake.end());
  EXPECT_EQ(log, two_wakes);
  EXPECT_EQ(RecordingBurst::Uses(), 1);
}

// A wake leaves out the ticks that the thread's board calls idle, asking it again after each
// tick delivered; a slot on a board of another thread's controls is not asked about.
TEST_F(SharedTimerTest, TicksTheThreadsBoardCallsIdleAreLeftOut) {
  std::vector<std::string> log;
  RecordingBurst environment(log);
  TickBoard& board = environment.tick_board();
  testing::FakeClock other_clock;
  TickBoard other(other_clock);
  const TickSlot idle{&board, board.Take()}, elsewhere{&other, other.Take()};
  board.Set(idle.slot, TickBoard::kNoTick);
  other.Set(elsewhere.slot, TickBoard::kNoTick);
  display_.Add(3);
  display_[1].site->set_tick_slot(idle);
  display_[2].site->set_tick_slot(elsewhere);
  for (size_t i = 0; i < 3; ++i) {
    display_[i].on_tick = [&, i] {
      log.push_back("tick " + std::to_string(i));
      if (i == 0 && display_[0].ticks.size() == 2) board.Set(idle.slot, TickBoard::kEveryTick);
    };
  }
  display_.EnableAll();
  Display::Pump(2 * kSecond + 450);
  EXPECT_EQ(log, (std::vector<std::string>{"begin", "tick 0", "tick 2", "end", "release", "begin",
                                           "tick 0", "tick 1", "tick 2", "end", "release"}));
}

// Two UI threads, each with its controls: each thread has its own timer, and its controls
// tick on it only. The threads make their controls in turn and tick at the same time.
struct UiThread {
  size_t controls = 0;
  HANDLE placed = nullptr;  // set once the thread's controls are made and enabled
  int messages = 0;
  bool ok = false;
  DWORD id = 0;

  static DWORD WINAPI Run(void* param) {
    auto* self = static_cast<UiThread*>(param);
    self->id = GetCurrentThreadId();
    Display display;
    display.Add(self->controls);
    display.EnableAll();
    SetEvent(self->placed);
    self->messages = Display::Pump(2 * kSecond + 450);
    self->ok = true;
    for (size_t i = 0; i < display.size(); ++i) {
      self->ok &= display[i].ticks.size() == 2;
      for (DWORD thread : display[i].tick_threads) self->ok &= thread == self->id;
    }
    return 0;
  }
};

TEST(SharedTimerThreadsTest, EachUiThreadTicksItsOwnControlsFromItsOwnTimer) {
  UiThread threads[2] = {{.controls = 20}, {.controls = 7}};
  HANDLE handles[2];
  for (int i = 0; i < 2; ++i) {
    threads[i].placed = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    handles[i] = CreateThread(nullptr, 0, &UiThread::Run, &threads[i], 0, nullptr);
    ASSERT_NE(handles[i], nullptr);
    EXPECT_EQ(WaitForSingleObject(threads[i].placed, 30000), WAIT_OBJECT_0);
  }
  EXPECT_EQ(WaitForMultipleObjects(2, handles, TRUE, 30000), WAIT_OBJECT_0);
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    CloseHandle(handles[i]);
    CloseHandle(threads[i].placed);
    EXPECT_TRUE(threads[i].ok) << "two ticks each, on their own thread";
    EXPECT_GE(threads[i].messages, 2);
    EXPECT_LE(threads[i].messages, 3) << "one timer message a second on each thread";
  }
}

}  // namespace
}  // namespace quillon
