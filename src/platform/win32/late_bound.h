// A platform function looked up by name in its library on first use, so that loading this
// code never depends on that library being present.
#pragma once

#include <windows.h>

#include <cstdint>

namespace quillon {

template <typename Fn>
class LateBound {
 public:
  LateBound(const char* library, const char* name) : library_(library), name_(name) {}
  LateBound(const LateBound&) = delete;
  LateBound& operator=(const LateBound&) = delete;

  // The function; nullptr when its library or the function cannot be found, with *error set
  // to the loader's code (ERROR_MOD_NOT_FOUND or ERROR_PROC_NOT_FOUND). A failed lookup is
  // tried again at the next call; a found address is kept.
  Fn Get(int32_t* error = nullptr) {
    if (fn_ != nullptr) return fn_;
    HMODULE module = LoadLibraryA(library_);
    if (module == nullptr) {
      if (error != nullptr) *error = ERROR_MOD_NOT_FOUND;
      return nullptr;
    }
    const FARPROC address = GetProcAddress(module, name_);
    if (address == nullptr) {
      if (error != nullptr) *error = ERROR_PROC_NOT_FOUND;
      return nullptr;
    }
    fn_ = reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(address));
    return fn_;
  }

 private:
  const char* library_;
  const char* name_;
  Fn fn_ = nullptr;
};

}  // namespace quillon
