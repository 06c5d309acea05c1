// quillon find: looks a point up as a control does, in a file opened for reading only, and
// prints its record.
#include <cstdio>
#include <memory>

#include "cache_file.h"
#include "cache_tool.h"
#include "command.h"
#include "control/control_environment.h"

namespace quillon::tool {
namespace {
namespace find_command {

struct FindOptions {
  std::string cache;
  std::string ntf;
};

int Run(const FindOptions& options) {
  std::string error;  // a FIFO would block the open: only a regular file is opened
  if (!CheckRegularFile(options.cache, false, &error)) return Fail(1, error);
  ControlEnvironment platform;  // a fresh process-wide state: the index starts empty
  FctCache& cache = platform.shared().cache();
  const auto ntf = StorableReference(options.ntf, cache, platform.code_page(), &error);
  if (!ntf) return Fail(1, error);
  cache.UseFile(FromUtf8(options.cache));
  cache.ReadOnly();
  if (cache.fctOuvrirCache() != 0) return Fail(1, "cannot open " + options.cache + " for reading");
  const EnregCache record = cache.PointRecord(*ntf);
  const auto slot = cache.IndexEntry(NormaliseReference(*ntf));
  if (!slot || record == EnregCache()) return Fail(1, "not found");
  std::fputs((TsvHeader() + TsvLine(*slot, record)).c_str(), stdout);
  return 0;
}

CommandBody Setup(CLI::App& app) {
  auto o = std::make_shared<FindOptions>();
  app.add_option("NTF", o->ntf, "the point reference, Noeud:Tag.Field")->required()->type_name("");
  app.add_option("--cache", o->cache, "the cache file to read (a regular file)")
      ->required()
      ->type_name("FILE")
      ->check(kNotEmpty);
  return [o] { return Run(*o); };
}

const Command kCmd{"find",
                   "look a point up as a display control does and print its record as "
                   "tab-separated lines (exit 1 when it is not found)",
                   &Setup};

}  // namespace find_command
}  // namespace
}  // namespace quillon::tool
