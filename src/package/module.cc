#include "package/module.h"

#include <new>

#include "HN_QuillonPD_h.h"
#include "package/com_trace.h"
#include "package/face_window.h"
#include "package/identities.h"
#include "package/point_page.h"
#include "package/quillon_object.h"
#include "package/thread_registry.h"
#include "package/thread_timer.h"
#include "platform/win32/late_bound.h"

namespace quillon {
namespace {

LONG live_objects = 0;
LONG server_locks = 0;

using CreateFn = HRESULT (*)(IUnknown* outer, REFIID riid, void** out);

// The class object of one class of the library (QuillonPD, the "Point" page). One static
// instance per class: its references keep nothing alive; LockServer does.
class ClassFactory final : public IClassFactory {
 public:
  explicit constexpr ClassFactory(CreateFn create) : create_(create) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IClassFactory)) {
      *out = nullptr;
      return ComTraceSite::UnknownInterface(this, riid);
    }
    *out = static_cast<IClassFactory*>(this);
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
    QUILLON_COM_TRACE("IClassFactory", CreateInstance, outer, riid, out);
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    // An aggregate asks for the inner object's own IUnknown, and for nothing else.
    if (outer != nullptr && !IsEqualIID(riid, IID_IUnknown)) return CLASS_E_NOAGGREGATION;
    try {
      return create_(outer, riid, out);
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    } catch (...) {
      return E_UNEXPECTED;
    }
  }

  // An unlock without a matching lock is ignored rather than counted below zero.
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    QUILLON_COM_TRACE("IClassFactory", LockServer, lock);
    if (lock) {
      InterlockedIncrement(&server_locks);
      return S_OK;
    }
    LONG locks = server_locks;
    while (locks > 0) {
      const LONG seen = InterlockedCompareExchange(&server_locks, locks - 1, locks);
      if (seen == locks) break;
      locks = seen;
    }
    return S_OK;
  }

 private:
  CreateFn create_;
};

ClassFactory class_factory(&QuillonObject::Create);
ClassFactory page_factory(&CreatePointPage);

}  // namespace

void ModuleAddRef() { InterlockedIncrement(&live_objects); }

void ModuleRelease() { InterlockedDecrement(&live_objects); }

bool ModuleInUse() {
  return InterlockedCompareExchange(&live_objects, 0, 0) > 0 ||
         InterlockedCompareExchange(&server_locks, 0, 0) > 0;
}

}  // namespace quillon

// At an unload (FreeLibrary: `reserved` NULL) the libraries of the functions bound by name are
// released, the face's window class goes with the library even if a thread that held face
// windows ended without closing them, and so do the thread registry's spare entries and the
// control objects' heap; at process exit they go with the process. A thread that ends takes
// its shared timer with it.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void* reserved) {
  if (reason == DLL_THREAD_DETACH) quillon::ThreadTimer::ThreadEnded();
  if (reason == DLL_PROCESS_DETACH && reserved == nullptr) {
    quillon::FaceWindow::UnregisterClassAtUnload();
    quillon::FreeBoundLibraries();
    quillon::ThreadRegistry::FreeSpareEntries();
    quillon::QuillonObject::FreeHeapAtUnload();
  }
  return TRUE;
}

STDAPI DllCanUnloadNow() {
  QUILLON_COM_TRACE_EXPORT(DllCanUnloadNow);
  return quillon::ModuleInUse() ? S_FALSE : S_OK;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** out) {
  QUILLON_COM_TRACE_EXPORT(DllGetClassObject, clsid, riid, out);
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (IsEqualCLSID(clsid, CLSID_QuillonPD)) return quillon::class_factory.QueryInterface(riid, out);
  if (IsEqualCLSID(clsid, quillon::CLSID_PointPage)) {
    return quillon::page_factory.QueryInterface(riid, out);
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}
