// IPerPropertyBrowsing: what a property grid shows for the control's properties. The refresh
// period is shown by its text ("10 sec", "1 min" ...) and offered as a list of the eleven
// texts; the point reference and the format pattern are edited on the "Point" page.
#include <olectl.h>

#include <string>

#include "control/tables.h"
#include "package/com_guard.h"
#include "package/identities.h"
#include "package/quillon_object.h"

namespace quillon {
namespace {

constexpr DISPID Dispid(PropertyId id) { return PropertyOf(id).dispid; }

// A copy of `text` in task memory, as the caller of GetPredefinedStrings frees it.
LPOLESTR TaskText(std::u16string_view text) {
  const size_t bytes = (text.size() + 1) * sizeof(OLECHAR);
  auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
  if (copy == nullptr) return nullptr;
  for (size_t i = 0; i < text.size(); ++i) copy[i] = static_cast<OLECHAR>(text[i]);
  copy[text.size()] = 0;
  return copy;
}

void FreeStrings(CALPOLESTR* strings, CADWORD* cookies) {
  for (ULONG i = 0; strings->pElems != nullptr && i < strings->cElems; ++i) {
    CoTaskMemFree(strings->pElems[i]);
  }
  CoTaskMemFree(strings->pElems);
  CoTaskMemFree(cookies->pElems);
  *strings = {};
  *cookies = {};
}

// The eleven refresh texts in the order of the enumeration, each with its value as cookie.
HRESULT PollTimeStrings(CALPOLESTR* strings, CADWORD* cookies) {
  const ULONG count = static_cast<ULONG>(kPollTimes.size());
  strings->pElems = static_cast<LPOLESTR*>(CoTaskMemAlloc(count * sizeof(LPOLESTR)));
  cookies->pElems = static_cast<DWORD*>(CoTaskMemAlloc(count * sizeof(DWORD)));
  if (strings->pElems == nullptr || cookies->pElems == nullptr) {
    FreeStrings(strings, cookies);
    return E_OUTOFMEMORY;
  }
  for (ULONG i = 0; i < count; ++i) {
    strings->pElems[i] = TaskText(kPollTimes[i].text);
    cookies->pElems[i] = static_cast<DWORD>(kPollTimes[i].value);
    strings->cElems = cookies->cElems = i + 1;
    if (strings->pElems[i] == nullptr) {
      FreeStrings(strings, cookies);
      return E_OUTOFMEMORY;
    }
  }
  return S_OK;
}

}  // namespace

// The text of the refresh period as the face shows it; a value outside the enumeration, which
// the face does not name, as its number.
HRESULT QuillonObject::PropertyBrowsing::GetDisplayString(DISPID id, BSTR* text) {
  QUILLON_COM_TRACE("IPerPropertyBrowsing", GetDisplayString, id, text);
  if (text == nullptr) return E_POINTER;
  *text = nullptr;
  if (id != Dispid(PropertyId::Frequence_Rafraichissement)) return E_NOTIMPL;
  QuillonObject& o = impl_from<IPerPropertyBrowsing>(this);
  return GuardCall([&] {
    const int32_t value = o.model().get_Frequence_Rafraichissement();
    const PollTimeEntry* entry = FindPollTime(value);
    const std::wstring shown = entry ? std::wstring(entry->text.begin(), entry->text.end())
                                     : std::to_wstring(value);
    *text = SysAllocStringLen(shown.data(), static_cast<UINT>(shown.size()));
    return *text ? S_OK : E_OUTOFMEMORY;
  });
}

HRESULT QuillonObject::PropertyBrowsing::MapPropertyToPage(DISPID id, CLSID* page) {
  QUILLON_COM_TRACE("IPerPropertyBrowsing", MapPropertyToPage, id, page);
  if (page == nullptr) return E_POINTER;
  if (id == Dispid(PropertyId::NTF) || id == Dispid(PropertyId::Formatage)) {
    *page = CLSID_PointPage;
    return S_OK;
  }
  *page = CLSID_NULL;
  return PERPROP_E_NOPAGEAVAILABLE;
}

HRESULT QuillonObject::PropertyBrowsing::GetPredefinedStrings(DISPID id, CALPOLESTR* strings,
                                                              CADWORD* cookies) {
  QUILLON_COM_TRACE("IPerPropertyBrowsing", GetPredefinedStrings, id, strings, cookies);
  if (strings == nullptr || cookies == nullptr) return E_POINTER;
  *strings = {};
  *cookies = {};
  if (id != Dispid(PropertyId::Frequence_Rafraichissement)) return E_NOTIMPL;
  return PollTimeStrings(strings, cookies);
}

// The cookie of a predefined string is the enumeration value it names (VT_I4).
HRESULT QuillonObject::PropertyBrowsing::GetPredefinedValue(DISPID id, DWORD cookie,
                                                            VARIANT* value) {
  QUILLON_COM_TRACE("IPerPropertyBrowsing", GetPredefinedValue, id, cookie, value);
  if (value == nullptr) return E_POINTER;
  VariantInit(value);
  if (id != Dispid(PropertyId::Frequence_Rafraichissement)) return E_NOTIMPL;
  const auto code = static_cast<int32_t>(cookie);
  if (FindPollTime(code) == nullptr) return E_INVALIDARG;
  V_VT(value) = VT_I4;
  V_I4(value) = code;
  return S_OK;
}

}  // namespace quillon
