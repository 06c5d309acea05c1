#include "package/com_property_bag.h"

#include <oleauto.h>

#include "package/com_text.h"

namespace quillon {

BagValue BagValueFromVariant(const VARIANT& variant) {
  VARIANT v;
  VariantInit(&v);
  if (FAILED(VariantCopyInd(&v, const_cast<VARIANT*>(&variant)))) return BagOther{};
  BagValue result = BagOther{};
  switch (V_VT(&v)) {
    case VT_EMPTY:
      result = std::monostate();
      break;
    case VT_NULL:
      result = BagNull{};
      break;
    case VT_BOOL:
      result = V_BOOL(&v) != VARIANT_FALSE;
      break;
    case VT_BSTR:
      result = TextFromBstr(V_BSTR(&v));
      break;
    case VT_I1:
    case VT_UI1:
    case VT_I2:
    case VT_UI2:
    case VT_I4:
    case VT_INT:
      if (SUCCEEDED(VariantChangeType(&v, &v, 0, VT_I4))) result = int32_t{V_I4(&v)};
      break;
    case VT_UI4:
    case VT_UINT:
    case VT_I8:
    case VT_UI8:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_DECIMAL:
      if (SUCCEEDED(VariantChangeType(&v, &v, 0, VT_R8))) result = V_R8(&v);
      break;
    default:
      break;
  }
  VariantClear(&v);
  return result;
}

HRESULT VariantFromBagValue(const BagValue& value, VARIANT* variant) {
  VariantInit(variant);
  if (std::holds_alternative<std::monostate>(value)) return S_OK;
  if (std::holds_alternative<BagNull>(value)) {
    V_VT(variant) = VT_NULL;
  } else if (const bool* b = std::get_if<bool>(&value)) {
    V_VT(variant) = VT_BOOL;
    V_BOOL(variant) = *b ? VARIANT_TRUE : VARIANT_FALSE;
  } else if (const int32_t* i = std::get_if<int32_t>(&value)) {
    V_VT(variant) = VT_I4;
    V_I4(variant) = *i;
  } else if (const double* d = std::get_if<double>(&value)) {
    V_VT(variant) = VT_R8;
    V_R8(variant) = *d;
  } else if (const Text* t = std::get_if<Text>(&value)) {
    BSTR b = nullptr;
    const HRESULT hr = BstrFromText(*t, &b);
    if (FAILED(hr)) return hr;
    V_VT(variant) = VT_BSTR;
    V_BSTR(variant) = b;
  } else {
    return E_INVALIDARG;
  }
  return S_OK;
}

bool ComPropertyBag::Read(const Text& name, const BagValue& default_value,
                          BagValue* value) noexcept {
  try {
    VARIANT v;
    VariantInit(&v);  // VT_EMPTY: the bag gives the value in the type it holds
    const HRESULT hr = bag_->Read(WideName(name), &v, log_);
    if (FAILED(hr)) {
      VariantClear(&v);
      if (hr == E_INVALIDARG) {
        *value = default_value;
        return true;
      }
      if (SUCCEEDED(status_)) status_ = hr;
      return false;
    }
    *value = BagValueFromVariant(v);
    VariantClear(&v);
    return true;
  } catch (...) {
    if (SUCCEEDED(status_)) status_ = E_OUTOFMEMORY;
    return false;
  }
}

bool ComPropertyBag::Write(const Text& name, const BagValue& value) noexcept {
  VARIANT v;
  HRESULT hr = VariantFromBagValue(value, &v);
  if (SUCCEEDED(hr)) hr = bag_->Write(WideName(name), &v);
  VariantClear(&v);
  if (FAILED(hr) && SUCCEEDED(status_)) status_ = hr;
  return SUCCEEDED(hr);
}

}  // namespace quillon
