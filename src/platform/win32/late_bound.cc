// The libraries of the functions bound by name: one load per library and process.
#include "platform/win32/late_bound.h"

namespace quillon {
namespace {

struct BoundEntry {
  const char* name;  // a literal of the caller's: lives as long as the program
  HMODULE module;
};

// The few libraries the binder is asked for (three today); a request beyond the table loads
// nothing.
constexpr int kMaxLibraries = 8;
BoundEntry entries[kMaxLibraries] = {};
int entry_count = 0;
SRWLOCK lock = SRWLOCK_INIT;

BoundEntry* Find(const char* name) {
  for (int i = 0; i < entry_count; ++i) {
    if (lstrcmpiA(entries[i].name, name) == 0) return &entries[i];
  }
  return nullptr;
}

}  // namespace

// The library is loaded outside the lock, so that the lock is never held while waiting for
// the loader's: a thread that loses the race releases its own load.
HMODULE BoundLibrary(const char* library) {
  AcquireSRWLockShared(&lock);
  const BoundEntry* known = Find(library);
  const HMODULE module = known == nullptr ? nullptr : known->module;
  ReleaseSRWLockShared(&lock);
  if (known != nullptr) return module;
  HMODULE loaded = LoadLibraryA(library);  // tried once: a failure is kept as well
  AcquireSRWLockExclusive(&lock);
  BoundEntry* entry = Find(library);
  if (entry == nullptr && entry_count < kMaxLibraries) {
    entry = &entries[entry_count++];
    *entry = {library, loaded};
    loaded = nullptr;
  }
  const HMODULE result = entry == nullptr ? nullptr : entry->module;
  ReleaseSRWLockExclusive(&lock);
  if (loaded != nullptr) FreeLibrary(loaded);
  return result;
}

void FreeBoundLibraries() {
  AcquireSRWLockExclusive(&lock);
  for (int i = 0; i < entry_count; ++i) {
    if (entries[i].module != nullptr) FreeLibrary(entries[i].module);
    entries[i] = {};
  }
  entry_count = 0;
  ReleaseSRWLockExclusive(&lock);
}

}  // namespace quillon
