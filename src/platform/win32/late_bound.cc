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

HMODULE BoundLibrary(const char* library) {
  AcquireSRWLockExclusive(&lock);
  BoundEntry* entry = Find(library);
  if (entry == nullptr && entry_count < kMaxLibraries) {
    entry = &entries[entry_count++];
    entry->name = library;
    entry->module = LoadLibraryA(library);  // tried once: a failure is kept as well
  }
  const HMODULE module = entry == nullptr ? nullptr : entry->module;
  ReleaseSRWLockExclusive(&lock);
  return module;
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
