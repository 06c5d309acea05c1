// quillon find: looks a point up as a control's GetData does and prints its record.
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
  std::string bytes;  // the library would create a missing file: check it is there first
  if (!ReadWholeFile(*path, &bytes, &error)) return Fail(1, error);

  ControlEnvironment platform;  // a fresh process-wide state: the index starts empty
  FctCache& cache = platform.shared().cache();
  cache.UseFile(FromUtf8(*path));
  if (cache.fctOuvrirCache() != 0) return Fail(1, "cannot open " + *path);
  const Text ntf = FromUtf8(options->positional[0]);
  const EnregCache record = cache.GetData(ntf);
  const auto slot = cache.IndexEntry(ntf);
  if (!slot || TrimSpaces(record.strRefNTF) != ntf) return Fail(1, "not found");
  std::fputs((TsvHeader() + TsvLine(*slot, record)).c_str(), stdout);
  return 0;
}

const Command kCmd{"find", kUsage, &Run};

}  // namespace
}  // namespace quillon::tool
