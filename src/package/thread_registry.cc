#include "package/thread_registry.h"

#include <new>

namespace quillon {
namespace {

// A thread id is never 0: an entry of thread 0 is a spare one.
constexpr DWORD kSpare = 0;

struct Entry {
  DWORD thread = kSpare;
  Entry* next = nullptr;
  ThreadState state;
};

// The entries, in use and spare, in one list. Nothing but spare entries is left when the
// library is unloaded or a thread ends with nothing of the library's in use.
SRWLOCK g_lock = SRWLOCK_INIT;
Entry* g_first = nullptr;

Entry* EntryOf(DWORD thread) {
  Entry* e = g_first;
  while (e != nullptr && e->thread != thread) e = e->next;
  return e;
}

}  // namespace

ThreadRegistry::Lock::Lock() : lock_(g_lock) {}

ThreadState* ThreadRegistry::Find(const Lock&, DWORD thread) noexcept {
  Entry* e = thread != kSpare ? EntryOf(thread) : nullptr;
  return e != nullptr ? &e->state : nullptr;
}

ThreadState* ThreadRegistry::FindOrAdd(const Lock& lock, DWORD thread) noexcept {
  if (ThreadState* state = Find(lock, thread)) return state;
  Entry* e = EntryOf(kSpare);
  if (e == nullptr) {
    e = new (std::nothrow) Entry;
    if (e == nullptr) return nullptr;
    e->next = g_first;
    g_first = e;
  }
  e->thread = thread;
  e->state = ThreadState();
  return &e->state;
}

void ThreadRegistry::Prune(const Lock&, DWORD thread) noexcept {
  Entry* e = thread != kSpare ? EntryOf(thread) : nullptr;
  if (e != nullptr && e->state.Empty()) e->thread = kSpare;
}

void ThreadRegistry::FreeSpareEntries() noexcept {
  ExclusiveLock lock(g_lock);
  Entry** link = &g_first;
  while (*link != nullptr) {
    Entry* e = *link;
    if (e->thread == kSpare) {
      *link = e->next;
      delete e;
    } else {
      link = &e->next;
    }
  }
}

}  // namespace quillon
