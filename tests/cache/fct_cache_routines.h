// The cache's routines by record number and by reference as given, which no control calls:
// built here on the cache's own steps for the tests and the fuzz targets that check the
// lookups against them. Traced as the cache traces them.
#pragma once

#include <cstdint>

#include "cache/cache_trace.h"
#include "cache/fct_cache.h"
#include "cache/record_codec.h"

namespace quillon::testing {

class FctCacheRoutines : public FctCache {
 public:
  using FctCache::FctCache;

  // Record N of the open file; the empty record when nothing can be read there.
  EnregCache fctLectureDansLeCache(int32_t n) {
    uint8_t bytes[kRecordSize];
    file().fctLectureDansLeCache(n, bytes);  // bytes that cannot be read stay zero
    return DecodeRecord(bytes, code_page());
  }
  // Writes at N > 0; with N = 0 takes the first free slot (under the slot lock) or appends,
  // and hands N back.
  void fctEcritureDansLeCache(const EnregCache& record, int32_t& n) {
    ForgetLastRead();
    CacheTrace(trace(), u"fctEcritureDansLeCache - début - Pos.", n);
    const Text trimmed = TrimSpaces(record.strRefNTF);
    uint8_t bytes[kRecordSize];
    EncodeRecord(record, code_page(), bytes);
    if (n != 0) {
      writer().WriteRecordAt(bytes, trimmed, n);
      IndexAdd(trimmed, n);
    } else if ((n = writer().WriteInFirstFreeSlot(bytes, trimmed)) != 0) {
      IndexAdd(trimmed, n);
    }
    CacheTrace(trace(), u"fctEcritureDansLeCache - fin");
  }
  // The verified record number of a point, or 0 (a stale index entry is removed).
  int32_t convertNTFToIndex(const Text& ntf) {
    ForgetLastRead();
    uint8_t bytes[kRecordSize];
    return FctCache::convertNTFToIndex(Reference(ntf), bytes);
  }
  // The record of a point through the index, else by a scan; the empty record when absent.
  EnregCache GetData(const Text& ntf) {
    ForgetLastRead();
    uint8_t bytes[kRecordSize];
    if (FctCache::GetData(Reference(ntf), bytes, nullptr) == 0) return EnregCache();
    return DecodeRecord(bytes, code_page());
  }

 private:
  StoredReference Reference(const Text& ntf) {
    StoredReference ref;
    FillReference(ntf, code_page(), &ref);
    return ref;
  }
};

}  // namespace quillon::testing
