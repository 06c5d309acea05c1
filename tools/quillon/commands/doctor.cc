// quillon doctor: what a control on this machine would use, and whether it works.
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cache_tool.h"
#include "command.h"
#include "control/control_environment.h"
#include "services/tester_ping.h"
#include "services/registre_pd.h"

namespace quillon::tool {
namespace {
namespace doctor_command {

const char* ResultMeaning(int32_t code) {
  switch (code) {
    case 1:
      return "machine not reachable";
    case -1:
      return "value type not handled";
    case 2:
      return "key or value not found";
    case 5:
      return "access denied";
    case 6:
      return "invalid handle";
    case 53:
      return "network path not found";
    case 126:
      return "registry library not found";
    case 127:
      return "registry function not found";
    case 234:
      return "value larger than its buffer";
    default:
      return "platform error";
  }
}

const char* PingMeaning(int32_t code) {
  switch (code) {
    case kPingJoignable:
      return "reachable";
    case kPingInjoignable:
      return "not reachable";
    default:
      return "sockets service did not start";
  }
}

// The installation path as the cache reads it, or why it cannot be read.
void ShowInstallPath(RegistrePD& registre) {
  RegValue valeur = Text();
  const int32_t rc =
      registre.LireValeurRegistre(kCleRacineInstall, kCleInstall, kValeurInstall, valeur, u"");
  const Text path = std::holds_alternative<int32_t>(valeur) ? NumberText(std::get<int32_t>(valeur))
                                                            : std::get<Text>(valeur);
  if (rc == 0) {
    std::printf("Installation path: %s\n", ToUtf8(path).c_str());
  } else {
    std::printf("Installation path: not read, result %d (%s)\n", rc, ResultMeaning(rc));
  }
}

// Finds and opens the cache file as a control does (the same process-wide cache state), but
// for reading only: a missing file is not created.
bool ShowCacheFile(FctCache& cache) {
  cache.ReadOnly();
  const bool opens = cache.fctOuvrirCache() == 0;
  std::printf("Cache file: %s\n", ShowCachePath(cache).c_str());
  std::printf(
      "Cache file opens: %s\n",
      opens ? "yes" : "no (missing or unreadable; a control creates it in an existing folder)");
  if (opens) std::printf("Records: %d\n", cache.RecordCountOfFile());
  return opens;
}

void ShowPing(EchoApi& echo, CodePage& code_page, const std::string& address) {
  PingPD ping(echo, code_page);
  const auto start = std::chrono::steady_clock::now();
  const int32_t rc = TesterPing(ping, FromUtf8(address), 3);
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  std::printf("Ping %s: %s (result %d, 3 repeats, %.3f s)\n", address.c_str(), PingMeaning(rc), rc,
              took.count());
}

int Run(const std::string& ping_address) {
  ControlEnvironment platform;
  ShowInstallPath(platform.registry());
  const bool opens = ShowCacheFile(platform.shared().cache());
  std::printf("Tracing: %s\n",
              platform.shared().trace().blnTraceActive() ? "on (QUILLON_TRACE)" : "off");
  if (!ping_address.empty()) ShowPing(platform.echo(), platform.code_page(), ping_address);
  std::fflush(stdout);
  return opens ? 0 : 1;
}

CommandBody Setup(CLI::App& app) {
  auto address = std::make_shared<std::string>();
  app.add_option("--ping", *address,
                 "also probe a dotted IPv4 address with ICMP echoes, as the registry reader does "
                 "before it reads another machine's registry")
      ->type_name("ADDRESS")
      ->check(kNotEmpty);
  return [address] { return Run(*address); };
}

const Command kCmd{"doctor",
                   "show what a display control on this machine would use (installation path, "
                   "cache file, tracing) and whether it works; exit 1 when the cache file does "
                   "not open",
                   &Setup};

}  // namespace doctor_command
}  // namespace
}  // namespace quillon::tool
