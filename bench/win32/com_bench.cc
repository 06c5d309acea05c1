// The control's COM object under Wine, as a container opening a display uses it: creating
// and restoring 1,000 controls, beside the least an in-process object can do for the same
// (trivial_object.h), and reading a property through IDispatch against reading it through the
// table of operations. The comparisons run interleaved (mini_benchmark.h, Group). The
// library is registered in the prefix for the run. --baseline=<path of another build of the
// library> adds that build to each comparison, reached through its DllGetClassObject.
#include <windows.h>
// after windows.h
#include <ocidl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "HN_QuillonPD_h.h"
#include "alloc_counter.h"
#include "mini_benchmark.h"
#include "trivial_object.h"

namespace quillon {
namespace {

constexpr int kControls = 1000;
constexpr DISPID kNTF = 0x68030007, kValeurNombre = 0x68030004;

// The settings of a saved display's control, as a container's bag holds them.
class DisplayBag final : public IPropertyBag {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    *out = IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IPropertyBag) ? this : nullptr;
    return *out != nullptr ? S_OK : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override {
    if (std::wcscmp(name, L"strNTF") == 0) {
      value->vt = VT_BSTR;
      value->bstrVal = SysAllocString(L"NOEUD1:TAG42.PV");
    } else if (std::wcscmp(name, L"udtPollTime") == 0) {
      value->vt = VT_I4;
      value->lVal = 70;
    } else if (std::wcscmp(name, L"strFormat") == 0) {
      value->vt = VT_BSTR;
      value->bstrVal = SysAllocString(L"0.00");
    } else {
      return E_INVALIDARG;
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Write(LPCOLESTR, VARIANT*) override { return S_OK; }
};

// The library loaded and registered for the whole run.
class Registered {
 public:
  Registered() {
    CoInitialize(nullptr);
    // The built library, named by the build as a path of the host (Z: in Wine).
    std::wstring library = L"Z:";
    for (const char* c = QUILLON_OCX_PATH; *c != '\0'; ++c) library += *c == '/' ? L'\\' : *c;
    module_ = LoadLibraryW(library.c_str());
    if (module_ == nullptr) Fail("cannot load HN_Quillon_PD.ocx");
    auto reg = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void*>(GetProcAddress(module_, "DllRegisterServer")));
    if (reg == nullptr || FAILED(reg())) Fail("DllRegisterServer failed");
  }
  ~Registered() {
    auto unreg = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void*>(GetProcAddress(module_, "DllUnregisterServer")));
    if (unreg != nullptr) unreg();
    CoUninitialize();
  }
  HMODULE module() const { return module_; }

 private:
  static void Fail(const char* what) {
    std::fprintf(stderr, "com_bench: %s\n", what);
    std::exit(1);
  }
  HMODULE module_;
};

Registered& Library() {
  static Registered library;
  return library;
}

// Which class object a member of a comparison creates its controls with.
enum Maker : int64_t { kThisBuild = 0, kBaseline = 1, kTrivial = 2 };

HMODULE g_baseline = nullptr;

HMODULE ModuleOf(int64_t maker) {
  return maker == kBaseline  ? g_baseline
         : maker == kTrivial ? GetModuleHandleW(nullptr)
                             : Library().module();
}

// The class object of the member: a library's own DllGetClassObject (as CoGetClassObject
// ends up calling it), or the trivial object's.
IClassFactory* ClassObject(int64_t maker) {
  if (maker == kTrivial) return &TrivialClassObject();
  auto get = reinterpret_cast<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(
      reinterpret_cast<void*>(GetProcAddress(ModuleOf(maker), "DllGetClassObject")));
  IClassFactory* factory = nullptr;
  if (get == nullptr ||
      FAILED(get(CLSID_QuillonPD, IID_IClassFactory, reinterpret_cast<void**>(&factory)))) {
    std::fprintf(stderr, "com_bench: no class object\n");
    std::exit(1);
  }
  return factory;
}

IPersistPropertyBag* NewRestoredControl(IClassFactory* factory, DisplayBag& bag) {
  IPersistPropertyBag* control = nullptr;
  if (FAILED(factory->CreateInstance(nullptr, IID_IPersistPropertyBag,
                                     reinterpret_cast<void**>(&control))) ||
      FAILED(control->Load(&bag, nullptr))) {
    std::fprintf(stderr, "com_bench: cannot create and restore a control\n");
    std::exit(1);
  }
  return control;
}

// Allocations per call of `call`, in the modules that the benchmark counts (main()).
template <class F>
double AllocationsPerCall(F&& call, int calls = 1000) {
  const uint64_t before = AllocationCount();
  for (int i = 0; i < calls; ++i) call();
  return static_cast<double>(AllocationCount() - before) / calls;
}

// A display of 1,000 controls opened and closed, as containers do it: CoCreateInstance for
// each control, restored from its bag, all released once open.
void BM_OpenDisplay(benchmark::State& state) {
  Library();
  DisplayBag bag;
  std::vector<IPersistPropertyBag*> controls(kControls);
  for ([[maybe_unused]] auto _ : state) {
    for (auto& control : controls) {
      if (FAILED(CoCreateInstance(CLSID_QuillonPD, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IPersistPropertyBag, reinterpret_cast<void**>(&control))) ||
          FAILED(control->Load(&bag, nullptr))) {
        std::fprintf(stderr, "com_bench: cannot create and restore a control\n");
        std::exit(1);
      }
    }
    for (auto* control : controls) control->Release();
  }
  state.counters["controls"] = kControls;
}
BENCHMARK(BM_OpenDisplay)->Unit(benchmark::kMillisecond);

// The same display through one class object (CoGetClassObject once, then CreateInstance),
// as containers that create many controls of one class do.
void BM_OpenDisplayClassObject(benchmark::State& state) {
  DisplayBag bag;
  IClassFactory* factory = ClassObject(state.range(0));
  std::vector<IPersistPropertyBag*> controls(kControls);
  const auto open_and_close = [&] {
    for (auto& control : controls) control = NewRestoredControl(factory, bag);
    for (auto* control : controls) control->Release();
  };
  for ([[maybe_unused]] auto _ : state) open_and_close();
  state.counters["allocs"] = AllocationsPerCall(open_and_close, 1) / kControls;
  factory->Release();
}

// One control at a time: for QuillonPD the thread's shared environment is made and dropped
// each time.
void BM_CreateRestoreReleaseAlone(benchmark::State& state) {
  DisplayBag bag;
  IClassFactory* factory = ClassObject(state.range(0));
  const auto one = [&] { NewRestoredControl(factory, bag)->Release(); };
  for ([[maybe_unused]] auto _ : state) one();
  state.counters["allocs"] = AllocationsPerCall(one);
  factory->Release();
}

class Control {
 public:
  explicit Control(int64_t maker) {
    DisplayBag bag;
    IClassFactory* factory = ClassObject(maker);
    IPersistPropertyBag* persist = NewRestoredControl(factory, bag);
    factory->Release();
    persist->QueryInterface(IID__QuillonPD, reinterpret_cast<void**>(&pd_));
    persist->Release();
    BSTR text = SysAllocString(L"12.5");
    BSTR formatted = SysAllocString(L"12,50");
    unsigned char quality = 0;
    DATE now = 45000.5;
    pd_->MaJNTF(&text, &formatted, &quality, &now);
    SysFreeString(text);
    SysFreeString(formatted);
  }
  ~Control() { pd_->Release(); }
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;
  _QuillonPD* operator->() const { return pd_; }
  _QuillonPD* get() const { return pd_; }

 private:
  _QuillonPD* pd_ = nullptr;
};

HRESULT InvokeGet(_QuillonPD* pd, DISPID id, VARIANT* result) {
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  return pd->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, result, nullptr,
                    nullptr);
}

void BM_GetTextVtable(benchmark::State& state) {
  Control pd(state.range(0));
  const auto call = [&] {
    BSTR value = nullptr;
    pd->get_NTF(&value);
    SysFreeString(value);
  };
  for ([[maybe_unused]] auto _ : state) call();
  state.counters["allocs"] = AllocationsPerCall(call);
}

// The table's get into a VARIANT that is then cleared: what a client of Invoke does with the
// result, without the dispatch.
void BM_GetTextVtableVariant(benchmark::State& state) {
  Control pd(state.range(0));
  const auto call = [&] {
    VARIANT value;
    VariantInit(&value);
    if (SUCCEEDED(pd->get_NTF(&V_BSTR(&value)))) V_VT(&value) = VT_BSTR;
    VariantClear(&value);
  };
  for ([[maybe_unused]] auto _ : state) call();
  state.counters["allocs"] = AllocationsPerCall(call);
}

void BM_GetTextInvoke(benchmark::State& state) {
  Control pd(state.range(0));
  const auto call = [&] {
    VARIANT value;
    VariantInit(&value);
    InvokeGet(pd.get(), kNTF, &value);
    VariantClear(&value);
  };
  for ([[maybe_unused]] auto _ : state) call();
  state.counters["allocs"] = AllocationsPerCall(call);
}

void BM_GetNumberVtable(benchmark::State& state) {
  Control pd(state.range(0));
  const auto call = [&] {
    double value = 0;
    pd->get_ValeurNombre(&value);
    benchmark::DoNotOptimize(value);
  };
  for ([[maybe_unused]] auto _ : state) call();
  state.counters["allocs"] = AllocationsPerCall(call);
}

void BM_GetNumberInvoke(benchmark::State& state) {
  Control pd(state.range(0));
  const auto call = [&] {
    VARIANT value;
    VariantInit(&value);
    InvokeGet(pd.get(), kValeurNombre, &value);
    benchmark::DoNotOptimize(value.dblVal);
  };
  for ([[maybe_unused]] auto _ : state) call();
  state.counters["allocs"] = AllocationsPerCall(call);
}

// The comparisons, each with the baseline's members when one is loaded.
void RegisterComparisons(bool baseline) {
  auto* open = benchmark::RegisterGroup("OpenDisplayClassObject")
                   ->Items(kControls)
                   ->Unit(benchmark::kMicrosecond)
                   ->Add("trivial object", BM_OpenDisplayClassObject, kTrivial)
                   ->Add("QuillonPD", BM_OpenDisplayClassObject, kThisBuild);
  auto* alone = benchmark::RegisterGroup("CreateRestoreReleaseAlone")
                    ->Unit(benchmark::kMicrosecond)
                    ->Add("trivial object", BM_CreateRestoreReleaseAlone, kTrivial)
                    ->Add("QuillonPD", BM_CreateRestoreReleaseAlone, kThisBuild);
  auto* text = benchmark::RegisterGroup("GetNTF")
                   ->Add("table", BM_GetTextVtable, kThisBuild)
                   ->Add("table, VARIANT", BM_GetTextVtableVariant, kThisBuild)
                   ->Add("Invoke", BM_GetTextInvoke, kThisBuild);
  auto* number = benchmark::RegisterGroup("GetValeurNombre")
                     ->Add("table", BM_GetNumberVtable, kThisBuild)
                     ->Add("Invoke", BM_GetNumberInvoke, kThisBuild);
  if (!baseline) return;
  open->Add("QuillonPD baseline", BM_OpenDisplayClassObject, kBaseline);
  alone->Add("QuillonPD baseline", BM_CreateRestoreReleaseAlone, kBaseline);
  text->Add("baseline table", BM_GetTextVtable, kBaseline)
      ->Add("baseline Invoke", BM_GetTextInvoke, kBaseline);
  number->Add("baseline table", BM_GetNumberVtable, kBaseline)
      ->Add("baseline Invoke", BM_GetNumberInvoke, kBaseline);
}

// Loads the baseline library named by --baseline=, by a Windows path or a path of the host.
void LoadBaseline(const char* path) {
  std::wstring name = path[0] == '/' ? L"Z:" : L"";
  for (const char* c = path; *c != '\0'; ++c) name += *c == '/' ? L'\\' : *c;
  g_baseline = LoadLibraryW(name.c_str());
  if (g_baseline == nullptr) {
    std::fprintf(stderr, "com_bench: cannot load %s\n", path);
    std::exit(1);
  }
}

}  // namespace
}  // namespace quillon

// Every run counts the allocations of the libraries, of the Automation runtime and of this
// program (the trivial object), so that all members pay the same for the counting.
int main(int argc, char** argv) {
  using namespace quillon;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--baseline=", 11) == 0) LoadBaseline(argv[i] + 11);
  }
  RegisterComparisons(g_baseline != nullptr);
  CountAllocationsOf(Library().module());
  if (g_baseline != nullptr) CountAllocationsOf(g_baseline);
  CountAllocationsOf(GetModuleHandleW(L"oleaut32.dll"));
  CountAllocationsOf(GetModuleHandleW(nullptr));
  return benchmark::RunSpecifiedBenchmarks(argc, argv);
}
