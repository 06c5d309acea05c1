// A container may let a control go from inside any call the control makes to it: Close,
// SetClientSite(NULL) and its last reference released, as when a display closes while a
// control notifies it. The control finishes that call on live memory, calls nobody after it,
// and leaves nothing behind. A freed control is filled with a pattern that is no address, so
// a use of it after its release faults rather than passing by chance.
#include <olectl.h>

#include <functional>

#include "HN_QuillonPD_h.h"
#include "container_fixture.h"

namespace quillon::testing {
namespace {

// An interface of the control without a reference of the caller's own: the container's
// references are the last ones.
template <class T>
T* Borrowed(host::HostedControl* c, REFIID iid) {
  T* p = nullptr;
  if (SUCCEEDED(c->object()->QueryInterface(iid, reinterpret_cast<void**>(&p)))) p->Release();
  return p;
}

class ReleaseInsideCallTest : public ContainerTest {
 protected:
  void SetUp() override {
    ContainerTest::SetUp();
    record_ = container_.record;
    container_.record = [this](const std::string& control, const std::string& what) {
      record_(control, what);
      if (drop_call_.empty() || control != drop_control_ || what.rfind(drop_call_, 0) != 0) return;
      drop_call_.clear();  // once: the drop itself calls the site again
      for (auto& c : controls_) {
        if (c->name() == control) c->Close();
      }
      dropped_at_ = calls_.size();
    };
  }

  // The container lets `c` go inside the next call it receives that starts with `call`.
  void DropInside(host::HostedControl* c, const std::string& call) {
    drop_control_ = c->name();
    drop_call_ = call;
    dropped_at_ = 0;
  }
  bool Dropped() const { return dropped_at_ != 0; }
  // What the control asked of the container after it was let go.
  std::vector<std::string> CallsAfterDrop() const {
    std::vector<std::string> out;
    for (size_t i = dropped_at_; Dropped() && i < calls_.size(); ++i) {
      if (calls_[i].control == drop_control_) out.push_back(calls_[i].what);
    }
    return out;
  }
  // The control's window, if one is left in the container's window.
  HWND FaceWindow() const { return FindWindowExW(window_, nullptr, L"QuillonPDFace", nullptr); }

  std::function<void(const std::string&, const std::string&)> record_;
  std::string drop_control_, drop_call_;
  size_t dropped_at_ = 0;
};

TEST_F(ReleaseInsideCallTest, TimerTickNotifyingAContainerThatLetsTheControlGo) {
  container_.mode = host::AmbientMode::kRun;
  host::HostedControl* c = Place(Settings(90));
  ASSERT_NE(c, nullptr);
  DropInside(c, "changed 0x68030005");  // the first of the five notifications of a read
  while (!Dropped() && Now() < 5000) Pump(50);
  ASSERT_TRUE(Dropped()) << "no tick read the point";
  Pump(2200);  // two more seconds of ticks, if any still ran
  EXPECT_EQ(CallsAfterDrop(), std::vector<std::string>{}) << "nobody hears of the rest";
  EXPECT_EQ(FaceWindow(), nullptr);
  EXPECT_EQ(DllCanUnloadNow(), S_OK) << "the control is gone";
  EXPECT_FALSE(CacheHeldOpen());
}

TEST_F(ReleaseInsideCallTest, ActivationWhoseSiteLetsTheControlGo) {
  container_.mode = host::AmbientMode::kRun;
  for (const char* inside : {"OnInPlaceActivate", "ambient -709"}) {
    SCOPED_TRACE(inside);
    host::HostedControl* c = Make(Settings(90));
    ASSERT_NE(c, nullptr);
    DropInside(c, inside);
    c->Activate();  // its result is the control's to choose: it was closed meanwhile
    ASSERT_TRUE(Dropped());
    Pump(1500);
    for (const std::string& call : CallsAfterDrop()) {
      EXPECT_EQ(call, "OnInPlaceDeactivate") << "only the end of what was begun";
    }
    EXPECT_EQ(FaceWindow(), nullptr);
    EXPECT_EQ(DllCanUnloadNow(), S_OK);
  }
}

// A call the container makes on a control through a pointer it holds no reference of its
// own on, where the control calls back and the container lets it go there.
struct MemberCase {
  const char* name;
  const char* inside;
  HRESULT (*call)(host::HostedControl* c);
};

HRESULT PutNtfThroughDispatch(host::HostedControl* c) {
  VARIANT ntf;
  ntf.vt = VT_BSTR;
  ntf.bstrVal = SysAllocString(L"NOEUD1:Autre.Valeur");
  LPOLESTR name = const_cast<LPOLESTR>(L"NTF");
  DISPID id = 0, put = DISPID_PROPERTYPUT;
  IDispatch* d = Borrowed<IDispatch>(c, IID_IDispatch);
  DISPPARAMS params{&ntf, &put, 1, 1};
  HRESULT hr = d->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id);
  if (SUCCEEDED(hr)) {
    hr = d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params, nullptr,
                   nullptr, nullptr);
  }
  VariantClear(&ntf);
  return hr;
}

HRESULT MaJNTF(host::HostedControl* c) {
  BSTR valeur = SysAllocString(L"1"), formatee = SysAllocString(L"1");
  unsigned char quality = 1;
  DATE date = 45000.5;
  const HRESULT hr =
      Borrowed<_QuillonPD>(c, IID__QuillonPD)->MaJNTF(&valeur, &formatee, &quality, &date);
  SysFreeString(valeur);
  SysFreeString(formatee);
  return hr;
}

const MemberCase kMemberCases[] = {
    {"PutThroughIDispatchNotifies", "changed 0x68030007", PutNtfThroughDispatch},
    {"PutReadsTheMode", "ambient -709",
     [](host::HostedControl* c) {
       return Borrowed<_QuillonPD>(c, IID__QuillonPD)->put_Frequence_Rafraichissement(Seconde_30);
     }},
    {"MaJNTFNotifies", "changed 0x68030005", MaJNTF},
    {"AmbientChangeReadsTheMode", "ambient -709",
     [](host::HostedControl* c) {
       return Borrowed<IOleControl>(c, IID_IOleControl)
           ->OnAmbientPropertyChange(DISPID_AMBIENT_USERMODE);
     }},
    {"CloseTellsTheAdviseSinks", "OnClose",
     [](host::HostedControl* c) {
       return Borrowed<IOleObject>(c, IID_IOleObject)->Close(OLECLOSE_NOSAVE);
     }},
    {"DeactivationTellsTheSite", "OnInPlaceDeactivate",
     [](host::HostedControl* c) {
       return Borrowed<IOleInPlaceObject>(c, IID_IOleInPlaceObject)->InPlaceDeactivate();
     }},
};

class MemberCallingBackTest : public ReleaseInsideCallTest,
                              public ::testing::WithParamInterface<MemberCase> {};

TEST_P(MemberCallingBackTest, ContainerLetsTheControlGoInsideTheCallBack) {
  container_.mode = host::AmbientMode::kDesign;  // no ticks: every call comes from the case
  host::HostedControl* c = Place(Settings(90));
  ASSERT_NE(c, nullptr);
  DropInside(c, GetParam().inside);
  EXPECT_EQ(GetParam().call(c), S_OK);
  ASSERT_TRUE(Dropped());
  Pump(200);
  EXPECT_EQ(CallsAfterDrop(), std::vector<std::string>{});
  EXPECT_EQ(FaceWindow(), nullptr);
  EXPECT_EQ(DllCanUnloadNow(), S_OK);
}

INSTANTIATE_TEST_SUITE_P(Members, MemberCallingBackTest, ::testing::ValuesIn(kMemberCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A container that draws the control itself hears of each caption change; it lets the
// control go when it hears of the first.
TEST_F(ReleaseInsideCallTest, CaptionChangeToldToAContainerThatDraws) {
  container_.mode = host::AmbientMode::kDesign;
  host::HostedControl* c = Place(Settings(90));
  ASSERT_NE(c, nullptr);
  ASSERT_EQ(Borrowed<IOleInPlaceObject>(c, IID_IOleInPlaceObject)->InPlaceDeactivate(), S_OK);
  ASSERT_EQ(Borrowed<IViewObject2>(c, IID_IViewObject2)
                ->SetAdvise(DVASPECT_CONTENT, 0, static_cast<IAdviseSink*>(&c->site())),
            S_OK);
  DropInside(c, "OnViewChange");
  EXPECT_EQ(MaJNTF(c), S_OK);
  ASSERT_TRUE(Dropped());
  EXPECT_EQ(CallsAfterDrop(), std::vector<std::string>{});
  EXPECT_EQ(DllCanUnloadNow(), S_OK);
}

}  // namespace
}  // namespace quillon::testing
