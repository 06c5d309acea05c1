// Placing controls on a display under Wine, as a container of the VB or WinForms kind does:
// 1,000 controls, each created through the class object, connected to the container (the
// classic handshake, or IQuickActivate in one call), loaded from its bag, sized and activated
// in place in the container's window; all closed and released, untimed, after each round.
// Runs with a display (xvfb-run), the library loaded from the build without registration.
#include <windows.h>
// after windows.h
#include <ocidl.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "frame.h"
#include "hosted_control.h"
#include "mini_benchmark.h"

namespace quillon {
namespace {

constexpr int kControls = 1000;

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "activation_bench: %s\n", what);
  std::exit(1);
}

LRESULT CALLBACK ContainerProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  return DefWindowProcW(w, m, wp, lp);
}

// The container: a window, its frame, and the library's class object.
class Display {
 public:
  Display() {
    OleInitialize(nullptr);
    std::wstring path = L"Z:";
    for (const char* c = QUILLON_OCX_PATH; *c != '\0'; ++c) path += *c == '/' ? L'\\' : *c;
    HMODULE library = LoadLibraryW(path.c_str());
    using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    auto get = library ? reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(
                             GetProcAddress(library, "DllGetClassObject")))
                       : nullptr;
    CLSID clsid;
    CLSIDFromString(L"{E5BC90C5-6394-4CF3-85F1-0C1F761E8E28}", &clsid);
    if (!get || FAILED(get(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory_))))
      Fail("no class object");
    WNDCLASSW wc{};
    wc.lpfnWndProc = ContainerProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"QuillonBenchContainer";
    RegisterClassW(&wc);
    container_.window = CreateWindowExW(0, wc.lpszClassName, L"bench", WS_POPUP | WS_CLIPCHILDREN,
                                        0, 0, 640, 360, nullptr, nullptr, wc.hInstance, nullptr);
    if (!container_.window) Fail("no window");
    container_.frame = host::Frame::Create(container_.window);
    container_.mode = host::AmbientMode::kDesign;
  }

  // One round of kControls controls, connected (classic or quick) and loaded, and activated
  // in place when `activate`; the wall and thread CPU milliseconds of that, then all closed.
  struct Times {
    double wall_ms, cpu_ms;
  };
  Times Round(bool quick, bool activate) {
    std::vector<std::unique_ptr<host::HostedControl>> controls;
    controls.reserve(kControls);
    const Times start = Now();
    for (int i = 0; i < kControls; ++i) {
      auto c = std::make_unique<host::HostedControl>(
          container_, "c" + std::to_string(i), RECT{(i % 20) * 30, (i / 20) * 6, 0, 0});
      IUnknown* object = nullptr;
      HRESULT hr = factory_->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&object));
      if (SUCCEEDED(hr)) hr = quick ? c->QuickAttach(object, nullptr) : c->Attach(object);
      if (SUCCEEDED(hr) && !quick) hr = c->ConnectSinks(nullptr);
      if (object) object->Release();
      std::vector<host::BagEntry> bag = Bag(i);
      if (SUCCEEDED(hr)) hr = c->Load(&bag);
      if (SUCCEEDED(hr) && activate) hr = c->Activate();
      if (FAILED(hr)) Fail("a control could not be placed");
      controls.push_back(std::move(c));
    }
    const Times end = Now();
    controls.clear();  // Close, SetClientSite(NULL), released
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    Sleep(200);  // the Wine server done with the windows destroyed before the next round
    return {end.wall_ms - start.wall_ms, end.cpu_ms - start.cpu_ms};
  }

 private:
  static std::vector<host::BagEntry> Bag(int i) {
    return {{u"strNTF", FromUtf8("NOEUD1:TAG" + std::to_string(i) + ".PV")},
            {u"udtPollTime", int32_t{70}},
            {u"strFormat", FromUtf8("0.00")}};
  }

  static Times Now() {
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    FILETIME created, exited, kernel, user;
    GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
    const auto ms = [](FILETIME t) {
      return static_cast<double>((static_cast<uint64_t>(t.dwHighDateTime) << 32) |
                                 t.dwLowDateTime) / 1e4;
    };
    return {static_cast<double>(counter.QuadPart) * 1e3 / static_cast<double>(frequency.QuadPart),
            ms(kernel) + ms(user)};
  }

  host::Container container_;
  IClassFactory* factory_ = nullptr;
};

Display& TheDisplay() {
  static Display display;
  return display;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Rounds of the two paths in turn, so that both meet the same load of the machine; the
// medians per path and their ratio, quick over classic.
void Compare(benchmark::State& state, bool activate, int rounds) {
  std::vector<double> wall[2], cpu[2];
  for ([[maybe_unused]] auto _ : state) {
    for (int r = 0; r < rounds; ++r) {
      for (int turn = 0; turn < 2; ++turn) {
        const int quick = (turn + r) % 2;  // each path goes first in every other round
        const Display::Times t = TheDisplay().Round(quick != 0, activate);
        wall[quick].push_back(t.wall_ms);
        cpu[quick].push_back(t.cpu_ms);
      }
    }
  }
  state.counters["classic_ms"] = Median(wall[0]);
  state.counters["quick_ms"] = Median(wall[1]);
  state.counters["classic_cpu_ms"] = Median(cpu[0]);
  state.counters["quick_cpu_ms"] = Median(cpu[1]);
  state.counters["ratio"] = Median(wall[1]) / Median(wall[0]);
  // A round now and then takes many times the others (the Wine server, the X server): the
  // fastest round of each path is the steadier comparison.
  const double fastest[2] = {*std::min_element(wall[0].begin(), wall[0].end()),
                             *std::min_element(wall[1].begin(), wall[1].end())};
  state.counters["classic_min_ms"] = fastest[0];
  state.counters["quick_min_ms"] = fastest[1];
  state.counters["ratio_min"] = fastest[1] / fastest[0];
  state.counters["ratio_cpu"] = Median(cpu[1]) / Median(cpu[0]);
}

// Created, connected and loaded: the part the two paths differ in (classic: SetClientSite,
// IViewObject::SetAdvise, the change sink's Advise; quick: one QuickActivate).
void BM_ConnectQuickOverClassic(benchmark::State& state) { Compare(state, false, 15); }
BENCHMARK(BM_ConnectQuickOverClassic)->Unit(benchmark::kMillisecond)->Iterations(1);

// The whole placing: then sized and activated in place, a window each, the mode read (the
// classic control asks its site for UserMode, the quick one was given it).
void BM_PlaceQuickOverClassic(benchmark::State& state) { Compare(state, true, 7); }
BENCHMARK(BM_PlaceQuickOverClassic)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
}  // namespace quillon

BENCHMARK_MAIN();
