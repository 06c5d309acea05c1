// quillon doctor: what a control on this machine would use.
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <filesystem>

#include "cache_tools_support.h"

namespace quillon::testing {
namespace {

class DoctorTest : public ToolTest {
 protected:
  DoctorTest() { std::filesystem::create_directories(Path("Serveur Quillon PD")); }

  void WriteCache(size_t bytes) {
    WriteFile(Path("Serveur Quillon PD/cacheQuillonPD_V2.dat"), std::string(bytes, '\0'));
  }
  // `quillon doctor <args>` with QUILLON_INSTALL_PATH and QUILLON_TRACE cleared, then `env` set.
  RunResult Doctor(const std::string& env, std::vector<std::string> args = {}) {
    args.insert(args.begin(), "doctor");
    return Run(args, "env -u QUILLON_INSTALL_PATH -u QUILLON_TRACE " + env);
  }
  std::string InstallEnv() const { return "QUILLON_INSTALL_PATH='" + dir_ + "'"; }
  static bool Has(const RunResult& r, const std::string& text) {
    return r.out.find(text) != std::string::npos;
  }
};

TEST_F(DoctorTest, ShowsWhatAControlWouldUse) {
  WriteCache(360);  // two records and a half record, counted as the cache counts it
  const RunResult r = Doctor(InstallEnv());
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(Has(r, "Installation path: " + dir_ + "\n")) << r.out;
  EXPECT_TRUE(Has(r, "Cache file: " + dir_ + "\\Serveur Quillon PD\\cacheQuillonPD_V2.dat\n"));
  EXPECT_TRUE(Has(r, "Cache file opens: yes\n"));
  EXPECT_TRUE(Has(r, "Records: 2\n"));
  EXPECT_TRUE(Has(r, "Tracing: off\n"));
  EXPECT_FALSE(Has(r, "Ping"));
  EXPECT_TRUE(Has(Doctor(InstallEnv() + " QUILLON_TRACE=1"), "Tracing: on"));
}

TEST_F(DoctorTest, UnreadPathOrUnopenableFileGivesExitOne) {
  RunResult r = Doctor("");
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(Has(r, "Installation path: not read, result 2 (key or value not found)\n")) << r.out;
  EXPECT_TRUE(Has(r, "Cache file: no cache file (no installation path)\n")) << r.out;
  EXPECT_TRUE(Has(r, "Cache file opens: no ("));
  EXPECT_FALSE(Has(r, "Records:"));
  r = Doctor(InstallEnv());  // the folder exists, the file does not: it is not created
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(Has(r, "Cache file opens: no ("));
  EXPECT_FALSE(std::filesystem::exists(Path("Serveur Quillon PD/cacheQuillonPD_V2.dat")));
  std::filesystem::remove_all(Path("Serveur Quillon PD"));
  r = Doctor(InstallEnv());
  EXPECT_EQ(r.code, 1);
  EXPECT_TRUE(Has(r, "Installation path: " + dir_));
  EXPECT_TRUE(Has(r, "Cache file opens: no ("));
}

TEST_F(DoctorTest, AHostNameIsNotPingedAtAll) {
  const RunResult r = Doctor(InstallEnv(), {"--ping", "serveur-pd"});
  EXPECT_TRUE(Has(r, "Ping serveur-pd: not reachable (result 1, 3 repeats, 0.0")) << r.out;
}

// Whether this process may open an ICMP socket: a datagram one, else a raw one.
bool IcmpSocketAvailable() {
  for (const int type : {SOCK_DGRAM, SOCK_RAW}) {
    const int fd = ::socket(AF_INET, type, IPPROTO_ICMP);
    if (fd >= 0) {
      ::close(fd);
      return true;
    }
  }
  return false;
}

TEST_F(DoctorTest, LoopbackAnswersWhereAnIcmpSocketCanBeOpened) {
  WriteCache(0);
  const RunResult r = Doctor(InstallEnv(), {"--ping", "127.0.0.1"});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(Has(r, IcmpSocketAvailable() ? "Ping 127.0.0.1: reachable (result 0, 3 repeats"
                                           : "Ping 127.0.0.1: not reachable (result 1, 3 repeats"))
      << r.out;
}

TEST_F(DoctorTest, BadArgumentsGiveAOneLineErrorAndExitTwo) {
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"--ping"}, {"--ping", ""}, {"--frobnicate"}, {"extra"}}) {
    const RunResult r = Doctor(InstallEnv(), args);
    EXPECT_EQ(r.code, 2) << args[0];
    EXPECT_TRUE(r.out.empty()) << args[0];
    EXPECT_EQ(r.err.rfind("quillon: ", 0), 0u) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << args[0];
  }
}

}  // namespace
}  // namespace quillon::testing
