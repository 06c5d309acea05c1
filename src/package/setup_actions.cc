// Custom actions of the Windows Installer packages (packaging/*.wxs), in quillon_setup.dll.
//
// RemoveInUse runs deferred, after RemoveFiles and RemoveFolders, when the product is being
// removed. A file a running host still holds (a loaded control library, a running quillon
// tool) cannot be deleted then. Windows Installer's own answer to a file in use is to delete
// it at the next restart and to end with ERROR_SUCCESS_REBOOT_REQUIRED (3010); Wine's installer
// leaves the file and its folders behind and answers 0. This action gives Windows Installer's
// answer wherever it runs: each listed file still present is deleted at the next restart, then
// the listed folders (empty by then), and the installation ends needing a restart. Where the
// installer has dealt with the files already, nothing is left to do.
//
// CustomActionData: the paths, separated by ';'; a folder ends with '\'. Folders come after
// the files, innermost first.
//
// KeepOtherRegistration runs deferred, after RemoveRegistryValues, when the product is being
// removed. The package's rows hold the entries both bitnesses share (ProgID, type library,
// interfaces) and take them at removal; a library of the other bitness registered by hand
// (regsvr32) beside the package still needs them. Its class key is still there in its
// registry view, and its own registration writes them back: regsvr32 /s, which runs itself in
// the library's bitness.
//
// CustomActionData: the class's server key under HKEY_CLASSES_ROOT (CLSID\{...}\InprocServer32).
#include <windows.h>
// after windows.h
#include <msi.h>
#include <msiquery.h>

#include <string>
#include <vector>

namespace {

std::vector<std::wstring> SplitPaths(const std::wstring& list) {
  std::vector<std::wstring> paths;
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(L';', start);
    if (end == std::wstring::npos) end = list.size();
    if (end > start) paths.push_back(list.substr(start, end - start));
    start = end + 1;
  }
  return paths;
}

bool IsFolder(const std::wstring& path) { return !path.empty() && path.back() == L'\\'; }

bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring Property(MSIHANDLE install, const wchar_t* name) {
  DWORD size = 0;
  wchar_t empty[1] = {};
  if (MsiGetPropertyW(install, name, empty, &size) != ERROR_MORE_DATA) return {};
  std::wstring value(size + 1, L'\0');
  size = static_cast<DWORD>(value.size());
  if (MsiGetPropertyW(install, name, value.data(), &size) != ERROR_SUCCESS) return {};
  value.resize(size);
  return value;
}

// One line in the installation log.
void Log(MSIHANDLE install, const std::wstring& text) {
  const MSIHANDLE record = MsiCreateRecord(0);
  if (record == 0) return;
  MsiRecordSetStringW(record, 0, text.c_str());
  MsiProcessMessage(install, INSTALLMESSAGE_INFO, record);
  MsiCloseHandle(record);
}

// Deletes `path` at the next restart; false (and the reason in the log) when that fails.
bool DeleteAtRestart(MSIHANDLE install, const std::wstring& path) {
  if (MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) {
    Log(install, L"RemoveInUse: " + path + L" is in use; it goes at the next restart");
    return true;
  }
  Log(install, L"RemoveInUse: " + path + L" is in use and cannot be scheduled for removal (" +
                   std::to_wstring(GetLastError()) + L")");
  return false;
}

UINT RemoveInUseImpl(MSIHANDLE install) {
  const std::vector<std::wstring> paths = SplitPaths(Property(install, L"CustomActionData"));
  bool scheduled = false;
  for (const std::wstring& path : paths) {
    if (!IsFolder(path) && Exists(path)) scheduled = DeleteAtRestart(install, path) || scheduled;
  }
  if (!scheduled) return ERROR_SUCCESS;
  // A folder still present holds a file that goes at the restart; it is removed then if
  // nothing else is left in it.
  for (const std::wstring& path : paths) {
    if (IsFolder(path) && Exists(path)) DeleteAtRestart(install, path.substr(0, path.size() - 1));
  }
  MsiSetMode(install, MSIRUNMODE_REBOOTATEND, TRUE);
  return ERROR_SUCCESS;
}

// The library a class's server key names in one registry view; empty when there is none.
std::wstring ServerIn(const std::wstring& key, REGSAM view) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_QUERY_VALUE | view, &handle) !=
      ERROR_SUCCESS) {
    return {};
  }
  wchar_t path[1024] = {};
  DWORD bytes = sizeof path - sizeof(wchar_t), type = 0;
  const LONG error =
      RegQueryValueExW(handle, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(path), &bytes);
  RegCloseKey(handle);
  return error == ERROR_SUCCESS && type == REG_SZ ? path : L"";
}

// Runs `regsvr32 /s library` and waits for it (a minute at most); its exit code, or -1.
long Regsvr32(const std::wstring& library) {
  wchar_t system[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryW(system, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return -1;
  std::wstring command =
      L"\"" + std::wstring(system) + L"\\regsvr32.exe\" /s \"" + library + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                      nullptr, &startup, &process)) {
    return -1;
  }
  DWORD code = static_cast<DWORD>(-1);
  if (WaitForSingleObject(process.hProcess, 60000) != WAIT_OBJECT_0 ||
      !GetExitCodeProcess(process.hProcess, &code)) {
    code = static_cast<DWORD>(-1);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<long>(code);
}

UINT KeepOtherRegistrationImpl(MSIHANDLE install) {
  const std::wstring key = Property(install, L"CustomActionData");
  if (key.empty()) return ERROR_SUCCESS;
  std::wstring done;
  for (const REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
    const std::wstring library = ServerIn(key, view);
    if (library.empty() || library == done || !Exists(library)) continue;
    done = library;
    const long code = Regsvr32(library);
    Log(install, L"KeepOtherRegistration: " + library + L" registered beside the package: " +
                     (code == 0 ? L"registered again" : L"regsvr32 failed (" +
                                                           std::to_wstring(code) + L")"));
  }
  return ERROR_SUCCESS;
}

}  // namespace

extern "C" UINT __stdcall KeepOtherRegistration(MSIHANDLE install) {
  try {
    return KeepOtherRegistrationImpl(install);
  } catch (...) {
    return ERROR_SUCCESS;
  }
}

// The removal goes on whatever happens here: a file that cannot be scheduled stays, as it
// would without this action, and the log says so.
extern "C" UINT __stdcall RemoveInUse(MSIHANDLE install) {
  try {
    return RemoveInUseImpl(install);
  } catch (...) {
    return ERROR_SUCCESS;
  }
}
