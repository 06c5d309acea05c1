// quillon find: looks a point up as a control does, in a file opened for reading only, and
// prints its record.
#include <cstdio>

#include "cache_tool.h"
#include "command.h"
#include "control/control_environment.h"

namespace quillon::tool {
namespace {

constexpr const char* kUsage = "find --cache FILE NTF";

int Run(const std::vector<std::string>& args) {
  std::string error;
  const auto options = ParseOptions(args, {"--cache"}, {}, &error);
  if (!options) return UsageError(error + " (usage: quillon " + kUsage + ")");
  const auto path = options->Value("--cache");
  if (!path || options->positional.size() != 1) {
    return UsageError(std::string("usage: quillon ") + kUsage);
  }
  ControlEnvironment platform;  // a fresh process-wide state: the index starts empty
  FctCache& cache = platform.shared().cache();
  const auto ntf = StorableReference(options->positional[0], cache, platform.code_page(), &error);
  if (!ntf) return Fail(1, error);
  cache.UseFile(FromUtf8(*path));
  cache.ReadOnly();
  if (cache.fctOuvrirCache() != 0) return Fail(1, "cannot open " + *path + " for reading");
  const EnregCache record = cache.PointRecord(*ntf);
  const auto slot = cache.IndexEntry(NormaliseReference(*ntf));
  if (!slot || record == EnregCache()) return Fail(1, "not found");
  std::fputs((TsvHeader() + TsvLine(*slot, record)).c_str(), stdout);
  return 0;
}

const Command kCmd{"find", kUsage, &Run};

}  // namespace
}  // namespace quillon::tool
