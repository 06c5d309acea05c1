// The control's window: the face painted from the layout table, and timerRead as a window
// timer. Captions change through the face state; the window redraws only the labels that
// changed, so a changing value does not make the face flicker.
#pragma once

#include <windows.h>

#include <array>
#include <functional>

#include "control/face.h"
#include "package/face_paint.h"

namespace quillon {

class FaceWindow {
 public:
  // `face` is what the window shows (it must outlive the window); `tick` runs on every tick
  // of timerRead, on the thread that owns the window.
  FaceWindow(const FaceState& face, std::function<void()> tick);
  FaceWindow(const FaceWindow&) = delete;
  FaceWindow& operator=(const FaceWindow&) = delete;
  ~FaceWindow() { Destroy(); }

  // Creates the window, hidden, as a child of `parent` at `pos` (parent's client pixels).
  bool Create(HWND parent, const RECT& pos);
  // Destroys the window; the timer stops with it and starts again with the next Create if
  // it is still enabled.
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
  // Starts timerRead (restarting its second when it runs) or stops it; false when the
  // window could not switch it (without a window the timer starts with the window).
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

  const FaceState& face_;
  std::function<void()> tick_;
  HWND window_ = nullptr;
  HFONT font_ = nullptr;
  FaceScale scale_;
  SurfaceColours colours_;
  std::array<RECT, kChildCount> boxes_{};
  bool class_held_ = false;  // this window counts in the class's users
  bool timer_enabled_ = false;
  bool timer_running_ = false;
};

}  // namespace quillon
