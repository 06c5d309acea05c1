#include "mini_benchmark.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace benchmark {
namespace {

int64_t WallNs() {
  static const int64_t frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f.QuadPart;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<int64_t>(static_cast<double>(now.QuadPart) * 1e9 / frequency);
}

int64_t CpuNs() {
  FILETIME created, exited, kernel, user;
  GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
  const auto ns = [](const FILETIME& t) {
    return ((int64_t{t.dwHighDateTime} << 32) | t.dwLowDateTime) * 100;
  };
  return ns(kernel) + ns(user);
}

std::vector<Benchmark*>& Registry() {
  static std::vector<Benchmark*> all;
  return all;
}

const char* UnitName(TimeUnit unit) {
  return unit == kMillisecond ? "ms" : unit == kMicrosecond ? "us" : "ns";
}

double InUnit(double ns, TimeUnit unit) {
  return unit == kMillisecond ? ns / 1e6 : unit == kMicrosecond ? ns / 1e3 : ns;
}

State RunOnce(const Benchmark& b, int64_t arg, bool with_arg, int64_t iterations) {
  State state(iterations);
  if (with_arg) state.args_.push_back(arg);
  b.function_(state);
  state.Finish();
  return state;
}

void Report(const std::string& name, const State& s, TimeUnit unit) {
  const double n = static_cast<double>(s.iterations());
  std::printf("%-40s %10.0f %s %10.0f %s %12lld", name.c_str(), InUnit(s.wall_ns_ / n, unit),
              UnitName(unit), InUnit(s.cpu_ns_ / n, unit), UnitName(unit),
              static_cast<long long>(s.iterations()));
  for (const auto& [key, value] : s.counters) std::printf(" %s=%g", key.c_str(), value);
  std::printf("\n");
  std::fflush(stdout);
}

void Run(const Benchmark& b, int64_t arg, bool with_arg, int repetitions) {
  std::string name = b.name_;
  if (with_arg) name += "/" + std::to_string(arg);
  int64_t iterations = b.iterations_ > 0 ? b.iterations_ : 1;
  if (b.iterations_ == 0) {
    for (;;) {
      const State probe = RunOnce(b, arg, with_arg, iterations);
      if (probe.wall_ns_ >= 5e8 || iterations >= (int64_t{1} << 30)) break;
      const double scale = probe.wall_ns_ > 0 ? 6e8 / probe.wall_ns_ : 10;
      iterations = static_cast<int64_t>(iterations * (scale > 10 ? 10 : scale < 1.5 ? 1.5 : scale));
    }
  }
  for (int r = 0; r < repetitions; ++r)
    Report(name, RunOnce(b, arg, with_arg, iterations), b.unit_);
}

}  // namespace

State::Iterator State::begin() {
  ResumeTiming();
  return {this, max_};
}

void State::PauseTiming() {
  if (!running_) return;
  wall_ns_ += static_cast<double>(WallNs() - wall_start_);
  cpu_ns_ += static_cast<double>(CpuNs() - cpu_start_);
  running_ = false;
}

void State::ResumeTiming() {
  if (running_) return;
  wall_start_ = WallNs();
  cpu_start_ = CpuNs();
  running_ = true;
}

void State::Finish() { PauseTiming(); }

Benchmark* RegisterBenchmark(const char* name, void (*function)(State&)) {
  Registry().push_back(new Benchmark(name, function));
  return Registry().back();
}

int RunSpecifiedBenchmarks(int argc, char** argv) {
  const char* filter = "";
  int repetitions = 1;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--benchmark_filter=", 19) == 0) filter = argv[i] + 19;
    if (std::strncmp(argv[i], "--benchmark_repetitions=", 24) == 0) {
      repetitions = std::atoi(argv[i] + 24);
    }
  }
  std::printf("%s\n%-40s %13s %13s %12s\n%s\n", std::string(80, '-').c_str(), "Benchmark", "Time",
              "CPU", "Iterations", std::string(80, '-').c_str());
  for (const Benchmark* b : Registry()) {
    if (std::strstr(b->name_.c_str(), filter) == nullptr) continue;
    if (b->args_.empty()) {
      Run(*b, 0, false, repetitions);
    } else {
      for (int64_t arg : b->args_) Run(*b, arg, true, repetitions);
    }
  }
  return 0;
}

}  // namespace benchmark
