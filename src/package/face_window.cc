#include "package/face_window.h"

#include "package/exclusive_lock.h"
#include "platform/win32/this_module.h"

namespace quillon {
namespace {

constexpr wchar_t kClassName[] = L"QuillonPDFace";

// The window class is shared by the face windows of every thread of the process: registered
// with the first of them, unregistered with the last, so that no class of this library is
// left registered after the library is unloaded. The lock guards the count and the class.
SRWLOCK g_class_lock = SRWLOCK_INIT;
int g_windows = 0;  // windows holding the class, under g_class_lock

// One more window holds the class; false (and not counted) when it cannot be registered.
bool RegisterFaceClass(WNDPROC proc) {
  ExclusiveLock lock(g_class_lock);
  if (g_windows == 0) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = proc;
    wc.hInstance = ThisModule();
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    wc.lpszClassName = kClassName;
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
  }
  ++g_windows;
  return true;
}

void UnregisterFaceClass() {
  ExclusiveLock lock(g_class_lock);
  if (g_windows > 0 && --g_windows == 0) UnregisterClassW(kClassName, ThisModule());
}

}  // namespace

FaceScale FaceWindow::ScreenScale() {
  HDC screen = GetDC(nullptr);
  const int x = GetDeviceCaps(screen, LOGPIXELSX), y = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return FaceScale::ForDpi(x > 0 ? x : 96, y > 0 ? y : 96);
}

void FaceWindow::UnregisterClassAtUnload() noexcept {
  ExclusiveLock lock(g_class_lock);
  g_windows = 0;
  UnregisterClassW(kClassName, ThisModule());
}

bool FaceWindow::Create(HWND parent, const RECT& pos) {
  if (window_) return true;
  scale_ = ScreenScale();
  font_ = CreateFaceFont(scale_);
  class_held_ = RegisterFaceClass(&FaceWindow::Proc);
  if (class_held_) {
    window_ = CreateWindowExW(0, kClassName, L"", WS_CHILD | WS_CLIPSIBLINGS, pos.left, pos.top,
                              pos.right - pos.left, pos.bottom - pos.top, parent, nullptr,
                              ThisModule(), this);
  }
  if (!window_) {
    Destroy();
    return false;
  }
  for (const FaceChild& child : kFace) {
    if (child.kind == ChildKind::kLabel)
      boxes_[static_cast<size_t>(child.id)] = MeasureBox(child.id);
  }
  ApplyTimer();
  return true;
}

void FaceWindow::Destroy() {
  if (window_) {
    ThreadTimer::Leave(this);
    timer_running_ = false;
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
    window_ = nullptr;
  }
  if (class_held_) UnregisterFaceClass();
  class_held_ = false;
  if (font_) DeleteObject(font_);
  font_ = nullptr;
}

void FaceWindow::Move(const RECT& pos, const RECT& clip) {
  if (!window_) return;
  MoveWindow(window_, pos.left, pos.top, pos.right - pos.left, pos.bottom - pos.top, TRUE);
  RECT visible;
  if (!IntersectRect(&visible, &pos, &clip)) visible = RECT{pos.left, pos.top, pos.left, pos.top};
  if (EqualRect(&visible, &pos)) {
    SetWindowRgn(window_, nullptr, TRUE);
    return;
  }
  OffsetRect(&visible, -pos.left, -pos.top);
  SetWindowRgn(window_, CreateRectRgnIndirect(&visible), TRUE);  // the window owns the region
}

void FaceWindow::SetColours(const SurfaceColours& colours) noexcept {
  if (colours == colours_) return;
  colours_ = colours;
  if (window_) InvalidateRect(window_, nullptr, FALSE);
}

void FaceWindow::Show(bool visible) {
  if (window_) ShowWindow(window_, visible ? SW_SHOWNA : SW_HIDE);
}

RECT FaceWindow::MeasureBox(Child label) {
  HDC dc = GetDC(window_);
  HGDIOBJ old = SelectObject(dc, font_);
  const RECT box = LabelBox(dc, FaceOf(label), owner_.face(), scale_, POINT{0, 0});
  SelectObject(dc, old);
  ReleaseDC(window_, dc);
  return box;
}

void FaceWindow::LabelChanged(Child label) noexcept {
  if (!window_ || FaceOf(label).kind != ChildKind::kLabel) return;
  RECT& box = boxes_[static_cast<size_t>(label)];
  InvalidateRect(window_, &box, FALSE);
  try {
    box = MeasureBox(label);
  } catch (...) {  // the text cannot be measured: the whole face is redrawn
    GetClientRect(window_, &box);
  }
  InvalidateRect(window_, &box, FALSE);
}

bool FaceWindow::EnableTimer(bool enabled) noexcept {
  timer_enabled_ = enabled;
  return ApplyTimer();
}

bool FaceWindow::ApplyTimer() noexcept {
  if (!window_) return true;
  if (timer_enabled_) {
    timer_running_ = ThreadTimer::Join(this, owner_.tick_slot());
    return timer_running_;
  }
  ThreadTimer::Leave(this);
  timer_running_ = false;
  return true;
}

void FaceWindow::OnTick() noexcept { owner_.Tick(); }

void FaceWindow::Paint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window_, &ps);
  const RECT r = ps.rcPaint;
  const int w = r.right - r.left, h = r.bottom - r.top;
  if (w > 0 && h > 0) {
    // Drawn off screen first, then copied in one piece: no flicker.
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, w, h);
    HGDIOBJ old = SelectObject(memory, bitmap);
    SetViewportOrgEx(memory, -r.left, -r.top, nullptr);
    PaintFace(memory, owner_.face(), scale_, font_, colours_, POINT{0, 0}, r);
    SetViewportOrgEx(memory, 0, 0, nullptr);
    BitBlt(dc, r.left, r.top, w, h, memory, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
  }
  EndPaint(window_, &ps);
}

LRESULT CALLBACK FaceWindow::Proc(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_NCCREATE) {
    auto* creator = static_cast<FaceWindow*>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creator));
    creator->window_ = window;
  }
  auto* self = reinterpret_cast<FaceWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!self) return DefWindowProcW(window, message, w, l);
  return self->Handle(message, w, l);
}

LRESULT FaceWindow::Handle(UINT message, WPARAM w, LPARAM l) {
  switch (message) {
    case WM_PAINT:
      Paint();
      return 0;
    case WM_PRINTCLIENT: {
      RECT client;
      GetClientRect(window_, &client);
      PaintFace(reinterpret_cast<HDC>(w), owner_.face(), scale_, font_, colours_, POINT{0, 0}, client);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT covers every pixel
    case WM_NCDESTROY:  // destroyed with its parent: no window, no tick
      ThreadTimer::Leave(this);
      timer_running_ = false;
      window_ = nullptr;
      return 0;
  }
  return DefWindowProcW(window_, message, w, l);
}

}  // namespace quillon
