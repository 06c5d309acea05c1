// Module-level state of the library: its own handle, and the count of live objects and
// class-object locks that decides whether it may be unloaded.
#pragma once

#include <windows.h>

namespace quillon {

// The library's module handle, recorded when it was loaded.
HMODULE ModuleHandle();

// One more live object; each matches one ModuleRelease() when that object goes away.
void ModuleAddRef();
void ModuleRelease();

// True while an object lives or the class object is locked (IClassFactory::LockServer).
bool ModuleInUse();

}  // namespace quillon

// The exported entry points (listed by ordinal in HN_Quillon_PD.def).
extern "C" {
STDAPI DllCanUnloadNow();
STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** out);
STDAPI DllRegisterServer();
STDAPI DllUnregisterServer();
}
