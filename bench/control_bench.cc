// Controls in the steady phase on one thread over a 100,000-record cache file: the CPU spent
// on one simulated second of ticks for 1,000 controls, and the cost of a tick that is not due.
#include <benchmark/benchmark.h>
#include <fcntl.h>
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

// The record of control i of `count`, spread over the file, or side by side (`packed`) as
// the records of a display whose points were first requested together.
int ControlRecord(int i, int count, bool packed = false) {
  return packed ? 1 + i : 1 + i * (kRecords / count);
}

// One wake of the thread's shared timer over `controls`, each of whose slots on the thread's
// board is in `slots`: as the timer does, it ticks only those the board does not call idle,
// reading the clock again after each tick, all in one burst of the value cache.
int Wake(ControlEnvironment& env, std::vector<std::unique_ptr<HeadlessControl>>& controls,
         const std::vector<TickBoard::Slot>& slots) {
  int ticked = 0;
  TickBoard& board = env.ticks();
  env.shared().BeginBurst();
  board.ReadClock();
  for (size_t i = 0; i < controls.size(); ++i) {
    if (board.Idle(slots[i])) continue;
    ticked += controls[i]->Tick();
    board.ReadClock();
  }
  env.shared().EndBurst();
  return ticked;
}

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
  explicit Bench(int32_t poll_time, int count = kControls, bool packed = false)
      : env(BenchSeams()),
        clock(static_cast<testing::FakeClock&>(env.clock())),
        file(env.files(), env.code_page(), kRecords, [read_at = clock.Now() + 1](int n) {
          EnregCache r = PointRecord(n, 2);
          r.dtmLecture = read_at;
          return r;
        }) {
    env.shared().cache().UseFile(file.text_path());
    for (int i = 0; i < count; ++i) {
      auto c = std::make_unique<HeadlessControl>(env.services());
      c->control().InitProperties();
      c->control().put_Frequence_Rafraichissement(poll_time);
      c->control().put_NTF(PointName(ControlRecord(i, count, packed)));
      c->control().Show();
      slots.push_back(c->control().tick_slot().slot);
      controls.push_back(std::move(c));
    }
    clock.AdvanceSeconds(1);
    for (auto& c : controls) c->Tick();  // the fresh records end the start-up phase at once
    for (int s = 0; s < PollTimeSeconds(poll_time); ++s) {
      clock.AdvanceSeconds(1);
      for (int i = s; i < count; i += PollTimeSeconds(poll_time))
        controls[i]->control().MaJNTF(u"", u"", 0, clock.Now());
    }
  }

  // One simulated second: one wake of the thread's shared timer; the number of ticks made.
  int Second() {
    clock.AdvanceSeconds(1);
    return Wake(env, controls, slots);
  }

  ControlEnvironment env;
  testing::FakeClock& clock;
  BenchFile file;
  std::vector<std::unique_ptr<HeadlessControl>> controls;
  std::vector<TickBoard::Slot> slots;  // of each control on the thread's board
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
      c->control().AmbientChanged(Ambient::kUserMode);
      c->site().set_user_mode(UserMode::kRun);
      c->control().AmbientChanged(Ambient::kUserMode);
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

// The steady phase at 100, 1,000 and 10,000 controls, all at Seconde_10: a tenth of them read
// each second. Beside it, the floor of the same reads.
void BM_SteadySecond(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  Bench bench(Seconde_10, count, state.range(1) != 0);
  for (auto _ : state) benchmark::DoNotOptimize(bench.Second());
  state.counters["reads_per_second"] = count / 10;
}
BENCHMARK(BM_SteadySecond)
    ->Args({100, 0})
    ->Args({1000, 0})
    ->Args({10000, 0})
    ->Unit(benchmark::kMicrosecond);
// The same with the controls' records side by side: the reads of a flush share few reads.
BENCHMARK(BM_SteadySecond)
    ->Name("BM_SteadySecondPacked")
    ->Args({1000, 1})
    ->Args({10000, 1})
    ->Unit(benchmark::kMicrosecond);
// The same with a fixed number of simulated seconds, so that the display is set up once: for
// a profiler started after the set-up (perf record --delay).
BENCHMARK(BM_SteadySecond)
    ->Name("BM_ProfileSteady")
    ->Args({100, 0})
    ->Args({1000, 0})
    ->Args({10000, 0})
    ->Iterations(20000)
    ->Unit(benchmark::kMicrosecond);

// The syscall floor of a simulated second (bench/syscall_floor.c): one 144-byte pread and one
// pwrite for each record read in that second, in a file written as the controls' file is:
// `range(0)` controls of which every `range(1)`-th reads each second. Between two seconds,
// untimed, the process walks `other_bytes` of memory of its own, a line at a time.
void SyscallFloor(benchmark::State& state, size_t other_bytes) {
  const int count = static_cast<int>(state.range(0));
  const int every = static_cast<int>(state.range(1));
  const bool packed = state.range(2) != 0;
  Windows1252CodePage cp;
  auto files = NewPlatformFileSystem();
  BenchFile file(*files, cp, kRecords, [](int n) { return PointRecord(n, 2); });
  const int fd = ::open(file.path().c_str(), O_RDWR);
  if (fd < 0) std::abort();
  std::vector<std::vector<long long>> seconds(static_cast<size_t>(every));
  for (int i = 0; i < count; ++i) {
    seconds[static_cast<size_t>(i % every)].push_back(
        static_cast<long long>(ControlRecord(i, count, packed) - 1) * kRecordSize);
  }
  std::vector<uint8_t> other(other_bytes, 1);
  size_t second = 0;
  for (auto _ : state) {
    const auto& offsets = seconds[second++ % seconds.size()];
    benchmark::DoNotOptimize(
        syscall_floor_pass(fd, offsets.data(), static_cast<int>(offsets.size())));
    if (other.empty()) continue;
    state.PauseTiming();
    uint8_t sum = 0;
    for (size_t at = 0; at < other.size(); at += 64) sum = static_cast<uint8_t>(sum + other[at]);
    benchmark::DoNotOptimize(sum);
    state.ResumeTiming();
  }
  ::close(fd);
  state.counters["reads_per_second"] = count / every;
}

void BM_SyscallFloor(benchmark::State& state) { SyscallFloor(state, 0); }
BENCHMARK(BM_SyscallFloor)
    ->Args({100, 10, 0})
    ->Args({1000, 10, 0})
    ->Args({10000, 10, 0})
    ->Args({1000, 1, 0})  // the start-up phase: every control reads each second
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SyscallFloor)
    ->Name("BM_SyscallFloorPacked")
    ->Args({1000, 10, 1})
    ->Args({10000, 10, 1})
    ->Unit(benchmark::kMicrosecond);
// The same floor in a process that walks `range(3)` KiB of its own memory each second, as a
// display's ticks and reads do (the ticks of 10,000 controls alone read a line or two of each):
// the kernel's copies then find fewer of the records' lines in the processor's caches.
void BM_SyscallFloorBusy(benchmark::State& state) {
  SyscallFloor(state, static_cast<size_t>(state.range(3)) << 10);
}
BENCHMARK(BM_SyscallFloorBusy)
    ->Args({10000, 10, 0, 1024})
    ->Args({10000, 10, 0, 3072})
    ->Unit(benchmark::kMicrosecond);

// Six pairs of controls whose references differ only in letter case ("NOEUD1:Bac0k.Niveau"
// and "noeud1:bac0k.niveau"), each point in its own record of a 2,000,000-record file, all
// at Seconde_10 in the steady phase: the CPU of one simulated second (of a core: / 1 s).
void BM_CaseVariantPairs(benchmark::State& state) {
  constexpr int kBig = 2000000;
  const auto point = [](int k, bool lower) {
    const Text n = NumberText(k);
    return lower ? u"noeud1:bac0" + n + u".niveau" : u"NOEUD1:Bac0" + n + u".Niveau";
  };
  ControlEnvironment env(BenchSeams());
  auto& clock = static_cast<testing::FakeClock&>(env.clock());
  BenchFile file(env.files(), env.code_page(), kBig, [&](int n) {
    EnregCache r = PointRecord(n, 2);
    // The pairs lie in the second half of the file.
    if (n > kBig / 2 && (n - kBig / 2) % 100000 == 0 && (n - kBig / 2) / 100000 <= 12) {
      const int k = (n - kBig / 2) / 100000 - 1;
      r.strRefNTF = PadToWidth(point(k / 2 + 1, k % 2 == 1), kRefNTFLength);
    }
    r.dtmLecture = clock.Now() + 1;
    return r;
  });
  env.shared().cache().UseFile(file.text_path());
  std::vector<std::unique_ptr<HeadlessControl>> controls;
  std::vector<TickBoard::Slot> slots;
  for (int k = 0; k < 12; ++k) {
    auto c = std::make_unique<HeadlessControl>(env.services());
    c->control().InitProperties();
    c->control().put_Frequence_Rafraichissement(Seconde_10);
    c->control().put_NTF(point(k / 2 + 1, k % 2 == 1));
    c->control().Show();
    slots.push_back(c->control().tick_slot().slot);
    controls.push_back(std::move(c));
  }
  clock.AdvanceSeconds(1);
  for (auto& c : controls) c->Tick();  // the fresh records end the start-up phase
  for (int s = 0; s < 10; ++s) {  // reads spread over the period
    clock.AdvanceSeconds(1);
    for (size_t i = static_cast<size_t>(s); i < controls.size(); i += 10)
      controls[i]->control().MaJNTF(u"", u"", 0, clock.Now());
  }
  for (auto _ : state) {  // one wake of the thread's shared timer
    clock.AdvanceSeconds(1);
    Wake(env, controls, slots);
  }
  state.counters["records"] = kBig;
}
BENCHMARK(BM_CaseVariantPairs)->Unit(benchmark::kMillisecond);

void BM_TickNotDue(benchmark::State& state) {
  Bench bench(Minute_30);
  QuillonPD& control = bench.controls[0]->control();
  for (auto _ : state) control.timerRead_Timer();
}
BENCHMARK(BM_TickNotDue)->Unit(benchmark::kNanosecond);

}  // namespace
}  // namespace quillon::bench
