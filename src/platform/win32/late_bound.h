// A platform function looked up by name in its library on first use, so that loading this
// code never depends on that library being present.
#pragma once

#include <windows.h>

#include <cstdint>

namespace quillon {

// The named library, loaded at the first request of the process and kept; later requests,
// from any thread, get the same handle (or the same failure) without loading it again.
// nullptr when it cannot be loaded. Thread-safe.
HMODULE BoundLibrary(const char* library);

// Releases every library that BoundLibrary loaded, and forgets the failures: called when this
// code is unloaded (process detach), when no bound function can be called any more.
void FreeBoundLibraries();

// One function of a bound library. Each instance is used by one thread at a time.
template <typename Fn>
class LateBound {
 public:
  LateBound(const char* library, const char* name) : library_(library), name_(name) {}
  LateBound(const LateBound&) = delete;
  LateBound& operator=(const LateBound&) = delete;

  // The function; nullptr when its library or the function cannot be found, with *error set
  // to the loader's code (ERROR_MOD_NOT_FOUND or ERROR_PROC_NOT_FOUND). It is looked up once:
  // later calls give the same address or the same failure.
  Fn Get(int32_t* error = nullptr) {
    if (!resolved_) Resolve();
    if (fn_ == nullptr && error != nullptr) *error = error_;
    return fn_;
  }

 private:
  void Resolve() {
    resolved_ = true;
    const HMODULE module = BoundLibrary(library_);
    const FARPROC address = module == nullptr ? nullptr : GetProcAddress(module, name_);
    error_ = module == nullptr ? ERROR_MOD_NOT_FOUND : ERROR_PROC_NOT_FOUND;
    if (address != nullptr) fn_ = reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(address));
  }

  const char* library_;
  const char* name_;
  bool resolved_ = false;
  int32_t error_ = 0;
  Fn fn_ = nullptr;
};

}  // namespace quillon
