// quillon request: one forced read through the control's path.
#include <filesystem>

#include "cache_tools_support.h"

namespace quillon::testing {
namespace {

class RequestTest : public ToolTest {
 protected:
  static int32_t Poll(const std::string& bytes, int n) {
    return FieldAt<int32_t>(bytes, (n - 1) * 144 + 80);
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

TEST_F(RequestTest, CodesByNameOrValueAndSpacedReferences) {
  const std::string file = WriteCache({{1, "X:Y.Z", 0, 0, 29}});
  EXPECT_EQ(Run({"request", "X:Y.Z", "--cache", file, "--poll", "Minute_30"}).code, 0);
  EXPECT_EQ(Poll(ReadFile(file), 1), 29);  // an occupied slot's code only rises
  EXPECT_EQ(Run({"request", " X:Y.Z  ", "--cache", file, "--poll", "Seconde_10"}).code, 0);
  EXPECT_EQ(Poll(ReadFile(file), 1), 90);
  EXPECT_EQ(Run({"request", "N:O.P", "--cache", file, "--poll", "70"}).code, 0);
  EXPECT_EQ(Poll(ReadFile(file), 2), 70);
  EXPECT_EQ(ReadFile(file).size(), 288u);
}

TEST_F(RequestTest, FileFoundAsTheLibraryFindsItAndAMissingFolderFails) {
  std::filesystem::create_directories(Path("pd/Serveur Quillon PD"));
  RunResult r = Run({"request", "A:B.C"}, "QUILLON_INSTALL_PATH='" + Path("pd") + "'");
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(ReadFile(Path("pd/Serveur Quillon PD/cacheQuillonPD_V2.dat")).size(), 144u);
  r = Run({"request", "A:B.C"}, "QUILLON_INSTALL_PATH='" + Path("none") + "'");
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(Lines(r.err).size(), 1u);
  EXPECT_NE(r.err.find("Serveur Quillon PD"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(Path("none")));
}

TEST_F(RequestTest, TraceFollowsTheVariable) {
  const std::string quiet = "TRACE:QUIET.P" + std::to_string(::getpid());
  const std::string traced = "TRACE:SHOWN.P" + std::to_string(::getpid());
  WriteFile(Path("quiet.dat"), "");
  WriteFile(Path("traced.dat"), "");
  ASSERT_EQ(Run({"request", quiet, "--cache", Path("quiet.dat")}, "QUILLON_TRACE=0").code, 0);
  ASSERT_EQ(Run({"request", traced, "--cache", Path("traced.dat")}, "QUILLON_TRACE=1").code, 0);
  // The daily files next to the program; our lines are taken out again.
  std::string ours;
  const std::filesystem::path exe = QUILLON_EXE;
  for (const auto& entry : std::filesystem::directory_iterator(exe.parent_path())) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("quillon ", 0) != 0 || entry.path().extension() != ".log") continue;
    std::string kept;
    for (const std::string& line : Lines(ReadFile(entry.path().string()))) {
      const bool mine =
          line.find(traced) != std::string::npos || line.find(quiet) != std::string::npos;
      (mine ? ours : kept) += line + "\n";
    }
    WriteFile(entry.path().string(), kept);
  }
  EXPECT_EQ(ours.find(quiet), std::string::npos);
  EXPECT_NE(ours.find(" - cacheForcerLectNTF - d\xE9"
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
