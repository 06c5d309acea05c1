// Eight processes force reads of 200 points each, some points shared, while `quillon serve`
// serves them: every point ends up with exactly one record (a request skipped because the
// slot lock stayed busy is made again at the point's next read).
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <random>
#include <set>

#include "cache/fct_cache.h"
#include "cache_tools_support.h"
#include "platform/windows_1252.h"

namespace quillon::testing {
namespace {

constexpr int kProcesses = 8;
constexpr int kPoints = 200;
constexpr int kShared = 100;  // the first 100 of each process's points are shared by all
constexpr int kRounds = 4;
constexpr int kRereads = 30;  // at most 3 s of later reads

std::vector<std::string> PointsOf(int process) {
  std::vector<std::string> points;
  for (int k = 0; k < kPoints; ++k) {
    points.push_back(k < kShared
                         ? "S:Shared" + std::to_string(k) + ".PV"
                         : "P" + std::to_string(process) + ":T" + std::to_string(k) + ".PV");
  }
  std::shuffle(points.begin(), points.end(), std::mt19937(process));
  return points;
}

// One process hosting controls: its own cache state, forcing its points round after round.
[[noreturn]] void ForceReads(const std::string& file, int process) {
  auto files = NewPlatformFileSystem();
  auto clock = NewPlatformClock();
  Windows1252CodePage cp;
  auto registry_api = NewPlatformRegistryApi();
  auto echo = NewPlatformEchoApi();
  RegistrePD registry(*registry_api, cp, *echo);
  TraceLogConditionnel trace(*files, *clock, cp, false);
  FctCache cache(*files, *clock, cp, trace, registry);
  cache.UseFile(FromUtf8(file));
  const auto points = PointsOf(process);
  for (int round = 0; round < kRounds; ++round) {
    for (const auto& p : points) cache.cacheForcerLectNTF(FromUtf8(p), round % 2 ? 90 : 29);
  }
  // A request whose write found the slot lock busy is made again at the point's next read.
  for (int read = 0; read < kRereads; ++read) {
    int missing = 0;
    for (const auto& p : points) {
      if (cache.PointRecord(FromUtf8(p)).lngEtat != 0) continue;
      ++missing;
      cache.cacheForcerLectNTF(FromUtf8(p), 29);
    }
    if (missing == 0) break;
    clock->Sleep(100);
  }
  ::_exit(0);
}

pid_t Spawn(const std::function<void()>& child) {
  std::fflush(stdout);  // nothing buffered is written twice
  const pid_t pid = ::fork();
  if (pid == 0) child();
  return pid;
}

class ReliabilityTest : public ToolTest {};

TEST_F(ReliabilityTest, EveryPointHasExactlyOneRecord) {
  const std::string file = Path("cache.dat");
  WriteFile(file, "");
  const pid_t server = Spawn([&] {
    std::freopen("/dev/null", "w", stdout);
    ::execl(QUILLON_EXE, "quillon", "serve", "--cache", file.c_str(), "--duration", "120",
            static_cast<char*>(nullptr));
    ::_exit(127);
  });
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) children.push_back(Spawn([&] { ForceReads(file, p); }));
  for (pid_t child : children) {
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  ::kill(server, SIGTERM);
  ::waitpid(server, nullptr, 0);

  std::set<std::string> requested;
  for (int p = 0; p < kProcesses; ++p) {
    for (const auto& point : PointsOf(p)) requested.insert(point);
  }
  const std::string bytes = ReadFile(file);
  EXPECT_EQ(bytes.size(), 144 * requested.size());
  std::map<std::string, int> records;
  int served = 0;
  for (size_t at = 0; at + 144 <= bytes.size(); at += 144) {
    std::string ref = bytes.substr(at + 4, 60);
    ref.erase(ref.find_last_not_of(' ') + 1);
    EXPECT_TRUE(requested.count(ref)) << "record " << at / 144 + 1 << ": '" << ref << "'";
    ++records[ref];
    served += FieldAt<double>(bytes, at + 64) != 0;
  }
  for (const auto& [ref, count] : records) EXPECT_EQ(count, 1) << ref;
  EXPECT_EQ(records.size(), requested.size());
  EXPECT_GT(served, 0);
}

}  // namespace
}  // namespace quillon::testing
