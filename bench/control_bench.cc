// Controls in the steady phase on one thread over a 100,000-record cache file: the CPU spent
// on one simulated second of ticks for 1,000 controls, and the cost of a tick that is not due.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench_support.h"
#include "cache/record_codec.h"
#include "control/control_environment.h"
#include "control/headless_site.h"
#include "fakes/fake_clock.h"
#include "fakes/fake_echo_api.h"
#include "fakes/fake_registry_api.h"
#include "platform/windows_1252.h"

namespace quillon::bench {
namespace {

constexpr int kRecords = 100000;
constexpr int kControls = 1000;

Text ControlPoint(int i) { return PointName(1 + i * (kRecords / kControls)); }

// The platform's files and the French locale; a clock that moves when told to, no registry
// (the cache file is named directly) and no trace.
EnvironmentSeams BenchSeams() {
  return {.clock = std::make_unique<testing::FakeClock>(),
          .code_page = std::make_unique<Windows1252CodePage>(),
          .registry_api = std::make_unique<testing::FakeRegistryApi>(),
          .echo = std::make_unique<testing::FakeEchoApi>(),
          .locale = NewPlatformLocale("fr-FR"),
          .trace_active = false};
}

// 1,000 controls in run mode, each bound to its own point, periods spread over the table's
// fastest rows, last reads spread over the period so that the reads of a second are even.
struct Bench {
  Bench(int32_t poll_time)
      : env(BenchSeams()),
        clock(static_cast<testing::FakeClock&>(env.clock())),
        file(env.files(), env.code_page(), kRecords, [read_at = clock.Now() + 1](int n) {
          EnregCache r = PointRecord(n, 2);
          r.dtmLecture = read_at;
          return r;
        }) {
    env.shared().cache().UseFile(file.text_path());
    for (int i = 0; i < kControls; ++i) {
      auto c = std::make_unique<HeadlessControl>(env.services());
      c->control().InitProperties();
      c->control().put_Frequence_Rafraichissement(poll_time);
      c->control().put_NTF(ControlPoint(i));
      c->control().Show();
      controls.push_back(std::move(c));
    }
    clock.AdvanceSeconds(1);
    for (auto& c : controls) c->Tick();  // the fresh records end the start-up phase at once
    for (int s = 0; s < PollTimeSeconds(poll_time); ++s) {
      clock.AdvanceSeconds(1);
      for (int i = s; i < kControls; i += PollTimeSeconds(poll_time))
        controls[i]->control().MaJNTF(u"", u"", 0, clock.Now());
    }
  }

  // One simulated second: every control's timer ticks once.
  int Second() {
    clock.AdvanceSeconds(1);
    int ticked = 0;
    for (auto& c : controls) ticked += c->Tick();
    return ticked;
  }

  ControlEnvironment env;
  testing::FakeClock& clock;
  BenchFile file;
  std::vector<std::unique_ptr<HeadlessControl>> controls;
};

void BM_SecondOfTicks(benchmark::State& state) {
  Bench bench(static_cast<int32_t>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(bench.Second());
  state.counters["controls"] = kControls;
  state.counters["records"] = kRecords;
}
BENCHMARK(BM_SecondOfTicks)->Arg(Seconde_10)->Arg(Minute_01)->Unit(benchmark::kMillisecond);

// The start-up phase: every control reads its point and asks for a forced read every second
// (1,000 reads and 1,000 forced reads a second). The server serves nothing, so the phase
// lasts 30 s; every 25 simulated seconds, untimed, the display goes to design mode and back.
void BM_SecondOfTicksStartUp(benchmark::State& state) {
  Bench bench(Seconde_10);
  const auto restart = [&] {
    for (auto& c : bench.controls) {
      c->site().set_user_mode(UserMode::kDesign);
      c->control().AmbientChanged(u"UserMode");
      c->site().set_user_mode(UserMode::kRun);
      c->control().AmbientChanged(u"UserMode");
    }
  };
  restart();
  int seconds = 0;
  for (auto _ : state) {
    if (++seconds % 25 == 0) {
      state.PauseTiming();
      restart();
      state.ResumeTiming();
    }
    benchmark::DoNotOptimize(bench.Second());
  }
  state.counters["controls"] = kControls;
  state.counters["records"] = kRecords;
}
BENCHMARK(BM_SecondOfTicksStartUp)->Unit(benchmark::kMillisecond);

void BM_TickNotDue(benchmark::State& state) {
  Bench bench(Minute_30);
  QuillonPD& control = bench.controls[0]->control();
  for (auto _ : state) control.timerRead_Timer();
}
BENCHMARK(BM_TickNotDue)->Unit(benchmark::kNanosecond);

}  // namespace
}  // namespace quillon::bench
