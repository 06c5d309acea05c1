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
  r = Run({"request", "A:B.C"}, "QUILLON_INSTALL_PATH=");  // no installation path: no file
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.err, "quillon: cannot write the request into no cache file (no installation path)\n");
}

TEST_F(RequestTest, ReferenceTheFileCannotHoldLeavesTheFileUntouched) {
  // A look-alike ("A" for "Ā") or the default "?" would request another point.
  WriteCache({{1, "A:?.F"}, {1, "A:A.F"}});
  const std::string before = ReadFile(Path("c.dat"));
  for (const char* ntf : {"A:\xCE\xA9.F", "A:\xC4\x80.F", "A:\xF0\x9F\x98\x80.F", "A:\xC3.F"}) {
    const RunResult r = Run({"request", ntf, "--cache", Path("c.dat")});
    EXPECT_EQ(r.code, 1) << ntf;
    EXPECT_EQ(Lines(r.err).size(), 1u) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(Run({"request", ntf, "--cache", Path("new.dat")}).code, 1);
  }
  EXPECT_EQ(ReadFile(Path("c.dat")), before);
  EXPECT_FALSE(std::filesystem::exists(Path("new.dat")));
}

TEST_F(RequestTest, BadInputGetsOneLineAndExitTwo) {
  ExpectRefused({{"request"},
                 {"request", "A:B.C", "D:E.F"},
                 {"request", "A:B.C", "--poll", "Seconde_05"},
                 {"request", "A:B.C", "--poll", "91"},
                 {"request", "A:B.C", "--now"}},
                2);
}

}  // namespace
}  // namespace quillon::testing
