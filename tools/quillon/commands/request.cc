// quillon request: one forced read of a point through the path a control takes, then the
// point's record as the cache holds it.
#include <cstdio>

#include "cache_tool.h"
#include "command.h"
#include "control/control_environment.h"

namespace quillon::tool {
namespace {

constexpr const char* kUsage = "request NTF [--poll CODE] [--cache FILE]";

int Run(const std::vector<std::string>& args) {
  std::string error;
  const auto options = ParseOptions(args, {"--poll", "--cache"}, {}, &error);
  if (!options) return UsageError(error + " (usage: quillon " + kUsage + ")");
  if (options->positional.size() != 1) return UsageError(std::string("usage: quillon ") + kUsage);
  const auto poll = ParsePollTime(options->Value("--poll").value_or("Minute_01"));
  if (!poll) {
    return UsageError("--poll wants an E_POLLTIME value or name such as Seconde_10 or 90");
  }
  ControlEnvironment platform;  // the state a control's library builds
  SharedCache& shared = platform.shared();
  // Refused before the file is opened: it stays as it is (or missing).
  const auto ntf =
      StorableReference(options->positional[0], shared.cache(), platform.code_page(), &error);
  if (!ntf) return Fail(1, error);
  if (const auto path = options->Value("--cache")) shared.cache().UseFile(FromUtf8(*path));
  CacheServices& services = shared;
  services.PointRecord(*ntf);  // a control reads its point, then asks for a forced read
  services.fctDemanderLectNTF(*ntf, *poll);

  FctCache& cache = shared.cache();
  const EnregCache record = cache.PointRecord(*ntf);
  const auto slot = cache.IndexEntry(NormaliseReference(*ntf));
  if (!slot || record == EnregCache()) {
    return Fail(1, "cannot write the request into " + ToUtf8(cache.FilePath()));
  }
  std::fputs((TsvHeader() + TsvLine(*slot, record)).c_str(), stdout);
  return 0;
}

const Command kCmd{"request", kUsage, &Run};

}  // namespace
}  // namespace quillon::tool
