// quillon serve: a stand-in for the cache server process, for trying displays without it.
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "cache_tool.h"
#include "command.h"
#include "control/control_environment.h"
#include "stand_in_server.h"

namespace quillon::tool {
namespace {

constexpr const char* kUsage = "serve [--cache FILE] [--values FILE] [--once] [--duration SECONDS]";
constexpr int kPassMilliseconds = 200;

bool ParseSeconds(const std::string& text, double* seconds) {
  char* end = nullptr;
  *seconds = std::strtod(text.c_str(), &end);
  return !text.empty() && *end == '\0' && *seconds > 0 && *seconds < 1e7;
}

// The file as the library finds it: under the installation path of the registry.
bool LibraryCachePath(ControlEnvironment& platform, Text* path) {
  FctCache& cache = platform.shared().cache();
  const bool open = cache.fctOuvrirCache() == 0;
  *path = cache.FilePath();
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

int Run(const std::vector<std::string>& args) {
  std::string error;
  const auto options =
      ParseOptions(args, {"--cache", "--values", "--duration"}, {"--once"}, &error);
  if (!options) return UsageError(error + " (usage: quillon " + kUsage + ")");
  if (!options->positional.empty()) return UsageError(std::string("usage: quillon ") + kUsage);
  double duration = 0;
  if (const auto d = options->Value("--duration"); d && !ParseSeconds(*d, &duration)) {
    return UsageError("--duration wants a number of seconds greater than 0");
  }
  ValueTable values;
  if (const auto file = options->Value("--values")) {
    std::string bytes;
    if (!ReadWholeFile(*file, &bytes, &error)) return Fail(1, error);
    if (!ParseValueTable(bytes, &values, &error)) return Fail(1, *file + ": " + error);
  }

  ControlEnvironment platform;
  Text path;
  if (const auto cache = options->Value("--cache")) {
    path = FromUtf8(*cache);
  } else if (!LibraryCachePath(platform, &path)) {
    return Fail(1, "cannot open " + ToUtf8(path));
  }
  StandInServer server(platform.files(), platform.clock(), platform.code_page(), path);
  server.SetValues(std::move(values));
  return Serve(server, platform.clock(), options->Has("--once"), duration);
}

const Command kCmd{"serve", kUsage, &Run};

}  // namespace
}  // namespace quillon::tool
