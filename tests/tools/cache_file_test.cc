// The cache commands on files that are not cache files: a FIFO, a device, a folder, a sparse
// file far beyond the record limit.
#include <sys/stat.h>

#include <filesystem>

#include "cache_tools_support.h"

namespace quillon::testing {
namespace {

class CacheFileTest : public ToolTest {
 protected:
  // `quillon <args>` that must end at once: a hang on a FIFO fails the test instead.
  RunResult RunBounded(const std::vector<std::string>& args) { return Run(args, "timeout 60"); }
};

TEST_F(CacheFileTest, OnlyRegularFilesAreOpened) {
  ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0600), 0);
  const std::pair<std::string, std::string> files[] = {
      {Path("fifo"), "is a FIFO"}, {"/dev/zero", "is a device"}, {dir_, "is a folder"}};
  for (const auto& [file, kind] : files) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"dump", "--cache", file},
             {"dump", "--cache", file, "--tsv"},
             {"find", "--cache", file, "A:B.C"},
             {"request", "A:B.C", "--cache", file},
             {"serve", "--cache", file, "--once"},
             {"serve", "--cache", Path("c.dat"), "--values", file, "--once"},
             {"watch", "A:B.C", "--cache", file, "--duration", "1"}}) {
      const RunResult r = RunBounded(args);
      EXPECT_EQ(r.code, 1) << args[0] << " " << file;
      EXPECT_EQ(r.out, "") << args[0] << " " << file;
      EXPECT_EQ(r.err, "quillon: " + file + " " + kind + ", not a file\n") << args[0];
    }
  }
}

TEST_F(CacheFileTest, ASparseTerabyteIsReadOnlyUpToTheRecordLimit) {
  const std::string huge = Path("huge.dat");
  WriteFile(huge, RawRecord{2, "A:B.C"}.Bytes());
  std::error_code ec;
  std::filesystem::resize_file(huge, uint64_t{1} << 40, ec);
  if (ec) GTEST_SKIP() << "no sparse file here: " << ec.message();
  // The first lines come out at once (nothing is read ahead); the pipe then ends the run.
  const std::string command = "timeout 60 '" QUILLON_EXE "' dump --tsv --cache '" + huge + "' 2>'" +
                              Path("err.txt") + "' | head -n 3 >'" + Path("out.txt") + "'";
  ASSERT_EQ(std::system(command.c_str()), 0);
  const auto lines = Lines(ReadFile(Path("out.txt")));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1].substr(0, 10), "1\t2\tA:B.C\t");
  EXPECT_EQ(lines[2], "2\t0\t\t\t\t0\t\t");
  EXPECT_EQ(ReadFile(Path("err.txt")),
            "quillon: warning: " + huge +
                " is 1099511627776 bytes, more than the 14913081 records a cache file can hold: "
                "only those are read\n");
}

TEST_F(CacheFileTest, TableIsAlignedOnTheWidestCellOfTheWholeFile) {
  const std::string file = WriteCache({{2, "A:B.C", 0, 0, 90, "1"},
                                       {0, ""},
                                       {1, "LONG:REFERENCE.OF.A.POINT", 0, 0, 29, "12345.5"}});
  const RunResult r = Run({"dump", "--cache", file});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out,
            "slot  state  ref                        read  requested  poll  value    formatted\n"
            "1     2      A:B.C                                       90    1\n"
            "2     0                                                  0\n"
            "3     1      LONG:REFERENCE.OF.A.POINT                   29    12345.5\n"
            "3 records\n");
}

}  // namespace
}  // namespace quillon::testing
