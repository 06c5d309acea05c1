// Shared by the tests of the Windows library: where the built library is, and readable
// identifiers.
#pragma once

#include <windows.h>
// after windows.h
#include <objbase.h>

#include <string>

#include "HN_QuillonPD_h.h"
#include "package/com_ptr.h"

namespace quillon::testing {

// The built HN_Quillon_PD.ocx, as a Windows path (QUILLON_OCX_PATH is set by the build).
inline std::wstring OcxPath() {
  const std::string unix_path = QUILLON_OCX_PATH;
  std::wstring path = L"Z:";
  for (char c : unix_path) path += c == '/' ? L'\\' : static_cast<wchar_t>(c);
  return path;
}

inline std::wstring GuidText(REFGUID guid) {
  wchar_t text[40] = {};
  StringFromGUID2(guid, text, 40);
  return text;
}

inline std::string Narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out += c < 128 ? static_cast<char>(c) : '?';
  return out;
}

// COM for the lifetime of a test.
class ComScope {
 public:
  ComScope() { CoInitialize(nullptr); }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;
  ~ComScope() { CoUninitialize(); }
};

}  // namespace quillon::testing
