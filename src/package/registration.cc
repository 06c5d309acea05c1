#include "package/registration.h"

// after windows.h
#include <oleauto.h>

#include <new>

#include "HN_QuillonPD_h.h"
#include "package/com_ptr.h"
#include "package/identities.h"
#include "platform/win32/this_module.h"

namespace quillon {
namespace {

constexpr WORD kTypeLibMajor = 7;
constexpr WORD kTypeLibMinor = 1;
// The embedded type library targets this build's own bitness; each registers under its own
// platform subkey.
constexpr SYSKIND kTypeLibSysKind = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;
constexpr const wchar_t* kTypeLibPlatformKey =
    sizeof(void*) == 8 ? L"TypeLib\\$LIBID\\7.1\\0\\win64" : L"TypeLib\\$LIBID\\7.1\\0\\win32";
// Present while the library of the other bitness is registered beside this one.
constexpr const wchar_t* kOtherServerKey = L"CLSID\\$CLSID\\InprocServer32";

struct Entry {
  const wchar_t* key;
  const wchar_t* name;  // nullptr: the default value
  const wchar_t* text;  // nullptr: the key alone
};

// Everything registration writes under HKEY_CLASSES_ROOT, in order. In keys and texts,
// $CLSID, $LIBID and $PATH stand for the class identifier, the type library identifier and
// the library's own path; $PAGE for the class of the property page "Point"; $MISC for the
// control's MiscStatus in decimal.
constexpr Entry kEntries[] = {
    {L"CLSID\\$CLSID", nullptr, L"QuillonPD"},
    {L"CLSID\\$CLSID\\InprocServer32", nullptr, L"$PATH"},
    {L"CLSID\\$CLSID\\InprocServer32", L"ThreadingModel", L"Apartment"},
    {L"CLSID\\$CLSID\\ProgID", nullptr, L"HN_QuillonPD.QuillonPD"},
    {L"CLSID\\$CLSID\\Control", nullptr, nullptr},
    {L"CLSID\\$CLSID\\MiscStatus", nullptr, L"$MISC"},
    {L"CLSID\\$CLSID\\MiscStatus\\1", nullptr, L"$MISC"},
    {L"CLSID\\$CLSID\\ToolboxBitmap32", nullptr, L"$PATH, 30000"},
    {L"CLSID\\$CLSID\\TypeLib", nullptr, L"$LIBID"},
    {L"CLSID\\$CLSID\\Version", nullptr, L"7.1"},
    // CATID_Control
    {L"CLSID\\$CLSID\\Implemented Categories\\{40FC6ED4-2438-11CF-A3DB-080036F12502}", nullptr,
     nullptr},
    {L"HN_QuillonPD.QuillonPD", nullptr, L"QuillonPD"},
    {L"HN_QuillonPD.QuillonPD\\CLSID", nullptr, L"$CLSID"},
    // The property page: a class of its own, served by the same file, without ProgID.
    {L"CLSID\\$PAGE", nullptr, L"Point"},
    {L"CLSID\\$PAGE\\InprocServer32", nullptr, L"$PATH"},
    {L"CLSID\\$PAGE\\InprocServer32", L"ThreadingModel", L"Apartment"},
};

// The keys that hold every class entry above; removed whole. The class key is one per
// registry view; the ProgID is shared by both views of a 64-bit system.
constexpr const wchar_t* kClassTree = L"CLSID\\$CLSID";
constexpr const wchar_t* kPageTree = L"CLSID\\$PAGE";
constexpr const wchar_t* kProgIdTree = L"HN_QuillonPD.QuillonPD";

std::wstring GuidText(REFGUID guid) {
  wchar_t text[40] = {};
  StringFromGUID2(guid, text, 40);
  return text;
}

std::wstring Expand(const wchar_t* pattern, const std::wstring& path) {
  const std::pair<const wchar_t*, std::wstring> tokens[] = {
      {L"$CLSID", GuidText(CLSID_QuillonPD)},
      {L"$LIBID", GuidText(LIBID_HN_QuillonPD)},
      {L"$PAGE", GuidText(CLSID_PointPage)},
      {L"$PATH", path},
      {L"$MISC", std::to_wstring(kMiscStatus)},
  };
  std::wstring text = pattern;
  for (const auto& [token, value] : tokens) {
    const std::wstring name = token;
    for (size_t at = text.find(name); at != std::wstring::npos; at = text.find(name, at)) {
      text.replace(at, name.size(), value);
      at += value.size();
    }
  }
  return text;
}

HRESULT ToHresult(LONG error) {
  return error == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(static_cast<DWORD>(error));
}

bool OtherBitnessRegistered(ClassesRoot& root) {
  return root.OtherViewHasKey(Expand(kOtherServerKey, L""));
}

// The ProgID stays while the library of the other bitness still serves the class.
LONG RemoveClassEntries(ClassesRoot& root) {
  LONG error = root.DeleteTree(Expand(kClassTree, L""));
  const LONG page = root.DeleteTree(Expand(kPageTree, L""));
  if (error == ERROR_SUCCESS) error = page;
  if (OtherBitnessRegistered(root)) return error;
  const LONG progid = root.DeleteTree(Expand(kProgIdTree, L""));
  return error != ERROR_SUCCESS ? error : progid;
}

LONG WriteClassEntries(const std::wstring& path, ClassesRoot& root) {
  for (const Entry& entry : kEntries) {
    const std::wstring key = Expand(entry.key, path);
    const LONG error = entry.text == nullptr
                           ? root.CreateKey(key)
                           : root.SetText(key, entry.name, Expand(entry.text, path));
    if (error != ERROR_SUCCESS) return error;
  }
  return ERROR_SUCCESS;
}

bool TypeLibRegistered() {
  BSTR path = nullptr;
  const HRESULT hr =
      QueryPathOfRegTypeLib(LIBID_HN_QuillonPD, kTypeLibMajor, kTypeLibMinor, 0, &path);
  SysFreeString(path);
  return SUCCEEDED(hr);
}

// The type library's version key and its interface entries are shared by both views: while
// the other bitness is registered, only this platform's path goes.
HRESULT UnregisterTypeLib(ClassesRoot& root) {
  if (OtherBitnessRegistered(root)) {
    return ToHresult(root.DeleteTree(Expand(kTypeLibPlatformKey, L"")));
  }
  if (!TypeLibRegistered()) return S_OK;
  return UnRegisterTypeLib(LIBID_HN_QuillonPD, kTypeLibMajor, kTypeLibMinor, 0, kTypeLibSysKind);
}

}  // namespace

LONG MachineClassesRoot::CreateKey(const std::wstring& key) {
  HKEY handle = nullptr;
  const LONG error = RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                     nullptr, &handle, nullptr);
  if (error == ERROR_SUCCESS) RegCloseKey(handle);
  return error;
}

LONG MachineClassesRoot::SetText(const std::wstring& key, const wchar_t* name,
                                 const std::wstring& text) {
  HKEY handle = nullptr;
  LONG error = RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                               nullptr, &handle, nullptr);
  if (error != ERROR_SUCCESS) return error;
  const DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
  error =
      RegSetValueExW(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), bytes);
  RegCloseKey(handle);
  return error;
}

LONG MachineClassesRoot::DeleteTree(const std::wstring& key) {
  const LONG error = RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
  return error == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : error;
}

bool MachineClassesRoot::OtherViewHasKey(const std::wstring& key) {
  REGSAM other_view = KEY_WOW64_32KEY;
  if (sizeof(void*) == 4) {
    BOOL wow64 = FALSE;
    // A 32-bit system has one view only.
    if (!IsWow64Process(GetCurrentProcess(), &wow64) || !wow64) return false;
    other_view = KEY_WOW64_64KEY;
  }
  HKEY handle = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ | other_view, &handle) !=
      ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(handle);
  return true;
}

HRESULT RegisterServer(const std::wstring& module_path, ClassesRoot& root) {
  ComPtr<ITypeLib> library;
  HRESULT hr = LoadTypeLibEx(module_path.c_str(), REGKIND_NONE, library.Put());
  if (FAILED(hr)) return hr;
  // An older set of class entries goes first, so that exactly one set remains.
  hr = ToHresult(RemoveClassEntries(root));
  if (SUCCEEDED(hr)) {
    // The plain path: Wine's REGKIND_REGISTER would record a \\?\ form. The library has no
    // help file: its help folder is empty rather than the folder of whichever bitness
    // registered first, so that every registration, and the packages' rows, write the same.
    std::wstring path = module_path;
    wchar_t no_help_folder[] = L"";
    hr = RegisterTypeLib(library.Get(), path.data(), no_help_folder);
  }
  if (SUCCEEDED(hr)) hr = ToHresult(WriteClassEntries(module_path, root));
  if (FAILED(hr)) {
    RemoveClassEntries(root);
    UnregisterTypeLib(root);
  }
  return hr;
}

HRESULT UnregisterServer(ClassesRoot& root) {
  const HRESULT typelib = UnregisterTypeLib(root);
  const HRESULT classes = ToHresult(RemoveClassEntries(root));
  return FAILED(typelib) ? typelib : classes;
}

}  // namespace quillon

STDAPI DllRegisterServer() {
  try {
    const std::wstring path = quillon::ThisModulePath();
    if (path.empty()) {
      const DWORD error = GetLastError();
      return error != ERROR_SUCCESS ? HRESULT_FROM_WIN32(error) : E_FAIL;
    }
    quillon::MachineClassesRoot root;
    return quillon::RegisterServer(path, root);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

STDAPI DllUnregisterServer() {
  try {
    quillon::MachineClassesRoot root;
    return quillon::UnregisterServer(root);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}
