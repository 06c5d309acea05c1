#include "trivial_object.h"

#include <new>

namespace quillon {
namespace {

const wchar_t* const kKeys[] = {L"strNTF", L"udtPollTime", L"strFormat"};

class TrivialObject final : public IPersistPropertyBag {
 public:
  TrivialObject(const TrivialObject&) = delete;
  TrivialObject& operator=(const TrivialObject&) = delete;
  TrivialObject() = default;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IPersist) &&
        !IsEqualIID(riid, IID_IPersistPropertyBag)) {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    *out = static_cast<IPersistPropertyBag*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG refs = --refs_;
    if (refs == 0) delete this;
    return refs;
  }

  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override {
    if (clsid == nullptr) return E_POINTER;
    *clsid = CLSID_NULL;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE InitNew() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Load(IPropertyBag* bag, IErrorLog* log) override {
    if (bag == nullptr) return E_POINTER;
    for (int i = 0; i < 3; ++i) {
      VariantClear(&settings_[i]);
      const HRESULT hr = bag->Read(kKeys[i], &settings_[i], log);
      if (FAILED(hr) && hr != E_INVALIDARG) return hr;
    }
    return VariantChangeType(&settings_[1], &settings_[1], 0, VT_I4);
  }
  HRESULT STDMETHODCALLTYPE Save(IPropertyBag*, BOOL, BOOL) override { return E_NOTIMPL; }

 private:
  ~TrivialObject() {
    for (VARIANT& v : settings_) VariantClear(&v);
  }

  ULONG refs_ = 1;
  VARIANT settings_[3] = {};  // VT_EMPTY until loaded
};

class TrivialFactory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IClassFactory)) {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    *out = static_cast<IClassFactory*>(this);
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    auto* object = new (std::nothrow) TrivialObject;
    if (object == nullptr) return E_OUTOFMEMORY;
    const HRESULT hr = object->QueryInterface(riid, out);
    object->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

TrivialFactory trivial_factory;

}  // namespace

IClassFactory& TrivialClassObject() { return trivial_factory; }

}  // namespace quillon
