// quillon format, run like a designer would: one line per value, what Valeur returns.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace quillon::testing {
namespace {

struct FormatRun {
  int code = -1;
  std::string out;
  std::string err;
};

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Runs quillon with `args` under the environment LC_ALL / LANG given (empty: unset).
FormatRun RunQuillon(const std::vector<std::string>& args, const std::string& lc_all = "",
                     const std::string& lang = "") {
  const std::string base = ::testing::TempDir() + "format_test_" + std::to_string(getpid());
  const std::string out_path = base + ".out";
  const std::string err_path = base + ".err";
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    if (!std::freopen(out_path.c_str(), "w", stdout) ||
        !std::freopen(err_path.c_str(), "w", stderr)) {
      _exit(127);
    }
    lc_all.empty() ? unsetenv("LC_ALL") : setenv("LC_ALL", lc_all.c_str(), 1);
    lang.empty() ? unsetenv("LANG") : setenv("LANG", lang.c_str(), 1);
    std::vector<char*> argv{const_cast<char*>(QUILLON_EXE), const_cast<char*>("format")};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(QUILLON_EXE, argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  FormatRun r;
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.out = Slurp(out_path);
  r.err = Slurp(err_path);
  std::remove(out_path.c_str());
  std::remove(err_path.c_str());
  return r;
}

TEST(FormatCommandTest, OneLinePerValueAsTheValueProperty) {
  const FormatRun r = RunQuillon({"0 %", "12", "abc", "", "--locale", "en-US"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "12 %\nabc\n\n");
  EXPECT_EQ(r.err, "");
}

TEST(FormatCommandTest, LocaleOptionAnywhereAndExplicitEnd) {
  EXPECT_EQ(RunQuillon({"--locale=fr-FR", "0.00", "12,5"}).out, "12,50\n");
  EXPECT_EQ(RunQuillon({"#,##0.00", "--locale", "fr-FR", "1234567,891"}).out,
            "1\u00A0234\u00A0567,89\n");
  EXPECT_EQ(RunQuillon({"--locale", "en-US", "--", "0.00", "--locale"}).out, "--locale\n");
  EXPECT_EQ(RunQuillon({"0.00;(0.00)", "-3.5", "--locale", "en-US"}).out, "(3.50)\n");
}

TEST(FormatCommandTest, EmptyPatternShowsTheStoredTextAndAFailureAnEmptyLine) {
  EXPECT_EQ(RunQuillon({"", " 012,50 ", "--locale", "en-US"}).out, " 012,50 \n");
  const FormatRun r = RunQuillon({"0;0;0;0;0", "3", "--locale", "en-US"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "\n");
}

TEST(FormatCommandTest, DefaultLocaleFollowsLcAllThenLang) {
  EXPECT_EQ(RunQuillon({"0.00", "12,5"}, "fr_FR.UTF-8", "en_US.UTF-8").out, "12,50\n");
  EXPECT_EQ(RunQuillon({"0.00", "12,5"}, "", "fr_BE.UTF-8").out, "12,50\n");
  EXPECT_EQ(RunQuillon({"0.00", "12,5"}, "C", "fr_FR.UTF-8").out, "125.00\n");
  EXPECT_EQ(RunQuillon({"dddd", "15/03/2023"}, "", "").out, "Wednesday\n");
}

TEST(FormatCommandTest, BadInvocationsFailWithOneLine) {
  const struct {
    std::vector<std::string> args;
    std::string message;
  } cases[] = {
      {{}, "quillon: format needs a PATTERN and at least one VALUE\n"},
      {{"0.00"}, "quillon: format needs at least one VALUE after PATTERN\n"},
      {{"0", "1", "--locale"}, "quillon: --locale needs a name (fr-FR or en-US)\n"},
      {{"0", "1", "--locale", "de-DE"}, "quillon: unknown locale 'de-DE' (use fr-FR or en-US)\n"},
  };
  for (const auto& c : cases) {
    const FormatRun r = RunQuillon(c.args);
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, c.message);
  }
}

TEST(FormatCommandTest, MalformedUtf8AndHostilePatternsDoNotCrash) {
  const FormatRun bad = RunQuillon({"\xff\xfe@@", "\xc3", "--locale", "en-US"});
  EXPECT_EQ(bad.code, 0);
  EXPECT_EQ(bad.out, "\xef\xbf\xbd\xef\xbf\xbd \xef\xbf\xbd\n");  // U+FFFD for bad bytes
  const FormatRun huge = RunQuillon({std::string(10000, 'c'), "1", "--locale", "en-US"});
  EXPECT_EQ(huge.code, 0);
  EXPECT_EQ(huge.out, "\n");
}

}  // namespace
}  // namespace quillon::testing
