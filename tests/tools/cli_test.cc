// The tool's command line: its version, the help of every command, and the one-line errors.
#include "cache_tools_support.h"

namespace quillon::testing {
namespace {

class CommandLineTest : public ToolTest {
 protected:
  static bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
  }
};

// Each command with the options its help must explain.
const std::vector<std::pair<std::string, std::vector<std::string>>> kCommands = {
    {"demo", {"--duration SECONDS"}},
    {"doctor", {"--ping ADDRESS"}},
    {"dump", {"--cache FILE", "--tsv"}},
    {"find", {"NTF", "--cache FILE"}},
    {"format", {"PATTERN", "VALUE", "--locale NAME"}},
    {"request", {"NTF", "--poll CODE", "--cache FILE"}},
    {"serve", {"--cache FILE", "--values FILE", "--once", "--duration SECONDS"}},
    {"watch",
     {"NTF", "--poll CODE", "--format PATTERN", "--cache FILE", "--locale NAME",
      "--duration SECONDS"}},
};

TEST_F(CommandLineTest, VersionIsTheLibrarys) {
  const RunResult r = Run({"--version"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "quillon " QUILLON_VERSION "\n");
  EXPECT_EQ(r.err, "");
}

TEST_F(CommandLineTest, OverviewListsEveryCommandWithWhatItDoes) {
  const RunResult r = Run({"--help"});
  EXPECT_EQ(r.code, 0);
  for (const auto& [command, options] : kCommands) {
    EXPECT_TRUE(Has(r.out, "\n  " + command + "  ")) << command;
  }
  EXPECT_EQ(Run({"help"}).out, r.out);
  // Without a command: the same overview on stderr, as a usage error.
  const RunResult none = Run({});
  EXPECT_EQ(none.code, 2);
  EXPECT_EQ(none.out, "");
  EXPECT_EQ(none.err, r.out);
}

TEST_F(CommandLineTest, EachCommandsHelpSaysWhatItDoesAndWhatEachOptionMeans) {
  for (const auto& [command, options] : kCommands) {
    const RunResult help = Run({"help", command});
    EXPECT_EQ(help.code, 0) << command;
    EXPECT_EQ(Run({command, "--help"}).out, help.out) << command;
    const auto lines = Lines(help.out);
    ASSERT_GT(lines.size(), 3u) << command;
    EXPECT_GT(lines[0].size(), 30u) << command;  // what the command does
    EXPECT_TRUE(Has(help.out, "Usage: quillon " + command)) << help.out;
    for (const std::string& option : options) {
      bool explained = false;  // the option's line carries a meaning after its name
      for (const std::string& line : lines) {
        const size_t at = line.find("  " + option);
        if (at == 0 && line.size() > 26 && line.find_first_not_of(' ', 26) != std::string::npos) {
          explained = true;
        }
      }
      EXPECT_TRUE(explained) << command << " " << option << "\n" << help.out;
    }
  }
}

TEST_F(CommandLineTest, BadCommandLinesGetOneLineAndExitTwo) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"frobnicate"}, "quillon: unknown command 'frobnicate' (see quillon --help)\n"},
      {{"--frobnicate"}, "quillon: unknown option '--frobnicate' (see quillon --help)\n"},
      {{"help", "frobnicate"}, "quillon: unknown command 'frobnicate' (see quillon --help)\n"},
      {{"dump", "--cache"}, "quillon: --cache needs a value (see quillon dump --help)\n"},
      {{"dump"}, "quillon: --cache is required (see quillon dump --help)\n"},
      {{"dump", "--cache", ""}, "quillon: --cache: must not be empty (see quillon dump --help)\n"},
      {{"dump", "--cache", "c.dat", "--wide"},
       "quillon: unknown option '--wide' (see quillon dump --help)\n"},
      {{"find", "--cache", "c.dat", "A:B.C", "--", "D:E.F"},
       "quillon: unexpected argument 'D:E.F' (see quillon find --help)\n"},
      {{"format", "0.00", "-.5"}, "quillon: unknown option '-.5' (see quillon format --help)\n"},
  };
  for (const auto& [args, message] : cases) {
    const RunResult r = Run(args);
    EXPECT_EQ(r.code, 2) << args[0];
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, message);
  }
}

TEST_F(CommandLineTest, OutputThatCannotBeWrittenIsAFailure) {
  const std::string file = WriteCache({{1, "A:B.C"}, {1, "D:E.F"}});
  for (const std::string& args : {std::string("--help"), "dump --tsv --cache '" + file + "'"}) {
    const std::string command =
        "'" QUILLON_EXE "' " + args + " >/dev/full 2>'" + Path("err.txt") + "'";
    const int status = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << args;
    EXPECT_EQ(ReadFile(Path("err.txt")), "quillon: cannot write the output\n") << args;
  }
}

TEST_F(CommandLineTest, OptionsTakeTheirValueEitherWayAndTheLastOneCounts) {
  const std::string first = WriteCache({{1, "A:B.C"}}, "first.dat");
  const std::string second = WriteCache({{1, "D:E.F"}}, "second.dat");
  const RunResult r = Run({"find", "--cache=" + first, "D:E.F", "--cache", second});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(Lines(r.out).size(), 2u);
  // After "--" every argument is a positional one, even one that looks like an option.
  EXPECT_EQ(Run({"find", "--cache", second, "--", "--cache"}).err, "quillon: not found\n");
}

}  // namespace
}  // namespace quillon::testing
