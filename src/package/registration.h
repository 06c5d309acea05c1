// Registration of the library as the in-process server of QuillonPD: its type library and
// the class, ProgID and control entries under HKEY_CLASSES_ROOT.
#pragma once

#include <windows.h>
// after windows.h
#include <objbase.h>

#include <string>

namespace quillon {

// The keys registration writes under. The library writes HKEY_CLASSES_ROOT; tests wrap it to
// fail a chosen write.
class ClassesRoot {
 public:
  ClassesRoot() = default;
  ClassesRoot(const ClassesRoot&) = delete;
  ClassesRoot& operator=(const ClassesRoot&) = delete;
  virtual ~ClassesRoot() = default;

  // Creates `key` (and its parents) if absent; a Win32 error code.
  virtual LONG CreateKey(const std::wstring& key) = 0;
  // Sets the text value `name` (nullptr: the default value) of `key`, creating the key as
  // needed; a Win32 error code.
  virtual LONG SetText(const std::wstring& key, const wchar_t* name, const std::wstring& text) = 0;
  // Removes `key` with everything below it; ERROR_SUCCESS when it was absent already.
  virtual LONG DeleteTree(const std::wstring& key) = 0;
};

// HKEY_CLASSES_ROOT itself.
class MachineClassesRoot final : public ClassesRoot {
 public:
  LONG CreateKey(const std::wstring& key) override;
  LONG SetText(const std::wstring& key, const wchar_t* name, const std::wstring& text) override;
  LONG DeleteTree(const std::wstring& key) override;
};

// Registers the type library embedded in the file at module_path and the class served by
// it. Idempotent. On failure returns the failing step's code and leaves neither a class
// entry nor the type library registered.
HRESULT RegisterServer(const std::wstring& module_path, ClassesRoot& root);

// Removes what RegisterServer writes, the type library included; entries already gone are
// no failure.
HRESULT UnregisterServer(ClassesRoot& root);

}  // namespace quillon

// Exported at ordinals 3 and 4 (HN_Quillon_PD.def), for the file this code is linked into.
STDAPI DllRegisterServer();
STDAPI DllUnregisterServer();
