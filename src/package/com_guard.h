// The guard at a COM entry point: no C++ exception leaves the library.
#pragma once

#include <windows.h>

#include <new>

namespace quillon {

template <class F>
HRESULT GuardCall(F&& call) noexcept {
  try {
    return call();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

}  // namespace quillon
