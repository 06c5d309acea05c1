#include "package/com_property_bag.h"

#include <oleauto.h>

#include "package/com_text.h"

namespace quillon {

namespace {

// The bag value of a variant that holds no reference. Texts are copied once, into the
// result; numbers are converted without copying the variant.
BagValue BagValueOf(const VARIANT& v) {
  VARIANT converted;
  VariantInit(&converted);  // numbers only: nothing to clear
  switch (V_VT(&v)) {
    case VT_EMPTY:
      return std::monostate();
    case VT_NULL:
      return BagNull{};
    case VT_BOOL:
      return V_BOOL(&v) != VARIANT_FALSE;
    case VT_BSTR:
      return TextFromBstr(V_BSTR(&v));
    case VT_I4:
      return int32_t{V_I4(&v)};
    case VT_I1:
    case VT_UI1:
    case VT_I2:
    case VT_UI2:
    case VT_INT:
      if (SUCCEEDED(VariantChangeType(&converted, const_cast<VARIANT*>(&v), 0, VT_I4)))
        return int32_t{V_I4(&converted)};
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
      if (SUCCEEDED(VariantChangeType(&converted, const_cast<VARIANT*>(&v), 0, VT_R8)))
        return V_R8(&converted);
      break;
    default:
      break;
  }
  return BagOther{};
}

}  // namespace

BagValue BagValueFromVariant(const VARIANT& variant) {
  if ((V_VT(&variant) & VT_BYREF) == 0) return BagValueOf(variant);
  VARIANT v;
  VariantInit(&v);
  if (FAILED(VariantCopyInd(&v, const_cast<VARIANT*>(&variant)))) return BagOther{};
  try {
    BagValue result = BagValueOf(v);
    VariantClear(&v);
    return result;
  } catch (...) {
    VariantClear(&v);
    throw;
  }
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
