// quillon-host: a display host for trying displays of controls and for tests. It opens a
// display file (docs/display-file.md), hosts each control as an OLE container does, switches
// design and run mode, edits the display in design mode, saves it back, writes screenshots
// and prints properties.
#include <ole2.h>
#include <shellapi.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "host_window.h"
#include "screenshot.h"

namespace {

using quillon::host::Action;
using quillon::host::HostOptions;

constexpr const char* kUsage =
    "usage: quillon-host [--mode run|design] [--ambient none] [--at SECONDS ACTION]...\n"
    "                    [--quit-after SECONDS] DISPLAY_FILE\n"
    "ACTION: print[=NAME,...] | screenshot=FILE.png|FILE.bmp | save[=FILE] | run | design |\n"
    "        hide=CONTROL | show=CONTROL | stats | quit |\n"
    "        select=CONTROL | move=CONTROL,DX,DY | add[=CLASS] | delete=CONTROL |\n"
    "        properties=CONTROL | close-frame | key=KEY | drag=X1,Y1,X2,Y2 | undo";

int UsageError(const std::string& what) {
  std::fprintf(stderr, "quillon-host: %s\n%s\n", what.c_str(), kUsage);
  return 64;
}

bool ParseSeconds(const std::string& text, double* seconds) {
  char* end = nullptr;
  *seconds = std::strtod(text.c_str(), &end);
  return !text.empty() && *end == '\0' && *seconds >= 0 && *seconds < 1e7;
}

std::vector<std::string> Arguments() {
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> out;
  for (int i = 1; wide && i < count; ++i) {
    const std::wstring w(wide[i]);
    out.push_back(
        quillon::ToUtf8(quillon::TextView(reinterpret_cast<const char16_t*>(w.data()), w.size())));
  }
  LocalFree(wide);
  return out;
}

// Fills options from the command line; a non-zero result is the exit code of an error.
int ParseCommandLine(const std::vector<std::string>& args, HostOptions* options) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool has_value = i + 1 < args.size();
    if (a == "--mode" && has_value) {
      const std::string& m = args[++i];
      if (m != "run" && m != "design") return UsageError("--mode is run or design");
      options->force_mode = true;
      options->run_mode = m == "run";
    } else if (a == "--ambient" && has_value) {
      if (args[++i] != "none") return UsageError("--ambient takes only none");
      options->no_ambient = true;
    } else if (a == "--at" && i + 2 < args.size()) {
      Action action;
      if (!ParseSeconds(args[i + 1], &action.at_seconds))
        return UsageError("bad time " + args[i + 1]);
      if (!quillon::host::ParseAction(args[i + 2], &action))
        return UsageError("bad action " + args[i + 2]);
      options->actions.push_back(action);
      i += 2;
    } else if (a == "--quit-after" && has_value) {
      Action quit;
      if (!ParseSeconds(args[++i], &quit.at_seconds)) return UsageError("bad time " + args[i]);
      options->actions.push_back(quit);
    } else if (a.rfind("--", 0) == 0 || !options->display_path.empty()) {
      return UsageError("unexpected argument " + a);
    } else {
      options->display_path = a;
    }
  }
  if (options->display_path.empty()) return UsageError("no display file");
  return 0;
}

}  // namespace

int main() {
  HostOptions options;
  if (const int rc = ParseCommandLine(Arguments(), &options)) return rc;
  std::string bytes, error;
  quillon::host::Display display;
  if (!quillon::host::ReadFileBytes(options.display_path, &bytes, &error)) {
    std::fprintf(stderr, "quillon-host: %s\n", error.c_str());
    return 1;
  }
  if (!quillon::host::ParseDisplay(bytes, &display, &error)) {
    std::fprintf(stderr, "quillon-host: %s: %s\n", options.display_path.c_str(), error.c_str());
    return 1;
  }
  SetProcessDPIAware();
  if (FAILED(OleInitialize(nullptr))) {
    std::fprintf(stderr, "quillon-host: cannot initialise OLE\n");
    return 1;
  }
  int rc = 1;
  {
    quillon::host::HostWindow host;
    if (host.Open(std::move(display), options, &error)) {
      rc = host.Run();
    } else {
      std::fprintf(stderr, "quillon-host: %s\n", error.c_str());
    }
  }
  CoFreeUnusedLibraries();
  OleUninitialize();
  return rc;
}
