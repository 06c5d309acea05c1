#include "package/thread_environment.h"

#include <new>
#include <vector>

#include "HN_QuillonPD_h.h"
#include "package/module.h"

namespace quillon {
namespace {

// The calling thread's environment; a plain pointer, so the thread needs no clean-up.
thread_local ThreadEnvironment* t_environment = nullptr;

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
  std::vector<wchar_t> path(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameW(ModuleHandle(), path.data(), path.size());
    if (n == 0) return HRESULT_FROM_WIN32(GetLastError());
    if (n < path.size()) break;
    if (path.size() >= 32768) return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    path.resize(path.size() * 2);
  }
  HRESULT hr = LoadTypeLibEx(path.data(), REGKIND_NONE, &library_);
  if (FAILED(hr)) return hr;
  hr = library_->GetTypeInfoOfGuid(IID__QuillonPD, &infos_[kDispatch]);
  if (FAILED(hr)) return hr;
  // A dual interface's dispatch description refers to its table of operations as -1.
  HREFTYPE table = 0;
  hr = infos_[kDispatch]->GetRefTypeOfImplType(-1, &table);
  if (SUCCEEDED(hr)) hr = infos_[kDispatch]->GetRefTypeInfo(table, &infos_[kInterface]);
  if (FAILED(hr)) return hr;
  return library_->GetTypeInfoOfGuid(CLSID_QuillonPD, &infos_[kClass]);
}

// --- ThreadEnvironment --------------------------------------------------------------------

ThreadEnvironment* ThreadEnvironment::Acquire() noexcept {
  ThreadEnvironment* env = t_environment;
  if (env == nullptr) {
    try {
      env = new ThreadEnvironment(&t_environment);
    } catch (...) {
      return nullptr;
    }
    t_environment = env;
  }
  ++env->uses_;
  return env;
}

void ThreadEnvironment::Release() noexcept {
  if (--uses_ > 0) return;
  // The slot belongs to the thread that made the environment, even when an ill-behaved
  // client releases its last control on another thread.
  *slot_ = nullptr;
  delete this;
}

ThreadEnvironment::ThreadEnvironment(ThreadEnvironment** slot)
    : slot_(slot), locale_(NewPlatformLocale()), formatter_(NewPlatformFormatter(*locale_)) {}

ThreadEnvironment::~ThreadEnvironment() {
  try {
    platform_.shared().fctFermerCache();
  } catch (...) {
  }
}

}  // namespace quillon
