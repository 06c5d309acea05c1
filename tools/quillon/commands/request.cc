// quillon request: one forced read of a point through the path a control takes, then the
// point's record as the cache holds it.
#include <cstdio>
#include <memory>

#include "cache_file.h"
#include "cache_tool.h"
#include "command.h"
#include "control/control_environment.h"

namespace quillon::tool {
namespace {
namespace request_command {

struct RequestOptions {
  std::string ntf;
  std::string poll = "Minute_01";
  std::string cache;
};

int Run(const RequestOptions& options) {
  const auto poll = ParsePollTime(options.poll);
  if (!poll) {
    return UsageError("--poll wants an E_POLLTIME value or name such as Seconde_10 or 90");
  }
  std::string error;  // a missing file is created, as a control creates it
  if (!options.cache.empty() && !CheckRegularFile(options.cache, true, &error)) {
    return Fail(1, error);
  }
  ControlEnvironment platform;  // the state a control's library builds
  SharedCache& shared = platform.shared();
  // Refused before the file is opened: it stays as it is (or missing).
  const auto ntf = StorableReference(options.ntf, shared.cache(), platform.code_page(), &error);
  if (!ntf) return Fail(1, error);
  if (!options.cache.empty()) shared.cache().UseFile(FromUtf8(options.cache));
  CacheServices& services = shared;
  services.PointRecord(*ntf);  // a control reads its point, then asks for a forced read
  services.fctDemanderLectNTF(*ntf, *poll);

  FctCache& cache = shared.cache();
  const EnregCache record = cache.PointRecord(*ntf);
  const auto slot = cache.IndexEntry(NormaliseReference(*ntf));
  if (!slot || record == EnregCache()) {
    return Fail(1, "cannot write the request into " + ShowCachePath(cache));
  }
  std::fputs((TsvHeader() + TsvLine(*slot, record)).c_str(), stdout);
  return 0;
}

CommandBody Setup(CLI::App& app) {
  auto o = std::make_shared<RequestOptions>();
  app.add_option("NTF", o->ntf, "the point reference, Noeud:Tag.Field")->required()->type_name("");
  app.add_option("--poll", o->poll,
                 "the refresh code wanted: a value such as 90 or a name such as Seconde_10 "
                 "(default Minute_01)")
      ->type_name("CODE");
  app.add_option("--cache", o->cache,
                 "the cache file, created when missing (default: the one a control uses, under "
                 "the installation path)")
      ->type_name("FILE")
      ->check(kNotEmpty);
  return [o] { return Run(*o); };
}

const Command kCmd{"request",
                   "make one forced read of a point through a display control's own code path, "
                   "then print the point's record",
                   &Setup};

}  // namespace request_command
}  // namespace
}  // namespace quillon::tool
