// quillon format, run like a designer would: one line per value, what Valeur returns.
#include "cache_tools_support.h"

namespace quillon::testing {
namespace {

class FormatCommandTest : public ToolTest {
 protected:
  // `quillon format <args>` with LC_ALL and LANG as given (empty: unset).
  RunResult Format(std::vector<std::string> args, const std::string& lc_all = "",
                   const std::string& lang = "") {
    std::string env = "env -u LC_ALL -u LANG";
    if (!lc_all.empty()) env += " LC_ALL=" + lc_all;
    if (!lang.empty()) env += " LANG=" + lang;
    args.insert(args.begin(), "format");
    return Run(args, env);
  }
};

TEST_F(FormatCommandTest, OneLinePerValueAsTheValueProperty) {
  const RunResult r = Format({"0 %", "12", "abc", "", "--locale", "en-US"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "12 %\nabc\n\n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(Format({"--locale=fr-FR", "0.00", "12,5"}).out, "12,50\n");
  // After "--", wherever it stands, arguments that look like options are patterns or values.
  EXPECT_EQ(Format({"--locale", "en-US", "--", "0.00", "--locale"}).out, "--locale\n");
  EXPECT_EQ(Format({"0.00", "-1", "--locale", "en-US", "--", "-.5", "--locale"}).out,
            "-1.00\n-0.50\n--locale\n");
  // The empty pattern shows the stored text; a failing format an empty line.
  EXPECT_EQ(Format({"", " 012,50 ", "--locale", "en-US"}).out, " 012,50 \n");
  EXPECT_EQ(Format({"0;0;0;0;0", "3", "--locale", "en-US"}).out, "\n");
}

TEST_F(FormatCommandTest, DefaultLocaleFollowsLcAllThenLang) {
  EXPECT_EQ(Format({"0.00", "12,5"}, "fr_FR.UTF-8", "en_US.UTF-8").out, "12,50\n");
  EXPECT_EQ(Format({"0.00", "12,5"}, "", "fr_BE.UTF-8").out, "12,50\n");
  EXPECT_EQ(Format({"0.00", "12,5"}, "C", "fr_FR.UTF-8").out, "125.00\n");
  EXPECT_EQ(Format({"dddd", "15/03/2023"}).out, "Wednesday\n");
}

TEST_F(FormatCommandTest, BadInputFailsWithOneLineAndNeverCrashes) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{}, "quillon: PATTERN is required (see quillon format --help)\n"},
      {{"0.00"}, "quillon: VALUE is required (see quillon format --help)\n"},
      {{"0", "1", "--locale"}, "quillon: --locale needs a value (see quillon format --help)\n"},
      {{"0", "1", "--locale", "de-DE"}, "quillon: unknown locale 'de-DE' (use fr-FR or en-US)\n"},
  };
  for (const auto& [args, message] : cases) {
    const RunResult r = Format(args);
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, message);
  }
  const RunResult bad = Format({"\xff\xfe@@", "\xc3", "--locale", "en-US"});
  EXPECT_EQ(bad.code, 0);
  EXPECT_EQ(bad.out, "\xef\xbf\xbd\xef\xbf\xbd \xef\xbf\xbd\n");  // U+FFFD for bad bytes
  const RunResult huge = Format({std::string(10000, 'c'), "1", "--locale", "en-US"});
  EXPECT_EQ(huge.code, 0);
  EXPECT_EQ(huge.out, "\n");
}

}  // namespace
}  // namespace quillon::testing
