// A control made through the library's class object, and small verbs on it.
#pragma once

#include <vector>

#include "com_test_support.h"

namespace quillon::testing {

class ControlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(library_.Create(nullptr, IID__QuillonPD, pd_.PutVoid()), S_OK);
    ASSERT_EQ(Persist()->InitNew(), S_OK);
  }

  ComPtr<IPersistStreamInit> Persist() {
    return Query<IPersistStreamInit>(pd_.Get(), IID_IPersistStreamInit);
  }

  // A text property through the table of operations.
  std::wstring Get(HRESULT (STDMETHODCALLTYPE _QuillonPD::*getter)(BSTR*)) {
    Bstr value;
    EXPECT_EQ((pd_.Get()->*getter)(value.out()), S_OK);
    return value.text();
  }
  void Put(HRESULT (STDMETHODCALLTYPE _QuillonPD::*setter)(BSTR), const wchar_t* text) {
    Bstr value(text);
    EXPECT_EQ((pd_.Get()->*setter)(value.get()), S_OK);
  }
  HRESULT MaJNTF(const wchar_t* valeur, const wchar_t* formatee, unsigned char qualite,
                 DATE date = 45000.5) {
    Bstr a(valeur), b(formatee);
    BSTR pa = a.get(), pb = b.get();
    return pd_->MaJNTF(&pa, &pb, &qualite, &date);
  }

  // IDispatch::Invoke with `args` in the order of the member's arguments.
  HRESULT Invoke(DISPID id, WORD flags, std::vector<VARIANT> args, VARIANT* result,
                 UINT* arg_error = nullptr) {
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params = {reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
      params.rgdispidNamedArgs = &named;
      params.cNamedArgs = 1;
    }
    EXCEPINFO error = {};
    UINT arg = 0;
    const HRESULT hr =
        pd_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, &error, &arg);
    SysFreeString(error.bstrSource);
    SysFreeString(error.bstrDescription);
    SysFreeString(error.bstrHelpFile);
    for (VARIANT& v : reversed) VariantClear(&v);
    if (arg_error != nullptr) *arg_error = arg;
    return hr;
  }
  std::wstring InvokeGetText(DISPID id) {
    Variant result;
    EXPECT_EQ(Invoke(id, DISPATCH_PROPERTYGET, {}, &result), S_OK);
    EXPECT_EQ(result.vt, VT_BSTR);
    return result.vt == VT_BSTR ? std::wstring(result.bstrVal, SysStringLen(result.bstrVal)) : L"";
  }

  static VARIANT Text(const wchar_t* text) {  // Invoke frees it
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(text);
    return v;
  }
  static VARIANT Int(LONG value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = value;
    return v;
  }

  ComScope com_;
  Library library_;
  ComPtr<_QuillonPD> pd_;
};

}  // namespace quillon::testing
