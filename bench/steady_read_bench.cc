// One control in the steady phase, one read per iteration (its period of 10 s elapsed at
// every iteration), its forced read flushed in the same tick: run under `strace -c` with the
// two iteration counts, the difference of the counts gives the file calls of one read.
// Then a display of 1,000 controls at Seconde_10 (100 reads a second, each forced read
// flushed a second after its read), one simulated second per iteration: the difference of
// the counts over 20 iterations, divided by 2,000 reads.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "bench_support.h"
#include "control/control_environment.h"
#include "control/headless_site.h"
#include "fakes/fake_clock.h"
#include "fakes/fake_echo_api.h"
#include "fakes/fake_registry_api.h"
#include "platform/windows_1252.h"

namespace quillon::bench {
namespace {

constexpr int kRecords = 100000;

EnvironmentSeams Seams() {
  EnvironmentSeams seams;
  seams.clock = std::make_unique<testing::FakeClock>();
  seams.code_page = std::make_unique<Windows1252CodePage>();
  seams.registry_api = std::make_unique<testing::FakeRegistryApi>();
  seams.echo = std::make_unique<testing::FakeEchoApi>();
  seams.locale = NewPlatformLocale("fr-FR");
  seams.trace_active = false;
  return seams;
}

void BM_OneControlSteadyRead(benchmark::State& state) {
  ControlEnvironment env(Seams());
  auto& clock = static_cast<testing::FakeClock&>(env.clock());
  BenchFile file(env.files(), env.code_page(), kRecords, [&](int n) {
    EnregCache r = PointRecord(n, 2);
    r.dtmLecture = clock.Now() + 1;
    return r;
  });
  env.shared().cache().UseFile(file.text_path());
  HeadlessControl c(env.services());
  c.control().InitProperties();
  c.control().put_Frequence_Rafraichissement(Seconde_10);
  c.control().put_NTF(PointName(kRecords / 2));
  c.control().Show();
  clock.AdvanceSeconds(1);
  c.Tick();  // found by a scan, indexed; the fresh record ends the start-up phase
  for (auto _ : state) {
    clock.AdvanceSeconds(10);
    c.Tick();
  }
}
BENCHMARK(BM_OneControlSteadyRead)->Iterations(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OneControlSteadyRead)->Iterations(3000)->Unit(benchmark::kMicrosecond);

// The controls' records spread over the file (`range(0)` 0) or side by side (1).
void BM_DisplaySteadySecond(benchmark::State& state) {
  constexpr int kControls = 1000;
  const bool packed = state.range(0) != 0;
  ControlEnvironment env(Seams());
  auto& clock = static_cast<testing::FakeClock&>(env.clock());
  BenchFile file(env.files(), env.code_page(), kRecords, [&](int n) {
    EnregCache r = PointRecord(n, 2);
    r.dtmLecture = clock.Now() + 1;
    return r;
  });
  env.shared().cache().UseFile(file.text_path());
  std::vector<std::unique_ptr<HeadlessControl>> controls;
  for (int i = 0; i < kControls; ++i) {
    auto c = std::make_unique<HeadlessControl>(env.services());
    c->control().InitProperties();
    c->control().put_Frequence_Rafraichissement(Seconde_10);
    c->control().put_NTF(PointName(packed ? 1 + i : 1 + i * (kRecords / kControls)));
    c->control().Show();
    controls.push_back(std::move(c));
  }
  clock.AdvanceSeconds(1);
  for (auto& c : controls) c->Tick();  // the fresh records end the start-up phase
  for (int s = 0; s < 10; ++s) {       // reads spread over the period
    clock.AdvanceSeconds(1);
    for (int i = s; i < kControls; i += 10) controls[i]->control().MaJNTF(u"", u"", 0, clock.Now());
  }
  for (int s = 0; s < 10; ++s) {  // the queue as in any steady second
    clock.AdvanceSeconds(1);
    env.shared().BeginBurst();
    for (auto& c : controls) c->Tick();
    env.shared().EndBurst();
  }
  for (auto _ : state) {  // one wake of the thread's shared timer
    clock.AdvanceSeconds(1);
    env.shared().BeginBurst();
    for (auto& c : controls) c->Tick();
    env.shared().EndBurst();
  }
}
BENCHMARK(BM_DisplaySteadySecond)->Arg(0)->Iterations(10)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DisplaySteadySecond)->Arg(0)->Iterations(30)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DisplaySteadySecond)->Arg(1)->Iterations(10)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DisplaySteadySecond)->Arg(1)->Iterations(30)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace quillon::bench
