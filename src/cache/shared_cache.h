// The value cache state of one process (or of one thread that runs controls): modules
// fctCache and Fct over one trace log, behind the interface the controls use.
#pragma once

#include <memory>

#include "cache/cache_services.h"
#include "cache/fct.h"
#include "cache/fct_cache.h"
#include "platform/clock.h"
#include "platform/code_page.h"
#include "platform/echo_api.h"
#include "platform/file_system.h"
#include "platform/registry_api.h"
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

  EnregCache GetData(const Text& ntf) noexcept override;
  void fctDemanderLectNTF(const Text& ntf, int32_t poll_time) noexcept override;
  void fctFermerCache() noexcept override;
  EnregCache PointRecord(const Text& ntf) noexcept override;

  FctCache& cache() { return cache_; }
  Fct& fct() { return fct_; }
  TraceLogConditionnel& trace() { return trace_; }

 private:
  TraceLogConditionnel trace_;
  FctCache cache_;
  Fct fct_;
};

// The platform seams and the cache state over them, as the library builds them for a
// thread that runs controls; the trace switch comes from QUILLON_TRACE.
class PlatformCache {
 public:
  PlatformCache();
  PlatformCache(const PlatformCache&) = delete;
  PlatformCache& operator=(const PlatformCache&) = delete;

  SharedCache& shared() { return *shared_; }
  FileSystem& files() { return *files_; }
  Clock& clock() { return *clock_; }
  CodePage& code_page() { return *code_page_; }
  RegistrePD& registry() { return *registry_; }

 private:
  std::unique_ptr<FileSystem> files_;
  std::unique_ptr<Clock> clock_;
  std::unique_ptr<CodePage> code_page_;
  std::unique_ptr<RegistryApi> registry_api_;
  std::unique_ptr<EchoApi> echo_api_;
  std::unique_ptr<RegistrePD> registry_;
  std::unique_ptr<SharedCache> shared_;
};

}  // namespace quillon
