// What a control needs of the process's shared value cache.
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

  // The record held for a point, or the empty record; may belong to another point.
  virtual EnregCache GetData(const Text& ntf) = 0;
  // The record of this point (the file opened when closed, the reference in its stored
  // form, the stored one compared trimmed and exactly), or the empty record.
  virtual EnregCache PointRecord(const Text& ntf) = 0;
  // Queues a forced read of a point with a refresh code and flushes at most once a second.
  virtual void fctDemanderLectNTF(const Text& ntf, int32_t poll_time) = 0;
  // Closes the shared cache file and drops the pending requests.
  virtual void fctFermerCache() = 0;
};

}  // namespace quillon
