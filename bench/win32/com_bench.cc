// The control's COM object under Wine, as a container opening a display uses it: creating
// and restoring 1,000 controls, and reading a property through IDispatch against reading it
// through the table of operations. The library is registered in the prefix for the run.
#include <windows.h>
// after windows.h
#include <ocidl.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "HN_QuillonPD_h.h"
#include "alloc_counter.h"
#include "mini_benchmark.h"

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
    if (std::wstring(name) == L"strNTF") {
      value->vt = VT_BSTR;
      value->bstrVal = SysAllocString(L"NOEUD1:TAG42.PV");
    } else if (std::wstring(name) == L"udtPollTime") {
      value->vt = VT_I4;
      value->lVal = 70;
    } else if (std::wstring(name) == L"strFormat") {
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

IPersistPropertyBag* NewRestoredControl(DisplayBag& bag) {
  IPersistPropertyBag* control = nullptr;
  if (FAILED(CoCreateInstance(CLSID_QuillonPD, nullptr, CLSCTX_INPROC_SERVER,
                              IID_IPersistPropertyBag, reinterpret_cast<void**>(&control))) ||
      FAILED(control->Load(&bag, nullptr))) {
    std::fprintf(stderr, "com_bench: cannot create and restore a control\n");
    std::exit(1);
  }
  return control;
}

// A display of 1,000 controls opened and closed: each created, restored from its bag, and
// released once all are open.
void BM_OpenDisplay(benchmark::State& state) {
  Library();
  DisplayBag bag;
  std::vector<IPersistPropertyBag*> controls(kControls);
  for ([[maybe_unused]] auto _ : state) {
    for (auto& control : controls) control = NewRestoredControl(bag);
    for (auto* control : controls) control->Release();
  }
  state.counters["controls"] = kControls;
}
BENCHMARK(BM_OpenDisplay)->Unit(benchmark::kMillisecond);

// The same display through one class object, as containers that create many controls of a
// class do (CoGetClassObject once, then IClassFactory::CreateInstance).
void BM_OpenDisplayClassObject(benchmark::State& state) {
  Library();
  DisplayBag bag;
  IClassFactory* factory = nullptr;
  CoGetClassObject(CLSID_QuillonPD, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                   reinterpret_cast<void**>(&factory));
  std::vector<IPersistPropertyBag*> controls(kControls);
  for ([[maybe_unused]] auto _ : state) {
    for (auto& control : controls) {
      factory->CreateInstance(nullptr, IID_IPersistPropertyBag, reinterpret_cast<void**>(&control));
      control->Load(&bag, nullptr);
    }
    for (auto* control : controls) control->Release();
  }
  factory->Release();
  state.counters["controls"] = kControls;
}
BENCHMARK(BM_OpenDisplayClassObject)->Unit(benchmark::kMillisecond);

// One control at a time: the thread's shared environment is made and dropped each time.
void BM_CreateRestoreReleaseAlone(benchmark::State& state) {
  Library();
  DisplayBag bag;
  for ([[maybe_unused]] auto _ : state) NewRestoredControl(bag)->Release();
}
BENCHMARK(BM_CreateRestoreReleaseAlone)->Unit(benchmark::kMicrosecond);

class Control {
 public:
  Control() {
    Library();
    DisplayBag bag;
    IPersistPropertyBag* persist = NewRestoredControl(bag);
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

// Allocations per call of `call`, in this library and in the Automation runtime.
template <class F>
double AllocationsPerCall(F&& call) {
  CountAllocationsOf(Library().module());
  CountAllocationsOf(GetModuleHandleW(L"oleaut32.dll"));
  const uint64_t before = AllocationCount();
  for (int i = 0; i < 1000; ++i) call();
  return static_cast<double>(AllocationCount() - before) / 1000;
}

void BM_GetTextVtable(benchmark::State& state) {
  Control pd;
  const auto call = [&] {
    BSTR value = nullptr;
    pd->get_NTF(&value);
    SysFreeString(value);
  };
  for ([[maybe_unused]] auto _ : state) call();
  state.counters["allocs"] = AllocationsPerCall(call);
}
BENCHMARK(BM_GetTextVtable);

void BM_GetTextInvoke(benchmark::State& state) {
  Control pd;
  const auto call = [&] {
    VARIANT value;
    VariantInit(&value);
    InvokeGet(pd.get(), kNTF, &value);
    VariantClear(&value);
  };
  for ([[maybe_unused]] auto _ : state) call();
  state.counters["allocs"] = AllocationsPerCall(call);
}
BENCHMARK(BM_GetTextInvoke);

void BM_GetNumberVtable(benchmark::State& state) {
  Control pd;
  const auto call = [&] {
    double value = 0;
    pd->get_ValeurNombre(&value);
    benchmark::DoNotOptimize(value);
  };
  for ([[maybe_unused]] auto _ : state) call();
  state.counters["allocs"] = AllocationsPerCall(call);
}
BENCHMARK(BM_GetNumberVtable);

void BM_GetNumberInvoke(benchmark::State& state) {
  Control pd;
  const auto call = [&] {
    VARIANT value;
    VariantInit(&value);
    InvokeGet(pd.get(), kValeurNombre, &value);
    benchmark::DoNotOptimize(value.dblVal);
  };
  for ([[maybe_unused]] auto _ : state) call();
  state.counters["allocs"] = AllocationsPerCall(call);
}
BENCHMARK(BM_GetNumberInvoke);

}  // namespace
}  // namespace quillon

BENCHMARK_MAIN();
