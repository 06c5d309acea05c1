#include "entry_bag.h"

#include <oleauto.h>

#include <climits>

namespace quillon::host {
namespace {

Text FromWide(const wchar_t* s, size_t n) { return Text(reinterpret_cast<const char16_t*>(s), n); }

std::string Call(const char* what, LPCOLESTR name, VARTYPE vt, const char* note = nullptr) {
  std::string line =
      std::string(what) + " " + ToUtf8(FromWide(name, wcslen(name))) + " " + std::to_string(vt);
  if (note) line += std::string(" ") + note;
  return line;
}

bool IntegerOf(const VARIANT& v, int64_t* n) {
  switch (V_VT(&v)) {
    case VT_I1:
      *n = V_I1(&v);
      return true;
    case VT_UI1:
      *n = V_UI1(&v);
      return true;
    case VT_I2:
      *n = V_I2(&v);
      return true;
    case VT_UI2:
      *n = V_UI2(&v);
      return true;
    case VT_I4:
      *n = V_I4(&v);
      return true;
    case VT_UI4:
      *n = V_UI4(&v);
      return true;
    case VT_INT:
      *n = V_INT(&v);
      return true;
    case VT_UINT:
      *n = V_UINT(&v);
      return true;
    case VT_I8:
      *n = V_I8(&v);
      return true;
    default:
      return false;
  }
}

}  // namespace

void EntryToVariant(const EntryValue& value, VARIANT* out) {
  VariantInit(out);
  if (const Text* t = std::get_if<Text>(&value)) {
    V_VT(out) = VT_BSTR;
    V_BSTR(out) = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(t->data()),
                                    static_cast<UINT>(t->size()));
  } else if (const int32_t* n = std::get_if<int32_t>(&value)) {
    V_VT(out) = VT_I4;
    V_I4(out) = *n;
  } else {
    V_VT(out) = VT_BOOL;
    V_BOOL(out) = std::get<bool>(value) ? VARIANT_TRUE : VARIANT_FALSE;
  }
}

bool VariantToEntry(const VARIANT& value, EntryValue* out) {
  VARIANT v;
  VariantInit(&v);
  if (FAILED(VariantCopyInd(&v, const_cast<VARIANT*>(&value)))) return false;
  int64_t n = 0;
  bool ok = true;
  if (V_VT(&v) == VT_BSTR) {
    *out = FromWide(V_BSTR(&v), SysStringLen(V_BSTR(&v)));
  } else if (V_VT(&v) == VT_BOOL) {
    *out = V_BOOL(&v) != VARIANT_FALSE;
  } else if (V_VT(&v) == VT_EMPTY) {
    *out = Text();
  } else if (IntegerOf(v, &n) && n >= INT32_MIN && n <= INT32_MAX) {
    *out = static_cast<int32_t>(n);
  } else if (V_VT(&v) != VT_NULL && SUCCEEDED(VariantChangeType(&v, &v, 0, VT_BSTR))) {
    *out = FromWide(V_BSTR(&v), SysStringLen(V_BSTR(&v)));
  } else {
    ok = false;
  }
  VariantClear(&v);
  return ok;
}

EntryBag* EntryBag::Create(std::vector<BagEntry>* entries) { return new EntryBag(entries); }

STDMETHODIMP EntryBag::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPropertyBag)) {
    *out = static_cast<IPropertyBag*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) EntryBag::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }

STDMETHODIMP_(ULONG) EntryBag::Release() {
  const LONG n = InterlockedDecrement(&refs_);
  if (n == 0) delete this;
  return static_cast<ULONG>(n);
}

// An absent entry is E_INVALIDARG; a value that cannot take the type asked for gives the
// conversion's error. VT_EMPTY asks for the entry's own type.
STDMETHODIMP EntryBag::Read(LPCOLESTR name, VARIANT* value, IErrorLog* log) {
  if (!name || !value) return E_POINTER;
  const VARTYPE wanted = V_VT(value);
  const BagEntry* e = FindEntry(*entries_, FromWide(name, wcslen(name)));
  calls_.push_back(Call("read", name, wanted, e ? nullptr : "absent"));
  if (!e) return E_INVALIDARG;
  VARIANT v;
  EntryToVariant(e->value, &v);
  HRESULT hr = S_OK;
  if (wanted != VT_EMPTY && wanted != V_VT(&v)) hr = VariantChangeType(&v, &v, 0, wanted);
  if (FAILED(hr)) {
    VariantClear(&v);
    return hr;
  }
  *value = v;
  return S_OK;
}

STDMETHODIMP EntryBag::Write(LPCOLESTR name, VARIANT* value) {
  if (!name || !value) return E_POINTER;
  calls_.push_back(Call("write", name, V_VT(value)));
  EntryValue entry;
  if (!VariantToEntry(*value, &entry)) return E_INVALIDARG;
  SetEntry(entries_, FromWide(name, wcslen(name)), std::move(entry));
  return S_OK;
}

}  // namespace quillon::host
