// Sub-commands of the quillon tool register themselves with one static Command object each.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <string>

namespace quillon::tool {

// A command's body, run once its arguments are parsed; returns the exit code.
using CommandBody = std::function<int()>;
// Declares a command's options and arguments on `app`, each with its meaning, bound to state
// that the returned body owns.
using CommandSetup = CommandBody (*)(CLI::App& app);

struct Command {
  Command(const char* name, const char* summary, CommandSetup setup);
  const char* name;
  const char* summary;  // one line saying what the command does
  CommandSetup setup;
};

// Refuses an empty option value ("--cache ''").
inline const CLI::Validator kNotEmpty(
    [](std::string& value) { return value.empty() ? "must not be empty" : std::string(); }, "");

// Prints "quillon: <message>" on stderr and returns 2, for bad input.
int UsageError(const std::string& message);
// Prints "quillon: <message>" on stderr and returns `code`.
int Fail(int code, const std::string& message);

}  // namespace quillon::tool
