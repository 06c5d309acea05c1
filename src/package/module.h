// Module-level state of the library: the count of live objects and class-object locks that
// decides whether it may be unloaded (its handle and path: platform/win32/this_module.h).
#pragma once

#include <windows.h>
// after windows.h
#include <objbase.h>

namespace quillon {

// One more live object; each matches one ModuleRelease() when that object goes away.
void ModuleAddRef();
void ModuleRelease();

// True while an object lives or the class object is locked (IClassFactory::LockServer).
bool ModuleInUse();

}  // namespace quillon

// Exported at ordinals 1 and 2 (HN_Quillon_PD.def); registration.h has the other two.
// S_OK when no object lives and no lock is held, else S_FALSE.
STDAPI DllCanUnloadNow();
// The class object of QuillonPD; CLASS_E_CLASSNOTAVAILABLE for any other class.
STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** out);
