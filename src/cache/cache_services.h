// What a control needs of the process's shared value cache. No call throws: a lookup that
// fails gives the empty record, and a request or a close that fails is absorbed (the cache
// traces it), as a control expects of the cache.
#pragma once

#include <cstdint>
#include <string>

#include "cache/record.h"
#include "common/text.h"

namespace quillon {

// What the cache learnt of a point at a caller's last lookup, kept by the caller and handed
// back at its next one: while the point index has not changed since, it stands for the index
// lookup (the record it names is checked as always). Filled and read by the cache only.
struct PointHint {
  Text ntf;                    // the reference as the caller gave it
  uint64_t index_version = 0;  // the index's version when made; 0: none
  int32_t n = 0;               // the index entry of the point; 0: none
  bool has_ansi = false;       // the entry holds the reference's exact ANSI bytes:
  std::string ansi;            // these
};

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
  // The same with the caller's hint of the point, updated for its next call.
  virtual bool PointRecord(const Text& ntf, EnregCache* record, PointHint*) noexcept {
    return PointRecord(ntf, record);
  }
  // Queues a forced read of a point with a refresh code and flushes at most once a second;
  // never fails towards the caller.
  virtual void fctDemanderLectNTF(const Text& ntf, int32_t poll_time) noexcept = 0;
  // The same with the hint that the caller's PointRecord just before left.
  virtual void fctDemanderLectNTF(const Text& ntf, int32_t poll_time, const PointHint*) noexcept {
    fctDemanderLectNTF(ntf, poll_time);
  }
  // Closes the shared cache file and drops the pending requests; never fails towards the
  // caller.
  virtual void fctFermerCache() noexcept = 0;
};

}  // namespace quillon
