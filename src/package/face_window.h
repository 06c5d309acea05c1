// The control's window: the face its owner keeps, painted from the layout table, and
// timerRead ticked by the thread's shared timer (thread_timer.h) while the window exists. The
// window redraws only the labels its owner says changed, so a changing value does not make
// the face flicker.
#pragma once

#include <windows.h>

#include <array>

#include "control/face.h"
#include "control/tick_board.h"
#include "package/face_paint.h"
#include "package/thread_timer.h"

namespace quillon {

// What a face window shows, and whom its ticks reach: the control behind it.
class FaceOwner {
 public:
  FaceOwner() = default;
  FaceOwner(const FaceOwner&) = delete;
  FaceOwner& operator=(const FaceOwner&) = delete;

  // What the face shows now; on the window's thread, when the window paints or measures.
  virtual const FaceState& face() noexcept = 0;
  // One tick of timerRead, on the window's thread. It may destroy the window.
  virtual void Tick() noexcept = 0;
  // Where the control says which of its ticks have nothing to do (tick_board.h); none: all
  // of them count.
  virtual TickSlot tick_slot() noexcept = 0;

 protected:
  ~FaceOwner() = default;
};

class FaceWindow final : private TimerClient {
 public:
  // `owner` must outlive the window.
  explicit FaceWindow(FaceOwner& owner) : owner_(owner) {}
  FaceWindow(const FaceWindow&) = delete;
  FaceWindow& operator=(const FaceWindow&) = delete;
  ~FaceWindow() { Destroy(); }

  // Creates the window, hidden, as a child of `parent` at `pos` (parent's client pixels).
  bool Create(HWND parent, const RECT& pos);
  // Destroys the window; the timer stops with it and starts again with the next Create if
  // it is still enabled. A window destroyed by its parent stops the timer the same way.
  void Destroy();
  HWND handle() const { return window_; }

  // Moves the window; the parts of it outside `clip` are not shown.
  void Move(const RECT& pos, const RECT& clip);
  void Show(bool visible);
  // Draws the surface in `colours` from now on (the system's until set), redrawn at once.
  void SetColours(const SurfaceColours& colours) noexcept;
  const SurfaceColours& colours() const { return colours_; }
  // Redraws the old and the new box of a label whose caption or colour changed.
  void LabelChanged(Child label) noexcept;
  // Starts timerRead (restarting its second when it runs: the first tick comes one second
  // later) or stops it (no tick after this returns); false when the timer could not be
  // started (without a window the timer starts with the window).
  bool EnableTimer(bool enabled) noexcept;
  bool timer_enabled() const { return timer_enabled_; }
  bool timer_running() const { return timer_running_; }

  // The scale of the screen (pixels per inch over 1440 twips).
  static FaceScale ScreenScale();
  // Unregisters the window class of the face windows if it is still registered; for the
  // library's unloading (process detach), when no face window can be left.
  static void UnregisterClassAtUnload() noexcept;

 private:
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM w, LPARAM l);
  LRESULT Handle(UINT message, WPARAM w, LPARAM l);
  void Paint();
  RECT MeasureBox(Child label);
  bool ApplyTimer() noexcept;
  void OnTick() noexcept override;

  FaceOwner& owner_;
  HWND window_ = nullptr;
  HFONT font_ = nullptr;
  FaceScale scale_;  // the screen's, measured by Create
  SurfaceColours colours_;
  std::array<RECT, kChildCount> boxes_{};
  bool class_held_ = false;  // this window counts in the class's users
  bool timer_enabled_ = false;
  bool timer_running_ = false;
};

}  // namespace quillon
