// The window of the "Point" page: a dialog from the library's resources over PointCatalog.
// The list is virtual (the list view asks for the cells it shows), so filling it and
// filtering it cost the catalog's work only.
#include <windows.h>
// after windows.h
#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "control/tables.h"
#include "package/point_page.h"
#include "package/point_page_ids.h"
#include "platform/win32/this_module.h"

namespace quillon {
namespace {

// The list view's window class lives in comctl32, bound by name so that the library imports
// only what every process has loaded already.
bool RegisterListViewClass() {
  static const bool registered = [] {
    HMODULE comctl = LoadLibraryW(L"comctl32.dll");
    if (comctl == nullptr) return false;
    using InitFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    auto init = reinterpret_cast<InitFn>(
        reinterpret_cast<void*>(GetProcAddress(comctl, "InitCommonControlsEx")));
    INITCOMMONCONTROLSEX classes = {sizeof(classes), ICC_LISTVIEW_CLASSES};
    return init != nullptr && init(&classes) != FALSE;
  }();
  return registered;
}

constexpr const wchar_t* kColumnTitles[kCatalogColumns] = {
    L"Point", L"Valeur", L"Valeur formatée", L"Qualité", L"Dernière lecture"};
constexpr int kColumnWidths[kCatalogColumns] = {150, 60, 80, 45, 110};  // dialog units / 2

constexpr const char16_t kMissingHint[] =
    u"Fichier cache introuvable : saisissez la référence du point.";
constexpr const char16_t kMoreHint[] = u"plus…";

INT_PTR CALLBACK SizingProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

const LPCWSTR kDialogResource = MAKEINTRESOURCEW(5);  // RT_DIALOG

// The page's size in pixels, as the dialog's font makes it on this display: the dialog made
// from a copy of its template without its controls (making and destroying them, the list
// view above all, cost more than the rest of the opening), as a message-only window.
HRESULT MeasurePage(SIZE* size) {
  HMODULE module = ThisModule();
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(IDD_POINT_PAGE), kDialogResource);
  HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
  const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
  const DWORD length = found != nullptr ? SizeofResource(module, found) : 0;
  if (bytes == nullptr || length < 18) return HRESULT_FROM_WIN32(ERROR_RESOURCE_DATA_NOT_FOUND);
  std::vector<WORD> copy((static_cast<size_t>(length) + 1) / 2);
  std::memcpy(copy.data(), bytes, std::min<size_t>(length, copy.size() * sizeof(WORD)));
  // DLGTEMPLATEEX (signature 0xFFFF) counts its controls at byte 16, DLGTEMPLATE at byte 8.
  copy[copy[1] == 0xFFFF ? 8 : 4] = 0;
  HWND probe = CreateDialogIndirectParamW(module, reinterpret_cast<LPCDLGTEMPLATEW>(copy.data()),
                                          HWND_MESSAGE, SizingProc, 0);
  if (probe == nullptr) return HRESULT_FROM_WIN32(GetLastError());
  RECT rect{};
  GetWindowRect(probe, &rect);
  DestroyWindow(probe);
  *size = {rect.right - rect.left, rect.bottom - rect.top};
  return S_OK;
}

// The list view's own procedure (one for every list view of the process); on this thread, how
// deep the list's procedures run, whether a bar was given back in them, and whether the style
// that gives it back is being set.
WNDPROC list_view_proc = nullptr;
thread_local int keep_depth = 0;
thread_local bool bar_given_back = false;
thread_local bool giving_back = false;

// The bar given back shows its range, disabled when every row fits.
void ShowBarState(HWND list) {
  SCROLLINFO info = {sizeof(info), SIF_RANGE | SIF_PAGE, 0, 0, 0, 0, 0};
  if (!GetScrollInfo(list, SB_VERT, &info)) return;
  info.fMask |= SIF_DISABLENOSCROLL;
  SetScrollInfo(list, SB_VERT, &info, TRUE);
}

// Sets the list's vertical scroll bar shown again in its style, unseen by the list view.
void GiveBarBack(HWND list, LONG_PTR style) {
  giving_back = true;
  SetWindowLongPtrW(list, GWL_STYLE, style | WS_VSCROLL);
  giving_back = false;
  bar_given_back = true;
}

// The list view hides its vertical scroll bar when every row fits, and shows it again when
// they no longer do: each time, its client changes width, so that it places its header and
// sets its scroll bars again, and its frame is drawn. Here the bar it hides is given back at
// once: when the frame change that would hide it is asked for (the request is then withdrawn),
// or else before the new frame is measured; its client, header and columns keep their width,
// whatever the count. Once the list view is done, the bar shows its range, disabled.
LRESULT CALLBACK KeepBarProc(HWND list, UINT message, WPARAM wp, LPARAM lp) {
  if (giving_back && (message == WM_STYLECHANGING || message == WM_STYLECHANGED)) return 0;
  const LONG_PTR style = GetWindowLongPtrW(list, GWL_STYLE);
  if (message == WM_WINDOWPOSCHANGING && !(style & WS_VSCROLL)) {
    auto* pos = reinterpret_cast<WINDOWPOS*>(lp);
    const UINT frame_only = SWP_NOSIZE | SWP_NOMOVE | SWP_FRAMECHANGED;
    if (pos != nullptr && (pos->flags & frame_only) == frame_only) {
      pos->flags &= ~SWP_FRAMECHANGED;
      GiveBarBack(list, style);
    }
  } else if (message == WM_NCCALCSIZE && !(style & WS_VSCROLL)) {
    GiveBarBack(list, style);
  }
  ++keep_depth;
  const LRESULT result = CallWindowProcW(list_view_proc, list, message, wp, lp);
  if (--keep_depth == 0 && bar_given_back) {
    bar_given_back = false;
    ShowBarState(list);
  }
  return result;
}

// Puts the list under KeepBarProc (once) and shows its vertical scroll bar.
void KeepVerticalBar(HWND list) {
  const auto proc = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(list, GWLP_WNDPROC));
  if (proc == KeepBarProc) return;
  if (list_view_proc == nullptr) list_view_proc = proc;
  if (proc != list_view_proc) return;
  SetWindowLongPtrW(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(KeepBarProc));
  ShowScrollBar(list, SB_VERT, TRUE);
}

}  // namespace

HRESULT PointPage::GetPageInfo(PROPPAGEINFO* info) {
  if (info == nullptr) return E_POINTER;
  SIZE size{};
  const HRESULT measured = MeasurePage(&size);
  if (FAILED(measured)) return measured;
  static const wchar_t kTitle[] = L"Point";
  info->cb = sizeof(*info);
  info->pszTitle = static_cast<LPOLESTR>(CoTaskMemAlloc(sizeof(kTitle)));
  if (info->pszTitle == nullptr) return E_OUTOFMEMORY;
  CopyMemory(info->pszTitle, kTitle, sizeof(kTitle));
  info->size = size;
  info->pszDocString = nullptr;
  info->pszHelpFile = nullptr;
  info->dwHelpContext = 0;
  return S_OK;
}

HRESULT PointPage::Activate(HWND parent, LPCRECT rect, BOOL) {
  if (rect == nullptr) return E_POINTER;
  if (window_ != nullptr) return E_UNEXPECTED;
  RegisterListViewClass();
  window_ = CreateDialogParamW(ThisModule(), MAKEINTRESOURCEW(IDD_POINT_PAGE), parent,
                               DialogProc, reinterpret_cast<LPARAM>(this));
  if (window_ == nullptr) return HRESULT_FROM_WIN32(GetLastError());
  return Move(rect);
}

HRESULT PointPage::Deactivate() {
  if (window_ == nullptr) return E_UNEXPECTED;
  // What the designer typed stays for a later Apply.
  settings_.ntf = ItemText(IDC_POINT_NTF);
  settings_.format = ItemText(IDC_POINT_FORMAT);
  DestroyWindow(window_);
  window_ = nullptr;
  return S_OK;
}

HRESULT PointPage::Show(UINT show) {
  if (window_ == nullptr) return E_UNEXPECTED;
  ShowWindow(window_, show);
  return S_OK;
}

HRESULT PointPage::Move(LPCRECT rect) {
  if (rect == nullptr) return E_POINTER;
  if (window_ == nullptr) return E_UNEXPECTED;
  MoveWindow(window_, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top,
             TRUE);
  return S_OK;
}

INT_PTR CALLBACK PointPage::DialogProc(HWND window, UINT message, WPARAM wp, LPARAM lp) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(window, DWLP_USER, lp);
    auto* page = reinterpret_cast<PointPage*>(lp);
    page->window_ = window;
  }
  auto* page = reinterpret_cast<PointPage*>(GetWindowLongPtrW(window, DWLP_USER));
  if (page == nullptr) return FALSE;
  try {
    return page->OnMessage(message, wp, lp);
  } catch (...) {  // nothing may leave a window procedure
    return FALSE;
  }
}

INT_PTR PointPage::OnMessage(UINT message, WPARAM wp, LPARAM lp) {
  switch (message) {
    case WM_INITDIALOG:
      OnInit();
      return TRUE;
    case WM_COMMAND:
      OnCommand(LOWORD(wp), HIWORD(wp));
      return TRUE;
    case WM_NOTIFY:
      SetWindowLongPtrW(window_, DWLP_MSGRESULT, OnNotify(reinterpret_cast<NMHDR*>(lp)));
      return TRUE;
  }
  return FALSE;
}

void PointPage::OnInit() {
  rows_ = nullptr;
  list_count_ = 0;
  FillPollTimes();
  AddColumns();
  LoadPoints();
  ShowSettings();
}

void PointPage::FillPollTimes() {
  for (const PollTimeEntry& entry : kPollTimes) {
    const Text text(entry.text);
    SendDlgItemMessageW(window_, IDC_POINT_POLLTIME, CB_ADDSTRING, 0,
                        reinterpret_cast<LPARAM>(text.c_str()));
  }
}

// The list's painting leaves its header alone (WS_CLIPCHILDREN): a repaint of the rows, one
// per keystroke, then no longer repaints the header, which costs as much again. Its vertical
// scroll bar is always shown, disabled when every row fits (KeepVerticalBar).
void PointPage::AddColumns() {
  HWND list = GetDlgItem(window_, IDC_POINT_LIST);
  SetWindowLongPtrW(list, GWL_STYLE, GetWindowLongPtrW(list, GWL_STYLE) | WS_CLIPCHILDREN);
  KeepVerticalBar(list);
  SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
  for (int i = 0; i < kCatalogColumns; ++i) {
    RECT units = {0, 0, kColumnWidths[i] / 2 * 2, 0};
    MapDialogRect(window_, &units);
    LVCOLUMNW column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = const_cast<wchar_t*>(kColumnTitles[i]);
    column.cx = units.right;
    SendMessageW(list, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
  }
}

// Read once per activation; the hint says when the file is missing or the list was cut.
void PointPage::LoadPoints() {
  ControlEnvironment& control = env_.control();
  catalog_.Load(control.files(), control.code_page(), CacheFilePath());
  SetItemText(IDC_POINT_HINT, catalog_.missing() ? Text(kMissingHint)
                              : catalog_.more()  ? Text(kMoreHint)
                                                 : Text());
}

void PointPage::ShowSettings() {
  filling_ = true;
  SetItemText(IDC_POINT_NTF, settings_.ntf);
  SetItemText(IDC_POINT_FORMAT, settings_.format);
  int chosen = -1;
  for (size_t i = 0; i < kPollTimes.size(); ++i) {
    if (kPollTimes[i].value == settings_.poll_time) chosen = static_cast<int>(i);
  }
  SendDlgItemMessageW(window_, IDC_POINT_POLLTIME, CB_SETCURSEL, chosen, 0);
  // The reference is one control's: with several selected it is not offered.
  const BOOL single = objects_.size() <= 1;
  EnableWindow(GetDlgItem(window_, IDC_POINT_NTF), single);
  EnableWindow(GetDlgItem(window_, IDC_POINT_LIST), single);
  filling_ = false;
  ApplyFilter();
  // A reference that matches no listed point (a new control's placeholder, say) filters
  // nothing out until the designer types.
  if (rows_->empty()) ShowRows(catalog_.Filter(Text()));
}

void PointPage::OnCommand(WORD id, WORD code) {
  if (filling_) return;
  if (id == IDC_POINT_NTF && code == EN_CHANGE) {
    ApplyFilter();
    MarkDirty();
  } else if (id == IDC_POINT_FORMAT && code == EN_CHANGE) {
    ShowPreview();
    MarkDirty();
  } else if (id == IDC_POINT_SAMPLES && code == EN_CHANGE) {
    ShowPreview();
  } else if (id == IDC_POINT_POLLTIME && code == CBN_SELCHANGE) {
    MarkDirty();
  }
}

// The list shows the points whose reference contains what is typed in the reference field.
void PointPage::ApplyFilter() { ShowRows(catalog_.Filter(ItemText(IDC_POINT_NTF))); }

// The list view lays itself out again (scroll bars, header) for every count it is given, even
// the same one: that is most of a keystroke's time, so only a new count is given.
void PointPage::ShowRows(const std::vector<uint32_t>& rows) {
  rows_ = &rows;
  HWND list = GetDlgItem(window_, IDC_POINT_LIST);
  if (rows.size() != list_count_) {
    SetListCount(list, rows.size());
    list_count_ = rows.size();
  } else {
    InvalidateRect(list, nullptr, TRUE);
  }
  ShowPreview();
}

namespace {

// What the list's scroll bars show: where they are, their thumbs and the state of their parts.
// A bar that is not shown looks the same whatever its range; a disabled one shows no thumb.
struct ScrollBarsLook {
  SCROLLBARINFO bars[2];
  static bool Hidden(const SCROLLBARINFO& bar) {
    return (bar.rgstate[0] & STATE_SYSTEM_INVISIBLE) != 0;
  }
  static bool Disabled(const SCROLLBARINFO& bar) {
    return (bar.rgstate[0] & STATE_SYSTEM_UNAVAILABLE) != 0;
  }
  bool Same(int i, const ScrollBarsLook& other) const {  // 0: vertical, 1: horizontal
    const SCROLLBARINFO& a = bars[i];
    const SCROLLBARINFO& b = other.bars[i];
    if (Hidden(a) && Hidden(b)) return true;
    if (Hidden(a) != Hidden(b) || !EqualRect(&a.rcScrollBar, &b.rcScrollBar) ||
        a.dxyLineButton != b.dxyLineButton || Disabled(a) != Disabled(b)) {
      return false;
    }
    return Disabled(a) || (a.xyThumbTop == b.xyThumbTop && a.xyThumbBottom == b.xyThumbBottom &&
                           std::memcmp(a.rgstate, b.rgstate, sizeof a.rgstate) == 0);
  }
};

ScrollBarsLook LookOfScrollBars(HWND list) {
  ScrollBarsLook look{};
  const LONG ids[2] = {OBJID_VSCROLL, OBJID_HSCROLL};
  for (int i = 0; i < 2; ++i) {
    look.bars[i].cbSize = sizeof(SCROLLBARINFO);
    if (!GetScrollBarInfo(list, ids[i], &look.bars[i])) look.bars[i] = {};
  }
  return look;
}

// The header after the list took a new count: drawn whole when it was waiting to be drawn
// (hiding the list validated it) or moved; cut shorter on its right by a scroll bar that came,
// it shows what it showed; grown, only the strip it gained is drawn (the header draws only the
// items a paint reaches, each as much work as the list's rows).
void RedrawHeader(HWND header, bool due, const RECT& before, const RECT& after) {
  if (header == nullptr) return;
  const bool moved = after.left != before.left || after.top != before.top ||
                     after.bottom != before.bottom;
  if (due || moved) {
    RedrawWindow(header, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE);
  } else if (after.right > before.right) {
    const RECT strip = {before.right - after.left, 0, after.right - after.left,
                        after.bottom - after.top};
    RedrawWindow(header, &strip, nullptr, RDW_INVALIDATE | RDW_ERASE);
  }
}

// The list's vertical scroll bar drawn again alone, once: it draws itself when a redraw sets a
// range other than the one it holds, so its range is first moved on by one (unseen, its state
// kept: a bar that shows every row keeps a range that shows every row) and then set back.
void RedrawVerticalBar(HWND list) {
  SCROLLINFO now = {sizeof(now), SIF_RANGE | SIF_PAGE | SIF_POS, 0, 0, 0, 0, 0};
  GetScrollInfo(list, SB_VERT, &now);
  now.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
  SCROLLINFO moved = now;
  const bool fits = now.nMax - now.nMin + 1 <= static_cast<int>(now.nPage);
  moved.nMax = now.nMax + 1;
  if (fits) moved.nMin = moved.nMax;
  SetScrollInfo(list, SB_VERT, &moved, FALSE);
  SetScrollInfo(list, SB_VERT, &now, TRUE);
}

}  // namespace

// While it takes the count, the list view is marked hidden (the window manager's redraw flag,
// not the list view's own, which would lay it out once more when set again): it then sets its
// scroll bars and places its header without drawing them. Its vertical bar stays (KeepBarProc),
// so its width, header and columns stay too. Marking it shown again is a change of its style,
// which asks for its frame (border and both scroll bars) to be drawn again, as much work as
// all the rest: that request is withdrawn (RDW_VALIDATE | RDW_NOFRAME), unless a paint was
// still due from before, which may be for a frame asked for by an earlier keystroke not painted
// yet. Afterwards the rows are drawn once, with the next paint; the whole frame only when a
// paint was due, the header moved or the horizontal bar looks different; else the vertical bar
// alone when it looks different (a count of hundreds or more keeps the thumb at its least size,
// at the top; a disabled bar shows no thumb); the header as RedrawHeader says.
void PointPage::SetListCount(HWND list, size_t count) {
  if (!IsWindowVisible(list)) {
    SendMessageW(list, LVM_SETITEMCOUNT, count, LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
    return;
  }
  HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
  RECT before{}, after{};
  if (header != nullptr) GetWindowRect(header, &before);
  const ScrollBarsLook bars = LookOfScrollBars(list);
  const bool header_due = header != nullptr && GetUpdateRect(header, nullptr, FALSE) != FALSE;
  const bool paint_due = GetUpdateRect(list, nullptr, FALSE) != FALSE;
  DefWindowProcW(list, WM_SETREDRAW, FALSE, 0);
  SendMessageW(list, LVM_SETITEMCOUNT, count, LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
  DefWindowProcW(list, WM_SETREDRAW, TRUE, 0);
  if (header != nullptr) GetWindowRect(header, &after);
  const ScrollBarsLook now = LookOfScrollBars(list);
  const bool frame = paint_due || !EqualRect(&before, &after) || !now.Same(1, bars);
  if (!paint_due) RedrawWindow(list, nullptr, nullptr, RDW_VALIDATE | RDW_NOFRAME | RDW_NOCHILDREN);
  RedrawWindow(list, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_NOCHILDREN | (frame ? RDW_FRAME : 0));
  if (!frame && !now.Same(0, bars)) RedrawVerticalBar(list);
  RedrawHeader(header, header_due, before, after);
}

LRESULT PointPage::OnNotify(NMHDR* header) {
  if (header == nullptr || header->idFrom != IDC_POINT_LIST) return 0;
  if (header->code == LVN_GETDISPINFOW) {
    auto* info = reinterpret_cast<NMLVDISPINFOW*>(header);
    const size_t row = static_cast<size_t>(info->item.iItem);
    if ((info->item.mask & LVIF_TEXT) && row < RowCount() && info->item.cchTextMax > 0) {
      const Text text = catalog_.CellText(
          (*rows_)[row], static_cast<CatalogColumn>(info->item.iSubItem), env_.locale());
      lstrcpynW(info->item.pszText, reinterpret_cast<const wchar_t*>(text.c_str()),
                info->item.cchTextMax);
    }
  } else if (header->code == LVN_ITEMCHANGED) {
    const auto* change = reinterpret_cast<NMLISTVIEW*>(header);
    if ((change->uNewState & LVIS_SELECTED) && !(change->uOldState & LVIS_SELECTED)) {
      OnPointChosen(change->iItem);
    }
  }
  return 0;
}

// A point chosen in the list becomes the reference; the list stays as it was filtered.
void PointPage::OnPointChosen(int row) {
  if (row < 0 || static_cast<size_t>(row) >= RowCount()) return;
  filling_ = true;
  SetItemText(IDC_POINT_NTF, Text(catalog_.reference((*rows_)[static_cast<size_t>(row)])));
  filling_ = false;
  MarkDirty();
  ShowPreview();
}

// `Valeur` for the chosen point's stored value and for each sample, one line each.
void PointPage::ShowPreview() {
  const Text format = ItemText(IDC_POINT_FORMAT);
  Formatter& formatter = env_.control().formatter();
  Text lines;
  const size_t found = catalog_.Find(ItemText(IDC_POINT_NTF));
  if (found < catalog_.size()) {
    const CatalogPoint point = catalog_.at(found);
    lines += point.reference + u" : " + PreviewValue(formatter, point.value, format);
  }
  for (const Text& sample : SplitSamples(ItemText(IDC_POINT_SAMPLES))) {
    if (!lines.empty()) lines += u"\r\n";
    lines += sample + u" → " + PreviewValue(formatter, sample, format);
  }
  // An unchanged preview is not written again (the field would repaint for nothing).
  if (lines != ItemText(IDC_POINT_PREVIEW)) SetItemText(IDC_POINT_PREVIEW, lines);
}

void PointPage::MarkDirty() {
  dirty_ = true;
  if (site_) site_->OnStatusChange(PROPPAGESTATUS_DIRTY | PROPPAGESTATUS_VALIDATE);
}

Text PointPage::ItemText(int id) const {
  HWND item = GetDlgItem(window_, id);
  const int length = GetWindowTextLengthW(item);
  if (length <= 0) return Text();
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const int got = GetWindowTextW(item, text.data(), length + 1);
  return Text(reinterpret_cast<const char16_t*>(text.data()), static_cast<size_t>(got > 0 ? got : 0));
}

void PointPage::SetItemText(int id, const Text& text) {
  SetDlgItemTextW(window_, id, reinterpret_cast<const wchar_t*>(text.c_str()));
}

}  // namespace quillon
