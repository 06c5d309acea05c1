// quillon demo: the stand-in server on a temporary cache file with a few simulated points,
// and display controls on them in run mode, their faces side by side, live, on one thread:
// each second the server serves once and every control's timer ticks.
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <thread>

#include "cache_tool.h"
#include "command.h"
#include "control/control_environment.h"
#include "control/headless_site.h"
#include "control_view.h"
#include "stand_in_server.h"

namespace quillon::tool {
namespace {
namespace demo_command {

namespace fs = std::filesystem;

constexpr double kDefaultDuration = 20;

volatile std::sig_atomic_t g_stop = 0;
void OnInterrupt(int) { g_stop = 1; }

struct DemoPoint {
  const char16_t* ntf;
  int32_t poll;
  const char16_t* format;
};

// A level ramp, a flow sine, a pump counter and a slow oven ramp, at four periods.
constexpr DemoPoint kPoints[] = {
    {u"USINE:CUVE1.NIVEAU", Seconde_10, u"0 %"},
    {u"USINE:LIGNE4.DEBIT", Seconde_15, u"0.00"},
    {u"USINE:POMPE1.COMPTEUR", Seconde_20, u""},
    {u"USINE:FOUR2.TEMP", Minute_01, u"0"},
};

// A new folder under the system's temporary folder.
bool MakeTempFolder(fs::path* folder, std::string* error) {
  std::error_code ec;
  const fs::path base = fs::temp_directory_path(ec);
  if (ec) {
    *error = "no temporary folder: " + ec.message();
    return false;
  }
  std::random_device random;
  for (int attempt = 0; attempt < 20; ++attempt) {
    *folder = base / ("quillon-demo-" + std::to_string(random() % 1000000000u));
    if (fs::create_directory(*folder, ec)) return true;
  }
  *error = "cannot create a folder in " + base.string();
  return false;
}

struct DemoOptions {
  double duration = kDefaultDuration;
  size_t columns = 120;  // of the terminal, from COLUMNS when set
};

class Demo {
 public:
  explicit Demo(const Text& cache_path)
      : server_(platform_.files(), platform_.clock(), platform_.code_page(), cache_path) {
    platform_.shared().cache().UseFile(cache_path);
    for (const DemoPoint& p : kPoints) {
      auto hc = std::make_unique<HeadlessControl>(platform_.services());
      MemoryPropertyBag bag;  // as a display opens: its saved settings, then Show
      bag.Write(u"strNTF", Text(p.ntf));
      bag.Write(u"udtPollTime", p.poll);
      bag.Write(u"strFormat", Text(p.format));
      hc->control().ReadProperties(bag);
      hc->control().Show();
      controls_.push_back(std::move(hc));
    }
  }
  ~Demo() {
    for (auto& hc : controls_) hc->control().Hide();
  }

  // One second of the display: the server serves, then every timer ticks, in one wake of the
  // thread's timer.
  bool Second() {
    if (server_.ServeOnce() < 0) return false;
    platform_.shared().BeginBurst();
    for (auto& hc : controls_) hc->Tick();
    platform_.shared().EndBurst();
    return true;
  }

  uint64_t FaceChanges() const {
    uint64_t n = 0;
    for (const auto& hc : controls_) n += hc->control().face().revision();
    return n;
  }

  void Draw(bool live, double left, size_t columns) {
    RenderOptions render;
    render.ansi_colours = live;
    std::vector<std::vector<std::string>> panels;
    for (auto& hc : controls_) {
      std::vector<std::string> panel = RenderFace(hc->control().face(), render);
      const size_t width = DisplayWidth(panel[0]);
      panel.push_back(
          FitLines({"Formatage          " + QuotedText(hc->control().get_Formatage())}, width)[0]);
      for (const std::string& line : FitLines(ValueLines(hc->control()), width)) {
        panel.push_back(line);
      }
      panels.push_back(std::move(panel));
    }
    if (live) std::printf("\x1b[H\x1b[2J");
    std::printf("quillon demo: %zu controls, stand-in server on %s; %.0f s left%s\n\n",
                controls_.size(), ToUtf8(server_.cache_path()).c_str(), left,
                live ? " (Ctrl-C stops)" : "");
    const size_t panel_width = panels.empty() ? 1 : DisplayWidth(panels[0][0]);
    const size_t per_row = std::max<size_t>(1, (columns + 2) / (panel_width + 2));
    for (size_t first = 0; first < panels.size(); first += per_row) {
      std::vector<std::vector<std::string>> row(
          panels.begin() + first, panels.begin() + std::min(panels.size(), first + per_row));
      for (const std::string& line : SideBySide(row, 2)) std::printf("%s\n", line.c_str());
      std::printf("\n");
    }
    std::fflush(stdout);
  }

 private:
  ControlEnvironment platform_;
  StandInServer server_;
  std::vector<std::unique_ptr<HeadlessControl>> controls_;
};

void WaitUntil(std::chrono::steady_clock::time_point until) {
  while (!g_stop && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
        until - std::chrono::steady_clock::now(), std::chrono::milliseconds(100)));
  }
}

int RunDemo(const Text& cache_path, const DemoOptions& o) {
  const bool live = isatty(1) && !std::getenv("NO_COLOR");
  Demo demo(cache_path);
  demo.Draw(live, o.duration, o.columns);
  uint64_t drawn = demo.FaceChanges();
  const auto start = std::chrono::steady_clock::now();
  for (int s = 1; s <= o.duration && !g_stop; ++s) {
    WaitUntil(start + std::chrono::seconds(s));
    if (g_stop) break;
    if (!demo.Second()) return Fail(1, "cannot open " + ToUtf8(cache_path));
    if (live || demo.FaceChanges() != drawn) demo.Draw(live, o.duration - s, o.columns);
    drawn = demo.FaceChanges();
  }
  return 0;
}

struct DemoArguments {
  std::string duration;
};

bool ParseDemoOptions(const DemoArguments& args, DemoOptions* o, std::string* error) {
  if (const std::string& d = args.duration; !d.empty()) {
    char* end = nullptr;
    o->duration = std::strtod(d.c_str(), &end);
    if (*end != '\0' || !(o->duration >= 1 && o->duration <= 86400)) {
      *error = "--duration wants a number of seconds from 1 to 86400: " + d;
      return false;
    }
  }
  if (const char* columns = std::getenv("COLUMNS")) {
    const long n = std::strtol(columns, nullptr, 10);
    if (n >= 40 && n <= 1000) o->columns = static_cast<size_t>(n);
  }
  return true;
}

int Run(const DemoArguments& args) {
  DemoOptions o;
  std::string error;
  if (!ParseDemoOptions(args, &o, &error)) return UsageError(error);
  fs::path folder;
  if (!MakeTempFolder(&folder, &error)) return Fail(1, error);
  g_stop = 0;
  std::signal(SIGINT, OnInterrupt);
  const fs::path cache = folder / "cacheQuillonPD_V2.dat";
  const int code = RunDemo(FromUtf8(cache.string()), o);
  std::error_code ec;
  fs::remove_all(folder, ec);
  if (ec) return Fail(1, "cannot remove " + folder.string() + ": " + ec.message());
  std::printf("demo over; removed %s\n", folder.string().c_str());
  return code;
}

CommandBody Setup(CLI::App& app) {
  auto o = std::make_shared<DemoArguments>();
  app.add_option("--duration", o->duration, "how long to run, 1 to 86400 seconds (default 20)")
      ->type_name("SECONDS");
  return [o] { return Run(*o); };
}

const Command kCmd{"demo",
                   "run the stand-in server on a temporary cache file and show several display "
                   "controls fed by it side by side, live; the file is removed at the end",
                   &Setup};

}  // namespace demo_command
}  // namespace
}  // namespace quillon::tool
