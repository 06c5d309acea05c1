// A property bag over a control's entries of a display file: what IPersistPropertyBag::Load
// reads from and IPersistPropertyBag::Save writes to.
#pragma once

#include <oaidl.h>
#include <ocidl.h>

#include <string>
#include <utility>
#include <vector>

#include "display_file.h"

namespace quillon::host {

class EntryBag final : public IPropertyBag {
 public:
  // Reads and writes *entries, which must outlive the bag's use by the control.
  static EntryBag* Create(std::vector<BagEntry>* entries);

  // Every Read and Write as "read NAME VT" / "write NAME VT" with the variant type asked for
  // or given ("read strNTF 8 absent" when the entry is missing).
  const std::vector<std::string>& calls() const { return calls_; }

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  STDMETHODIMP Read(LPCOLESTR name, VARIANT* value, IErrorLog* log) override;
  STDMETHODIMP Write(LPCOLESTR name, VARIANT* value) override;

 private:
  explicit EntryBag(std::vector<BagEntry>* entries) : entries_(entries) {}
  ~EntryBag() = default;

  LONG refs_ = 1;
  std::vector<BagEntry>* entries_;
  std::vector<std::string> calls_;
};

// An entry's value as a variant (VT_BSTR, VT_I4 or VT_BOOL); the caller clears it.
void EntryToVariant(const EntryValue& value, VARIANT* out);
// A variant as an entry's value: texts, integers that fit 32 bits and booleans keep their
// kind, numbers and dates become their text; false for objects, arrays, Null and errors.
bool VariantToEntry(const VARIANT& value, EntryValue* out);

}  // namespace quillon::host
