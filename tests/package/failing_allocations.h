#pragma once

// This program's operator new fails once the countdown reaches zero (0: never). Link
// failing_allocations.cc into a test program to replace its allocation functions.
namespace quillon::testing {
extern int allocations_until_failure;
}  // namespace quillon::testing
