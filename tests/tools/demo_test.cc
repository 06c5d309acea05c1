// quillon demo: a live display of several controls fed by the stand-in server.
#include <regex>

#include "cache_tools_support.h"

namespace quillon::testing {
namespace {

using DemoTest = ToolTest;

TEST_F(DemoTest, RunsForItsDurationShowsServedValuesAndCleansUp) {
  const RunResult r = Run({"demo", "--duration", "3"}, "COLUMNS=200 LANG=fr_FR.UTF-8");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  std::smatch m;
  ASSERT_TRUE(std::regex_search(r.out, m, std::regex("server on (\\S+)/cacheQuillonPD_V2\\.dat")));
  const std::string folder = m[1];
  EXPECT_NE(r.out.find("removed " + folder), std::string::npos);
  EXPECT_FALSE(std::ifstream(folder + "/cacheQuillonPD_V2.dat").good());
  for (const char* ntf :
       {"USINE:CUVE1.NIVEAU", "USINE:LIGNE4.DEBIT", "USINE:POMPE1.COMPTEUR", "USINE:FOUR2.TEMP"}) {
    EXPECT_NE(r.out.find(std::string("NTF : ") + ntf), std::string::npos) << ntf;
  }
  // Three faces fit side by side in 200 columns.
  EXPECT_TRUE(std::regex_search(r.out, std::regex("NTF : USINE:CUVE1.NIVEAU .*NTF : "
                                                  "USINE:LIGNE4.DEBIT .*NTF : USINE:POMPE1")));
  // A value served by the stand-in server reached a face, with its time of reading.
  EXPECT_TRUE(std::regex_search(r.out, std::regex("Valeur : [0-9]")));
  EXPECT_TRUE(std::regex_search(r.out, std::regex("Dernière lecture : \\d\\d/\\d\\d/20")));
}

TEST_F(DemoTest, BadArgumentsAreRefused) {
  ExpectRefused({{"demo", "--duration", "0"}, {"demo", "--duration", "x"}, {"demo", "now"}}, 2);
}

}  // namespace
}  // namespace quillon::testing
