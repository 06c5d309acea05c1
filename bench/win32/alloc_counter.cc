#include "alloc_counter.h"

#include <cstdlib>
#include <cstring>

// after windows.h
#include <objbase.h>

namespace quillon {
namespace {

uint64_t g_count = 0;

// The originals, filled in from the first module's import table.
LPVOID(WINAPI* g_heap_alloc)(HANDLE, DWORD, SIZE_T) = nullptr;
LPVOID(WINAPI* g_heap_realloc)(HANDLE, DWORD, LPVOID, SIZE_T) = nullptr;
LPVOID(WINAPI* g_co_task_mem_alloc)(SIZE_T) = nullptr;
void*(__cdecl* g_malloc)(size_t) = nullptr;
void*(__cdecl* g_calloc)(size_t, size_t) = nullptr;
void*(__cdecl* g_realloc)(void*, size_t) = nullptr;

LPVOID WINAPI CountedHeapAlloc(HANDLE heap, DWORD flags, SIZE_T size) {
  ++g_count;
  return g_heap_alloc(heap, flags, size);
}
LPVOID WINAPI CountedHeapReAlloc(HANDLE heap, DWORD flags, LPVOID p, SIZE_T size) {
  ++g_count;
  return g_heap_realloc(heap, flags, p, size);
}
LPVOID WINAPI CountedCoTaskMemAlloc(SIZE_T size) {
  ++g_count;
  return g_co_task_mem_alloc(size);
}
void* __cdecl CountedMalloc(size_t size) {
  ++g_count;
  return g_malloc(size);
}
void* __cdecl CountedCalloc(size_t n, size_t size) {
  ++g_count;
  return g_calloc(n, size);
}
void* __cdecl CountedRealloc(void* p, size_t size) {
  ++g_count;
  return g_realloc(p, size);
}

struct Redirect {
  const char* name;
  void** original;
  void* wrapper;
};

const Redirect kRedirects[] = {
    {"HeapAlloc", reinterpret_cast<void**>(&g_heap_alloc),
     reinterpret_cast<void*>(&CountedHeapAlloc)},
    {"RtlAllocateHeap", reinterpret_cast<void**>(&g_heap_alloc),
     reinterpret_cast<void*>(&CountedHeapAlloc)},
    {"HeapReAlloc", reinterpret_cast<void**>(&g_heap_realloc),
     reinterpret_cast<void*>(&CountedHeapReAlloc)},
    {"CoTaskMemAlloc", reinterpret_cast<void**>(&g_co_task_mem_alloc),
     reinterpret_cast<void*>(&CountedCoTaskMemAlloc)},
    {"malloc", reinterpret_cast<void**>(&g_malloc), reinterpret_cast<void*>(&CountedMalloc)},
    {"calloc", reinterpret_cast<void**>(&g_calloc), reinterpret_cast<void*>(&CountedCalloc)},
    {"realloc", reinterpret_cast<void**>(&g_realloc), reinterpret_cast<void*>(&CountedRealloc)},
};

void Patch(void** slot, void* value) {
  DWORD old = 0;
  VirtualProtect(slot, sizeof(void*), PAGE_READWRITE, &old);
  *slot = value;
  VirtualProtect(slot, sizeof(void*), old, &old);
}

}  // namespace

void CountAllocationsOf(HMODULE module) {
  auto* base = reinterpret_cast<uint8_t*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (dir.VirtualAddress == 0) return;
  for (auto* imp = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
       imp->Name != 0; ++imp) {
    if (imp->OriginalFirstThunk == 0) continue;
    auto* names = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + imp->OriginalFirstThunk);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + imp->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      const auto* by_name =
          reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      const char* name = reinterpret_cast<const char*>(by_name->Name);
      for (const Redirect& r : kRedirects) {
        if (std::strcmp(name, r.name) != 0) continue;
        void** slot = reinterpret_cast<void**>(&slots->u1.Function);
        if (*slot == r.wrapper) break;
        if (*r.original == nullptr) *r.original = *slot;
        Patch(slot, r.wrapper);
        break;
      }
    }
  }
  g_count = 0;
}

uint64_t AllocationCount() { return g_count; }

}  // namespace quillon
