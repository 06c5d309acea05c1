#include "package/thread_environment.h"

#include <new>
#include <string>

#include "HN_QuillonPD_h.h"
#include "package/thread_registry.h"
#include "platform/win32/this_module.h"

namespace quillon {

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
    ThreadRegistry::Lock lock;
    ThreadState* state = ThreadRegistry::Find(lock, thread);
    if (state != nullptr && state->environment != nullptr) {
      ++state->environment_uses;
      return state->environment;
    }
  }
  // Only this thread makes an environment for itself, so none can appear meanwhile.
  ThreadEnvironment* env = nullptr;
  try {
    env = new ThreadEnvironment(thread);
  } catch (...) {
    return nullptr;
  }
  {
    ThreadRegistry::Lock lock;
    if (ThreadState* state = ThreadRegistry::FindOrAdd(lock, thread)) {
      state->environment = env;
      state->burst = env;
      state->environment_uses = 1;
      return env;
    }
  }
  delete env;
  return nullptr;
}

void ThreadEnvironment::Release() noexcept {
  {
    ThreadRegistry::Lock lock;
    ThreadState* state = ThreadRegistry::Find(lock, thread_);
    if (--state->environment_uses > 0) return;
    state->environment = nullptr;
    state->burst = nullptr;
    ThreadRegistry::Prune(lock, thread_);
  }
  delete this;
}

ThreadEnvironment::ThreadEnvironment(DWORD thread) : thread_(thread) {}

ThreadEnvironment::~ThreadEnvironment() { control_.shared().fctFermerCache(); }

}  // namespace quillon
