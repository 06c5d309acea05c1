// quillon request: one forced read through the control's path.
#include <dirent.h>
#include <sys/stat.h>

#include "cache_tools_support.h"

namespace quillon::testing {
namespace {

class RequestTest : public ToolTest {
 protected:
  // An installation path with its cache folder, as the library looks for it.
  std::string InstallEnv() {
    ::mkdir(Path("pd").c_str(), 0755);
    ::mkdir(Path("pd/Serveur Quillon PD").c_str(), 0755);
    return "QUILLON_INSTALL_PATH='" + Path("pd") + "'";
  }
  std::string LibraryFile() { return Path("pd/Serveur Quillon PD/cacheQuillonPD_V2.dat"); }
  static int32_t Poll(const std::string& bytes, int n) {
    int32_t poll;
    std::memcpy(&poll, bytes.data() + (n - 1) * 144 + 80, 4);
    return poll;
  }
};

TEST_F(RequestTest, NewPointGetsARequestRecordWithTheDefaultCode) {
  WriteFile(Path("c.dat"), "");
  const RunResult r = Run({"request", "A:B.C", "--cache", Path("c.dat")});
  EXPECT_EQ(r.code, 0) << r.err;
  const auto lines = Lines(r.out);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1].substr(0, 10), "1\t1\tA:B.C\t");
  const std::string bytes = ReadFile(Path("c.dat"));
  ASSERT_EQ(bytes.size(), 144u);
  EXPECT_EQ(Poll(bytes, 1), 29);
  EXPECT_EQ(bytes.substr(84, 40), std::string(40, ' '));
  EXPECT_EQ(bytes.substr(124), std::string(20, '\0'));
}

TEST_F(RequestTest, CodesByNameOrValueAndTheMergeRule) {
  const std::string file = WriteCache({{1, "X:Y.Z", 0, 0, 29}});
  EXPECT_EQ(Run({"request", "X:Y.Z", "--cache", file, "--poll", "Minute_30"}).code, 0);
  EXPECT_EQ(Poll(ReadFile(file), 1), 29);  // an occupied slot's code only rises
  EXPECT_EQ(Run({"request", "X:Y.Z", "--cache", file, "--poll", "Seconde_10"}).code, 0);
  EXPECT_EQ(Poll(ReadFile(file), 1), 90);
  EXPECT_EQ(Run({"request", "N:O.P", "--cache", file, "--poll", "70"}).code, 0);
  EXPECT_EQ(Poll(ReadFile(file), 2), 70);
  EXPECT_EQ(ReadFile(file).size(), 288u);
}

TEST_F(RequestTest, SpacedReferenceFindsItsRecord) {
  const std::string file = WriteCache({{1, "A:B.C"}});
  EXPECT_EQ(Run({"request", "  A:B.C ", "--cache", file}).code, 0);
  EXPECT_EQ(ReadFile(file).size(), 144u);
}

TEST_F(RequestTest, FileFoundAsTheLibraryFindsIt) {
  const RunResult r = Run({"request", "A:B.C"}, InstallEnv());
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(ReadFile(LibraryFile()).size(), 144u);
}

TEST_F(RequestTest, MissingCacheFolderFailsAndCreatesNothing) {
  const RunResult r = Run({"request", "A:B.C"}, "QUILLON_INSTALL_PATH='" + Path("none") + "'");
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(Lines(r.err).size(), 1u);
  EXPECT_NE(r.err.find("Serveur Quillon PD"), std::string::npos);
}

TEST_F(RequestTest, TraceFollowsTheVariable) {
  const std::string quiet = "TRACE:QUIET.P" + std::to_string(::getpid());
  const std::string traced = "TRACE:SHOWN.P" + std::to_string(::getpid());
  WriteFile(Path("quiet.dat"), "");
  WriteFile(Path("traced.dat"), "");
  ASSERT_EQ(Run({"request", quiet, "--cache", Path("quiet.dat")}, "QUILLON_TRACE=0").code, 0);
  ASSERT_EQ(Run({"request", traced, "--cache", Path("traced.dat")}, "QUILLON_TRACE=1").code, 0);
  // The daily files next to the program; our lines are taken out again.
  const std::string exe = QUILLON_EXE;
  const std::string folder = exe.substr(0, exe.rfind('/'));
  std::string all;
  DIR* dir = ::opendir(folder.c_str());
  ASSERT_NE(dir, nullptr);
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.rfind("quillon ", 0) != 0 || name.size() < 4 ||
        name.compare(name.size() - 4, 4, ".log") != 0) {
      continue;
    }
    const std::string path = folder + "/" + name;
    std::string kept;
    for (const std::string& line : Lines(ReadFile(path))) {
      if (line.find(traced) != std::string::npos || line.find(quiet) != std::string::npos) {
        all += line + "\n";
      } else {
        kept += line + "\n";
      }
    }
    WriteFile(path, kept);
  }
  ::closedir(dir);
  EXPECT_EQ(all.find(quiet), std::string::npos);
  EXPECT_NE(all.find(" - cacheForcerLectNTF - d\xE9"
                     "but - " +
                     traced + "\r"),
            std::string::npos);
}

TEST_F(RequestTest, BadInputGetsOneLineAndExitTwo) {
  for (const auto& args :
       std::vector<std::vector<std::string>>{{"request"},
                                             {"request", "A:B.C", "D:E.F"},
                                             {"request", "A:B.C", "--poll", "Seconde_05"},
                                             {"request", "A:B.C", "--poll", "91"},
                                             {"request", "A:B.C", "--poll"},
                                             {"request", "A:B.C", "--now"}}) {
    const RunResult r = Run(args);
    EXPECT_EQ(r.code, 2) << args.back();
    EXPECT_EQ(Lines(r.err).size(), 1u);
  }
}

}  // namespace
}  // namespace quillon::testing
