// quillon: a command-line companion to the display control, for designers and server writers.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "command.h"

namespace quillon::tool {
namespace {

std::vector<const Command*>& Registry() {
  static std::vector<const Command*> commands;
  return commands;
}

constexpr size_t kHelpWidth = 80;
constexpr size_t kHelpColumn = 26;

// `text` broken at spaces into lines of at most `width` characters.
std::string Wrap(const std::string& text, size_t width) {
  std::string out, line;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(' ', start);
    if (end == std::string::npos) end = text.size();
    const std::string word = text.substr(start, end - start);
    if (!line.empty() && line.size() + 1 + word.size() > width) {
      out += line + "\n";
      line.clear();
    }
    line += (line.empty() ? "" : " ") + word;
    start = end + 1;
  }
  return out + line;
}

// CLI11's help in the tool's words: "COMMAND" for sub-commands, texts wrapped to 80 columns,
// and a usage line that leaves out the positionals kept out of the help (see format).
class HelpFormatter : public CLI::Formatter {
 public:
  HelpFormatter() {
    label("SUBCOMMAND", "COMMAND");
    label("Positionals", "Arguments");
    column_width(kHelpColumn);
  }
  std::string make_description(const CLI::App* app) const override {
    return Wrap(app->get_description(), kHelpWidth) + "\n\n";
  }
  std::string make_footer(const CLI::App* app) const override {
    return app->get_footer().empty() ? "" : Wrap(app->get_footer(), kHelpWidth) + "\n";
  }
  std::string make_option_desc(const CLI::Option* option) const override {
    return Wrap(option->get_description(), kHelpWidth - kHelpColumn);
  }
  std::string make_subcommand(const CLI::App* sub) const override {
    std::ostringstream out;
    CLI::detail::format_help(out, sub->get_name(),
                             Wrap(sub->get_description(), kHelpWidth - kHelpColumn), kHelpColumn);
    return out.str();
  }
  std::string make_usage(const CLI::App* app, std::string name) const override {
    std::string out = get_label("Usage") + ": " + name;
    if (!app->get_options([](const CLI::Option* o) { return o->nonpositional(); }).empty()) {
      out += " [" + get_label("OPTIONS") + "]";
    }
    for (const CLI::Option* o : app->get_options(
             [](const CLI::Option* o) { return o->get_positional() && !o->get_group().empty(); })) {
      out += " " + make_option_usage(o);
    }
    if (!app->get_subcommands({}).empty()) out += " " + get_label("SUBCOMMAND");
    return out + "\n";
  }
};

struct Program {
  CLI::App app{
      "A companion to the display control: try formats, run a display control, look "
      "into and serve the shared cache file.",
      "quillon"};
  std::map<const CLI::App*, CommandBody> bodies;
};

void Build(Program& p) {
  p.app.formatter(std::make_shared<HelpFormatter>());
  p.app.set_version_flag("--version", "quillon " QUILLON_VERSION, "show the version and exit");
  p.app.set_help_flag("-h,--help", "show this help and exit");
  // A repeated option counts with its last value, as the tool always did.
  p.app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  std::vector<const Command*> commands = Registry();
  std::sort(commands.begin(), commands.end(),
            [](const Command* a, const Command* b) { return std::string(a->name) < b->name; });
  for (const Command* c : commands) {
    CLI::App* sub = p.app.add_subcommand(c->name, c->summary);
    sub->group("Commands");
    sub->set_help_flag("-h,--help", "show this help and exit");
    p.bodies[sub] = c->setup(*sub);
  }
  // Listed only: "quillon help COMMAND" is answered before the command line is parsed, since
  // CLI11 would take COMMAND for that command itself.
  p.app.add_subcommand("help", "show the commands, or what one command does and its options")
      ->group("Commands");
  p.app.footer("Run 'quillon help COMMAND' or 'quillon COMMAND --help' for a command's options.");
}

bool IsOption(const std::string& arg) {
  return arg.size() > 1 && arg[0] == '-' && !std::isdigit(static_cast<unsigned char>(arg[1]));
}

// CLI11's message for a parse error, in the tool's words where they are clearer.
std::string ErrorText(const CLI::ParseError& e, const CLI::App& app, const CLI::App* command) {
  const std::string what = e.what();
  const std::vector<std::string> extras = app.remaining(true);
  const std::string first = extras.empty() ? std::string() : extras.front();
  // A required argument may be missing only because an unknown option stood in its place.
  if (dynamic_cast<const CLI::ExtrasError*>(&e) ||
      (dynamic_cast<const CLI::RequiredError*>(&e) && IsOption(first))) {
    if (!command && !IsOption(first)) return "unknown command '" + first + "'";
    return (IsOption(first) ? "unknown option '" : "unexpected argument '") + first + "'";
  }
  // "--locale: 1 required NAME missing"
  const size_t required = what.find(": 1 required ");
  if (dynamic_cast<const CLI::ArgumentMismatch*>(&e) && required != std::string::npos &&
      what.size() > 8 && what.compare(what.size() - 8, 8, " missing") == 0) {
    return what.substr(0, required) + " needs a value";
  }
  return what;
}

const CLI::App* SelectedCommand(const CLI::App& app) {
  const auto selected = app.get_subcommands();
  return selected.empty() ? nullptr : selected.front();
}

// quillon help [COMMAND]
int RunHelp(const Program& p, const std::vector<std::string>& topics) {
  if (topics.size() > 1) return UsageError("help takes one COMMAND (see quillon --help)");
  if (topics.empty() || topics[0] == "--help" || topics[0] == "-h") {
    std::fputs(p.app.help().c_str(), stdout);
    return 0;
  }
  for (const auto& [sub, body] : p.bodies) {
    if (sub->get_name() == topics[0]) {
      std::fputs(sub->help("quillon").c_str(), stdout);
      return 0;
    }
  }
  return UsageError("unknown command '" + topics[0] + "' (see quillon --help)");
}

int Parse(Program& p, int argc, char** argv) {
  try {
    p.app.parse(argc, argv);
    return -1;
  } catch (const CLI::Success& e) {  // --help or --version
    return p.app.exit(e);
  } catch (const CLI::ParseError& e) {
    const CLI::App* command = SelectedCommand(p.app);
    const std::string see =
        command ? "quillon " + command->get_name() + " --help" : "quillon --help";
    return UsageError(ErrorText(e, p.app, command) + " (see " + see + ")");
  }
}

int Run(Program& p, int argc, char** argv) {
  if (argc >= 2 && std::string(argv[1]) == "help") {
    return RunHelp(p, std::vector<std::string>(argv + 2, argv + argc));
  }
  if (const int code = Parse(p, argc, argv); code >= 0) return code;
  const CLI::App* command = SelectedCommand(p.app);
  if (!command) {  // no command: the overview, as a usage error
    std::fputs(p.app.help().c_str(), stderr);
    return 2;
  }
  return p.bodies.at(command)();
}

}  // namespace

Command::Command(const char* n, const char* s, CommandSetup setup)
    : name(n), summary(s), setup(setup) {
  Registry().push_back(this);
}

int UsageError(const std::string& message) { return Fail(2, message); }

int Fail(int code, const std::string& message) {
  std::fprintf(stderr, "quillon: %s\n", message.c_str());
  return code;
}

}  // namespace quillon::tool

int main(int argc, char** argv) {
  using namespace quillon::tool;
  try {
    Program p;
    Build(p);
    const int code = Run(p, argc, argv);
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
      return Fail(1, "cannot write the output");
    }
    return code;
  } catch (const std::exception& e) {
    return Fail(1, e.what());
  }
}
