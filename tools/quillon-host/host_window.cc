#include "host_window.h"

#include <olectl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "screenshot.h"

namespace quillon::host {
namespace {

constexpr wchar_t kClassName[] = L"QuillonHostWindow";
constexpr UINT_PTR kActionTimer = 1;
constexpr int kMargin = 8;

std::string Hex(HRESULT hr) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08lX", static_cast<unsigned long>(hr));
  return buf;
}

std::vector<std::string> SplitNames(const std::string& list) {
  std::vector<std::string> out;
  size_t start = 0;
  while (start <= list.size()) {
    const size_t end = std::min(list.find(',', start), list.size());
    if (end > start) out.push_back(list.substr(start, end - start));
    start = end + 1;
  }
  return out;
}

// A property value for one line of output: in quotes, control characters escaped.
std::string Quoted(const std::string& utf8) {
  std::string out = "\"";
  for (char c : utf8) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", static_cast<unsigned>(c));
      out += buf;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::wstring WideText(TextView t) { return std::wstring(t.begin(), t.end()); }

}  // namespace

bool ParseAction(const std::string& text, Action* action) {
  const size_t eq = text.find('=');
  const std::string verb = text.substr(0, eq);
  const std::string arg = eq == std::string::npos ? "" : text.substr(eq + 1);
  static const struct {
    const char* verb;
    Action::Kind kind;
    int needs_argument;  // 0 no, 1 optional, 2 required
  } kVerbs[] = {{"print", Action::kPrint, 1},   {"screenshot", Action::kScreenshot, 2},
                {"save", Action::kSave, 1},     {"run", Action::kRun, 0},
                {"design", Action::kDesign, 0}, {"hide", Action::kHide, 2},
                {"show", Action::kShow, 2},     {"stats", Action::kStats, 0},
                {"quit", Action::kQuit, 0},     {"select", Action::kSelect, 2},
                {"move", Action::kMove, 2},     {"add", Action::kAdd, 1},
                {"delete", Action::kDelete, 2}, {"properties", Action::kProperties, 2},
                {"close-frame", Action::kCloseFrame, 0}, {"key", Action::kKey, 2},
                {"drag", Action::kDrag, 2},     {"undo", Action::kUndo, 0}};
  for (const auto& v : kVerbs) {
    if (verb != v.verb) continue;
    if ((v.needs_argument == 0 && eq != std::string::npos) ||
        (v.needs_argument == 2 && arg.empty())) {
      return false;
    }
    action->kind = v.kind;
    action->argument = arg;
    return true;
  }
  return false;
}

HostWindow::~HostWindow() {
  CloseAll();
  if (window_) DestroyWindow(window_);
}

bool HostWindow::Open(Display display, const HostOptions& options, std::string* error) {
  display_ = std::move(display);
  options_ = options;
  std::stable_sort(options_.actions.begin(), options_.actions.end(),
                   [](const Action& a, const Action& b) { return a.at_seconds < b.at_seconds; });
  if (options_.force_mode) display_.run_mode = options_.run_mode;
  dpi_ = ScreenDpi();

  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = &HostWindow::Proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = kClassName;
  RegisterClassExW(&wc);

  RECT bounds{0, 0, 320, 200};
  for (const DisplayControl& c : display_.controls) {
    const RECT r = PixelRect(c);
    const LONG w = c.width ? r.right - r.left : MulDiv(285, dpi_.cx, 96);
    const LONG h = c.height ? r.bottom - r.top : MulDiv(155, dpi_.cy, 96);
    bounds.right = std::max(bounds.right, r.left + w + kMargin);
    bounds.bottom = std::max(bounds.bottom, r.top + h + kMargin);
  }
  const DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
  AdjustWindowRect(&bounds, style, TRUE);
  window_ = CreateWindowExW(0, kClassName, L"quillon-host", style, 0, 0, bounds.right - bounds.left,
                            bounds.bottom - bounds.top, nullptr, nullptr, wc.hInstance, this);
  if (!window_) {
    *error = "cannot create the window (error " + std::to_string(GetLastError()) + ")";
    return false;
  }
  CreateMenuBar();
  frame_ = Frame::Create(window_);
  container_.window = window_;
  container_.frame = frame_;
  container_.mode = options_.no_ambient ? AmbientMode::kNoDispatch
                    : display_.run_mode ? AmbientMode::kRun
                                        : AmbientMode::kDesign;
  ShowWindow(window_, SW_SHOWNORMAL);
  UpdateWindow(window_);
  for (DisplayControl& c : display_.controls) AddControl(c);
  UpdateTitle();
  started_ = GetTickCount64();
  SetTimer(window_, kActionTimer, 50, nullptr);
  return true;
}

RECT HostWindow::PixelRect(const DisplayControl& c) const {
  RECT r{MulDiv(c.left, dpi_.cx, 96), MulDiv(c.top, dpi_.cy, 96), 0, 0};
  r.right = c.width ? r.left + MulDiv(*c.width, dpi_.cx, 96) : r.left;
  r.bottom = c.height ? r.top + MulDiv(*c.height, dpi_.cy, 96) : r.top;
  return r;
}

void HostWindow::AddControl(DisplayControl& spec) {
  auto control = std::make_unique<HostedControl>(container_, spec.name, PixelRect(spec));
  CLSID clsid;
  HRESULT hr = ClassFromName(spec.class_name, &clsid);
  const char* step = "find the class";
  if (SUCCEEDED(hr)) hr = control->Create(clsid), step = "create";
  if (SUCCEEDED(hr)) hr = control->Load(&spec.bag), step = "load";
  if (SUCCEEDED(hr)) hr = control->Activate(), step = "activate";
  if (FAILED(hr)) {
    std::fprintf(stderr, "quillon-host: control %s: cannot %s %s (%s)\n", spec.name.c_str(), step,
                 spec.class_name.c_str(), Hex(hr).c_str());
    ++failures_;
  }
  controls_.push_back(std::move(control));
}

void HostWindow::CreateMenuBar() {
  HMENU bar = CreateMenu();
  HMENU menu = CreatePopupMenu();
  AppendMenuW(menu, MF_STRING, kMenuRun, L"&Run mode");
  AppendMenuW(menu, MF_STRING, kMenuDesign, L"&Design mode");
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(menu, MF_STRING, kMenuSave, L"&Save display");
  AppendMenuW(menu, MF_STRING, kMenuScreenshot, L"Save s&creenshot");
  AppendMenuW(menu, MF_STRING, kMenuPrint, L"&Print properties");
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(menu, MF_STRING, kMenuExit, L"E&xit");
  AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(menu), L"&Display");
  HMENU edit = CreatePopupMenu();
  AppendMenuW(edit, MF_STRING, kMenuUndo, L"&Undo\tCtrl+Z");
  AppendMenuW(edit, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(edit, MF_STRING, kMenuAdd, L"&Add control\tIns");
  AppendMenuW(edit, MF_STRING, kMenuDelete, L"&Delete\tDel");
  AppendMenuW(edit, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(edit, MF_STRING, kMenuProperties, L"Properties\u2026\tAlt+Enter");
  AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(edit), L"&Edit");
  SetMenu(window_, bar);
}

void HostWindow::UpdateTitle() {
  const bool run = display_.run_mode;
  std::wstring title = L"quillon-host";
  if (!display_.title.empty()) title += L" - " + WideText(display_.title);
  title += run ? L" (run)" : L" (design)";
  SetWindowTextW(window_, title.c_str());
  HMENU menu = GetSubMenu(GetMenu(window_), 0);
  CheckMenuItem(menu, kMenuRun, run ? MF_CHECKED : MF_UNCHECKED);
  CheckMenuItem(menu, kMenuDesign, run ? MF_UNCHECKED : MF_CHECKED);
}

void HostWindow::SetRunMode(bool run) {
  display_.run_mode = run;
  if (dragging_) MouseUp();
  InvalidateRect(window_, nullptr, TRUE);
  if (!options_.no_ambient) container_.mode = run ? AmbientMode::kRun : AmbientMode::kDesign;
  for (auto& c : controls_) {
    if (c->object()) c->AmbientChanged(DISPID_AMBIENT_USERMODE);
  }
  UpdateTitle();
  std::printf("mode %s\n", run ? "run" : "design");
  std::fflush(stdout);
}

bool HostWindow::Save(const std::string& path) {
  Display saved = display_;
  for (size_t i = 0; i < controls_.size(); ++i) {
    DisplayControl& spec = saved.controls[i];
    const RECT& r = controls_[i]->rect();
    spec.left = MulDiv(r.left, 96, dpi_.cx);
    spec.top = MulDiv(r.top, 96, dpi_.cy);
    spec.width = MulDiv(r.right - r.left, 96, dpi_.cx);
    spec.height = MulDiv(r.bottom - r.top, 96, dpi_.cy);
    std::vector<BagEntry> entries;
    if (!controls_[i]->object()) continue;  // keeps what the file had
    const HRESULT hr = controls_[i]->Save(&entries);
    if (FAILED(hr)) {
      std::fprintf(stderr, "quillon-host: control %s: cannot save (%s)\n", spec.name.c_str(),
                   Hex(hr).c_str());
      return false;
    }
    spec.bag = std::move(entries);
  }
  std::string error;
  if (!WriteFileBytes(path, WriteDisplay(saved), &error)) {
    std::fprintf(stderr, "quillon-host: %s\n", error.c_str());
    return false;
  }
  std::printf("saved %s\n", path.c_str());
  std::fflush(stdout);
  return true;
}

bool HostWindow::Screenshot(const std::string& path) {
  Image image;
  std::string error = "cannot capture the window";
  if (CaptureClient(window_, &image) && WriteImageFile(image, path, &error)) {
    std::printf("screenshot %s (%dx%d)\n", path.c_str(), image.width, image.height);
    std::fflush(stdout);
    return true;
  }
  std::fprintf(stderr, "quillon-host: %s\n", error.c_str());
  return false;
}

void HostWindow::Print(const std::string& names) {
  const double t = (GetTickCount64() - started_) / 1000.0;
  std::printf("properties at %.1f s\n", t);
  for (auto& c : controls_) {
    if (!c->object()) continue;
    const std::vector<std::string> list = names.empty() ? c->PropertyNames() : SplitNames(names);
    std::string line = "  " + c->name() + ":";
    for (const auto& [name, value] : c->Properties(list)) line += " " + name + "=" + Quoted(value);
    std::printf("%s\n", line.c_str());
  }
  std::fflush(stdout);
}

namespace {

BOOL CALLBACK CountWindow(HWND window, LPARAM count) {
  ++*reinterpret_cast<int*>(count);
  EnumChildWindows(window, CountWindow, count);
  return TRUE;
}

ULONGLONG Milliseconds(const FILETIME& t) {
  return ((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000;
}

}  // namespace

// What the process uses now: processor time, GDI and USER objects, windows, memory.
void HostWindow::PrintStats() {
  const ULONGLONG now = GetTickCount64() - started_;
  FILETIME created, ended, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
  const ULONGLONG cpu = Milliseconds(kernel) + Milliseconds(user);
  const double share = now > last_stats_at_
                           ? 100.0 * static_cast<double>(cpu - last_cpu_) / (now - last_stats_at_)
                           : 0.0;
  int windows = 0;
  EnumThreadWindows(GetCurrentThreadId(), CountWindow, reinterpret_cast<LPARAM>(&windows));
  MEMORYSTATUSEX memory{};
  memory.dwLength = sizeof memory;
  GlobalMemoryStatusEx(&memory);
  DWORD handles = 0;
  GetProcessHandleCount(GetCurrentProcess(), &handles);
  std::printf(
      "stats at %.1f s: cpu %.2f s (%.2f %% of a core since the last), gdi %lu, user %lu, "
      "windows %d, handles %lu, virtual %llu KiB\n",
      now / 1000.0, cpu / 1000.0, share,
      static_cast<unsigned long>(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS)),
      static_cast<unsigned long>(GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS)), windows,
      static_cast<unsigned long>(handles),
      static_cast<unsigned long long>((memory.ullTotalVirtual - memory.ullAvailVirtual) / 1024));
  std::fflush(stdout);
  last_stats_at_ = now;
  last_cpu_ = cpu;
}

void HostWindow::ShowControl(const std::string& name, bool visible) {
  for (auto& c : controls_) {
    if (c->name() == name && c->object()) {
      const HRESULT hr = c->Show(visible);
      std::printf("%s %s (%s)\n", visible ? "show" : "hide", name.c_str(), Hex(hr).c_str());
      std::fflush(stdout);
      return;
    }
  }
  std::fprintf(stderr, "quillon-host: no control named %s\n", name.c_str());
}

void HostWindow::RunDueActions() {
  const double t = (GetTickCount64() - started_) / 1000.0;
  while (next_action_ < options_.actions.size() && options_.actions[next_action_].at_seconds <= t) {
    const Action a = options_.actions[next_action_++];
    // While a property frame is open, only what leaves the controls as they are runs.
    const bool beside_frame = a.kind == Action::kPrint || a.kind == Action::kScreenshot ||
                              a.kind == Action::kStats || a.kind == Action::kCloseFrame;
    if (in_frame_ && !beside_frame) {
      --next_action_;
      return;
    }
    switch (a.kind) {
      case Action::kPrint:
        Print(a.argument);
        break;
      case Action::kScreenshot:
        Screenshot(a.argument);
        break;
      case Action::kSave:
        Save(a.argument.empty() ? options_.display_path : a.argument);
        break;
      case Action::kRun:
        SetRunMode(true);
        break;
      case Action::kDesign:
        SetRunMode(false);
        break;
      case Action::kHide:
        ShowControl(a.argument, false);
        break;
      case Action::kShow:
        ShowControl(a.argument, true);
        break;
      case Action::kStats: PrintStats(); break;
      case Action::kQuit:
        DestroyWindow(window_);
        return;
      default:
        RunEditAction(a);
        break;
    }
  }
}

void HostWindow::CloseAll() {
  if (frame_) frame_->SetActiveObject(nullptr, nullptr);
  for (auto& c : controls_) c->Close();
  controls_.clear();
  if (frame_) std::exchange(frame_, nullptr)->Release();
  container_.frame = nullptr;
}

LRESULT CALLBACK HostWindow::Proc(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<HostWindow*>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->window_ = window;
  }
  auto* self = reinterpret_cast<HostWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  return self ? self->Handle(message, w, l) : DefWindowProcW(window, message, w, l);
}

LRESULT HostWindow::Handle(UINT message, WPARAM w, LPARAM l) {
  const HWND window = window_;
  switch (message) {
    case WM_TIMER:
      if (w == kActionTimer) RunDueActions();
      return 0;
    case WM_COMMAND:
      switch (LOWORD(w)) {
        case kMenuRun:
          SetRunMode(true);
          break;
        case kMenuDesign:
          SetRunMode(false);
          break;
        case kMenuSave:
          Save(options_.display_path);
          break;
        case kMenuScreenshot:
          Screenshot(options_.display_path + ".png");
          break;
        case kMenuPrint:
          Print("");
          break;
        case kMenuExit:
          DestroyWindow(window_);
          break;
        case kMenuAdd:
          if (!display_.run_mode) AddNew("");
          break;
        case kMenuDelete:
          if (!display_.run_mode) DeleteSelected();
          break;
        case kMenuProperties:
          if (!display_.run_mode) ShowProperties();
          break;
        case kMenuUndo:
          if (!display_.run_mode) Undo();
          break;
      }
      return 0;
    case WM_INITMENUPOPUP:
      UpdateEditMenu(reinterpret_cast<HMENU>(w));
      return 0;
    case WM_SIZE:  // the controls' clipping follows the client area
      for (auto& c : controls_) c->MoveTo(c->rect());
      return 0;
    case WM_CAPTURECHANGED:
      dragging_ = false;
      return 0;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(window, &ps);
      PaintSelection(dc);
      EndPaint(window, &ps);
      return 0;
    }
    case WM_DESTROY:
      KillTimer(window_, kActionTimer);
      CloseAll();
      PostQuitMessage(0);
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      window_ = nullptr;
      break;
  }
  return DefWindowProcW(window, message, w, l);
}

int HostWindow::Run() {
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (EditorMessage(msg)) continue;
    IOleInPlaceActiveObject* active = frame_ ? frame_->active_object() : nullptr;
    if (active && active->TranslateAccelerator(&msg) == S_OK) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return failures_ ? 2 : 0;
}

}  // namespace quillon::host
