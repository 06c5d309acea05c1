// Quick activation (IQuickActivate) against the classic handshake, side by side in one
// container: the same calls reach the container, the same face is painted and the same values
// are read. The one difference is the point of it: the ambient values the container handed
// over are not asked of its site again until it says they changed.
#include <ocidl.h>
#include <olectl.h>

#include <algorithm>
#include <cstdlib>

#include "container_fixture.h"

namespace quillon::testing {
namespace {

constexpr int kQuickLeft = 320;  // the quick control's column; the classic one is at 10
constexpr LONG kTimeRowTop = 2040 / 15;  // txtHeureDernLect, in pixels at 96 dots per inch

// A sink for the control's events (it has none): a dispatch interface answering the
// control's source interface.
class EventSink final : public IDispatch {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    static const GUID kSource = {0x1B17CAE1, 0x7744, 0x4E00,
                                 {0xB9, 0xC3, 0xAA, 0xB6, 0xED, 0xD5, 0x45, 0x06}};
    *out = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
                   IsEqualIID(iid, kSource)
               ? static_cast<IDispatch*>(this)
               : nullptr;
    if (!*out) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
  STDMETHODIMP_(ULONG) Release() override { return --refs; }
  STDMETHODIMP GetTypeInfoCount(UINT* n) override { return *n = 0, S_OK; }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                      UINT*) override {
    ++events;
    return S_OK;
  }
  ULONG refs = 1;
  int events = 0;
};

bool IsHandedOver(const Call& c) {
  return c.what == "ambient -709" || c.what == "ambient -704" || c.what == "ambient -701";
}

class QuickActivateTest : public ContainerTest {
 protected:
  // The calls a control's site received, without the reads of the ambient values that quick
  // activation hands over.
  std::vector<std::string> Seen(const std::string& control) const {
    std::vector<std::string> out;
    for (const Call& c : Calls("", control)) {
      if (!IsHandedOver(c)) out.push_back(c.what);
    }
    return out;
  }
  size_t HandedOverReads(const std::string& control) const {
    const std::vector<Call> all = Calls("", control);
    return static_cast<size_t>(std::count_if(all.begin(), all.end(), IsHandedOver));
  }

  // The classic control and the quick one, loaded from the same settings.
  void PlaceBoth(std::vector<host::BagEntry> bag) {
    classic_ = PlaceBy(Handshake::kClassic, &classic_events_, bag, 10);
    quick_ = PlaceBy(Handshake::kQuick, &quick_events_, bag, kQuickLeft);
    ASSERT_NE(classic_, nullptr);
    ASSERT_NE(quick_, nullptr);
  }

  // Every property, through IDispatch, of both.
  void ExpectSameProperties() {
    for (const char* name : {"NTF", "Formatage", "Valeur", "ValeurNombre", "ValeurFormatee",
                             "Qualite", "Frequence_Rafraichissement"}) {
      EXPECT_EQ(Property(classic_, name), Property(quick_, name)) << name;
    }
  }

  // The two faces on screen, pixel for pixel; in run mode without the last row, the time of
  // the last read, which the two controls' own timers set a second apart at times.
  void ExpectSameFace(bool time_row = true) {
    const host::Image shot = Shot();
    const RECT a = classic_->rect(), b = quick_->rect();
    ASSERT_EQ(a.right - a.left, b.right - b.left);
    ASSERT_EQ(a.bottom - a.top, b.bottom - b.top);
    int differing = 0, ink = 0;
    const LONG bottom = time_row ? a.bottom : a.top + kTimeRowTop;
    for (LONG y = a.top; y < bottom && y < shot.height; ++y) {
      for (LONG x = 0; x < a.right - a.left && b.left + x < shot.width; ++x) {
        differing += shot.at(a.left + x, y) != shot.at(b.left + x, y);
      }
    }
    ink = InkAt(shot, a, RECT{0, 0, a.right - a.left, a.bottom - a.top});
    EXPECT_EQ(differing, 0);
    EXPECT_GT(ink, 100) << "a face was painted";
  }

  EventSink classic_events_, quick_events_;
  host::HostedControl* classic_ = nullptr;
  host::HostedControl* quick_ = nullptr;
};

// Design mode, then the container switches to run mode, then a property is set: the sites
// hear the same calls in the same order, and the faces are the same at each step.
TEST_F(QuickActivateTest, QuickPathEqualsTheClassicOneInCallsFaceAndValues) {
  container_.mode = host::AmbientMode::kDesign;
  PlaceBoth(Settings(70));
  Pump(300);
  EXPECT_GT(HandedOverReads("c1"), 0u) << "the classic control asked its site";
  EXPECT_EQ(HandedOverReads("c2"), 0u) << "the quick one knew the mode";
  const std::vector<std::string> seen = Seen("c1");
  EXPECT_NE(std::find(seen.begin(), seen.end(), "OnInPlaceActivate"), seen.end());
  EXPECT_EQ(seen, Seen("c2"));
  ExpectSameFace();
  ExpectSameProperties();

  StartServer("21.5", "21,50");
  container_.mode = host::AmbientMode::kRun;
  ASSERT_EQ(classic_->AmbientChanged(DISPID_AMBIENT_USERMODE), S_OK);
  ASSERT_EQ(quick_->AmbientChanged(DISPID_AMBIENT_USERMODE), S_OK);
  EXPECT_EQ(HandedOverReads("c2"), 1u) << "a change the container announced is read";
  while ((Reads("c1").size() < 3 || Reads("c2").size() < 3) && Now() < 15000) Pump(50);
  for (auto* c : {classic_, quick_}) ASSERT_EQ(c->Show(false), S_OK);
  ExpectSameProperties();
  std::vector<std::string> a = Seen("c1"), b = Seen("c2");
  // The controls tick on timers of their own: one may have read once more than the other.
  const size_t common = std::min(a.size(), b.size());
  EXPECT_LE(std::max(a.size(), b.size()) - common, 5u);
  a.resize(common);
  b.resize(common);
  EXPECT_EQ(a, b);
  for (auto* c : {classic_, quick_}) ASSERT_EQ(c->Show(true), S_OK);
  Pump(200);
  ExpectSameFace(/*time_row=*/false);
  EXPECT_EQ(classic_events_.events + quick_events_.events, 0) << "the control has no events";
}

// Run mode from the start: the quick control starts its timer from QACONTAINER_USERMODE
// without asking its site, and reads as the classic one does.
TEST_F(QuickActivateTest, RunModeHandedOverStartsTheRefreshWithoutAskingTheSite) {
  container_.mode = host::AmbientMode::kRun;
  PlaceBoth(Settings(90));
  while ((Reads("c1").size() < 2 || Reads("c2").size() < 2) && Now() < 10000) Pump(50);
  EXPECT_GE(Reads("c2").size(), 2u);
  EXPECT_EQ(HandedOverReads("c2"), 0u);
  // A property set at run time re-applies the mode from the handed-over value too.
  VARIANT format;
  format.vt = VT_BSTR;
  format.bstrVal = SysAllocString(L"0.0");
  EXPECT_EQ(SetProperty(classic_, "Formatage", format), S_OK);
  EXPECT_EQ(SetProperty(quick_, "Formatage", format), S_OK);
  VariantClear(&format);
  EXPECT_EQ(HandedOverReads("c2"), 0u);
  Pump(300);
  ExpectSameProperties();
}

// A container with colours of its own: the quick control paints in the colours handed over,
// as the classic one in those it reads, and both follow a change the container announces.
TEST_F(QuickActivateTest, ColoursHandedOverPaintTheSameFaceAndFollowAnnouncedChanges) {
  container_.mode = host::AmbientMode::kDesign;
  container_.back_colour = 0x00C0FFFF;  // light yellow
  container_.fore_colour = 0x00400000;  // dark blue
  PlaceBoth(Settings(90));
  Pump(300);
  EXPECT_EQ(HandedOverReads("c2"), 0u);
  ExpectSameFace();
  const RECT face{0, 0, 285, 155};
  EXPECT_GT(PixelsLike(Shot(), quick_->rect(), face, 0xFFFFC0), 285 * 155 / 2) << "yellow";

  container_.back_colour = 0x00FFE0C0;  // light blue
  for (auto* c : {classic_, quick_}) ASSERT_EQ(c->AmbientChanged(DISPID_AMBIENT_BACKCOLOR), S_OK);
  Pump(300);
  EXPECT_EQ(Seen("c1"), Seen("c2"));
  ExpectSameFace();
  EXPECT_GT(PixelsLike(Shot(), quick_->rect(), face, 0xC0E0FF), 285 * 155 / 2) << "blue";
}

// QACONTROL, the cookies it returns, the extent calls, and the undoing of a handshake that
// fails half-way (a container then falls back to the classic path).
TEST_F(QuickActivateTest, QuickActivateReportsTheControlAndUndoesAFailedHandshake) {
  IUnknown* object = nullptr;
  ASSERT_EQ(NewObject(&object), S_OK);
  IQuickActivate* quick = nullptr;
  ASSERT_EQ(object->QueryInterface(IID_IQuickActivate, reinterpret_cast<void**>(&quick)), S_OK);
  host::HostedControl* c = AddControl(10, 10);
  QACONTAINER container{};
  container.cbSize = sizeof container;
  container.pClientSite = static_cast<IOleClientSite*>(&c->site());
  container.pAdviseSink = reinterpret_cast<IAdviseSinkEx*>(static_cast<IAdviseSink*>(&c->site()));
  container.pPropertyNotifySink = static_cast<IPropertyNotifySink*>(&c->site());
  EventSink events;
  container.pUnkEventSink = &events;
  QACONTROL control{};
  control.cbSize = sizeof control;
  control.dwPointerActivationPolicy = 77;
  ASSERT_EQ(quick->QuickActivate(&container, &control), S_OK);
  EXPECT_EQ(control.dwMiscStatus, 131473u);
  EXPECT_EQ(control.dwViewStatus, DWORD{VIEWSTATUS_OPAQUE | VIEWSTATUS_SOLIDBKGND});
  EXPECT_EQ(control.dwPointerActivationPolicy, 0u);
  EXPECT_GT(events.refs, 1u) << "the event sink is advised";

  IConnectionPointContainer* points = nullptr;
  ASSERT_EQ(object->QueryInterface(IID_IConnectionPointContainer,
                                   reinterpret_cast<void**>(&points)),
            S_OK);
  IConnectionPoint* notify = nullptr;
  ASSERT_EQ(points->FindConnectionPoint(IID_IPropertyNotifySink, &notify), S_OK);
  EXPECT_EQ(notify->Unadvise(control.dwPropNotifyCookie), S_OK);
  IEnumConnectionPoints* all = nullptr;
  ASSERT_EQ(points->EnumConnectionPoints(&all), S_OK);
  IConnectionPoint* point = nullptr;
  bool source_cookie_works = false;
  while (all->Next(1, &point, nullptr) == S_OK) {
    IID iid{};
    point->GetConnectionInterface(&iid);
    if (!IsEqualIID(iid, IID_IPropertyNotifySink))
      source_cookie_works = point->Unadvise(control.dwEventCookie) == S_OK;
    point->Release();
  }
  all->Release();
  EXPECT_TRUE(source_cookie_works);
  EXPECT_EQ(events.refs, 1u);

  SIZEL size{5000, 3000}, got{};
  EXPECT_EQ(quick->SetContentExtent(&size), S_OK);
  EXPECT_EQ(quick->GetContentExtent(&got), S_OK);
  EXPECT_EQ(got.cx, 5000);
  EXPECT_EQ(got.cy, 3000);
  EXPECT_EQ(quick->GetContentExtent(nullptr), E_POINTER);

  // An event sink that is not one: nothing of the handshake is left behind.
  IUnknown* not_a_sink = static_cast<IOleClientSite*>(&c->site());
  container.pUnkEventSink = not_a_sink;
  EXPECT_EQ(quick->QuickActivate(&container, &control), CONNECT_E_CANNOTCONNECT);
  IOleObject* ole = nullptr;
  ASSERT_EQ(object->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&ole)), S_OK);
  IOleClientSite* site = &c->site();
  EXPECT_EQ(ole->GetClientSite(&site), S_OK);
  EXPECT_EQ(site, nullptr);
  IViewObject* view = nullptr;
  ASSERT_EQ(object->QueryInterface(IID_IViewObject, reinterpret_cast<void**>(&view)), S_OK);
  IAdviseSink* view_sink = &c->site();
  EXPECT_EQ(view->GetAdvise(nullptr, nullptr, &view_sink), S_OK);
  EXPECT_EQ(view_sink, nullptr);
  IEnumConnections* connections = nullptr;
  ASSERT_EQ(notify->EnumConnections(&connections), S_OK);
  CONNECTDATA data{};
  EXPECT_EQ(connections->Next(1, &data, nullptr), S_FALSE) << "no change sink left";
  connections->Release();

  container.cbSize = offsetof(QACONTAINER, colorBack);
  EXPECT_EQ(quick->QuickActivate(&container, &control), E_INVALIDARG);
  EXPECT_EQ(quick->QuickActivate(nullptr, &control), E_POINTER);
  for (IUnknown* u : {static_cast<IUnknown*>(view), static_cast<IUnknown*>(ole),
                      static_cast<IUnknown*>(notify), static_cast<IUnknown*>(points),
                      static_cast<IUnknown*>(quick), object}) {
    u->Release();
  }
}

}  // namespace
}  // namespace quillon::testing
