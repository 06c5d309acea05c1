// The property page "Point" driven as a property frame drives it (IPropertyPage2 on a parent
// window of ours), on a cache file of 50 points and on a missing one; and the frame the
// platform opens for a control (OleCreatePropertyFrame), photographed, applied and closed.
#include <windows.h>
// after windows.h
#include <commctrl.h>
#include <ocidl.h>
#include <olectl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <prsht.h>
#include <psapi.h>

#include "container_fixture.h"
#include "display_file.h"
#include "control/point_catalog.h"
#include "package/point_page_ids.h"
#include "screenshot.h"

namespace quillon::testing {
namespace {

// {6BBED569-77E8-42EC-BFD1-B79B46F93B38}
const CLSID kPointPage = {
    0x6bbed569, 0x77e8, 0x42ec, {0xbf, 0xd1, 0xb7, 0x9b, 0x46, 0xf9, 0x3b, 0x38}};
const DISPID kNTF = 0x68030007, kFormatage = 0x68030006, kFrequence = 0x68030000,
             kValeurId = 0x68030005;

// A page site that records the status changes the page reports.
class PageSite final : public IPropertyPageSite {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IPropertyPageSite)) {
      *out = this;
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE OnStatusChange(DWORD flags) override {
    statuses.push_back(flags);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetLocaleID(LCID* lcid) override {
    *lcid = LOCALE_USER_DEFAULT;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetPageContainer(IUnknown** out) override {
    *out = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG*) override { return S_FALSE; }
  std::vector<DWORD> statuses;
};

// Keystrokes into the reference field, each with the list's repaint; those that change the
// list's count apart (the list view lays itself out again for them).
struct KeystrokeFigures {
  std::vector<double> walls, recount_walls;
  double change_wall = 0, change_cpu = 0, cpu = 0;
  size_t count() const { return walls.size() + recount_walls.size(); }
};

class PointPageTest : public ContainerTest {
 protected:
  void TearDown() override {
    if (page_) {
      if (page_window_) page_->Deactivate();
      page_->SetObjects(0, nullptr);
      page_->SetPageSite(nullptr);
      page_->Release();
    }
    ContainerTest::TearDown();
  }

  // Writes `count` points NOEUD<i%2>:Four<i>.Temperature with value i.5 into the cache file.
  void WriteCache(int count) {
    std::string bytes;
    for (int i = 1; i <= count; ++i) {
      std::string record(144, '\0');
      record[0] = 1;
      auto put = [&](size_t at, size_t width, const std::string& text) {
        std::string field = text.substr(0, width);
        field.resize(width, ' ');
        record.replace(at, width, field);
      };
      put(4, 60, Reference(i));
      put(84, 20, std::to_string(i) + ".5");
      put(104, 20, std::to_string(i) + ",5 C");
      const double read = 46000.5;
      memcpy(&record[64], &read, 8);
      bytes += record;
    }
    std::ofstream(cache_file_.c_str(), std::ios::binary) << bytes;
  }
  static std::string Reference(int i) {
    return "NOEUD" + std::to_string(i % 2) + ":Four" + std::to_string(i) + ".Temperature";
  }

  // A page from the library's class object, on `controls`, active on the container window;
  // then `pump_ms` of messages.
  void OpenPage(std::vector<IUnknown*> controls, DWORD pump_ms = 50) {
    auto get_class = reinterpret_cast<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(
        reinterpret_cast<void*>(GetProcAddress(library_, "DllGetClassObject")));
    ASSERT_NE(get_class, nullptr);
    IClassFactory* factory = nullptr;
    ASSERT_EQ(get_class(kPointPage, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_IPropertyPage2,
                                      reinterpret_cast<void**>(&page_)),
              S_OK);
    factory->Release();
    ASSERT_EQ(page_->SetPageSite(&site_), S_OK);
    ASSERT_EQ(page_->SetObjects(static_cast<ULONG>(controls.size()), controls.data()), S_OK);
    marks_.clear();
    Mark();
    PROPPAGEINFO info{};
    ASSERT_EQ(page_->GetPageInfo(&info), S_OK);
    Mark();
    EXPECT_STREQ(info.pszTitle, L"Point");
    // The page's size follows the display's resolution (dialog units of the shell font).
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    EXPECT_GT(info.size.cx, MulDiv(400, dpi, 96)) << dpi;
    EXPECT_GT(info.size.cy, MulDiv(330, dpi, 96)) << dpi;
    CoTaskMemFree(info.pszTitle);
    const RECT rect = {0, 0, info.size.cx, info.size.cy};
    ASSERT_EQ(page_->Activate(window_, &rect, FALSE), S_OK);
    Mark();
    ASSERT_EQ(page_->Show(SW_SHOW), S_OK);
    Mark();
    page_window_ = FindWindowExW(window_, nullptr, L"#32770", nullptr);
    ASSERT_NE(page_window_, nullptr);
    Pump(pump_ms);
  }

  // Deactivates and releases the page, as a frame does once closed.
  void ClosePage() {
    ASSERT_EQ(page_->Deactivate(), S_OK);
    page_window_ = nullptr;
    page_->SetObjects(0, nullptr);
    page_->SetPageSite(nullptr);
    page_->Release();
    page_ = nullptr;
  }

  HWND Item(int id) const { return GetDlgItem(page_window_, id); }
  std::wstring ItemText(int id) const {
    wchar_t text[512] = {};
    GetWindowTextW(Item(id), text, 512);
    return text;
  }
  // Typing into a field: its text changes and the page hears of it.
  void Type(int id, const wchar_t* text) {
    SetWindowTextW(Item(id), text);
    Pump(10);
  }
  int ListCount() const { return static_cast<int>(SendMessageW(Item(IDC_POINT_LIST), LVM_GETITEMCOUNT, 0, 0)); }
  std::wstring Cell(int row, int column) const {
    wchar_t text[256] = {};
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = 256;
    SendMessageW(Item(IDC_POINT_LIST), LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    return text;
  }
  void Choose(int row) {
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(Item(IDC_POINT_LIST), LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
    Pump(10);
  }
  void ChoosePeriod(int index) {
    SendMessageW(Item(IDC_POINT_POLLTIME), CB_SETCURSEL, index, 0);
    SendMessageW(page_window_, WM_COMMAND, MAKEWPARAM(IDC_POINT_POLLTIME, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(Item(IDC_POINT_POLLTIME)));
  }
  // Types a reference one character at a time, the list refiltered and repainted each
  // time, then clears the field (the whole list again); five times over. Wine counts a
  // thread's CPU time in 10 ms steps: the mean over every keystroke is the CPU figure.
  KeystrokeFigures TypeReferences();
  // What `quillon format` prints for these values under the same user's locale.
  std::vector<std::string> ToolFormat(const std::string& pattern,
                                      const std::vector<std::string>& values);

  // When each step of OpenPage ended (QueryPerformanceCounter): start, page info, objects
  // and activation, shown.
  void Mark() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    marks_.push_back(now.QuadPart);
  }

  PageSite site_;
  IPropertyPage2* page_ = nullptr;
  HWND page_window_ = nullptr;
  std::vector<LONGLONG> marks_;
};

std::wstring Wide(const std::string& utf8) {
  std::wstring out(utf8.size() + 1, L'\0');
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), static_cast<int>(utf8.size()),
                                    out.data(), static_cast<int>(out.size()));
  out.resize(n > 0 ? n : 0);
  return out;
}

// The quillon tool of the build, as the Windows program sees its path.
std::wstring ToolPath() {
  std::wstring out = L"Z:";
  for (const char* p = QUILLON_TOOL_PATH; *p; ++p) out += *p == '/' ? L'\\' : static_cast<wchar_t>(*p);
  return out;
}

std::vector<std::string> PointPageTest::ToolFormat(const std::string& pattern,
                                                   const std::vector<std::string>& values) {
  const std::wstring out = cache_dir_ + L"\\format.txt";
  std::wstring command = L"cmd /c \"\"" + ToolPath() + L"\" format \"" + Wide(pattern) + L"\" --";
  for (const std::string& v : values) command += L" \"" + Wide(v) + L"\"";
  command += L" > \"" + out + L"\"\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  EXPECT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                             nullptr, nullptr, &si, &pi));
  WaitForSingleObject(pi.hProcess, 30000);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  std::vector<std::string> lines;
  std::ifstream file(out.c_str());
  for (std::string line; std::getline(file, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  DeleteFileW(out.c_str());
  return lines;
}

std::string Utf8(const std::wstring& text) {
  std::string out(text.size() * 3 + 1, '\0');
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                    out.data(), static_cast<int>(out.size()), nullptr, nullptr);
  out.resize(n > 0 ? n : 0);
  return out;
}

TEST_F(PointPageTest, ListsFiltersChoosesPreviewsAndApplies) {
  WriteCache(50);
  auto* c = Make(Settings(90, "NOEUD1:Four1.Temperature"));
  ASSERT_NE(c, nullptr);
  OpenPage({c->object()});
  EXPECT_EQ(ItemText(IDC_POINT_NTF), L"NOEUD1:Four1.Temperature");
  EXPECT_EQ(ItemText(IDC_POINT_HINT), L"");
  EXPECT_EQ(ItemText(IDC_POINT_POLLTIME), L"10 sec");
  EXPECT_EQ(ListCount(), 1);  // the list is filtered by the reference as it stands
  EXPECT_EQ(page_->IsPageDirty(), S_FALSE);

  Type(IDC_POINT_NTF, L"noeud0:four4");  // case ignored, as the control's lookup
  ASSERT_EQ(ListCount(), 6);             // Four4, Four40 to Four48
  EXPECT_EQ(Cell(0, 0), L"NOEUD0:Four4.Temperature");
  EXPECT_EQ(Cell(0, 1), L"4.5");
  EXPECT_EQ(Cell(0, 2), L"4,5 C");
  EXPECT_EQ(Cell(0, 3), L"Ok");
  EXPECT_FALSE(Cell(0, 4).empty());
  Choose(1);
  EXPECT_EQ(ItemText(IDC_POINT_NTF), L"NOEUD0:Four40.Temperature");
  EXPECT_EQ(page_->IsPageDirty(), S_OK);

  // The preview: Valeur for the point's stored value and for the typed samples, exactly what
  // the quillon tool prints.
  const struct {
    const wchar_t* pattern;
    const char* narrow;
    // ASCII patterns: the tool reads its arguments in the ANSI code page.
  } patterns[] = {{L"0.00", "0.00"}, {L"#,##0.0 \"C\"", "#,##0.0 \"C\""}, {L"", ""}};
  for (const auto& p : patterns) {
    Type(IDC_POINT_FORMAT, p.pattern);
    Type(IDC_POINT_SAMPLES, L"1234.5; -3 ;abc");
    const std::vector<std::string> expected =
        ToolFormat(p.narrow, {"40.5                ", "1234.5", "-3", "abc"});
    ASSERT_EQ(expected.size(), 4u) << p.narrow;
    const std::string shown = Utf8(ItemText(IDC_POINT_PREVIEW));
    EXPECT_EQ(shown, "NOEUD0:Four40.Temperature : " + expected[0] + "\r\n1234.5 → " +
                         expected[1] + "\r\n-3 → " + expected[2] + "\r\nabc → " + expected[3]);
  }
  Type(IDC_POINT_FORMAT, L"0.0");
  ChoosePeriod(0);  // 30 min
  site_.statuses.clear();
  ASSERT_EQ(page_->Apply(), S_OK);
  EXPECT_EQ(page_->IsPageDirty(), S_FALSE);
  EXPECT_EQ(site_.statuses, std::vector<DWORD>{PROPPAGESTATUS_CLEAN});
  EXPECT_EQ(Property(c, "NTF"), "NOEUD0:Four40.Temperature");
  EXPECT_EQ(Property(c, "Formatage"), "0.0");
  EXPECT_EQ(Property(c, "Frequence_Rafraichissement"), "0");
  IPersistStreamInit* persist = nullptr;
  ASSERT_EQ(c->object()->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&persist)),
            S_OK);
  EXPECT_EQ(persist->IsDirty(), S_OK);
  persist->Release();

  // EditProperty puts the focus on the field of a DISPID; a property the page does not edit
  // is refused.
  SetForegroundWindow(window_);
  EXPECT_EQ(page_->EditProperty(kFormatage), S_OK);
  EXPECT_EQ(GetFocus(), Item(IDC_POINT_FORMAT));
  EXPECT_EQ(page_->EditProperty(kNTF), S_OK);
  EXPECT_EQ(GetFocus(), Item(IDC_POINT_NTF));
  EXPECT_EQ(page_->EditProperty(kFrequence), S_OK);
  EXPECT_EQ(GetFocus(), Item(IDC_POINT_POLLTIME));
  EXPECT_EQ(page_->EditProperty(kValeurId), E_INVALIDARG);
}

TEST_F(PointPageTest, MissingCacheFileLeavesTheReferenceEditableAndIsNotCreated) {
  DeleteFileW(cache_file_.c_str());
  auto* c = Make(Settings());
  ASSERT_NE(c, nullptr);
  OpenPage({c->object()});
  EXPECT_EQ(ListCount(), 0);
  EXPECT_EQ(ItemText(IDC_POINT_HINT),
            L"Fichier cache introuvable : saisissez la référence du point.");
  EXPECT_TRUE(IsWindowEnabled(Item(IDC_POINT_NTF)));
  Type(IDC_POINT_NTF, L"NOEUD9:Nouveau.Point");
  ASSERT_EQ(page_->Apply(), S_OK);
  EXPECT_EQ(Property(c, "NTF"), "NOEUD9:Nouveau.Point");
  EXPECT_EQ(GetFileAttributesW(cache_file_.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(PointPageTest, SeveralControlsShareThePeriodAndPatternNotTheReference) {
  WriteCache(50);
  auto* a = Make(Settings(90, "NOEUD1:Four1.Temperature"));
  auto* b = Make(Settings(29, "NOEUD0:Four2.Temperature"), 200);
  ASSERT_TRUE(a && b);
  OpenPage({a->object(), b->object()});
  EXPECT_FALSE(IsWindowEnabled(Item(IDC_POINT_NTF)));
  EXPECT_FALSE(IsWindowEnabled(Item(IDC_POINT_LIST)));
  Type(IDC_POINT_FORMAT, L"0.000");
  ChoosePeriod(7);  // 30 sec
  ASSERT_EQ(page_->Apply(), S_OK);
  EXPECT_EQ(Property(a, "NTF"), "NOEUD1:Four1.Temperature");
  EXPECT_EQ(Property(b, "NTF"), "NOEUD0:Four2.Temperature");
  for (auto* c : {a, b}) {
    EXPECT_EQ(Property(c, "Formatage"), "0.000");
    EXPECT_EQ(Property(c, "Frequence_Rafraichissement"), "70");
  }
}

// The pixels of the list view, frame and header included, as they are on the page's surface;
// with `repainted`, after the whole list has been drawn again first.
std::vector<uint32_t> ListPixels(HWND page, HWND list, bool repainted) {
  if (repainted) {
    RedrawWindow(list, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  }
  GdiFlush();
  RECT r;
  GetWindowRect(list, &r);
  MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&r), 2);
  const int w = r.right - r.left, h = r.bottom - r.top;
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;  // rows from the top
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC screen = GetDC(page);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  std::vector<uint32_t> out;
  if (memory && bitmap && bits) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    if (BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY)) {
      GdiFlush();
      const auto* p = static_cast<const uint32_t*>(bits);
      out.assign(p, p + static_cast<size_t>(w) * h);
    }
    SelectObject(memory, old);
  }
  if (bitmap) DeleteObject(bitmap);
  if (memory) DeleteDC(memory);
  ReleaseDC(page, screen);
  return out;
}

// The list's count follows the filter: its rows, scroll bar and header are drawn as a full
// repaint draws them, keyboard navigation reaches the last row, and the scroll range is the
// count (the list view takes a new count while marked hidden, and draws once afterwards).
TEST_F(PointPageTest, ListDrawsScrollsAndNavigatesAsItsCountChanges) {
  WriteCache(50);
  auto* c = Make(Settings(90, "NOEUD1:Four1.Temperature"));
  ASSERT_NE(c, nullptr);
  OpenPage({c->object()});
  HWND list = Item(IDC_POINT_LIST);
  const struct {
    const wchar_t* typed;
    int rows;
    bool scrolls;  // more rows than the list shows
  } steps[] = {{L"noeud0:four4", 6, false}, {L"", 50, true}, {L"noeud1", 25, true},
               {L"noeud1:four1", 6, false}, {L"four", 50, true}};
  RECT opened{};
  GetClientRect(list, &opened);
  for (const auto& step : steps) {
    Type(IDC_POINT_NTF, step.typed);
    ASSERT_EQ(ListCount(), step.rows) << Utf8(step.typed);
    const std::vector<uint32_t> shown = ListPixels(page_window_, list, false);
    ASSERT_FALSE(shown.empty());
    EXPECT_TRUE(shown == ListPixels(page_window_, list, true)) << Utf8(step.typed);
    // The vertical scroll bar stays, disabled when every row fits: the list's width (its
    // header, its columns) is the same whatever the count.
    EXPECT_NE(GetWindowLongW(list, GWL_STYLE) & WS_VSCROLL, 0) << Utf8(step.typed);
    SCROLLBARINFO bar{};
    bar.cbSize = sizeof bar;
    ASSERT_TRUE(GetScrollBarInfo(list, OBJID_VSCROLL, &bar));
    EXPECT_EQ((bar.rgstate[0] & STATE_SYSTEM_UNAVAILABLE) == 0, step.scrolls) << Utf8(step.typed);
    RECT client{};
    GetClientRect(list, &client);
    EXPECT_EQ(client.right, opened.right) << Utf8(step.typed);
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_RANGE;
    ASSERT_TRUE(GetScrollInfo(list, SB_VERT, &info));
    EXPECT_EQ(info.nMax + 1, step.rows) << Utf8(step.typed);
  }
  // The keyboard: End chooses the last row, which becomes the reference.
  SetFocus(list);
  SendMessageW(list, WM_KEYDOWN, VK_END, 0);
  Pump(10);
  EXPECT_EQ(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED), 49);
  EXPECT_EQ(ItemText(IDC_POINT_NTF), L"NOEUD0:Four50.Temperature");
  EXPECT_EQ(SendMessageW(list, LVM_GETTOPINDEX, 0, 0) + SendMessageW(list, LVM_GETCOUNTPERPAGE, 0, 0),
            50);
}

// Keystrokes typed faster than the list paints: each count is given before the previous
// one's repaint (a scroll bar disabled or enabled) was drawn; the list, once painted, still
// looks as a full repaint draws it.
TEST_F(PointPageTest, ListDrawsEveryCountGivenBeforeItPainted) {
  WriteCache(50);
  auto* c = Make(Settings(90, "NOEUD1:Four1.Temperature"));
  ASSERT_NE(c, nullptr);
  OpenPage({c->object()});
  HWND list = Item(IDC_POINT_LIST);
  const struct {
    const wchar_t* first;
    const wchar_t* then;
    int rows;
  } steps[] = {{L"noeud1:four1", L"four5", 2},   // the scroll bar is disabled; fewer rows
               {L"", L"noeud1", 25},             // it is enabled again; the thumb grows
               {L"four5", L"noeud0:four4", 6},   // it is disabled; more rows
               {L"noeud1", L"noeud0", 25}};      // it is enabled again; the same count
  Type(IDC_POINT_NTF, L"");
  for (const auto& step : steps) {
    SetWindowTextW(Item(IDC_POINT_NTF), step.first);
    SetWindowTextW(Item(IDC_POINT_NTF), step.then);
    Pump(10);
    ASSERT_EQ(ListCount(), step.rows) << Utf8(step.then);
    const std::vector<uint32_t> shown = ListPixels(page_window_, list, false);
    ASSERT_FALSE(shown.empty());
    EXPECT_TRUE(shown == ListPixels(page_window_, list, true)) << Utf8(step.then);
  }
}

// What quillon-host's editor saves of a control: its bag entries in a display file, read back.
std::vector<host::BagEntry> SavedByEditor(host::HostedControl* c) {
  host::Display display;
  host::DisplayControl control;
  control.name = "A";
  control.class_name = "HN_QuillonPD.QuillonPD";
  display.controls.push_back(control);
  EXPECT_EQ(c->Save(&display.controls[0].bag), S_OK);
  host::Display back;
  std::string error;
  EXPECT_TRUE(host::ParseDisplay(host::WriteDisplay(display), &back, &error)) << error;
  return back.controls.empty() ? std::vector<host::BagEntry>{} : back.controls[0].bag;
}

host::EntryValue Saved(const std::vector<host::BagEntry>& bag, TextView name) {
  const host::BagEntry* entry = host::FindEntry(bag, name);
  return entry != nullptr ? entry->value : host::EntryValue(Text(u"(absent)"));
}

// quillon-host's editor opens the platform's frame on a control ("Properties…") and saves
// what the control saves. Wine's frame never calls Apply (PropertyFrameShowsThePageApplies-
// AndCloses below), so its OK is played on the page object as a frame plays it: Apply, then
// Deactivate; Cancel is Deactivate alone.
TEST_F(PointPageTest, ApplyChangesWhatTheEditorSavesAndCancelLeavesIt) {
  WriteCache(50);
  auto* c = Make(Settings(90, "NOEUD1:Four1.Temperature"));
  ASSERT_NE(c, nullptr);
  const std::vector<host::BagEntry> before = SavedByEditor(c);
  ASSERT_EQ(Saved(before, u"strNTF"), host::EntryValue(Text(u"NOEUD1:Four1.Temperature")));
  for (const bool ok : {false, true}) {
    OpenPage({c->object()});
    Type(IDC_POINT_NTF, L"noeud0:four4");
    Choose(1);
    Type(IDC_POINT_FORMAT, L"0.00");
    ChoosePeriod(0);  // 30 min
    if (ok) {
      ASSERT_EQ(page_->Apply(), S_OK);
    }
    ClosePage();
    const std::vector<host::BagEntry> after = SavedByEditor(c);
    if (!ok) {
      EXPECT_EQ(after, before);
      continue;
    }
    EXPECT_EQ(Saved(after, u"strNTF"), host::EntryValue(Text(u"NOEUD0:Four40.Temperature")));
    EXPECT_EQ(Saved(after, u"strFormat"), host::EntryValue(Text(u"0.00")));
    EXPECT_EQ(Saved(after, u"udtPollTime"), host::EntryValue(int32_t{0}));
  }
}

// --- The platform's property frame on a registered control ----------------------------------

// The frame's window (a top-level dialog of this thread) and the page inside it.
BOOL CALLBACK FindFrame(HWND window, LPARAM found) {
  wchar_t name[16] = {};
  GetClassNameW(window, name, 16);
  if (IsWindowVisible(window) && std::wstring(name) == L"#32770") {
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
  }
  return TRUE;
}
BOOL CALLBACK FindPage(HWND window, LPARAM found) {
  if (GetDlgItem(window, IDC_POINT_LIST) != nullptr) {
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
  }
  return TRUE;
}

struct FrameVisit {
  HWND frame = nullptr, page = nullptr;
  bool applied = false;
  int rows = -1;
  std::wstring ntf;
  bool shot = false;
};
FrameVisit visit;

// Runs inside the frame's modal loop: look, type, photograph, apply, close.
void CALLBACK DriveFrame(HWND, UINT, UINT_PTR timer, DWORD) {
  KillTimer(nullptr, timer);
  EnumThreadWindows(GetCurrentThreadId(), FindFrame, reinterpret_cast<LPARAM>(&visit.frame));
  if (visit.frame == nullptr) return;
  EnumChildWindows(visit.frame, FindPage, reinterpret_cast<LPARAM>(&visit.page));
  if (visit.page != nullptr) {
    HWND list = GetDlgItem(visit.page, IDC_POINT_LIST);
    visit.rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    wchar_t ntf[128] = {};
    GetDlgItemTextW(visit.page, IDC_POINT_NTF, ntf, 128);
    visit.ntf = ntf;
    SetDlgItemTextW(visit.page, IDC_POINT_FORMAT, L"0.0 \"°C\"");
    SetDlgItemTextW(visit.page, IDC_POINT_SAMPLES, L"21.75; -3");
    host::Image image;
    std::string error;
    const char* dpi = std::getenv("QUILLON_DPI");
    const std::string name = std::string(QUILLON_SHOT_DIR "/point_page_frame") +
                             (dpi != nullptr ? std::string("_") + dpi + "dpi" : "") + ".png";
    visit.shot = host::CaptureClient(visit.frame, &image) &&
                 host::WriteImageFile(image, name, &error);
    visit.applied = SendMessageW(visit.frame, PSM_APPLY, 0, 0) != 0;
  }
  PostMessageW(visit.frame, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
}

TEST_F(PointPageTest, PropertyFrameShowsThePageAppliesAndCloses) {
  WriteCache(50);
  auto register_server = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
      reinterpret_cast<void*>(GetProcAddress(library_, "DllRegisterServer")));
  auto unregister_server = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
      reinterpret_cast<void*>(GetProcAddress(library_, "DllUnregisterServer")));
  ASSERT_TRUE(register_server && unregister_server);
  ASSERT_EQ(register_server(), S_OK);
  auto* c = Make(Settings(90, "NOEUD0:Four2.Temperature"));
  ASSERT_NE(c, nullptr);
  ISpecifyPropertyPages* pages = nullptr;
  ASSERT_EQ(c->object()->QueryInterface(IID_ISpecifyPropertyPages,
                                        reinterpret_cast<void**>(&pages)),
            S_OK);
  CAUUID uuids{};
  ASSERT_EQ(pages->GetPages(&uuids), S_OK);
  pages->Release();
  IUnknown* object = c->object();
  SetTimer(nullptr, 0, 700, DriveFrame);
  const HRESULT shown = OleCreatePropertyFrame(window_, 20, 20, L"QuillonPD", 1, &object,
                                               uuids.cElems, uuids.pElems, LOCALE_USER_DEFAULT,
                                               0, nullptr);
  CoTaskMemFree(uuids.pElems);
  EXPECT_EQ(unregister_server(), S_OK);
  ASSERT_EQ(shown, S_OK);
  ASSERT_NE(visit.frame, nullptr) << "no frame appeared";
  ASSERT_NE(visit.page, nullptr) << "the frame shows no Point page";
  EXPECT_EQ(visit.ntf, L"NOEUD0:Four2.Temperature");
  EXPECT_EQ(visit.rows, 1);
  EXPECT_TRUE(visit.shot);
  EXPECT_TRUE(visit.applied);
  // Wine 8's frame answers PSM_APPLY without calling IPropertyPage::Apply (its page wrapper
  // handles no PSN_APPLY), so what Apply does is checked on the page itself above.
}

// --- Figures: 100,000 points and more ------------------------------------------------------

// CPU time of this thread in ms: the machine that runs the tests is shared, so wall time says
// little on its own.
double ThreadCpuMs() {
  FILETIME created, exited, kernel, user;
  GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
  auto ms = [](const FILETIME& t) {
    return ((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000.0;
  };
  return ms(kernel) + ms(user);
}

SIZE_T PrivateBytes() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
  return counters.PagefileUsage;
}

// Milliseconds between two QueryPerformanceCounter readings.
double Ms(LONGLONG from, LONGLONG to) {
  LARGE_INTEGER f;
  QueryPerformanceFrequency(&f);
  return 1000.0 * static_cast<double>(to - from) / static_cast<double>(f.QuadPart);
}
LONGLONG Counter() {
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return t.QuadPart;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}
double Worst(const std::vector<double>& values) {
  return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}

// The catalog alone, as the page reads it, and its filter and find over a typed reference.
void PrintCatalogFigures(const std::wstring& path) {
  auto files = NewPlatformFileSystem();
  auto code_page = NewPlatformCodePage();
  PointCatalog catalog;
  LONGLONG t0 = Counter();
  catalog.Load(*files, *code_page, Text(reinterpret_cast<const char16_t*>(path.c_str())));
  std::printf("figure: catalog load %.1f ms\n", Ms(t0, Counter()));
  const Text typed = u"noeud1:four12345";
  double worst = 0;
  for (size_t n = 0; n <= typed.size(); ++n) {
    t0 = Counter();
    catalog.Filter(TextView(typed).substr(0, n));
    catalog.Find(TextView(typed).substr(0, n));
    worst = std::max(worst, Ms(t0, Counter()));
  }
  std::printf("figure: catalog filter and find, worst keystroke %.2f ms\n", worst);
}

KeystrokeFigures PointPageTest::TypeReferences() {
  const std::wstring typed = L"noeud1:four12345";
  KeystrokeFigures keys;
  const double cpu_start = ThreadCpuMs();
  for (int pass = 0; pass < 5; ++pass) {
    for (size_t n = 1; n <= typed.size() + 1; ++n) {
      const std::wstring text = n <= typed.size() ? typed.substr(0, n) : std::wstring();
      const int rows = ListCount();
      const LONGLONG t0 = Counter();
      const double c0 = ThreadCpuMs();
      SetWindowTextW(Item(IDC_POINT_NTF), text.c_str());
      keys.change_cpu += ThreadCpuMs() - c0;
      const LONGLONG changed = Counter();
      UpdateWindow(Item(IDC_POINT_LIST));
      const LONGLONG t1 = Counter();
      keys.change_wall += Ms(t0, changed);
      (ListCount() != rows ? keys.recount_walls : keys.walls).push_back(Ms(t0, t1));
      if (n == typed.size()) {
        EXPECT_EQ(ListCount(), 1);
      }
    }
  }
  keys.cpu = ThreadCpuMs() - cpu_start;
  return keys;
}

TEST_F(PointPageTest, FiguresOnLargeCacheFiles) {
  auto* c = Make(Settings(90, ""));
  ASSERT_NE(c, nullptr);
  SIZE_T memory[2] = {};
  for (int round = 0; round < 2; ++round) {
    WriteCache(round == 0 ? 100000 : 300000);
    const SIZE_T before = PrivateBytes();
    const double cpu0 = ThreadCpuMs();
    // As a frame opens it: page info, objects, activation, shown and painted; no waiting.
    OpenPage({c->object()}, 0);
    UpdateWindow(page_window_);
    Mark();
    Pump(10);
    const double open_cpu_ms = ThreadCpuMs() - cpu0;
    ASSERT_EQ(marks_.size(), 5u);
    const std::vector<LONGLONG> opening = marks_;
    PrintCatalogFigures(cache_file_);
    memory[round] = PrivateBytes() - before;
    EXPECT_EQ(ListCount(), 100000);
    EXPECT_EQ(ItemText(IDC_POINT_HINT), round == 0 ? L"" : L"plus…");
    const KeystrokeFigures keys = TypeReferences();
    EXPECT_EQ(ListCount(), 100000);
    std::vector<double> all = keys.walls;
    all.insert(all.end(), keys.recount_walls.begin(), keys.recount_walls.end());
    const double n = static_cast<double>(keys.count());
    std::printf("figure: %d-record file: page open and list filled %.1f ms (cpu %.1f ms), "
                "keystroke median %.2f ms, worst %.2f ms, mean cpu %.2f ms, memory %.1f MB\n",
                round == 0 ? 100000 : 300000, Ms(opening[0], opening[4]), open_cpu_ms,
                Median(all), Worst(all), keys.cpu / n, memory[round] / 1048576.0);
    std::printf("figure: of the opening: page info %.1f ms, objects and activation %.1f ms, "
                "shown %.1f ms, first paint %.1f ms\n",
                Ms(opening[0], opening[1]), Ms(opening[1], opening[2]),
                Ms(opening[2], opening[3]), Ms(opening[3], opening[4]));
    std::printf("figure: keystrokes that change the list's count: %zu, median %.2f ms, worst "
                "%.2f ms; the others: %zu, median %.2f ms, worst %.2f ms\n",
                keys.recount_walls.size(), Median(keys.recount_walls), Worst(keys.recount_walls),
                keys.walls.size(), Median(keys.walls), Worst(keys.walls));
    std::printf("figure: of a keystroke, the field's change (filter, count, preview): mean %.2f ms "
                "(cpu %.2f ms); the rest is the list's repaint\n",
                keys.change_wall / n, keys.change_cpu / n);
    page_->Deactivate();
    page_window_ = nullptr;
    page_->Release();
    page_ = nullptr;
  }
  // The cap holds the memory: three times the file, not three times the memory.
  EXPECT_LT(memory[1], memory[0] + memory[0] / 2 + 4 * 1048576);
}

}  // namespace
}  // namespace quillon::testing
