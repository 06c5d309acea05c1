// The control reading live values that the stand-in server fills into the shared cache:
// in our own container, two controls in one process, and in Wine's ATL container.
#include "container_fixture.h"

namespace quillon::testing {
namespace {

constexpr RECT kValeurValue{104, 64, 285, 77};

class LiveTest : public ContainerTest {
 protected:
  bool Served(IUnknown* control) {
    return Property(control, "ValeurFormatee").find("12,50 u") != std::string::npos;
  }
  bool Served(host::HostedControl* c) { return Served(c->object()); }
};

TEST_F(LiveTest, RunningControlShowsTheServedValueAndEndsItsStartUpPhase) {
  StartServer("12.5", "12,50 u");
  container_.mode = host::AmbientMode::kRun;
  host::HostedControl* c = Place(Settings(90));
  ASSERT_NE(c, nullptr);
  ASSERT_TRUE(WaitFor([&] { return Served(c); }, 5000)) << Property(c, "ValeurFormatee");
  EXPECT_EQ(Property(c, "Valeur").substr(0, 4), "12.5");
  EXPECT_GT(InkAt(Shot(), c->rect(), kValeurValue), 10);
  // Fresh data ended the start-up phase: the next read waits for the 10 s period.
  const size_t reads = Reads().size();
  Pump(3000);
  EXPECT_EQ(Reads().size(), reads);
}

TEST_F(LiveTest, HidingOneControlDoesNotBlankAnother) {
  StartServer("12.5", "12,50 u");
  container_.mode = host::AmbientMode::kRun;
  host::HostedControl* hidden = Place(Settings(90));
  host::HostedControl* shown = Place(Settings(1), 300);  // outside the table: reads every tick
  ASSERT_TRUE(hidden && shown);
  ASSERT_TRUE(WaitFor([&] { return Served(hidden) && Served(shown); }, 5000));
  ASSERT_EQ(hidden->Show(false), S_OK);
  const size_t reads = Reads(shown->name()).size();
  Pump(2500);
  EXPECT_GE(Reads(shown->name()).size(), reads + 2) << "the other control still reads";
  EXPECT_TRUE(Served(shown)) << Property(shown, "ValeurFormatee");
  EXPECT_GT(InkAt(Shot(), shown->rect(), kValeurValue), 10);
}

// Wine's ATL container: no ambient properties and no property bag, so the mode read fails
// (run mode) and the point is set through the control's interface.
TEST_F(LiveTest, WinesAtlContainerHostsTheControlThatReadsItsPoint) {
  using Entry = HRESULT(WINAPI*)();
  auto call = [&](HMODULE m, const char* name) {
    auto f = reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(m, name)));
    return f ? f() : E_FAIL;
  };
  ASSERT_EQ(call(library_, "DllRegisterServer"), S_OK);
  HMODULE atl = LoadLibraryW(L"atl.dll");
  ASSERT_NE(atl, nullptr);
  using GetControl = HRESULT(WINAPI*)(HWND, IUnknown**);
  auto get_control =
      reinterpret_cast<GetControl>(reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxGetControl")));
  ASSERT_TRUE(call(atl, "AtlAxWinInit") != E_FAIL && get_control);
  StartServer("12.5", "12,50 u");
  HWND ax = CreateWindowExW(0, L"AtlAxWin", L"HN_QuillonPD.QuillonPD", WS_CHILD | WS_VISIBLE, 10,
                            10, 285, 155, window_, nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(ax, nullptr);
  IUnknown* unknown = nullptr;
  ASSERT_EQ(get_control(ax, &unknown), S_OK);
  VARIANT ntf;
  ntf.vt = VT_BSTR;
  ntf.bstrVal = SysAllocString(L"NOEUD1:Essai.Valeur");
  EXPECT_EQ(SetProperty(unknown, "NTF", ntf), S_OK);
  VariantClear(&ntf);
  const bool served = WaitFor([&] { return Served(unknown); }, 6000);
  EXPECT_TRUE(served) << Property(unknown, "ValeurFormatee");
  EXPECT_GT(InkAt(Shot(), RECT{10, 10, 0, 0}, kValeurValue), 10);
  unknown->Release();
  DestroyWindow(ax);
  Pump(200);
  EXPECT_EQ(call(library_, "DllUnregisterServer"), S_OK);
}

}  // namespace
}  // namespace quillon::testing
