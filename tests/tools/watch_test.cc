// quillon watch: one headless control in run mode over a cache file.
#include <ctime>

#include "cache_tools_support.h"
#include "common/oledate.h"

namespace quillon::testing {
namespace {

class WatchTest : public ToolTest {
 protected:
  // A record that the server read a minute ago (local time).
  std::string ServedCache() {
    const std::time_t t = std::time(nullptr) - 60;
    std::tm local{};
    localtime_r(&t, &local);
    const double read = DateFromParts(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                                      local.tm_hour, local.tm_min, local.tm_sec);
    return WriteCache({RawRecord{2, "  A:B.C", read, read, 90, "12.5",
                                 "12,50 \xB0"
                                 "C"},
                       RawRecord{2, "D:E.F", read, read, 90, "7", "7"}});
  }
};

TEST_F(WatchTest, BadInputGivesAOneLineErrorAndNoRun) {
  const std::string cache = ServedCache();
  ExpectRefused({{"watch"},
                 {"watch", "A:B.C", "D:E.F", "--cache", cache},
                 {"watch", "A:B.C", "--poll", "7", "--cache", cache},
                 {"watch", "A:B.C", "--locale", "de-DE", "--cache", cache},
                 {"watch", "A:B.C", "--duration", "-1", "--cache", cache}},
                2);
  ExpectRefused({{"watch", "A:B.C", "--cache", Path("none.dat")}}, 1);
  EXPECT_FALSE(std::ifstream(Path("none.dat")).good());  // no stray file is made
}

TEST_F(WatchTest, ShowsTheFaceThenTheFirstReadAndRequestsThePoint) {
  const std::string cache = ServedCache();
  const RunResult r = Run({"watch", "A:B.C", "--cache", cache, "--poll", "Seconde_10", "--format",
                           "0.0 %", "--locale", "en-US", "--duration", "1.5"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  // As a display opens: the reference and the period shown, the values still "?".
  const size_t first = r.out.find("NTF : A:B.C");
  ASSERT_NE(first, std::string::npos);
  EXPECT_NE(r.out.find("Valeur : ?"), std::string::npos);
  // After the first tick: the record as stored, untrimmed, and the properties.
  EXPECT_NE(r.out.find("Valeur : 12.5 "), std::string::npos);
  EXPECT_NE(r.out.find("Valeur formatée : 12,50 °C"), std::string::npos);
  EXPECT_NE(r.out.find("Statut : Ok"), std::string::npos);
  EXPECT_NE(r.out.find("Valeur             \"12.5 %\""), std::string::npos);
  EXPECT_NE(r.out.find("ValeurNombre       12.5\n"), std::string::npos);
  EXPECT_EQ(r.out.find("\x1b["), std::string::npos);  // no colours into a file
  // The forced read marked the record as requested (state 1, no read time, code 90).
  const std::string bytes = ReadFile(cache);
  ASSERT_EQ(bytes.size(), 288u);
  EXPECT_EQ(bytes[0], 1);
  EXPECT_EQ(bytes.substr(64, 8), std::string(8, '\0'));
  EXPECT_EQ(bytes[80], 90);
  EXPECT_EQ(bytes[144], 2);  // the other point is left alone
}

}  // namespace
}  // namespace quillon::testing
