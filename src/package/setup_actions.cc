// Custom actions of the Windows Installer packages (packaging/*.wxs), in quillon_setup.dll.
//
// RemoveInUse runs deferred, after RemoveFiles and RemoveFolders, when the product is being
// removed. A file a running host still holds (a loaded control library, a running quillon
// tool) cannot be deleted then. Windows Installer's own answer to a file in use is to delete
// it at the next restart and to end with ERROR_SUCCESS_REBOOT_REQUIRED (3010); installers that
// leave such files in place instead answer 0 and leave the files and their folders behind.
// This action gives the same answer as the former wherever it runs: each listed file still
// present is deleted at the next restart, then the listed folders (empty by then), and the
// installation ends needing a restart. Where the installer has dealt with the files already,
// nothing is left to do.
//
// CustomActionData: the paths, separated by ';'; a folder ends with '\'. Folders come after
// the files, innermost first.
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

}  // namespace

// The removal goes on whatever happens here: a file that cannot be scheduled stays, as it
// would without this action, and the log says so.
extern "C" UINT __stdcall RemoveInUse(MSIHANDLE install) {
  try {
    return RemoveInUseImpl(install);
  } catch (...) {
    return ERROR_SUCCESS;
  }
}
