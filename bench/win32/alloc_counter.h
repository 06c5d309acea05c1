// Counts the heap allocations that chosen modules make, by redirecting their imports of the
// allocation functions (HeapAlloc, the C runtime's malloc family, CoTaskMemAlloc) through
// counting wrappers.
#pragma once

#include <windows.h>

#include <cstdint>

namespace quillon {

// Redirects the allocation imports of `module`; the counts start at 0.
void CountAllocationsOf(HMODULE module);

// Allocations made so far by the redirected modules.
uint64_t AllocationCount();

}  // namespace quillon
