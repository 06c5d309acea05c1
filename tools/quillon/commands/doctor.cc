// quillon doctor: what a control on this machine would use, and whether it works.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "cache/record.h"
#include "command.h"
#include "platform/code_page.h"
#include "platform/echo_api.h"
#include "platform/file_system.h"
#include "platform/registry_api.h"
#include "services/fct_ping.h"
#include "services/registre_pd.h"

namespace quillon::tool {
namespace {

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

bool TracingOn() {
  const char* v = std::getenv("QUILLON_TRACE");
  return v != nullptr && std::string(v) != "0";
}

// The installation path as the cache reads it; empty when it cannot be read.
Text ShowInstallPath(RegistrePD& registre) {
  RegValue valeur = Text();
  const int32_t rc =
      registre.LireValeurRegistre(static_cast<int32_t>(kHkeyLocalMachine),
                                  u"SOFTWARE\\Halvorn\\Pondral", u"Chemin PD", valeur, u"");
  const Text path = std::holds_alternative<int32_t>(valeur) ? NumberText(std::get<int32_t>(valeur))
                                                            : std::get<Text>(valeur);
  if (rc == 0) {
    std::printf("Installation path: %s\n", ToUtf8(path).c_str());
  } else {
    std::printf("Installation path: not read, result %d (%s)\n", rc, ResultMeaning(rc));
  }
  return path;
}

bool ShowCacheFile(FileSystem& fs, const Text& install_path) {
  const Text path = CacheFilePath(install_path);
  std::printf("Cache file: %s\n", ToUtf8(path).c_str());
  const auto file = fs.OpenShared(path);
  std::printf("Cache file opens: %s\n", file ? "yes" : "no");
  if (!file) return false;
  int64_t length = 0;
  if (file->Length(&length)) {
    std::printf("Records: %lld (%lld bytes)\n", static_cast<long long>(RecordCount(length)),
                static_cast<long long>(length));
  } else {
    std::printf("Records: unknown (length query failed)\n");
  }
  return true;
}

void ShowPing(EchoApi& echo, CodePage& code_page, const std::string& address) {
  PingPD ping(echo, code_page);
  const auto start = std::chrono::steady_clock::now();
  const int32_t rc = TesterPing(ping, FromUtf8(address), 3);
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  std::printf("Ping %s: %s (result %d, 3 repeats, %.3f s)\n", address.c_str(), PingMeaning(rc), rc,
              took.count());
}

int Run(const std::vector<std::string>& args) {
  std::optional<std::string> ping_address;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--ping" && i + 1 < args.size() && !args[i + 1].empty()) {
      ping_address = args[++i];
    } else if (args[i] == "--ping") {
      return UsageError("--ping needs an address");
    } else {
      return UsageError("doctor: unexpected argument '" + args[i] + "'");
    }
  }
  const auto registry = NewPlatformRegistryApi();
  const auto echo = NewPlatformEchoApi();
  const auto code_page = NewPlatformCodePage();
  const auto fs = NewPlatformFileSystem();
  RegistrePD registre(*registry, *code_page, *echo);
  const Text install_path = ShowInstallPath(registre);
  const bool opens = ShowCacheFile(*fs, install_path);
  std::printf("Tracing: %s\n", TracingOn() ? "on (QUILLON_TRACE)" : "off");
  if (ping_address) ShowPing(*echo, *code_page, *ping_address);
  std::fflush(stdout);
  return opens ? 0 : 1;
}

const Command kCmd{"doctor", "doctor [--ping ADDRESS]", &Run};

}  // namespace
}  // namespace quillon::tool
