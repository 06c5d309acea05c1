// The control in a container of our own that records the calls it receives: the order of
// the lifecycle, the run/design switch through the ambient UserMode, the timer, the shared
// cache closed on hide, and everything released at the end.
#include <olectl.h>

#include <cstdlib>

#include "container_fixture.h"

namespace quillon::testing {
namespace {

// Value columns of the face's rows, relative to the control (pixels at 96 dots per inch).
constexpr RECT kNtfValue{104, 8, 285, 21};
constexpr RECT kPollValue{104, 32, 285, 45};
constexpr RECT kValeurValue{104, 64, 285, 77};

// What IViewObject::Draw paints into a w x h bitmap first filled with white.
host::Image DrawnView(IViewObject2* view, int w, int h, const RECTL& bounds, HRESULT* hr) {
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof bi.bmiHeader, w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(dc, bitmap);
  const RECT all{0, 0, w, h};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  *hr =
      view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, dc, &bounds, nullptr, nullptr, 0);
  GdiFlush();
  host::Image image{w, h, {}};
  const auto* p = static_cast<const uint32_t*>(bits);
  for (int i = 0; i < w * h; ++i) image.pixels.push_back(p[i] & 0xFFFFFF);
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  return image;
}

// A colour as the screenshots hold it (0xRRGGBB), from 0x00BBGGRR or a system colour.
uint32_t Pixel(uint32_t colour) {
  const COLORREF c = (colour & 0x80000000u) ? GetSysColor(static_cast<int>(colour & 0xFF)) : colour;
  return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
}

size_t IndexOf(const std::vector<Call>& calls, const std::string& what) {
  for (size_t i = 0; i < calls.size(); ++i) {
    if (calls[i].what == what) return i;
  }
  return calls.size();
}

TEST_F(ContainerTest, NewControlShowsItsDefaultsOnceShownAndStaysStillInDesignMode) {
  container_.mode = host::AmbientMode::kDesign;
  host::HostedControl* c = Place({});
  ASSERT_NE(c, nullptr);
  Pump(1500);
  // Show reads the mode after the in-place activation.
  EXPECT_LT(IndexOf(calls_, "OnInPlaceActivate"), IndexOf(calls_, "ambient -709"));
  EXPECT_LT(IndexOf(calls_, "ambient -709"), calls_.size());
  const host::Image shot = Shot();
  EXPECT_EQ(InkAt(shot, c->rect(), kNtfValue), 0) << "no point reference yet";
  EXPECT_GT(InkAt(shot, c->rect(), kPollValue), 10) << "\"1 min\"";
  EXPECT_GT(InkAt(shot, c->rect(), kValeurValue), 0) << "\"?\" until the first read";
  EXPECT_TRUE(Reads().empty()) << "no timer in design mode";
  EXPECT_EQ(Property(c, "Frequence_Rafraichissement"), "29");
  EXPECT_EQ(Property(c, "Qualite"), "-2");
}

TEST_F(ContainerTest, LoadedControlInRunModeReadsAboutOneSecondAfterShow) {
  container_.mode = host::AmbientMode::kRun;
  const ULONGLONG shown = Now();
  host::HostedControl* c = Place(Settings(90));
  ASSERT_NE(c, nullptr);
  WaitFor([&] { return Reads().size() >= 2; }, 5000);
  const std::vector<ULONGLONG> reads = Reads();
  ASSERT_GE(reads.size(), 2u);
  EXPECT_GE(reads[0] - shown, 800u);
  EXPECT_LE(reads[0] - shown, 1700u);
  EXPECT_GT(InkAt(Shot(), c->rect(), kNtfValue), 10) << "the point reference";
  // The five notifications of a read, in their order.
  const std::vector<Call> changed = Calls("changed");
  ASSERT_GE(changed.size(), 5u);
  const char* order[] = {"changed 0x68030005", "changed 0x68030004", "changed 0x68030003",
                         "changed 0x68030001", "changed 0x68030002"};
  for (size_t i = 0; i < 5; ++i) EXPECT_EQ(changed[i].what, order[i]);
}

TEST_F(ContainerTest, HideStopsTheTimerAndClosesTheSharedCache) {
  container_.mode = host::AmbientMode::kRun;
  host::HostedControl* c = Place(Settings(90));
  ASSERT_NE(c, nullptr);
  WaitFor([&] { return !Reads().empty() && CacheHeldOpen(); }, 5000);
  ASSERT_TRUE(CacheHeldOpen()) << "the reads opened the cache";
  ASSERT_EQ(c->Show(false), S_OK);
  const size_t reads = Reads().size();
  EXPECT_FALSE(CacheHeldOpen());
  Pump(2200);
  EXPECT_EQ(Reads().size(), reads);
  EXPECT_FALSE(CacheHeldOpen());
}

TEST_F(ContainerTest, UserModeDecidesTheTimerAndAFailedReadCountsAsRun) {
  const struct {
    host::AmbientMode mode;
    bool reads;
  } cases[] = {{host::AmbientMode::kRun, true},
               {host::AmbientMode::kDesign, false},
               {host::AmbientMode::kNoDispatch, true},
               {host::AmbientMode::kMemberNotFound, true}};
  for (const auto& k : cases) {
    container_.mode = k.mode;
    Place(Settings(90), 10 + 290 * static_cast<int>(controls_.size() % 2));
  }
  Pump(1800);
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(!Reads(controls_[i]->name()).empty(), cases[i].reads) << "case " << i;
  }
}

TEST_F(ContainerTest, ContainerSwitchesModeThroughAmbientChanges) {
  container_.mode = host::AmbientMode::kDesign;
  host::HostedControl* c = Place(Settings(90));
  ASSERT_NE(c, nullptr);
  container_.mode = host::AmbientMode::kRun;
  ASSERT_EQ(c->AmbientChanged(DISPID_AMBIENT_BACKCOLOR), S_OK);
  Pump(1500);
  EXPECT_TRUE(Reads().empty()) << "another ambient property changes nothing";
  ASSERT_EQ(c->AmbientChanged(DISPID_AMBIENT_USERMODE), S_OK);
  EXPECT_TRUE(WaitFor([&] { return !Reads().empty(); }, 3000)) << "run mode reads";
  container_.mode = host::AmbientMode::kDesign;
  ASSERT_EQ(c->AmbientChanged(DISPID_UNKNOWN), S_OK);
  const size_t reads = Reads().size();
  Pump(1500);
  EXPECT_EQ(Reads().size(), reads);
  EXPECT_FALSE(CacheHeldOpen());
}

TEST_F(ContainerTest, PropertySetAtRunTimeRestartsTheTimer) {
  container_.mode = host::AmbientMode::kRun;
  host::HostedControl* c = Place(Settings(90));
  ASSERT_NE(c, nullptr);
  while (Reads().empty() && Now() < 5000) Pump(20);
  ASSERT_FALSE(Reads().empty());
  Pump(500);  // half-way to the next tick
  VARIANT ntf;
  ntf.vt = VT_BSTR;
  ntf.bstrVal = SysAllocString(L"NOEUD1:Autre.Valeur");
  const ULONGLONG set = Now();
  ASSERT_EQ(SetProperty(c, "NTF", ntf), S_OK);
  VariantClear(&ntf);
  const size_t before = Reads().size();
  WaitFor([&] { return Reads().size() > before; }, 3000);
  const std::vector<ULONGLONG> reads = Reads();
  ASSERT_GT(reads.size(), before);
  EXPECT_GE(reads[before] - set, 850u) << "a full second after the set, not the old tick";
}

TEST_F(ContainerTest, CloseAndNoClientSiteReleaseEverything) {
  container_.mode = host::AmbientMode::kRun;
  host::HostedControl* c = Place(Settings(90));
  ASSERT_NE(c, nullptr);
  WaitFor([&] { return !Reads().empty(); }, 5000);  // a read opened the cache
  host::Site& site = c->site();
  EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
  c->Close();
  EXPECT_NE(IndexOf(calls_, "OnInPlaceDeactivate"), calls_.size());
  EXPECT_NE(IndexOf(calls_, "OnClose"), calls_.size());
  site.AddRef();
  EXPECT_EQ(site.Release(), 1u) << "the control holds no reference to its site";
  EXPECT_EQ(DllCanUnloadNow(), S_OK);
  EXPECT_FALSE(CacheHeldOpen());
}

TEST_F(ContainerTest, ExtentIsTheFacesSizeInHimetricAndMiscStatusTheRegisteredOne) {
  host::HostedControl* c = Place({});
  ASSERT_NE(c, nullptr);
  IOleObject* ole = nullptr;
  ASSERT_EQ(c->object()->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&ole)), S_OK);
  SIZEL extent{};
  ASSERT_EQ(ole->GetExtent(DVASPECT_CONTENT, &extent), S_OK);
  EXPECT_EQ(extent.cx, 7541);  // 4275 twips
  EXPECT_EQ(extent.cy, 4101);  // 2325 twips
  DWORD misc = 0;
  ASSERT_EQ(ole->GetMiscStatus(DVASPECT_CONTENT, &misc), S_OK);
  EXPECT_EQ(misc, 131473u);
  EXPECT_EQ(c->rect().right - c->rect().left, 285) << "natural size at 96 dots per inch";
  ole->Release();
}

TEST_F(ContainerTest, SavingWritesTheThreeSettingsInOrderWithTheirTypes) {
  host::HostedControl* c = Place(Settings(70, "NOEUD1:Essai.Valeur"));
  ASSERT_NE(c, nullptr);
  std::vector<host::BagEntry> saved;
  ASSERT_EQ(c->Save(&saved), S_OK);
  const std::vector<host::BagEntry> expected = {{u"strNTF", Text(u"NOEUD1:Essai.Valeur")},
                                                {u"udtPollTime", int32_t{70}},
                                                {u"strFormat", Text()}};
  EXPECT_EQ(saved, expected);
}

// The face drawn by the container into its own device context, at the control's natural
// size and at twice that size: the texts and line land where the window shows them.
TEST_F(ContainerTest, ViewObjectDrawsTheSameFaceScaledToTheBounds) {
  container_.mode = host::AmbientMode::kDesign;
  host::HostedControl* c = Place(Settings(90));
  ASSERT_NE(c, nullptr);
  IViewObject2* view = nullptr;
  ASSERT_EQ(c->object()->QueryInterface(IID_IViewObject2, reinterpret_cast<void**>(&view)), S_OK);
  for (int scale : {1, 2}) {
    SCOPED_TRACE("scale " + std::to_string(scale));
    const int w = 285 * scale, h = 155 * scale;
    HRESULT hr = E_FAIL;
    const host::Image image = DrawnView(view, w, h, RECTL{0, 0, w, h}, &hr);
    EXPECT_EQ(hr, S_OK);
    const RECT origin{0, 0, 0, 0};
    const auto at = [&](LONG l, LONG t, LONG r, LONG b) {
      return InkAt(image, origin, RECT{l * scale, t * scale, r * scale, b * scale});
    };
    EXPECT_EQ(at(0, 56, 272, 57), 272 * scale * scale) << "the line, from the left edge";
    EXPECT_EQ(at(272, 56, 285, 57), 0);
    EXPECT_GT(at(8, 8, 97, 21), 10) << "\"NTF :\"";
    EXPECT_EQ(at(97, 0, 104, 56) + at(97, 57, 104, 155), 0) << "between captions and values";
    EXPECT_GT(at(104, 8, 285, 21), 10) << "the point reference";
  }
  view->Release();
}

// A container that gives the control half its extent (144 x 72 pixels at 96 dots per inch)
// and draws it at 1:1 sees the upper-left quarter of the face at full size, and at a zoom of
// 2 the same quarter twice as large; nothing is drawn outside the bounds.
TEST_F(ContainerTest, ViewObjectDrawsAtTheContainersZoomClippedToTheBounds) {
  container_.mode = host::AmbientMode::kDesign;
  host::HostedControl* c = Place(Settings(90));
  ASSERT_NE(c, nullptr);
  IOleObject* ole = nullptr;
  IViewObject2* view = nullptr;
  ASSERT_EQ(c->object()->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&ole)), S_OK);
  ASSERT_EQ(c->object()->QueryInterface(IID_IViewObject2, reinterpret_cast<void**>(&view)), S_OK);
  SIZEL half{3810, 1905};
  ASSERT_EQ(ole->SetExtent(DVASPECT_CONTENT, &half), S_OK);
  for (int zoom : {1, 2}) {
    SCOPED_TRACE("zoom " + std::to_string(zoom));
    const int w = 144 * zoom, h = 72 * zoom, margin = 20;
    HRESULT hr = E_FAIL;
    const host::Image image = DrawnView(view, w + 2 * margin, h + 2 * margin,
                                        RECTL{margin, margin, margin + w, margin + h}, &hr);
    ASSERT_EQ(hr, S_OK);
    const RECT origin{margin, margin, 0, 0};
    const auto at = [&](LONG l, LONG t, LONG r, LONG b) {
      return InkAt(image, origin, RECT{l * zoom, t * zoom, r * zoom, b * zoom});
    };
    EXPECT_EQ(at(0, 56, 144, 57), 144 * zoom * zoom) << "the line at its own height, to the edge";
    EXPECT_EQ(at(0, 22, 144, 31), 0) << "no line squeezed between the first two rows";
    EXPECT_GT(at(8, 8, 97, 21), 10) << "\"NTF :\" where the window shows it";
    EXPECT_EQ(at(97, 0, 104, 56), 0) << "between captions and values";
    EXPECT_GT(at(104, 8, 144, 21), 10) << "the point reference, up to the edge";
    const RECT drawn{margin, margin, margin + w, margin + h};
    int outside = 0;
    for (LONG y = 0; y < image.height; ++y) {
      for (LONG x = 0; x < image.width; ++x) {
        const POINT p{x, y};
        outside += !PtInRect(&drawn, p) && image.at(x, y) != 0xFFFFFF;
      }
    }
    EXPECT_EQ(outside, 0) << "pixels changed outside the bounds";
  }
  view->Release();
  ole->Release();
}

// The face in the container's ambient ForeColor on its BackColor, the line included, with
// system colours translated; a change the container announces is drawn at once; txtStatut
// keeps the colour that the refresh cycle gives it.
TEST_F(ContainerTest, FaceIsDrawnInTheContainersAmbientColours) {
  container_.mode = host::AmbientMode::kRun;
  container_.fore_colour = RGB(0x00, 0x80, 0x00);
  container_.back_colour = RGB(0xC0, 0xE0, 0xFF);
  host::HostedControl* c = Place(Settings(90));
  ASSERT_NE(c, nullptr);
  Pump(1500);  // a first read: txtStatut in the black of its quality
  ASSERT_FALSE(Reads().empty());
  host::Image shot = Shot();
  const RECT& r = c->rect();
  const uint32_t fore = Pixel(container_.fore_colour), back = Pixel(container_.back_colour);
  EXPECT_EQ(PixelsLike(shot, r, RECT{0, 0, 285, 4}, back), 285 * 4) << "the surface";
  EXPECT_GT(PixelsLike(shot, r, RECT{0, 8, 97, 21}, fore), 10) << "\"NTF :\"";
  EXPECT_EQ(InkAt(shot, r, RECT{0, 8, 97, 21}), 0) << "no black caption";
  EXPECT_GT(PixelsLike(shot, r, RECT{104, 8, 285, 21}, fore), 10) << "the point reference";
  EXPECT_EQ(PixelsLike(shot, r, RECT{0, 56, 272, 57}, fore), 272) << "the line";
  EXPECT_GT(InkAt(shot, r, RECT{104, 112, 285, 125}), 5) << "txtStatut in its own black";
  EXPECT_EQ(PixelsLike(shot, r, RECT{104, 112, 285, 125}, fore), 0);

  container_.fore_colour = 0x80000000u | COLOR_HIGHLIGHT;
  container_.back_colour = 0x80000000u | COLOR_WINDOW;
  ASSERT_EQ(c->AmbientChanged(DISPID_AMBIENT_FORECOLOR), S_OK);
  Pump(100);
  shot = Shot();
  EXPECT_EQ(PixelsLike(shot, r, RECT{0, 0, 285, 4}, Pixel(container_.back_colour)), 285 * 4);
  EXPECT_GT(PixelsLike(shot, r, RECT{0, 8, 97, 21}, Pixel(container_.fore_colour)), 10);
  EXPECT_EQ(PixelsLike(shot, r, RECT{0, 8, 97, 21}, fore), 0) << "nothing left of the old";
}

}  // namespace
}  // namespace quillon::testing
