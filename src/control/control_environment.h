// What the controls of one thread share: the platform seams, the locale and its formatting,
// and the value cache state over them. A COM class factory makes one for each thread that
// creates controls; the quillon tool, the benchmarks and the fuzz targets make theirs here
// too, so that every control runs on the same wiring.
#pragma once

#include <memory>
#include <optional>

#include "cache/shared_cache.h"
#include "control/quillon_pd.h"
#include "control/tick_board.h"
#include "platform/clock.h"
#include "platform/code_page.h"
#include "platform/echo_api.h"
#include "platform/file_system.h"
#include "platform/formatter.h"
#include "platform/locale.h"
#include "platform/registry_api.h"
#include "services/registre_pd.h"

namespace quillon {

// The seams an environment is built on; each one left empty is the platform's own.
struct EnvironmentSeams {
  std::unique_ptr<FileSystem> files;
  std::unique_ptr<Clock> clock;
  std::unique_ptr<CodePage> code_page;
  std::unique_ptr<RegistryApi> registry_api;
  std::unique_ptr<EchoApi> echo;
  std::unique_ptr<Locale> locale;        // empty: the user's locale
  std::unique_ptr<Formatter> formatter;  // empty: the platform's formatting under `locale`
  std::optional<bool> trace_active;      // unset: QUILLON_TRACE switches the trace on
};

class ControlEnvironment {
 public:
  // Everything the platform's own.
  ControlEnvironment();
  explicit ControlEnvironment(EnvironmentSeams seams);
  ControlEnvironment(const ControlEnvironment&) = delete;
  ControlEnvironment& operator=(const ControlEnvironment&) = delete;

  // What a QuillonPD of this thread is created with; valid while the environment lives.
  ControlServices services();

  SharedCache& shared() { return *shared_; }
  FileSystem& files() { return *seams_.files; }
  Clock& clock() { return *seams_.clock; }
  CodePage& code_page() { return *seams_.code_page; }
  EchoApi& echo() { return *seams_.echo; }
  RegistrePD& registry() { return *registry_; }
  Locale& locale() { return *seams_.locale; }
  Formatter& formatter() { return *seams_.formatter; }
  // When each of the thread's controls next has something to do on a tick.
  TickBoard& ticks() { return ticks_; }

 private:
  EnvironmentSeams seams_;  // every seam set
  std::unique_ptr<RegistrePD> registry_;
  std::unique_ptr<SharedCache> shared_;
  RecordStorage records_;
  TickBoard ticks_;
};

}  // namespace quillon
