// quillon find: the point looked up as a control looks it up, in a fresh process, without
// writing or creating anything.
#include <sys/stat.h>

#include "cache_tools_support.h"

namespace quillon::testing {
namespace {

class FindTest : public ToolTest {
 protected:
  std::string Sample() {
    return WriteCache({{1, "P:T1.V"},
                       {0, "P:T2.V"},
                       {1, "  A:B.C", 0, 0, 29, "first"},
                       {1, "a:b.c"},
                       {1, "A:B.C", 0, 0, 90, "second"}});
  }
};

TEST_F(FindTest, FirstExactMatchOfTheControlsFormAsOneTsvLine) {
  const std::string file = Sample();
  const std::string before = ReadFile(file);
  // The control trims its reference and cuts it to 60 characters before it looks it up.
  for (const char* ntf : {"A:B.C", " A:B.C  "}) {
    const RunResult r = Run({"find", "--cache", file, ntf});
    EXPECT_EQ(r.code, 0) << ntf;
    EXPECT_EQ(r.out,
              "slot\tstate\tref\tread\trequested\tpoll\tvalue\tformatted\n"
              "3\t1\tA:B.C\t\t\t29\tfirst\t\n");
  }
  const std::string long_ref(70, 'x');
  WriteCache({{1, long_ref.substr(0, 60)}}, "long.dat");
  EXPECT_EQ(Run({"find", "--cache", Path("long.dat"), long_ref}).code, 0);
  EXPECT_EQ(ReadFile(file), before);
}

TEST_F(FindTest, MissingPointExitsOneAndBadInputIsRefused) {
  for (const char* ntf : {"X:Y.Z", "A:b.C", "A:B"}) {
    const RunResult r = Run({"find", "--cache", Sample(), ntf});
    EXPECT_EQ(r.code, 1) << ntf;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "quillon: not found\n");
  }
  ::mkfifo(Path("fifo").c_str(), 0600);  // would block a reader that waits for a writer
  ExpectRefused({{"find", "--cache", Path("none.dat"), "A:B.C"},
                 {"find", "--cache", dir_, "A:B.C"},
                 {"find", "--cache", Path("fifo"), "A:B.C"}},
                1);
  EXPECT_EQ(::access(Path("none.dat").c_str(), F_OK), -1);  // a missing file stays missing
  ExpectRefused({{"find", "--cache", Sample()}, {"find", "--cache", Sample(), "A:B.C", "--fast"}},
                2);
}

TEST_F(FindTest, ReferenceTheFileCannotHoldIsRefusedInOneLine) {
  // "Ω" and "Ā" have no Windows-1252 byte: their lossy forms "?" and "A" are other points.
  const std::string file = WriteCache({{1, "A:?.F"}, {1, "A:A.F"}});
  for (const char* ntf : {"A:\xCE\xA9.F", "A:\xC4\x80.F", "A:\xFF.F"}) {
    const RunResult r = Run({"find", "--cache", file, ntf});
    EXPECT_EQ(r.code, 1) << ntf;
    EXPECT_EQ(Lines(r.err).size(), 1u) << r.err;
    EXPECT_EQ(r.out, "");
  }
  EXPECT_NE(Run({"find", "--cache", file, "A:\xCE\xA9.F"}).err.find("ANSI code page"),
            std::string::npos);
  EXPECT_NE(Run({"find", "--cache", file, "A:\xFF.F"}).err.find("not valid UTF-8"),
            std::string::npos);
}

}  // namespace
}  // namespace quillon::testing
