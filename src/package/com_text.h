// Automation strings (BSTR) to and from the control model's text.
#pragma once

#include <windows.h>
// after windows.h
#include <oleauto.h>

#include "common/text.h"

namespace quillon {

// The text a BSTR holds; a NULL BSTR is the empty text. NUL characters are kept.
inline Text TextFromBstr(BSTR value) {
  if (value == nullptr) return Text();
  return Text(reinterpret_cast<const char16_t*>(value), SysStringLen(value));
}

// A new BSTR holding `text` in *out; E_OUTOFMEMORY (and *out NULL) when none can be allocated.
inline HRESULT BstrFromText(TextView text, BSTR* out) {
  *out = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                           static_cast<UINT>(text.size()));
  return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

// A NUL-terminated wide string for calls that take names (LPCOLESTR).
inline const OLECHAR* WideName(const Text& name) {
  return reinterpret_cast<const OLECHAR*>(name.c_str());
}

}  // namespace quillon
