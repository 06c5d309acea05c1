#include "cache/shared_cache.h"

namespace quillon {

SharedCache::SharedCache(const CacheEnvironment& env)
    : trace_(env.files, env.clock, env.code_page, env.trace_active),
      cache_(env.files, env.clock, env.code_page, trace_, env.registry),
      fct_(cache_, env.clock) {}

// No exception leaves the module: a call that fails keeps its default result.
void SharedCache::fctDemanderLectNTF(const Text& ntf, int32_t poll_time) noexcept {
  fctDemanderLectNTF(ntf, poll_time, nullptr);
}

void SharedCache::fctDemanderLectNTF(const Text& ntf, int32_t poll_time,
                                     const PointHint* hint) noexcept {
  try {
    fct_.fctDemanderLectNTF(ntf, poll_time, hint);
  } catch (...) {
  }
}

void SharedCache::EndBurst() noexcept {
  try {
    fct_.EndBurst();
  } catch (...) {
  }
}

void SharedCache::fctFermerCache() noexcept {
  try {
    fct_.fctFermerCache();
  } catch (...) {
  }
}

bool SharedCache::PointRecord(const Text& ntf, EnregCache* record) noexcept {
  return PointRecord(ntf, record, nullptr);
}

bool SharedCache::PointRecord(const Text& ntf, EnregCache* record, PointHint* hint) noexcept {
  try {
    return cache_.PointRecord(ntf, record, hint);
  } catch (...) {
    MakeEmpty(record);
    return false;
  }
}

}  // namespace quillon
