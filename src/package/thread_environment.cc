#include "package/thread_environment.h"

#include <new>
#include <string>

#include "HN_QuillonPD_h.h"
#include "package/exclusive_lock.h"
#include "platform/win32/this_module.h"

namespace quillon {
namespace {

// The environments of the threads that have live controls. The lock is taken only when a
// control is made or destroyed; nothing is left to clean up when the library is unloaded
// or a thread ends.
SRWLOCK g_lock = SRWLOCK_INIT;
ThreadEnvironment* g_first = nullptr;

}  // namespace

// --- TypeInfoCache ------------------------------------------------------------------------

TypeInfoCache::~TypeInfoCache() {
  for (ITypeInfo* info : infos_) {
    if (info != nullptr) info->Release();
  }
  if (library_ != nullptr) library_->Release();
}

HRESULT TypeInfoCache::Get(Kind kind, ITypeInfo** out) {
  if (loaded_ == S_FALSE) loaded_ = Load();
  *out = SUCCEEDED(loaded_) ? infos_[kind] : nullptr;
  return loaded_;
}

// The library's own file holds the type library as resource "TYPELIB" 1; REGKIND_NONE reads
// it without touching the registry.
HRESULT TypeInfoCache::Load() {
  const std::wstring path = ThisModulePath();
  if (path.empty()) return HRESULT_FROM_WIN32(GetLastError());
  HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library_);
  if (FAILED(hr)) return hr;
  hr = library_->GetTypeInfoOfGuid(IID__QuillonPD, &infos_[kDispatch]);
  if (FAILED(hr)) return hr;
  // A dual interface's dispatch description refers to its table of operations as -1.
  HREFTYPE table = 0;
  hr = infos_[kDispatch]->GetRefTypeOfImplType(-1, &table);
  if (SUCCEEDED(hr)) hr = infos_[kDispatch]->GetRefTypeInfo(table, &infos_[kInterface]);
  if (SUCCEEDED(hr)) hr = shapes_.Load(infos_[kInterface]);
  if (FAILED(hr)) return hr;
  return library_->GetTypeInfoOfGuid(CLSID_QuillonPD, &infos_[kClass]);
}

// --- ThreadEnvironment --------------------------------------------------------------------

ThreadEnvironment* ThreadEnvironment::Acquire() noexcept {
  const DWORD thread = GetCurrentThreadId();
  {
    ExclusiveLock lock(g_lock);
    for (ThreadEnvironment* env = g_first; env != nullptr; env = env->next_) {
      if (env->thread_ == thread) {
        ++env->uses_;
        return env;
      }
    }
  }
  // Only this thread makes an environment for itself, so none can appear meanwhile.
  ThreadEnvironment* env = nullptr;
  try {
    env = new ThreadEnvironment(thread);
  } catch (...) {
    return nullptr;
  }
  ExclusiveLock lock(g_lock);
  env->uses_ = 1;
  env->next_ = g_first;
  g_first = env;
  return env;
}

void ThreadEnvironment::Release() noexcept {
  {
    ExclusiveLock lock(g_lock);
    if (--uses_ > 0) return;
    ThreadEnvironment** link = &g_first;
    while (*link != this) link = &(*link)->next_;
    *link = next_;
  }
  delete this;
}

ThreadEnvironment::ThreadEnvironment(DWORD thread) : thread_(thread) {}

ThreadEnvironment::~ThreadEnvironment() { control_.shared().fctFermerCache(); }

}  // namespace quillon
