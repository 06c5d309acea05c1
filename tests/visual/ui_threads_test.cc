// Controls on several user-interface threads of one process at once, as apartment-threaded
// controls are used: each thread has its own container window and controls, which it makes,
// activates in run mode, lets tick, closes and releases, round after round. Every activation
// succeeds, every control reads, and the library's window class is gone with the last control,
// or with the library when a thread ended without closing its controls.
#include <olectl.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "container_fixture.h"
#include "frame.h"

namespace quillon::testing {
namespace {

constexpr DISPID kValeurChanged = 0x68030005;

// What the threads of one run report.
struct Tally {
  std::atomic<int> placed{0};
  std::atomic<int> failed{0};  // steps that did not give S_OK (DoVerb above all)
  std::atomic<int> unread{0};  // controls of a ticking round that were never read
  std::atomic<int> first_error{0};
};

struct ThreadPlan {
  HMODULE library;
  std::vector<host::BagEntry> settings;  // what each control is loaded from
  int rounds;                            // rounds of make, activate, close and release
  int ticking_rounds;  // of which the last ones wait for every control's first read
  int per_round;       // controls in a ticking round; the other rounds make one, quickly
  Tally* tally;
};

void Fail(Tally& tally, HRESULT hr) {
  ++tally.failed;
  int none = 0;
  tally.first_error.compare_exchange_strong(none, static_cast<int>(hr));
}

// A control made through the library's class object.
HRESULT MakeControl(HMODULE library, IUnknown** out) {
  using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
  auto get = reinterpret_cast<GetClassObject>(
      reinterpret_cast<void*>(GetProcAddress(library, "DllGetClassObject")));
  CLSID clsid;
  CLSIDFromString(L"{E5BC90C5-6394-4CF3-85F1-0C1F761E8E28}", &clsid);
  IClassFactory* factory = nullptr;
  HRESULT hr = get ? get(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory)) : E_FAIL;
  if (SUCCEEDED(hr)) {
    hr = factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(out));
  }
  if (factory) factory->Release();
  return hr;
}

// Runs the thread's message loop until `done` (asked at least every 20 ms) or `ms`
// milliseconds have passed.
template <typename Done>
void PumpUntil(DWORD ms, Done done) {
  const ULONGLONG end = GetTickCount64() + ms;
  for (ULONGLONG now; !done() && (now = GetTickCount64()) < end;) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::min(end - now, 20ull)),
                              QS_ALLINPUT);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  }
}

// One round on a thread's container: controls made, loaded, activated; when `ticking`, the
// thread pumps until each has been read; then every control is closed and released.
void Round(const ThreadPlan& plan, host::Container& container, bool ticking) {
  std::vector<std::unique_ptr<host::HostedControl>> controls;
  std::vector<std::string> read;
  container.changed = [&read](const std::string& control, DISPID id) {
    if (id == kValeurChanged) read.push_back(control);
  };
  for (int i = 0; i < (ticking ? plan.per_round : 1); ++i) {
    IUnknown* object = nullptr;
    HRESULT hr = MakeControl(plan.library, &object);
    auto control = std::make_unique<host::HostedControl>(
        container, "c" + std::to_string(i), RECT{5 + 290 * (i % 2), 5 + 160 * (i / 2), 0, 0});
    if (SUCCEEDED(hr)) hr = control->Attach(object);
    if (object) object->Release();
    std::vector<host::BagEntry> bag = plan.settings;
    if (SUCCEEDED(hr)) hr = control->Load(&bag);
    if (SUCCEEDED(hr)) hr = control->Activate();
    if (hr != S_OK) Fail(*plan.tally, hr);
    ++plan.tally->placed;
    controls.push_back(std::move(control));
  }
  const auto all_read = [&] {
    for (const auto& c : controls) {
      if (std::find(read.begin(), read.end(), c->name()) == read.end()) return false;
    }
    return true;
  };
  PumpUntil(ticking ? 4000 : 20, [&] { return ticking && all_read(); });
  if (ticking) {
    for (const auto& c : controls) {
      plan.tally->unread += std::find(read.begin(), read.end(), c->name()) == read.end();
    }
  }
  for (auto& c : controls) c->Close();
  controls.clear();
  container.changed = nullptr;
}

DWORD WINAPI UiThread(void* arg) {
  const ThreadPlan& plan = *static_cast<const ThreadPlan*>(arg);
  if (FAILED(OleInitialize(nullptr))) {
    Fail(*plan.tally, E_UNEXPECTED);
    return 1;
  }
  HWND window = CreateWindowExW(0, L"QuillonTestContainer", L"thread",
                                WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 600, 360, nullptr,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
  host::Container container;
  container.window = window;
  container.frame = host::Frame::Create(window);
  container.mode = host::AmbientMode::kRun;
  for (int round = 0; window && round < plan.rounds; ++round) {
    Round(plan, container, round >= plan.rounds - plan.ticking_rounds);
  }
  if (!window) Fail(*plan.tally, HRESULT_FROM_WIN32(GetLastError()));
  container.frame->Release();
  if (window) DestroyWindow(window);
  OleUninitialize();
  return 0;
}

// A thread that ends with a control still active in design mode, releasing nothing: its
// window goes with the thread, the control is left behind. The exit code is the activation's.
DWORD WINAPI AbandoningThread(void* arg) {
  const auto* plan = static_cast<const ThreadPlan*>(arg);
  if (FAILED(OleInitialize(nullptr))) return static_cast<DWORD>(E_UNEXPECTED);
  HWND window = CreateWindowExW(0, L"QuillonTestContainer", L"thread", WS_POPUP | WS_VISIBLE, 0, 0,
                                300, 170, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  auto* container = new host::Container;  // left behind with the control
  container->window = window;
  container->frame = host::Frame::Create(window);
  container->mode = host::AmbientMode::kDesign;
  IUnknown* object = nullptr;
  HRESULT hr = MakeControl(plan->library, &object);
  auto* control = new host::HostedControl(*container, "abandoned", RECT{5, 5, 0, 0});
  if (SUCCEEDED(hr)) hr = control->Attach(object);
  if (object) object->Release();
  std::vector<host::BagEntry> bag = plan->settings;
  if (SUCCEEDED(hr)) hr = control->Load(&bag);
  if (SUCCEEDED(hr)) hr = control->Activate();
  return static_cast<DWORD>(hr);
}

// Unloading the library unregisters the face's window class even when a thread ended with a
// face window open, so that the class does not outlive the library's code.
TEST_F(ContainerTest, UnloadingTheLibraryUnregistersTheFaceClassLeftByAnEndedThread) {
  const ThreadPlan plan{library_, Settings(90), 1, 0, 1, nullptr};
  HANDLE thread =
      CreateThread(nullptr, 0, AbandoningThread, const_cast<ThreadPlan*>(&plan), 0, nullptr);
  ASSERT_NE(thread, nullptr);
  ASSERT_EQ(WaitForSingleObject(thread, 30000), WAIT_OBJECT_0);
  DWORD code = 1;
  GetExitCodeThread(thread, &code);
  CloseHandle(thread);
  ASSERT_EQ(static_cast<HRESULT>(code), S_OK) << "the activation on the ended thread";
  WNDCLASSEXW wc{sizeof wc};
  ASSERT_TRUE(GetClassInfoExW(library_, L"QuillonPDFace", &wc)) << "counted for the lost window";
  const HMODULE unloaded = library_;
  library_ = nullptr;  // nothing of it is called again
  ASSERT_TRUE(FreeLibrary(unloaded));
  ASSERT_EQ(GetModuleHandleW(L"HN_Quillon_PD.ocx"), nullptr) << "the library is unloaded";
  EXPECT_FALSE(GetClassInfoExW(unloaded, L"QuillonPDFace", &wc));
}

class UiThreadsTest : public ContainerTest {
 protected:
  void SetUp() override {
    ContainerTest::SetUp();
    if (HasFatalFailure()) return;
    // Wine's type-library cache is not safe when threads release the same library at once:
    // one reference held here for the whole test keeps the library loaded, so that the test
    // is about the control's own threading.
    wchar_t path[MAX_PATH];
    ASSERT_GT(GetModuleFileNameW(library_, path, MAX_PATH), 0u);
    ASSERT_EQ(LoadTypeLibEx(path, REGKIND_NONE, &typelib_), S_OK);
  }
  void TearDown() override {
    if (typelib_) typelib_->Release();
    ContainerTest::TearDown();
  }

  // `threads` threads at once, each with `rounds` rounds: one control made and released
  // quickly in each, but for the last `ticking` rounds, of `per_round` controls that wait
  // for each to read.
  void RunThreads(int threads, int rounds, int ticking, int per_round) {
    Tally tally;
    const ThreadPlan plan{library_, Settings(90), rounds, ticking, per_round, &tally};
    std::vector<HANDLE> handles;
    for (int i = 0; i < threads; ++i) {
      HANDLE h = CreateThread(nullptr, 0, UiThread, const_cast<ThreadPlan*>(&plan), 0, nullptr);
      ASSERT_NE(h, nullptr);
      handles.push_back(h);
    }
    // The main thread is a user-interface thread too: it keeps its own window serviced.
    PumpUntil(120000, [&] {
      return WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), TRUE, 0) ==
             WAIT_OBJECT_0;
    });
    for (HANDLE h : handles) {
      EXPECT_EQ(WaitForSingleObject(h, 0), WAIT_OBJECT_0) << "a thread did not finish";
      CloseHandle(h);
    }
    EXPECT_EQ(tally.placed, threads * (rounds - ticking + ticking * per_round));
    EXPECT_EQ(tally.failed, 0) << "first failure 0x" << std::hex << tally.first_error.load();
    EXPECT_EQ(tally.unread, 0) << "controls that never ticked";
    EXPECT_EQ(DllCanUnloadNow(), S_OK);
    WNDCLASSEXW wc{sizeof wc};
    EXPECT_FALSE(GetClassInfoExW(library_, L"QuillonPDFace", &wc))
        << "the face's window class is still registered";
  }

  ITypeLib* typelib_ = nullptr;
};

TEST_F(UiThreadsTest, TwoThreadsMakeActivateTickAndReleaseControlsAtOnce) {
  RunThreads(2, 100, 2, 3);
}

TEST_F(UiThreadsTest, FourThreadsMakeActivateTickAndReleaseControlsAtOnce) {
  RunThreads(4, 60, 2, 2);
}

}  // namespace
}  // namespace quillon::testing
