#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

struct Outcome {
  int exit_code = -1;
  std::string out;
  std::string err;
};

class DoctorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() /
            ("quillon_doctor_" + std::to_string(::getpid()) + "_" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(root_ / "Serveur Quillon PD");
  }
  void TearDown() override { fs::remove_all(root_); }

  fs::path CacheFile() const { return root_ / "Serveur Quillon PD" / "cacheQuillonPD_V2.dat"; }
  void WriteCache(size_t bytes) { std::ofstream(CacheFile()) << std::string(bytes, '\0'); }

  // Runs `quillon doctor <args>` with the given environment settings ("VAR=value" words;
  // QUILLON_INSTALL_PATH and QUILLON_TRACE are cleared first).
  Outcome Doctor(const std::string& env, const std::string& args = "") {
    const fs::path err_file = root_ / "stderr.txt";
    const std::string command = "env -u QUILLON_INSTALL_PATH -u QUILLON_TRACE " + env + " '" +
                                QUILLON_EXE + "' doctor " + args + " 2>'" + err_file.string() + "'";
    Outcome o;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return o;
    char buffer[512];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) o.out.append(buffer, n);
    const int status = ::pclose(pipe);
    o.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream err(err_file);
    o.err.assign(std::istreambuf_iterator<char>(err), {});
    return o;
  }
  std::string InstallEnv() const { return "QUILLON_INSTALL_PATH='" + root_.string() + "'"; }

  fs::path root_;
};

TEST_F(DoctorTest, ShowsWhatAControlWouldUse) {
  WriteCache(144 * 3);
  const Outcome o = Doctor(InstallEnv());
  EXPECT_EQ(o.exit_code, 0) << o.err;
  EXPECT_NE(o.out.find("Installation path: " + root_.string() + "\n"), std::string::npos) << o.out;
  EXPECT_NE(
      o.out.find("Cache file: " + root_.string() + "\\Serveur Quillon PD\\cacheQuillonPD_V2.dat\n"),
      std::string::npos)
      << o.out;
  EXPECT_NE(o.out.find("Cache file opens: yes\n"), std::string::npos);
  EXPECT_NE(o.out.find("Records: 3\n"), std::string::npos);
  EXPECT_NE(o.out.find("Tracing: off\n"), std::string::npos);
  EXPECT_EQ(o.out.find("Ping"), std::string::npos);
}

TEST_F(DoctorTest, RecordCountRoundsAPartialRecord) {
  WriteCache(360);
  EXPECT_NE(Doctor(InstallEnv()).out.find("Records: 2\n"), std::string::npos);
}

TEST_F(DoctorTest, UnreadPathGivesTheResultAndExitOne) {
  const Outcome o = Doctor("");
  EXPECT_EQ(o.exit_code, 1);
  EXPECT_NE(o.out.find("Installation path: not read, result 2 (key or value not found)\n"),
            std::string::npos)
      << o.out;
  EXPECT_NE(o.out.find("Cache file opens: no\n"), std::string::npos);
  EXPECT_EQ(o.out.find("Records:"), std::string::npos);
}

TEST_F(DoctorTest, FileThatCannotOpenGivesExitOne) {
  fs::remove_all(root_ / "Serveur Quillon PD");
  const Outcome o = Doctor(InstallEnv());
  EXPECT_EQ(o.exit_code, 1);
  EXPECT_NE(o.out.find("Installation path: " + root_.string()), std::string::npos);
  EXPECT_NE(o.out.find("Cache file opens: no\n"), std::string::npos);
}

TEST_F(DoctorTest, TracingFollowsTheVariable) {
  EXPECT_NE(Doctor(InstallEnv() + " QUILLON_TRACE=1").out.find("Tracing: on"), std::string::npos);
  EXPECT_NE(Doctor(InstallEnv() + " QUILLON_TRACE=0").out.find("Tracing: off"), std::string::npos);
}

TEST_F(DoctorTest, PingsALoopbackAddress) {
  const Outcome o = Doctor(InstallEnv(), "--ping 127.0.0.1");
  EXPECT_EQ(o.exit_code, 0);
  const bool reachable =
      o.out.find("Ping 127.0.0.1: reachable (result 0, 3 repeats, ") != std::string::npos;
  const bool silent =
      o.out.find("Ping 127.0.0.1: not reachable (result 1, 3 repeats, ") != std::string::npos;
  EXPECT_TRUE(reachable || silent) << o.out;
}

TEST_F(DoctorTest, HostNameIsNotReachableAtOnce) {
  const Outcome o = Doctor(InstallEnv(), "--ping serveur-pd");
  EXPECT_NE(o.out.find("Ping serveur-pd: not reachable (result 1, 3 repeats, 0.0"),
            std::string::npos)
      << o.out;
}

TEST_F(DoctorTest, BadArgumentsGiveAOneLineErrorAndExitTwo) {
  for (const std::string args : {"--ping", "--ping ''", "--frobnicate", "extra"}) {
    const Outcome o = Doctor(InstallEnv(), args);
    EXPECT_EQ(o.exit_code, 2) << args;
    EXPECT_TRUE(o.out.empty()) << args;
    EXPECT_EQ(o.err.rfind("quillon: ", 0), 0u) << args << ": " << o.err;
    EXPECT_EQ(std::count(o.err.begin(), o.err.end(), '\n'), 1) << args;
  }
}

}  // namespace
