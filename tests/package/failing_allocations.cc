#include "failing_allocations.h"

#include <cstdlib>
#include <new>

namespace quillon::testing {
int allocations_until_failure = 0;
}  // namespace quillon::testing

void* operator new(size_t size) {
  int& countdown = quillon::testing::allocations_until_failure;
  if (countdown > 0 && --countdown == 0) throw std::bad_alloc();
  if (void* block = std::malloc(size ? size : 1)) return block;
  throw std::bad_alloc();
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, size_t) noexcept { std::free(block); }
