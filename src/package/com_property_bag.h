// The container's property bag (IPropertyBag) as the control model's PropertyBag, with the
// conversions between Automation variants and bag values.
#pragma once

#include <windows.h>
// after windows.h
#include <ocidl.h>

#include "control/property_bag.h"

namespace quillon {

// The bag value of a variant (by-reference variants are followed); kinds that no setting
// can take become BagOther.
BagValue BagValueFromVariant(const VARIANT& variant);
// A variant holding `value`: VT_EMPTY, VT_NULL, VT_BOOL, VT_I4, VT_R8 or VT_BSTR.
// E_INVALIDARG for BagOther, E_OUTOFMEMORY when a text cannot be copied.
HRESULT VariantFromBagValue(const BagValue& value, VARIANT* variant);

// Reads and writes through a container's IPropertyBag. A name the bag does not hold
// (E_INVALIDARG, as bags answer for absent names) gives the default; any other failure of
// a read or a write is kept in status() and the call reports failure.
class ComPropertyBag final : public PropertyBag {
 public:
  ComPropertyBag(IPropertyBag* bag, IErrorLog* log) : bag_(bag), log_(log) {}

  bool Read(const Text& name, const BagValue& default_value, BagValue* value) noexcept override;
  bool Write(const Text& name, const BagValue& value) noexcept override;

  // S_OK, or the first failure.
  HRESULT status() const { return status_; }

 private:
  IPropertyBag* bag_;
  IErrorLog* log_;
  HRESULT status_ = S_OK;
};

}  // namespace quillon
