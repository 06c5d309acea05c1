// quillon watch: one display control in run mode on a real one-second timer, printing its
// face and its five value properties whenever a caption changes.
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>

#include "cache_file.h"
#include "cache_tool.h"
#include "command.h"
#include "common/oledate.h"
#include "control/control_environment.h"
#include "control/headless_site.h"
#include "control_view.h"
#include "platform/locale.h"

namespace quillon::tool {
namespace {
namespace watch_command {

volatile std::sig_atomic_t g_stop = 0;
void OnInterrupt(int) { g_stop = 1; }

struct WatchSettings {
  Text ntf;
  int32_t poll = Minute_01;
  Text format;
  std::unique_ptr<Locale> locale;
  double duration = 0;  // 0: until interrupted
};

struct WatchOptions {
  std::string ntf;
  std::string poll;
  std::string format;
  std::string cache;
  std::string locale;
  std::string duration;
};

// Checks the options; an empty result means *settings is complete.
std::string ParseSettings(const WatchOptions& options, WatchSettings* settings) {
  settings->ntf = FromUtf8(options.ntf);
  if (!options.poll.empty()) {
    const auto code = ParsePollTime(options.poll);
    if (!code) {
      return "--poll wants an E_POLLTIME value or name (90, Seconde_10, ...): " + options.poll;
    }
    settings->poll = *code;
  }
  settings->format = FromUtf8(options.format);
  const std::string& name = options.locale;
  settings->locale = name.empty() ? NewPlatformLocale() : NewPlatformLocale(name);
  if (!settings->locale) return "--locale wants fr-FR or en-US: " + name;
  if (const std::string& d = options.duration; !d.empty()) {
    char* end = nullptr;
    settings->duration = std::strtod(d.c_str(), &end);
    if (*end != '\0' || !(settings->duration > 0 && settings->duration < 1e7)) {
      return "--duration wants a number of seconds greater than 0: " + d;
    }
  }
  return "";
}

// The cache file the control will read: the one named, or the library's own.
bool ChooseCache(const WatchOptions& options, ControlEnvironment& platform, std::string* error) {
  FctCache& cache = platform.shared().cache();
  if (!options.cache.empty()) {
    if (!CheckRegularFile(options.cache, false, error)) return false;
    cache.UseFile(FromUtf8(options.cache));
  }
  const bool open = cache.fctOuvrirCache() == 0;
  cache.CloseFile();
  if (!open) *error = "cannot open " + ShowCachePath(cache);
  return open;
}

void PrintFace(HeadlessControl& hc, Clock& clock, bool colour) {
  DateTimeParts now;
  DateToParts(clock.Now(), &now);
  std::printf("--- %02d:%02d:%02d\n", now.hour, now.minute, now.second);
  RenderOptions options;
  options.ansi_colours = colour;
  for (const std::string& line : RenderFace(hc.control().face(), options)) {
    std::printf("%s\n", line.c_str());
  }
  for (const std::string& line : ValueLines(hc.control())) std::printf("  %s\n", line.c_str());
  std::fflush(stdout);
}

// Waits until `until`, in short steps so that an interrupt is seen at once.
void WaitUntil(std::chrono::steady_clock::time_point until) {
  while (!g_stop && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
        until - std::chrono::steady_clock::now(), std::chrono::milliseconds(100)));
  }
}

int Watch(WatchSettings& s, ControlEnvironment& platform) {
  const bool colour = isatty(1) && !std::getenv("NO_COLOR");
  HeadlessControl hc(platform.services());
  // As a display opens: the saved settings, then Show in run mode.
  MemoryPropertyBag bag;
  bag.Write(u"strNTF", s.ntf);
  bag.Write(u"udtPollTime", s.poll);
  bag.Write(u"strFormat", s.format);
  hc.control().ReadProperties(bag);
  hc.control().Show();
  PrintFace(hc, platform.clock(), colour);
  uint64_t shown = hc.control().face().revision();
  const auto start = std::chrono::steady_clock::now();
  const auto end = start + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                               std::chrono::duration<double>(s.duration));
  for (auto tick = start + std::chrono::seconds(1); !g_stop; tick += std::chrono::seconds(1)) {
    if (s.duration > 0 && tick > end) break;
    WaitUntil(tick);
    if (g_stop) break;
    hc.Tick();
    if (hc.control().face().revision() != shown) {
      PrintFace(hc, platform.clock(), colour);
      shown = hc.control().face().revision();
    }
  }
  hc.control().Hide();
  return 0;
}

int Run(const WatchOptions& options) {
  WatchSettings settings;
  std::string error = ParseSettings(options, &settings);
  if (!error.empty()) return UsageError(error);
  ControlEnvironment platform({.locale = std::move(settings.locale)});
  if (!ChooseCache(options, platform, &error)) return Fail(1, error);
  g_stop = 0;
  std::signal(SIGINT, OnInterrupt);
  return Watch(settings, platform);
}

CommandBody Setup(CLI::App& app) {
  auto o = std::make_shared<WatchOptions>();
  app.add_option("NTF", o->ntf, "the point reference, Noeud:Tag.Field")->required()->type_name("");
  app.add_option("--poll", o->poll,
                 "the refresh period: a value such as 90 or a name such as Seconde_10 (default "
                 "Minute_01)")
      ->type_name("CODE");
  app.add_option("--format", o->format, "the control's format pattern (default: none)")
      ->type_name("PATTERN");
  app.add_option("--cache", o->cache,
                 "the cache file (default: the one a control uses, under the installation path)")
      ->type_name("FILE")
      ->check(kNotEmpty);
  app.add_option("--locale", o->locale, "fr-FR or en-US (default: from LC_ALL, then LANG)")
      ->type_name("NAME");
  app.add_option("--duration", o->duration,
                 "stop after this many seconds (default: run until "
                 "interrupted)")
      ->type_name("SECONDS");
  return [o] { return Run(*o); };
}

const Command kCmd{"watch",
                   "run one display control on a one-second timer and print its face and value "
                   "properties whenever a caption changes",
                   &Setup};

}  // namespace watch_command
}  // namespace
}  // namespace quillon::tool
