// Helpers for tests of the control's COM object: the library loaded as a client loads it, a
// property bag and a change sink of our own, and small conversions.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "package_fixture.h"
// after windows.h
#include <ocidl.h>
#include <olectl.h>

namespace quillon::testing {

inline const DISPID kNTF = 0x68030007, kFormatage = 0x68030006, kValeur = 0x68030005,
                    kValeurNombre = 0x68030004, kValeurFormatee = 0x68030003,
                    kHorodatage = 0x68030002, kQualite = 0x68030001, kFrequence = 0x68030000,
                    kRafraichir = 0x60030008, kMaJNTF = 0x60030014;

// A BSTR owned by the test.
class Bstr {
 public:
  explicit Bstr(const wchar_t* text = nullptr) : b_(text ? SysAllocString(text) : nullptr) {}
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  ~Bstr() { SysFreeString(b_); }
  BSTR get() const { return b_; }
  BSTR* out() {
    SysFreeString(b_);
    b_ = nullptr;
    return &b_;
  }
  std::wstring text() const { return b_ ? std::wstring(b_, SysStringLen(b_)) : L""; }

 private:
  BSTR b_;
};

// A variant owned by the test.
struct Variant : VARIANT {
  Variant() { VariantInit(this); }
  explicit Variant(const wchar_t* text) : Variant() {
    vt = VT_BSTR;
    bstrVal = SysAllocString(text);
  }
  explicit Variant(LONG value) : Variant() {
    vt = VT_I4;
    lVal = value;
  }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  ~Variant() { VariantClear(this); }
};

// HN_Quillon_PD.ocx loaded into the test process, with its exports.
class Library {
 public:
  Library();
  ~Library();
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;

  HRESULT CanUnloadNow() const { return can_unload_now_(); }
  HRESULT Register() const { return register_(); }
  HRESULT Unregister() const { return unregister_(); }
  // A new control through the class object; its interface riid in *out.
  HRESULT Create(IUnknown* outer, REFIID riid, void** out) const;

 private:
  HMODULE module_;
  HRESULT(STDAPICALLTYPE* can_unload_now_)();
  HRESULT(STDAPICALLTYPE* get_class_object_)(REFCLSID, REFIID, void**);
  HRESULT(STDAPICALLTYPE* register_)();
  HRESULT(STDAPICALLTYPE* unregister_)();
};

// A base for the small COM objects of the tests: IUnknown over one interface.
template <class Interface>
class TestObject : public Interface {
 public:
  TestObject(const TestObject&) = delete;
  TestObject& operator=(const TestObject&) = delete;
  virtual ~TestObject() = default;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, iid_)) {
      *out = static_cast<Interface*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override { return --refs_; }  // owned by the test
  ULONG refs() const { return refs_; }

 protected:
  explicit TestObject(const IID& iid) : iid_(iid) {}

 private:
  const IID& iid_;
  ULONG refs_ = 1;
};

// A property bag holding variants by name, writes recorded in order.
class TestBag final : public TestObject<IPropertyBag> {
 public:
  TestBag() : TestObject(IID_IPropertyBag) {}
  ~TestBag() override;

  HRESULT STDMETHODCALLTYPE Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override;
  HRESULT STDMETHODCALLTYPE Write(LPCOLESTR name, VARIANT* value) override;

  void Put(const std::wstring& name, const VARIANT& value);
  const VARIANT* Find(const std::wstring& name) const;
  // Makes reads of `name` fail with `error`.
  void FailReadOf(const std::wstring& name, HRESULT error) { failures_[name] = error; }
  const std::vector<std::wstring>& written() const { return written_; }

 private:
  std::map<std::wstring, VARIANT> values_;
  std::map<std::wstring, HRESULT> failures_;
  std::vector<std::wstring> written_;
};

// Records the DISPIDs of IPropertyNotifySink::OnChanged.
class ChangeSink final : public TestObject<IPropertyNotifySink> {
 public:
  ChangeSink() : TestObject(IID_IPropertyNotifySink) {}
  HRESULT STDMETHODCALLTYPE OnChanged(DISPID id) override {
    changes.push_back(id);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnRequestEdit(DISPID) override { return S_OK; }
  std::vector<DISPID> changes;
};

template <class T>
ComPtr<T> Query(IUnknown* object, REFIID riid) {
  ComPtr<T> result;
  EXPECT_EQ(object->QueryInterface(riid, result.PutVoid()), S_OK);
  return result;
}

}  // namespace quillon::testing
