// The value cache state of one process (or of one thread that runs controls): modules
// fctCache and Fct over one trace log, behind the interface the controls use.
#pragma once

#include "cache/cache_services.h"
#include "cache/fct.h"
#include "cache/fct_cache.h"
#include "platform/clock.h"
#include "platform/code_page.h"
#include "platform/file_system.h"
#include "services/registre_pd.h"
#include "services/trace_log.h"

namespace quillon {

// What the cache state works with; the seams must outlive it.
struct CacheEnvironment {
  FileSystem& files;
  Clock& clock;
  CodePage& code_page;
  RegistrePD& registry;
  bool trace_active = false;
};

class SharedCache final : public CacheServices {
 public:
  explicit SharedCache(const CacheEnvironment& env);

  void fctDemanderLectNTF(const Text& ntf, int32_t poll_time) noexcept override;
  void fctDemanderLectNTF(const Text& ntf, int32_t poll_time,
                          const PointHint* hint) noexcept override;
  void fctFermerCache() noexcept override;
  using CacheServices::PointRecord;
  bool PointRecord(const Text& ntf, EnregCache* record) noexcept override;
  bool PointRecord(const Text& ntf, EnregCache* record, PointHint* hint) noexcept override;

  // The ticks of the thread's controls that fall due together: their forced reads wait for
  // EndBurst and are forced from the records their displays read (Fct::BeginBurst).
  void BeginBurst() noexcept { fct_.BeginBurst(); }
  void EndBurst() noexcept;

  FctCache& cache() { return cache_; }
  Fct& fct() { return fct_; }
  TraceLogConditionnel& trace() { return trace_; }

 private:
  TraceLogConditionnel trace_;
  FctCache cache_;
  Fct fct_;
};

}  // namespace quillon
