// quillon: a command-line companion to the display control, for designers and server writers.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "command.h"

namespace quillon::tool {
namespace {

std::vector<const Command*>& Registry() {
  static std::vector<const Command*> commands;
  return commands;
}

void PrintUsage(FILE* out) {
  std::fprintf(out, "usage: quillon <command> [options]\ncommands:\n");
  for (const Command* c : Registry()) std::fprintf(out, "  %s\n", c->usage);
}

}  // namespace

Command::Command(const char* n, const char* u, CommandFn r) : name(n), usage(u), run(r) {
  Registry().push_back(this);
}

int UsageError(const std::string& message) { return Fail(2, message); }

int Fail(int code, const std::string& message) {
  std::fprintf(stderr, "quillon: %s\n", message.c_str());
  return code;
}

}  // namespace quillon::tool

int main(int argc, char** argv) {
  using quillon::tool::Registry;
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "help") == 0) {
    quillon::tool::PrintUsage(argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  const std::vector<std::string> args(argv + 2, argv + argc);
  for (const auto* c : Registry()) {
    if (argv[1] == std::string(c->name)) {
      try {
        return c->run(args);
      } catch (const std::exception& e) {
        return quillon::tool::Fail(1, e.what());
      }
    }
  }
  return quillon::tool::UsageError(std::string("unknown command '") + argv[1] +
                                   "' (see quillon --help)");
}
