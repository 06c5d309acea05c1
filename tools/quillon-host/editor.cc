// quillon-host's display editor, in design mode: selection by click, moves by dragging and by
// arrow keys, controls added at a free place (Insert) and deleted (Delete), the property frame
// of a control (double-click, Alt+Enter) and the undoing of the last edit (Ctrl+Z). Run mode
// leaves the input to the controls.
#include <olectl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <memory>

#include "host_window.h"

namespace quillon::host {
namespace {

constexpr char kDefaultClass[] = "HN_QuillonPD.QuillonPD";
constexpr int kGap = 8;        // between controls placed by the editor, at 96 dots per inch
constexpr int kLargeStep = 8;  // a move with Shift held, at 96 dots per inch

void Say(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

std::vector<int> Numbers(const std::string& list) {
  std::vector<int> out;
  const char* p = list.c_str();
  while (*p) {
    char* end = nullptr;
    out.push_back(static_cast<int>(std::strtol(p, &end, 10)));
    if (end == p || (*end && *end != ',')) return {};
    p = *end ? end + 1 : end;
  }
  return out;
}

std::string Hex(HRESULT hr) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08lX", static_cast<unsigned long>(hr));
  return buf;
}

// The deepest visible child window of `parent` under a point of its client area.
HWND WindowAt(HWND parent, POINT* at) {
  for (;;) {
    HWND child = ChildWindowFromPointEx(parent, *at, CWP_SKIPINVISIBLE | CWP_SKIPTRANSPARENT);
    if (!child || child == parent) return parent;
    MapWindowPoints(parent, child, at, 1);
    parent = child;
  }
}

}  // namespace

std::vector<Box> HostWindow::Boxes() const {
  std::vector<Box> out;
  for (const auto& c : controls_) {
    const RECT& r = c->rect();
    out.push_back({r.left, r.top, r.right - r.left, r.bottom - r.top});
  }
  return out;
}

int HostWindow::FindControl(const std::string& name) const {
  for (size_t i = 0; i < controls_.size(); ++i) {
    if (CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, controls_[i]->name().c_str(), -1,
                       name.c_str(), -1) == CSTR_EQUAL) {
      return static_cast<int>(i);
    }
  }
  std::fprintf(stderr, "quillon-host: no control named %s\n", name.c_str());
  return -1;
}

bool HostWindow::EditorMessage(const MSG& msg) {
  if (display_.run_mode || in_frame_ || !window_) return false;
  if (msg.hwnd != window_ && !IsChild(window_, msg.hwnd)) return false;
  const bool mouse = msg.message == WM_LBUTTONDOWN || msg.message == WM_LBUTTONDBLCLK ||
                     msg.message == WM_LBUTTONUP || msg.message == WM_MOUSEMOVE;
  if (mouse) {
    POINT at{static_cast<short>(LOWORD(msg.lParam)), static_cast<short>(HIWORD(msg.lParam))};
    MapWindowPoints(msg.hwnd, window_, &at, 1);
    if (msg.message == WM_MOUSEMOVE) {
      if (!dragging_) return false;
      MouseMove(at);
    } else if (msg.message == WM_LBUTTONUP) {
      MouseUp();
    } else {
      const bool close_by = std::abs(at.x - last_click_.x) <= GetSystemMetrics(SM_CXDOUBLECLK) / 2 &&
                        std::abs(at.y - last_click_.y) <= GetSystemMetrics(SM_CYDOUBLECLK) / 2;
      const bool twice = msg.message == WM_LBUTTONDBLCLK ||
                         (close_by && msg.time - last_click_time_ <= GetDoubleClickTime());
      last_click_ = twice ? POINT{-1000, -1000} : at;
      last_click_time_ = msg.time;
      MouseDown(at, twice);
    }
    return true;
  }
  if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN) return false;
  const bool alt = msg.message == WM_SYSKEYDOWN && (msg.lParam & (1 << 29));
  return EditorKey(static_cast<UINT>(msg.wParam), alt, GetKeyState(VK_SHIFT) < 0);
}

bool HostWindow::EditorKey(UINT key, bool alt, bool shift) {
  const int step = shift ? MulDiv(kLargeStep, dpi_.cx, 96) : 1;
  switch (key) {
    case VK_INSERT: AddNew(""); return true;
    case VK_DELETE: DeleteSelected(); return true;
    case VK_LEFT: MoveSelectedBy(-step, 0); return true;
    case VK_RIGHT: MoveSelectedBy(step, 0); return true;
    case VK_UP: MoveSelectedBy(0, -step); return true;
    case VK_DOWN: MoveSelectedBy(0, step); return true;
    case VK_TAB:
      if (!controls_.empty()) Select((selected_ + 1) % static_cast<int>(controls_.size()));
      return true;
    case VK_RETURN:
      if (!alt) return false;
      ShowProperties();
      return true;
    case 'Z':
      if (GetKeyState(VK_CONTROL) >= 0) return false;
      Undo();
      return true;
  }
  return false;
}

void HostWindow::MouseDown(POINT at, bool twice) {
  SetFocus(window_);
  Select(HitTest(Boxes(), at.x, at.y));
  if (selected_ < 0) return;
  if (twice) {
    ShowProperties();
    return;
  }
  dragging_ = true;
  drag_moved_ = false;
  drag_from_ = at;
  drag_start_ = controls_[selected_]->rect();
  SetCapture(window_);
}

void HostWindow::MouseMove(POINT at) {
  if (selected_ < 0) return;
  const RECT& s = drag_start_;
  const Box moved = MovedBy({s.left, s.top, s.right - s.left, s.bottom - s.top},
                            at.x - drag_from_.x, at.y - drag_from_.y);
  const RECT r{moved.left, moved.top, moved.right(), moved.bottom()};
  if (EqualRect(&r, &controls_[selected_]->rect())) return;
  controls_[selected_]->MoveTo(r);
  drag_moved_ = true;
  InvalidateRect(window_, nullptr, TRUE);
}

void HostWindow::MouseUp() {
  if (!dragging_) return;
  dragging_ = false;
  ReleaseCapture();
  if (!drag_moved_ || selected_ < 0) return;
  last_edit_ = {LastEdit::kMoved, selected_, drag_start_, {}};
  Moved(selected_);
}

void HostWindow::Select(int index) {
  selected_ = index;
  InvalidateRect(window_, nullptr, TRUE);
  Say("selected " + (index < 0 ? std::string("none") : controls_[index]->name()));
}

void HostWindow::MoveSelectedBy(int dx, int dy) {
  if (selected_ < 0) return;
  const RECT r = controls_[selected_]->rect();
  last_edit_ = {LastEdit::kMoved, selected_, r, {}};
  const Box moved = MovedBy({r.left, r.top, r.right - r.left, r.bottom - r.top}, dx, dy);
  controls_[selected_]->MoveTo({moved.left, moved.top, moved.right(), moved.bottom()});
  InvalidateRect(window_, nullptr, TRUE);
  Moved(selected_);
}

// Grows the window so that its client area shows the rectangle and a gap beyond it.
void HostWindow::ShowPlace(const RECT& r) {
  RECT client{}, outer{};
  GetClientRect(window_, &client);
  const LONG grow_x = std::max(0L, r.right + MulDiv(kGap, dpi_.cx, 96) - client.right);
  const LONG grow_y = std::max(0L, r.bottom + MulDiv(kGap, dpi_.cy, 96) - client.bottom);
  if ((grow_x == 0 && grow_y == 0) || !GetWindowRect(window_, &outer)) return;
  SetWindowPos(window_, nullptr, 0, 0, outer.right - outer.left + grow_x,
               outer.bottom - outer.top + grow_y, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Reports where a control now sits, at 96 dots per inch as the display file has it.
void HostWindow::Moved(int index) {
  const RECT& r = controls_[index]->rect();
  ShowPlace(r);
  const std::string at =
      std::to_string(MulDiv(r.left, 96, dpi_.cx)) + " " + std::to_string(MulDiv(r.top, 96, dpi_.cy));
  Say("moved " + controls_[index]->name() + " to " + at);
}

// A new control of that class (by default the selected one's, else the last one's) with its
// defaults and natural size, at the first free place of the window's width.
int HostWindow::AddNew(const std::string& class_name) {
  DisplayControl spec;
  spec.class_name = !class_name.empty() ? class_name
                    : selected_ >= 0    ? display_.controls[selected_].class_name
                    : !display_.controls.empty() ? display_.controls.back().class_name
                                                 : kDefaultClass;
  spec.name = NewControlName(display_, spec.class_name);
  auto control = std::make_unique<HostedControl>(container_, spec.name, RECT{});
  CLSID clsid;
  SIZE size{};
  HRESULT hr = ClassFromName(spec.class_name, &clsid);
  if (SUCCEEDED(hr)) hr = control->Create(clsid);
  if (SUCCEEDED(hr)) hr = control->Load(&spec.bag);
  if (SUCCEEDED(hr)) hr = control->NaturalSize(&size);
  RECT client{};
  GetClientRect(window_, &client);
  const Box place = FreePlace(Boxes(), size.cx, size.cy, client.right, MulDiv(kGap, dpi_.cx, 96));
  const RECT rect{place.left, place.top, place.right(), place.bottom()};
  control->site().set_rect(rect);
  if (SUCCEEDED(hr)) ShowPlace(rect);  // first, so that the control is not clipped
  if (SUCCEEDED(hr)) hr = control->Activate();
  if (FAILED(hr)) {
    std::fprintf(stderr, "quillon-host: cannot add a control of class %s (%s)\n",
                 spec.class_name.c_str(), Hex(hr).c_str());
    control->Close();
    return -1;
  }
  spec.left = MulDiv(place.left, 96, dpi_.cx);
  spec.top = MulDiv(place.top, 96, dpi_.cy);
  spec.width = MulDiv(place.width, 96, dpi_.cx);
  spec.height = MulDiv(place.height, 96, dpi_.cy);
  Say("added " + spec.name + " at " + std::to_string(spec.left) + " " + std::to_string(spec.top) +
      " " + std::to_string(*spec.width) + " " + std::to_string(*spec.height));
  display_.controls.push_back(std::move(spec));
  controls_.push_back(std::move(control));
  Select(static_cast<int>(controls_.size()) - 1);
  last_edit_ = {LastEdit::kAdded, selected_, {}, {}};
  return selected_;
}

void HostWindow::DeleteSelected() {
  if (selected_ < 0) return;
  const size_t i = static_cast<size_t>(selected_);
  const std::string name = controls_[i]->name();
  // What undoing needs: the control's entries now and where it sits.
  DisplayControl kept = display_.controls[i];
  std::vector<BagEntry> entries;
  if (controls_[i]->object() && SUCCEEDED(controls_[i]->Save(&entries))) kept.bag = entries;
  const RECT& r = controls_[i]->rect();
  kept.left = MulDiv(r.left, 96, dpi_.cx);
  kept.top = MulDiv(r.top, 96, dpi_.cy);
  kept.width = MulDiv(r.right - r.left, 96, dpi_.cx);
  kept.height = MulDiv(r.bottom - r.top, 96, dpi_.cy);
  last_edit_ = {LastEdit::kDeleted, selected_, {}, std::move(kept)};
  if (frame_ && frame_->active_object()) frame_->SetActiveObject(nullptr, nullptr);
  controls_[i]->Close();
  controls_.erase(controls_.begin() + selected_);
  display_.controls.erase(display_.controls.begin() + selected_);
  selected_ = -1;
  InvalidateRect(window_, nullptr, TRUE);
  Say("deleted " + name);
}

// Undoes the last move, add or delete, once.
void HostWindow::Undo() {
  LastEdit edit = std::move(last_edit_);
  last_edit_ = {};
  const int count = static_cast<int>(controls_.size());
  if (edit.kind == LastEdit::kNone || edit.index < 0 || edit.index > count ||
      (edit.kind != LastEdit::kDeleted && edit.index == count)) {
    Say("undo: nothing");
    return;
  }
  if (edit.kind == LastEdit::kMoved) {
    Say("undo: move of " + controls_[edit.index]->name());
    controls_[edit.index]->MoveTo(edit.rect);
    Select(edit.index);
    Moved(edit.index);
  } else if (edit.kind == LastEdit::kAdded) {
    Say("undo: add of " + controls_[edit.index]->name());
    Select(edit.index);
    DeleteSelected();
  } else {
    Say("undo: delete of " + edit.deleted.name);
    display_.controls.insert(display_.controls.begin() + edit.index, std::move(edit.deleted));
    AddControl(display_.controls[edit.index]);
    std::rotate(controls_.begin() + edit.index, controls_.end() - 1, controls_.end());
    Select(edit.index);
  }
  last_edit_ = {};
}

void HostWindow::ShowProperties() {
  if (selected_ < 0 || in_frame_) return;
  HostedControl& control = *controls_[selected_];
  const std::string name = control.name();
  ULONG pages = 0;
  in_frame_ = true;
  const HRESULT hr = control.ShowProperties(window_, &pages);
  in_frame_ = false;
  if (hr == E_NOINTERFACE) {
    Say("properties " + name + ": no property pages (" + Hex(hr) + ")");
  } else {
    Say("properties " + name + ": " + std::to_string(pages) + " page(s) (" + Hex(hr) + ")");
  }
}

namespace {

struct FrameSearch {
  HWND owner;
  HWND found;
};

// The frame is a dialog of this thread (its owner is not always the window given to
// OleCreatePropertyFrame).
BOOL CALLBACK FindFrame(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<FrameSearch*>(param);
  wchar_t class_name[16] = L"";
  GetClassNameW(window, class_name, 16);
  if (window == search->owner || !IsWindowVisible(window) || wcscmp(class_name, L"#32770") != 0) {
    return TRUE;
  }
  search->found = window;
  return FALSE;
}

}  // namespace

// Presses OK on the open property frame, as the user does.
void HostWindow::CloseFrame() {
  FrameSearch search{window_, nullptr};
  EnumThreadWindows(GetCurrentThreadId(), FindFrame, reinterpret_cast<LPARAM>(&search));
  if (!search.found) {
    Say("close-frame: no property frame");
    return;
  }
  wchar_t title[128] = L"";
  GetWindowTextW(search.found, title, 128);
  PostMessageW(search.found, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  Say("close-frame: " + ToUtf8(TextView(reinterpret_cast<const char16_t*>(title), wcslen(title))));
}

// Posts a key press to the window with the focus, as the keyboard does.
void HostWindow::PostKey(const std::string& key) {
  static const struct {
    const char* name;
    UINT key;
  } kKeys[] = {{"Insert", VK_INSERT}, {"Delete", VK_DELETE}, {"Left", VK_LEFT},
               {"Right", VK_RIGHT},   {"Up", VK_UP},         {"Down", VK_DOWN},
               {"Tab", VK_TAB},       {"Alt+Enter", VK_RETURN}};
  HWND target = GetFocus();
  if (!target || (target != window_ && !IsChild(window_, target))) target = window_;
  for (const auto& k : kKeys) {
    if (key != k.name) continue;
    const bool alt = k.key == VK_RETURN;
    PostMessageW(target, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, k.key, alt ? (1 << 29) | 1 : 1);
    return;
  }
  std::fprintf(stderr, "quillon-host: unknown key %s\n", key.c_str());
}

// Posts a press at the first point, a move to the second and a release there, to the windows
// under the points as the mouse does; points are at 96 dots per inch.
void HostWindow::PostDrag(const std::string& points) {
  const std::vector<int> p = Numbers(points);
  if (p.size() != 4) {
    std::fprintf(stderr, "quillon-host: drag wants X1,Y1,X2,Y2\n");
    return;
  }
  POINT from{MulDiv(p[0], dpi_.cx, 96), MulDiv(p[1], dpi_.cy, 96)};
  POINT to{MulDiv(p[2], dpi_.cx, 96), MulDiv(p[3], dpi_.cy, 96)};
  HWND target = WindowAt(window_, &from);
  MapWindowPoints(window_, target, &to, 1);
  PostMessageW(target, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(from.x, from.y));
  PostMessageW(target, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(to.x, to.y));
  PostMessageW(target, WM_LBUTTONUP, 0, MAKELPARAM(to.x, to.y));
}

bool HostWindow::RunEditAction(const Action& a) {
  if (in_frame_ && a.kind != Action::kCloseFrame) return false;
  // Keys and drags are input as a user gives it: in run mode the controls get it.
  const bool input = a.kind == Action::kCloseFrame || a.kind == Action::kKey ||
                     a.kind == Action::kDrag;
  if (display_.run_mode && !input) {
    std::fprintf(stderr, "quillon-host: controls are edited in design mode only\n");
    return true;
  }
  const bool named = a.kind == Action::kSelect || a.kind == Action::kMove ||
                     a.kind == Action::kDelete || a.kind == Action::kProperties;
  const int index = named ? FindControl(a.argument.substr(0, a.argument.find(','))) : -1;
  switch (a.kind) {
    case Action::kSelect: if (index >= 0) Select(index); break;
    case Action::kDelete: if (index >= 0) Select(index), DeleteSelected(); break;
    case Action::kProperties: if (index >= 0) Select(index), ShowProperties(); break;
    case Action::kAdd: AddNew(a.argument); break;
    case Action::kCloseFrame: CloseFrame(); break;
    case Action::kKey: PostKey(a.argument); break;
    case Action::kDrag: PostDrag(a.argument); break;
    case Action::kUndo: Undo(); break;
    case Action::kMove: {
      const std::vector<int> d = Numbers(a.argument.substr(a.argument.find(',') + 1));
      if (index < 0 || d.size() != 2) break;
      Select(index);
      MoveSelectedBy(MulDiv(d[0], dpi_.cx, 96), MulDiv(d[1], dpi_.cy, 96));
      break;
    }
    default: break;
  }
  return true;
}

// A frame around the selected control, in the space the editor leaves between controls.
void HostWindow::PaintSelection(HDC dc) {
  if (display_.run_mode || selected_ < 0) return;
  RECT r = controls_[selected_]->rect();
  HBRUSH brush = GetSysColorBrush(COLOR_HIGHLIGHT);
  for (int i = 0; i < 3; ++i) {
    InflateRect(&r, 1, 1);
    FrameRect(dc, &r, brush);
  }
}

void HostWindow::UpdateEditMenu(HMENU menu) {
  const UINT edit = display_.run_mode ? MF_GRAYED : MF_ENABLED;
  const UINT chosen = display_.run_mode || selected_ < 0 ? MF_GRAYED : MF_ENABLED;
  EnableMenuItem(menu, kMenuAdd, MF_BYCOMMAND | edit);
  EnableMenuItem(menu, kMenuDelete, MF_BYCOMMAND | chosen);
  EnableMenuItem(menu, kMenuProperties, MF_BYCOMMAND | chosen);
  const bool undoable = !display_.run_mode && last_edit_.kind != LastEdit::kNone;
  EnableMenuItem(menu, kMenuUndo, MF_BYCOMMAND | (undoable ? MF_ENABLED : MF_GRAYED));
}

}  // namespace quillon::host
