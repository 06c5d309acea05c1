#include "com_test_support.h"

namespace quillon::testing {

template <class F>
void Bind(HMODULE module, const char* name, F* function) {
  *function = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  EXPECT_NE(*function, nullptr) << name;
}

Library::Library() : module_(LoadLibraryW(OcxPath().c_str())) {
  EXPECT_NE(module_, nullptr);
  Bind(module_, "DllCanUnloadNow", &can_unload_now_);
  Bind(module_, "DllGetClassObject", &get_class_object_);
  Bind(module_, "DllRegisterServer", &register_);
  Bind(module_, "DllUnregisterServer", &unregister_);
}

Library::~Library() { FreeLibrary(module_); }

HRESULT Library::Create(IUnknown* outer, REFIID riid, void** out) const {
  ComPtr<IClassFactory> factory;
  const HRESULT hr = get_class_object_(CLSID_QuillonPD, IID_IClassFactory, factory.PutVoid());
  if (FAILED(hr)) return hr;
  return factory->CreateInstance(outer, riid, out);
}

TestBag::~TestBag() {
  for (auto& [name, value] : values_) VariantClear(&value);
}

HRESULT TestBag::Read(LPCOLESTR name, VARIANT* value, IErrorLog*) {
  if (auto f = failures_.find(name); f != failures_.end()) return f->second;
  const VARIANT* stored = Find(name);
  if (stored == nullptr) return E_INVALIDARG;
  return VariantCopy(value, const_cast<VARIANT*>(stored));
}

HRESULT TestBag::Write(LPCOLESTR name, VARIANT* value) {
  written_.push_back(name);
  Put(name, *value);
  return S_OK;
}

void TestBag::Put(const std::wstring& name, const VARIANT& value) {
  VARIANT& slot = values_[name];
  VariantClear(&slot);
  VariantCopy(&slot, const_cast<VARIANT*>(&value));
}

const VARIANT* TestBag::Find(const std::wstring& name) const {
  const auto it = values_.find(name);
  return it == values_.end() ? nullptr : &it->second;
}

}  // namespace quillon::testing
