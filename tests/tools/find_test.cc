// quillon find: the point looked up as GetData looks it up in a fresh process.
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

TEST_F(FindTest, FirstExactMatchAsOneTsvLine) {
  const RunResult r = Run({"find", "--cache", Sample(), "A:B.C"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out,
            "slot\tstate\tref\tread\trequested\tpoll\tvalue\tformatted\n"
            "3\t1\tA:B.C\t\t\t29\tfirst\t\n");
}

TEST_F(FindTest, MissingPointExitsOneAndBadInputIsRefused) {
  for (const char* ntf : {"X:Y.Z", "A:B.C ", "A:B"}) {
    const RunResult r = Run({"find", "--cache", Sample(), ntf});
    EXPECT_EQ(r.code, 1) << ntf;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "quillon: not found\n");
  }
  ExpectRefused({{"find", "--cache", Path("none.dat"), "A:B.C"}});
  EXPECT_EQ(::access(Path("none.dat").c_str(), F_OK), -1);  // a missing file stays missing
  ExpectRefused({{"find", "--cache", Sample()}, {"find", "--cache", Sample(), "A:B.C", "--fast"}},
                2);
}

}  // namespace
}  // namespace quillon::testing
