// One control in the steady phase, one read per iteration (its period of 10 s elapsed at
// every iteration), its forced read flushed in the same tick: run under `strace -c` with the
// two iteration counts, the difference of the counts gives the file calls of one read.
#include <benchmark/benchmark.h>

#include <memory>

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

void BM_OneControlSteadyRead(benchmark::State& state) {
  EnvironmentSeams seams;
  seams.clock = std::make_unique<testing::FakeClock>();
  seams.code_page = std::make_unique<Windows1252CodePage>();
  seams.registry_api = std::make_unique<testing::FakeRegistryApi>();
  seams.echo = std::make_unique<testing::FakeEchoApi>();
  seams.locale = NewPlatformLocale("fr-FR");
  seams.trace_active = false;
  ControlEnvironment env(std::move(seams));
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

}  // namespace
}  // namespace quillon::bench
