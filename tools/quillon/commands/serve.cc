// quillon serve: a stand-in for the cache server process, for trying displays without it.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "cache_file.h"
#include "cache_tool.h"
#include "command.h"
#include "control/control_environment.h"
#include "stand_in_server.h"

namespace quillon::tool {
namespace {
namespace serve_command {

constexpr int kPassMilliseconds = 200;
// A values file lists points, one short line each: far below this.
constexpr uint64_t kMaxValuesFile = uint64_t{256} << 20;

struct ServeOptions {
  std::string cache;
  std::string values;
  bool once = false;
  std::string duration;
};

bool ParseSeconds(const std::string& text, double* seconds) {
  char* end = nullptr;
  *seconds = std::strtod(text.c_str(), &end);
  return !text.empty() && *end == '\0' && *seconds > 0 && *seconds < 1e7;
}

// The file as the library finds it: under the installation path of the registry.
bool LibraryCachePath(ControlEnvironment& platform, Text* path, std::string* shown) {
  FctCache& cache = platform.shared().cache();
  const bool open = cache.fctOuvrirCache() == 0;
  *path = cache.FilePath();
  *shown = ShowCachePath(cache);
  cache.CloseFile();
  return open;
}

int Serve(StandInServer& server, Clock& clock, bool once, double duration) {
  const auto start = std::chrono::steady_clock::now();
  for (;;) {
    const int served = server.ServeOnce();
    if (served < 0) return Fail(1, "cannot open " + ToUtf8(server.cache_path()));
    if (served > 0 || once) {
      std::printf("served %d record%s\n", served, served == 1 ? "" : "s");
      std::fflush(stdout);
    }
    if (once) return 0;
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    if (duration > 0 && elapsed.count() >= duration) return 0;
    clock.Sleep(kPassMilliseconds);
  }
}

int Run(const ServeOptions& options) {
  double duration = 0;
  if (!options.duration.empty() && !ParseSeconds(options.duration, &duration)) {
    return UsageError("--duration wants a number of seconds greater than 0");
  }
  std::string error;
  ValueTable values;
  if (!options.values.empty()) {
    std::string bytes;
    if (!ReadSmallFile(options.values, kMaxValuesFile, &bytes, &error)) return Fail(1, error);
    if (!ParseValueTable(bytes, &values, &error)) return Fail(1, options.values + ": " + error);
  }

  if (!options.cache.empty() && !CheckRegularFile(options.cache, true, &error)) {
    return Fail(1, error);
  }
  ControlEnvironment platform;
  Text path = FromUtf8(options.cache);
  std::string shown;
  if (options.cache.empty() && !LibraryCachePath(platform, &path, &shown)) {
    return Fail(1, "cannot open " + shown);
  }
  StandInServer server(platform.files(), platform.clock(), platform.code_page(), path);
  server.SetValues(std::move(values));
  return Serve(server, platform.clock(), options.once, duration);
}

CommandBody Setup(CLI::App& app) {
  auto o = std::make_shared<ServeOptions>();
  app.add_option("--cache", o->cache,
                 "the cache file, created when missing (default: the one a control uses, under "
                 "the installation path)")
      ->type_name("FILE")
      ->check(kNotEmpty);
  app.add_option("--values", o->values,
                 "the values to serve, one line per point: reference, value and formatted value "
                 "separated by tabs (other points get simulated signals)")
      ->type_name("FILE")
      ->check(kNotEmpty);
  app.add_flag("--once", o->once, "serve one pass, print how many records it served and exit");
  app.add_option("--duration", o->duration,
                 "stop after this many seconds (default: run until "
                 "interrupted)")
      ->type_name("SECONDS");
  return [o] { return Run(*o); };
}

const Command kCmd{"serve",
                   "stand in for the cache server: fill the pending requests of the cache file in, "
                   "five times a second",
                   &Setup};

}  // namespace serve_command
}  // namespace
}  // namespace quillon::tool
