// Sub-commands of the quillon tool register themselves with one static Command object each.
#pragma once

#include <string>
#include <vector>

namespace quillon::tool {

// Runs one sub-command with the arguments after its name; returns the exit code.
using CommandFn = int (*)(const std::vector<std::string>& args);

struct Command {
  Command(const char* name, const char* usage, CommandFn run);
  const char* name;
  const char* usage;  // one line: "dump --cache FILE [--tsv]"
  CommandFn run;
};

// Prints "quillon: <message>" on stderr and returns 2, for bad input.
int UsageError(const std::string& message);
// Prints "quillon: <message>" on stderr and returns `code`.
int Fail(int code, const std::string& message);

}  // namespace quillon::tool
