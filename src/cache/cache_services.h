// What a control needs of the process's shared value cache. No call throws: a lookup that
// fails gives the empty record, and a request or a close that fails is absorbed (the cache
// traces it), as a control expects of the cache.
#pragma once

#include <cstdint>

#include "cache/record.h"
#include "common/text.h"

namespace quillon {

class CacheServices {
 public:
  CacheServices() = default;
  CacheServices(const CacheServices&) = delete;
  CacheServices& operator=(const CacheServices&) = delete;
  virtual ~CacheServices() = default;

  // The record of this point (the file opened when closed, the reference in its stored
  // form, the stored one compared trimmed and exactly); the empty record when there is none
  // or the cache cannot be read.
  // Reads into `record`, reusing its storage; true when the point's record was found.
  virtual bool PointRecord(const Text& ntf, EnregCache* record) noexcept = 0;
  EnregCache PointRecord(const Text& ntf) noexcept {
    EnregCache record;
    PointRecord(ntf, &record);
    return record;
  }
  // Queues a forced read of a point with a refresh code and flushes at most once a second;
  // never fails towards the caller.
  virtual void fctDemanderLectNTF(const Text& ntf, int32_t poll_time) noexcept = 0;
  // Closes the shared cache file and drops the pending requests; never fails towards the
  // caller.
  virtual void fctFermerCache() noexcept = 0;
};

}  // namespace quillon
