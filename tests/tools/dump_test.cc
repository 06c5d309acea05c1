// quillon dump: the records of a cache file as tab-separated lines or a table.
#include "cache_tools_support.h"
#include "common/oledate.h"

namespace quillon::testing {
namespace {

class DumpTest : public ToolTest {
 protected:
  std::string Sample() {
    const std::string formatted =
        "12,5 \xB0"
        "C";
    return WriteCache({{1, "A:B.C", DateFromParts(2026, 12, 7, 14, 5, 9),
                        DateFromParts(2026, 12, 7, 14, 5, 1), 90, "12,5", formatted},
                       {0,
                        "  N\xE9"
                        ":T.F",
                        0, DateFromParts(2026, 1, 2, 3, 4, 5), 29, std::string("a\tb\nc\0d", 7)}});
  }
};

TEST_F(DumpTest, TsvShowsEveryFieldCleaned) {
  const RunResult r = Run({"dump", "--cache", Sample(), "--tsv"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out,
            "slot\tstate\tref\tread\trequested\tpoll\tvalue\tformatted\n"
            "1\t1\tA:B.C\t2026-12-07 14:05:09\t2026-12-07 14:05:01\t90\t12,5\t12,5 °C\n"
            "2\t0\tNé:T.F\t\t2026-01-02 03:04:05\t29\ta\\x09b\\x0Ac\\x00d\t\n");
}

TEST_F(DumpTest, OddLengthIsCountedAsTheCacheCountsIt) {
  const std::string bytes = RawRecord{1, "A:B.C"}.Bytes() + RawRecord{1, "D:E.F"}.Bytes() +
                            RawRecord{1, "G:H.I"}.Bytes().substr(0, 72);  // 360 bytes: 2 records
  WriteFile(Path("odd.dat"), bytes);
  const RunResult r = Run({"dump", "--cache", Path("odd.dat"), "--tsv"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(Lines(r.out).size(), 3u);
  EXPECT_NE(r.err.find("warning"), std::string::npos);
  EXPECT_NE(r.err.find("360 bytes"), std::string::npos);
}

TEST_F(DumpTest, BadInputGetsOneLineAndNonZeroExit) {
  ExpectRefused({{"dump", "--cache", Path("missing.dat")},
                 {"dump", "--cache", dir_},
                 {"dump", "--cache"},
                 {"dump", "--cache", Sample(), "--wide"}});
}

}  // namespace
}  // namespace quillon::testing
