// registry_rows: the library's registration as Windows Installer registry rows, a WiX include
// for the packages in packaging/. It runs the library's own registration (RegisterServer, the
// code DllRegisterServer runs) with HKEY_CLASSES_ROOT redirected to a scratch key, and writes
// every key and value found there as a row of the library's component: the package writes
// exactly what regsvr32 writes, and removes it at uninstall without loading the library.
//
// Usage: registry_rows LIBRARY FILE_ID OUTPUT
//   LIBRARY  the built library (its type library and path are read from it)
//   FILE_ID  the library's File Id in the package: its path becomes [#FILE_ID]
//   OUTPUT   the WiX include to write
// Run at build time under Wine, in the bitness of LIBRARY.
#include <windows.h>
// after windows.h
#include <oleauto.h>

#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "package/com_ptr.h"
#include "package/registration.h"

namespace quillon {
namespace {

// Where registration writes while this tool runs; removed at the end. (Not volatile:
// registration creates lasting keys, which a volatile key cannot hold.)
constexpr wchar_t kScratch[] = L"Software\\QuillonRegistryRows";

// HKEY_CLASSES_ROOT as redirected here; the library of the other bitness is never beside it.
class ScratchRoot final : public ClassesRoot {
 public:
  LONG CreateKey(const std::wstring& key) override { return real_.CreateKey(key); }
  LONG SetText(const std::wstring& key, const wchar_t* name, const std::wstring& text) override {
    return real_.SetText(key, name, text);
  }
  LONG DeleteTree(const std::wstring& key) override { return real_.DeleteTree(key); }
  bool OtherViewHasKey(const std::wstring&) override { return false; }

 private:
  MachineClassesRoot real_;
};

struct Row {
  std::wstring key;
  std::wstring name;  // empty: the default value
  std::wstring text;
  bool key_only = false;
};

std::wstring Replace(std::wstring text, const std::wstring& from, const std::wstring& to) {
  for (size_t at = text.find(from); at != std::wstring::npos; at = text.find(from, at)) {
    text.replace(at, from.size(), to);
    at += to.size();
  }
  return text;
}

// A text of the Registry table is formatted by the installer: brackets are escaped, the
// library's path becomes the installed file's, and a leading '#' (a number) is doubled.
std::wstring Formatted(const std::wstring& text, const std::wstring& path,
                       const std::wstring& file_id) {
  std::wstring out;
  for (const wchar_t c : text) {
    if (c == L'[') out += L"[\\[]";
    else if (c == L']') out += L"[\\]]";
    else out += c;
  }
  out = Replace(out, path, L"[#" + file_id + L"]");
  return !out.empty() && out[0] == L'#' ? L"#" + out : out;
}

// The text values of the open key `key`; false (and why on stderr) on a value that is not text.
bool CollectValues(HKEY handle, const std::wstring& key, DWORD values, std::vector<Row>* rows) {
  for (DWORD i = 0; i < values; ++i) {
    wchar_t name[256];
    wchar_t text[1024];
    DWORD name_size = 256, bytes = sizeof text - sizeof(wchar_t), type = 0;
    if (RegEnumValueW(handle, i, name, &name_size, nullptr, &type, reinterpret_cast<BYTE*>(text),
                      &bytes) != ERROR_SUCCESS ||
        type != REG_SZ) {
      std::fwprintf(stderr, L"registry_rows: %ls: value %lu is not text\n", key.c_str(), i);
      return false;
    }
    text[bytes / sizeof(wchar_t)] = L'\0';
    rows->push_back({key, name, text, false});
  }
  return true;
}

// The keys and values below `key` of `root`, depth first; false (and why on stderr) on an
// unreadable entry.
bool Collect(HKEY root, const std::wstring& key, std::vector<Row>* rows) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) {
    std::fwprintf(stderr, L"registry_rows: cannot open %ls\n", key.c_str());
    return false;
  }
  DWORD subkeys = 0, values = 0;
  bool ok = RegQueryInfoKeyW(handle, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                             &values, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
            CollectValues(handle, key, values, rows);
  if (ok && subkeys == 0 && values == 0) rows->push_back({key, L"", L"", true});
  for (DWORD i = 0; ok && i < subkeys; ++i) {
    wchar_t name[256];
    DWORD name_size = 256;
    ok = RegEnumKeyExW(handle, i, name, &name_size, nullptr, nullptr, nullptr, nullptr) ==
             ERROR_SUCCESS &&
         Collect(root, key.empty() ? name : key + L"\\" + name, rows);
  }
  RegCloseKey(handle);
  return ok;
}

std::string Xml(const std::wstring& text) {
  std::string out;
  for (const wchar_t c : text) {
    if (c == L'&') out += "&amp;";
    else if (c == L'<') out += "&lt;";
    else if (c == L'>') out += "&gt;";
    else if (c == L'"') out += "&quot;";
    else if (c > 0 && c < 0x80) out += static_cast<char>(c);
    else out += "&#" + std::to_string(static_cast<unsigned>(c)) + ";";
  }
  return out;
}

// A key alone is created with the component and removed with it (Name "*"); a value is
// removed with the component, and with it each key it leaves empty.
std::string WixRow(const Row& row, const std::wstring& path, const std::wstring& file_id) {
  std::string xml = "  <RegistryValue Root=\"HKCR\" Key=\"" +
                    Xml(Formatted(row.key, path, file_id)) + "\"";
  if (row.key_only) return xml + " Name=\"*\" Type=\"string\" Value=\"\"/>\n";
  if (!row.name.empty()) xml += " Name=\"" + Xml(Formatted(row.name, path, file_id)) + "\"";
  return xml + " Type=\"string\" Value=\"" + Xml(Formatted(row.text, path, file_id)) + "\"/>\n";
}

bool WriteInclude(const wchar_t* output, const std::vector<Row>& rows, const std::wstring& path,
                  const std::wstring& file_id) {
  std::string xml =
      "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
      "<!-- Written by registry_rows from the library's own registration: do not edit. -->\n"
      "<Include>\n";
  for (const Row& row : rows) xml += WixRow(row, path, file_id);
  xml += "</Include>\n";
  FILE* file = _wfopen(output, L"wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(xml.data(), 1, xml.size(), file) == xml.size();
  return std::fclose(file) == 0 && written;
}

// Registers the library into `scratch` and collects what registration wrote.
// The other registry view of a 64-bit system (0 on a 32-bit one). Wine's RegisterTypeLib
// writes the interfaces there too, where the redirection of HKEY_CLASSES_ROOT does not reach.
REGSAM OtherView() {
  if (sizeof(void*) == 8) return KEY_WOW64_32KEY;
  BOOL wow64 = FALSE;
  return IsWow64Process(GetCurrentProcess(), &wow64) && wow64 ? KEY_WOW64_64KEY : 0;
}

// The interface keys of the library's type library absent from the other view.
std::vector<std::wstring> InterfacesAbsentFromOtherView(const std::wstring& path, REGSAM view) {
  std::vector<std::wstring> absent;
  ComPtr<ITypeLib> library;
  if (view == 0 || FAILED(LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.Put()))) return absent;
  for (UINT i = 0; i < library->GetTypeInfoCount(); ++i) {
    ComPtr<ITypeInfo> info;
    TYPEATTR* attr = nullptr;
    if (FAILED(library->GetTypeInfo(i, info.Put())) || FAILED(info->GetTypeAttr(&attr))) continue;
    if (attr->typekind != TKIND_DISPATCH && attr->typekind != TKIND_INTERFACE) {
      info->ReleaseTypeAttr(attr);
      continue;
    }
    wchar_t iid[40] = {};
    StringFromGUID2(attr->guid, iid, 40);
    const std::wstring key = std::wstring(L"Interface\\") + iid;
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ | view, &handle) ==
        ERROR_SUCCESS) {
      RegCloseKey(handle);
    } else {
      absent.push_back(key);
    }
    info->ReleaseTypeAttr(attr);
  }
  return absent;
}

void DeleteFromView(const std::vector<std::wstring>& keys, REGSAM view) {
  for (const std::wstring& key : keys) {
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_ALL_ACCESS | view, &handle) !=
        ERROR_SUCCESS) {
      continue;
    }
    RegDeleteTreeW(handle, nullptr);
    RegCloseKey(handle);
    RegDeleteKeyExW(HKEY_CLASSES_ROOT, key.c_str(), view, 0);
  }
}

// Registers the library into `scratch` and collects what registration wrote; the other view
// is left as it was.
HRESULT RegisterInto(HKEY scratch, const std::wstring& path, std::vector<Row>* rows) {
  const REGSAM other_view = OtherView();
  const std::vector<std::wstring> absent = InterfacesAbsentFromOtherView(path, other_view);
  LONG error = RegOverridePredefKey(HKEY_CLASSES_ROOT, scratch);
  if (error != ERROR_SUCCESS) return HRESULT_FROM_WIN32(static_cast<DWORD>(error));
  ScratchRoot root;
  HRESULT hr = RegisterServer(path, root);
  RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
  DeleteFromView(absent, other_view);
  if (SUCCEEDED(hr) && !Collect(scratch, L"", rows)) hr = E_FAIL;
  if (SUCCEEDED(hr) && rows->empty()) hr = E_UNEXPECTED;
  return hr;
}

int Run(const std::wstring& path, const std::wstring& file_id, const wchar_t* output) {
  RegDeleteTreeW(HKEY_CURRENT_USER, kScratch);
  HKEY scratch = nullptr;
  const LONG error = RegCreateKeyExW(HKEY_CURRENT_USER, kScratch, 0, nullptr,
                                     0, KEY_ALL_ACCESS, nullptr, &scratch,
                                     nullptr);
  if (error != ERROR_SUCCESS) {
    std::fprintf(stderr, "registry_rows: scratch key: error %ld\n", error);
    return 1;
  }
  std::vector<Row> rows;
  const HRESULT hr = RegisterInto(scratch, path, &rows);
  RegCloseKey(scratch);
  RegDeleteTreeW(HKEY_CURRENT_USER, kScratch);
  if (FAILED(hr)) {
    std::fprintf(stderr, "registry_rows: registration failed: 0x%08lx\n", hr);
    return 1;
  }
  if (!WriteInclude(output, rows, path, file_id)) {
    std::fprintf(stderr, "registry_rows: cannot write the include\n");
    return 1;
  }
  return 0;
}

}  // namespace
}  // namespace quillon

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: registry_rows LIBRARY FILE_ID OUTPUT\n");
    return 2;
  }
  try {
    return quillon::Run(argv[1], argv[2], argv[3]);
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "registry_rows: out of memory\n");
    return 1;
  }
}
