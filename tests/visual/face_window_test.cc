// The control's window under a real window manager's eyes: where the face's texts and line
// land on screen (pixels of text colour in the boxes the layout gives, at 96 and 144 dots per
// inch), the status colour, the surface's colours, clipping, what a caption change redraws,
// and timerRead.
#include "package/face_window.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>

#include "package/ambient_properties.h"
#include "package/face_paint.h"
#include "visual/test_face.h"
#include "screenshot.h"
#include "site.h"

namespace quillon {
namespace {

using host::Image;

bool Dark(uint32_t p) {
  return ((p >> 16) & 0xFF) < 0x70 && ((p >> 8) & 0xFF) < 0x70 && (p & 0xFF) < 0x70;
}
bool Red(uint32_t p) {
  return ((p >> 16) & 0xFF) > 0xB0 && ((p >> 8) & 0xFF) < 0x50 && (p & 0xFF) < 0x50;
}

// Pixels matching `match` inside `area` of an image: how many, and their bounding box.
struct Ink {
  int count = 0;
  RECT box{INT_MAX, INT_MAX, INT_MIN, INT_MIN};
};
template <typename Match>
Ink InkIn(const Image& image, RECT area, Match match) {
  Ink ink;
  area.right = std::min<LONG>(area.right, image.width);
  area.bottom = std::min<LONG>(area.bottom, image.height);
  for (LONG y = std::max<LONG>(area.top, 0); y < area.bottom; ++y) {
    for (LONG x = std::max<LONG>(area.left, 0); x < area.right; ++x) {
      if (!match(image.at(x, y))) continue;
      ++ink.count;
      ink.box = {std::min(ink.box.left, x), std::min(ink.box.top, y),
                 std::max(ink.box.right, x + 1), std::max(ink.box.bottom, y + 1)};
    }
  }
  return ink;
}

// Row tops of the six label rows and the face's fixed points, in pixels, at 96 and 144 dpi.
struct Geometry {
  int rows[6];  // txtNTF, txtPolltime, txtValeur, txtValeurFormatee, txtStatut, txtHeureDernLect
  int caption_right, value_left, line_y, line_end, width, row_height, height;
};
constexpr Geometry k96 = {{8, 32, 64, 88, 112, 136}, 97, 104, 56, 272, 285, 13, 155};
constexpr Geometry k144 = {{12, 48, 96, 132, 168, 204}, 146, 156, 84, 408, 428, 19, 233};

// The geometry of the screen the test runs on (run at 96 and at 144 dots per inch).
const Geometry& Screen() { return FaceWindow::ScreenScale().y_num >= 144 ? k144 : k96; }

void ExpectFaceLayout(const Image& face, const Geometry& g) {
  for (int top : g.rows) {
    SCOPED_TRACE("row at " + std::to_string(top));
    const Ink caption = InkIn(face, {0, top, g.caption_right, top + g.row_height}, Dark);
    ASSERT_GT(caption.count, 10);
    EXPECT_GE(caption.box.right, g.caption_right - 4) << "caption text right-aligned";
    EXPECT_EQ(InkIn(face, {g.caption_right, top, g.value_left, top + g.row_height}, Dark).count, 0);
    const Ink value = InkIn(face, {g.value_left, top, g.width, top + g.row_height}, Dark);
    ASSERT_GT(value.count, 0) << "the value label's \"?\"";
    EXPECT_LE(value.box.left, g.value_left + 3);
  }
  const Ink line = InkIn(face, {0, g.line_y, g.width, g.line_y + 1}, Dark);
  EXPECT_EQ(line.count, g.line_end) << "from the left edge to its end";
  EXPECT_EQ(line.box.right, g.line_end);
  EXPECT_EQ(InkIn(face, {0, g.line_y - 4, g.width, g.line_y}, Dark).count, 0);
}

LRESULT CALLBACK ParentProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  return DefWindowProcW(w, m, wp, lp);
}

class FaceWindowTest : public ::testing::Test {
 protected:
  static constexpr POINT kOrigin{10, 10};

  void SetUp() override {
    WNDCLASSW wc{};
    wc.lpfnWndProc = ParentProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = L"FaceTestParent";
    RegisterClassW(&wc);
    parent_ =
        CreateWindowExW(0, L"FaceTestParent", L"face", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0,
                        0, 480, 260, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(parent_, nullptr);
  }
  void TearDown() override { DestroyWindow(parent_); }

  void Place(FaceWindow& window, int width = Screen().width, int height = Screen().height) {
    ASSERT_TRUE(
        window.Create(parent_, {kOrigin.x, kOrigin.y, kOrigin.x + width, kOrigin.y + height}));
    window.Show(true);
    Pump(100);
  }

  // Runs the message loop for `ms` milliseconds.
  static void Pump(DWORD ms) {
    const ULONGLONG end = GetTickCount64() + ms;
    for (ULONGLONG now; (now = GetTickCount64()) < end;) {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
  }

  // The face as shown: the parent's pixels from the face's corner.
  Image Shot(int width = Screen().width, int height = Screen().height) {
    Image all;
    EXPECT_TRUE(host::CaptureClient(parent_, &all));
    Image face{width, height, {}};
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) face.pixels.push_back(all.at(kOrigin.x + x, kOrigin.y + y));
    }
    return face;
  }

  HWND parent_ = nullptr;
  int ticks_ = 0;
  TestFace site_{[this] { ++ticks_; }};
};

TEST_F(FaceWindowTest, DesignFaceHasItsTextsAndLineWhereTheLayoutPutsThem) {
  Place(site_.window());
  ExpectFaceLayout(Shot(), Screen());
}

TEST_F(FaceWindowTest, SamePaintRoutineScalesTo144DotsPerInch) {
  const FaceScale scale = FaceScale::ForDpi(144, 144);
  const FaceState face;
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof bi.bmiHeader, k144.width, -350, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(dc, bitmap);
  HFONT font = CreateFaceFont(scale);
  PaintFace(dc, face, scale, font, SurfaceColours{}, POINT{0, 0}, RECT{0, 0, k144.width, 350});
  GdiFlush();
  Image image{k144.width, 350, {}};
  const auto* p = static_cast<const uint32_t*>(bits);
  for (size_t i = 0; i < size_t(k144.width) * 350; ++i) image.pixels.push_back(p[i] & 0xFFFFFF);
  SelectObject(dc, old);
  DeleteObject(font);
  DeleteObject(bitmap);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  ExpectFaceLayout(image, k144);
}

TEST_F(FaceWindowTest, StatusIsRedForBadAndHeldQualitiesOnly) {
  Place(site_.window());
  const Geometry& g = Screen();
  const RECT status{g.value_left, g.rows[4], g.width, g.rows[4] + g.row_height};
  for (const auto& [text, colour, red] :
       {std::tuple{u"Mauvaise", kColourRed, true}, std::tuple{u"Ok", kColourBlack, false},
        std::tuple{u"Maintenue", kColourRed, true}}) {
    site_.SetForeColor(Child::txtStatut, kColourBlack);
    site_.SetCaption(Child::txtStatut, text);
    site_.SetForeColor(Child::txtStatut, colour);
    Pump(50);
    const Image face = Shot();
    EXPECT_EQ(InkIn(face, status, Red).count > 10, red) << ToUtf8(text);
    EXPECT_EQ(InkIn(face, status, Dark).count > 10, !red) << ToUtf8(text);
  }
}

TEST_F(FaceWindowTest, LongValueRunsOnOneLineAndIsClippedByTheControl) {
  Place(site_.window());
  site_.SetCaption(Child::txtNTF, u"NOEUD_TRES_LONG_DU_RESEAU:Reservoir_principal.Temperature");
  Pump(50);
  const Geometry& g = Screen();
  const Image face = Shot(g.width + 40);
  const int top = g.rows[0], bottom = g.rows[0] + g.row_height;
  EXPECT_GE(InkIn(face, {0, top, g.width, bottom}, Dark).box.right, g.width - 8);
  EXPECT_EQ(InkIn(face, {g.width, 0, g.width + 40, g.height}, Dark).count, 0) << "clipped";
  EXPECT_EQ(InkIn(face, {g.value_left, bottom + 1, g.width, g.rows[1] - 1}, Dark).count, 0)
      << "not wrapped";
}

TEST_F(FaceWindowTest, CaptionChangeRedrawsOnlyThatLabel) {
  Place(site_.window());
  const HWND w = site_.window().handle();
  ValidateRect(w, nullptr);
  site_.SetCaption(Child::txtValeur, u"12.5");
  RECT dirty;
  ASSERT_TRUE(GetUpdateRect(w, &dirty, FALSE));
  const Geometry& g = Screen();
  EXPECT_GE(dirty.left, g.value_left);
  EXPECT_GE(dirty.top, g.rows[2]);
  EXPECT_LE(dirty.bottom, g.rows[2] + g.row_height + 3);
  ValidateRect(w, nullptr);
  site_.SetCaption(Child::txtValeur, u"12.5");
  site_.SetForeColor(Child::txtValeur, kSurfaceTextColour);  // the colour it shows already
  EXPECT_FALSE(GetUpdateRect(w, &dirty, FALSE)) << "nothing changed, nothing redrawn";
}

TEST_F(FaceWindowTest, TimerTicksEverySecondWhileEnabled) {
  site_.EnableTimer(true);  // before the window exists: starts with it
  Place(site_.window());
  Pump(2400);
  EXPECT_EQ(ticks_, 2);
  site_.EnableTimer(false);
  Pump(1300);
  EXPECT_EQ(ticks_, 2);
  EXPECT_FALSE(site_.window().timer_running());
}

// Without a container's colours the face takes the system's button colours: in a dark
// scheme its texts and line are light on the dark face; txtStatut keeps a colour given it.
TEST_F(FaceWindowTest, WithoutAmbientColoursTheSystemsButtonColoursServe) {
  const int elements[] = {COLOR_BTNFACE, COLOR_BTNTEXT};
  const COLORREF saved[] = {GetSysColor(COLOR_BTNFACE), GetSysColor(COLOR_BTNTEXT)};
  const COLORREF dark[] = {RGB(0x20, 0x20, 0x30), RGB(0xF0, 0xF0, 0xE0)};
  ASSERT_TRUE(SetSysColors(2, elements, dark));
  Place(site_.window());
  site_.SetForeColor(Child::txtStatut, kColourRed);
  Pump(50);
  const Image face = Shot();
  SetSysColors(2, elements, saved);
  const Geometry& g = Screen();
  const auto light = [](uint32_t p) {
    return ((p >> 16) & 0xFF) > 0xC0 && ((p >> 8) & 0xFF) > 0xC0 && (p & 0xFF) > 0xC0;
  };
  const auto face_colour = [](uint32_t p) { return p == 0x202030; };
  EXPECT_EQ(InkIn(face, {0, 0, g.width, g.rows[0]}, face_colour).count, g.width * g.rows[0]);
  for (int i : {0, 1, 2, 5}) {
    SCOPED_TRACE("row at " + std::to_string(g.rows[i]));
    const RECT row{0, g.rows[i], g.width, g.rows[i] + g.row_height};
    EXPECT_GT(InkIn(face, row, light).count, 20) << "caption and value in the button text";
    EXPECT_EQ(InkIn(face, row, Red).count, 0);
  }
  EXPECT_EQ(InkIn(face, {0, g.line_y, g.width, g.line_y + 1}, light).count, g.line_end);
  const RECT status{g.value_left, g.rows[4], g.width, g.rows[4] + g.row_height};
  EXPECT_GT(InkIn(face, status, Red).count, 3) << "the status in its own colour";
  EXPECT_EQ(InkIn(face, status, light).count, 0);
}

TEST(AmbientColoursTest, ReadThroughTheClientSitesDispatchWithSystemColoursAsFallback) {
  const SurfaceColours system;
  const struct {
    host::AmbientMode mode;
    uint32_t fore, back;
    SurfaceColours read;
  } cases[] = {
      {host::AmbientMode::kRun, 0x00123456, 0x00FEDCBA, {0x00123456, 0x00FEDCBA}},
      {host::AmbientMode::kRun,
       0x80000000u | COLOR_WINDOWTEXT,
       0x80000000u | COLOR_WINDOW,
       {0x80000000u | COLOR_WINDOWTEXT, 0x80000000u | COLOR_WINDOW}},
      {host::AmbientMode::kRun, 0x7F000000, 0x00FFFFFF, {system.text, 0x00FFFFFF}},
      {host::AmbientMode::kNoDispatch, 0x00123456, 0x00FEDCBA, system},
  };
  for (const auto& c : cases) {
    host::Container container;
    container.mode = c.mode;
    container.fore_colour = c.fore;
    container.back_colour = c.back;
    host::Site* site = host::Site::Create(container, "c", RECT{});
    const SurfaceColours read = ReadAmbientColours(site);
    EXPECT_EQ(read.text, c.read.text) << std::hex << c.fore;
    EXPECT_EQ(read.back, c.read.back) << std::hex << c.back;
    site->Release();
  }
  EXPECT_TRUE(ReadAmbientColours(nullptr) == system);
}

TEST(AmbientUserModeTest, ReadThroughTheClientSitesDispatch) {
  const struct {
    host::AmbientMode container;
    UserMode read;
  } cases[] = {{host::AmbientMode::kRun, UserMode::kRun},
               {host::AmbientMode::kDesign, UserMode::kDesign},
               {host::AmbientMode::kNoDispatch, UserMode::kUnavailable},
               {host::AmbientMode::kMemberNotFound, UserMode::kUnavailable}};
  for (const auto& c : cases) {
    host::Container container;
    container.mode = c.container;
    host::Site* site = host::Site::Create(container, "c", RECT{});
    EXPECT_EQ(ReadAmbientUserMode(site), c.read) << int(c.container);
    site->Release();
  }
  EXPECT_EQ(ReadAmbientUserMode(nullptr), UserMode::kUnavailable);
}

}  // namespace
}  // namespace quillon
