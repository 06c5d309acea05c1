#include "mini_benchmark.h"

#include <windows.h>

#include <algorithm>
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

std::vector<Group*>& Groups() {
  static std::vector<Group*> all;
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

// --- Groups run interleaved ---------------------------------------------------------------

struct GroupOptions {
  int rounds = 5;
  double min_cpu_s = 1;
};

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n == 0 ? 0 : n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The iterations that make one run of `member` last at least the minimum CPU time: probes
// grow until one lasts long enough for the thread clock (steps of 10 ms) to measure it to a
// few per cent, and its time per iteration gives the count.
int64_t Calibrate(const Group::Member& member, double min_cpu_ns) {
  Benchmark b(member.label.c_str(), member.function);
  int64_t iterations = 1;
  for (;;) {
    const State probe = RunOnce(b, member.arg, true, iterations);
    if (probe.cpu_ns_ >= 2e8 || iterations >= (int64_t{1} << 30)) {
      const double per_iteration = probe.cpu_ns_ / static_cast<double>(iterations);
      return static_cast<int64_t>(1.1 * min_cpu_ns / per_iteration) + 1;
    }
    // Wall time is never shorter than CPU time: growing by it never overshoots.
    const double spent = probe.cpu_ns_ > probe.wall_ns_ ? probe.cpu_ns_ : probe.wall_ns_;
    const double scale = spent > 0 ? 2.5e8 / spent : 10;
    iterations = static_cast<int64_t>(iterations * (scale > 10 ? 10 : scale < 1.5 ? 1.5 : scale));
  }
}

struct Sample {
  double wall = 0, cpu = 0;  // ns per item
};

void Summarize(const Group& g, const std::vector<std::vector<Sample>>& samples) {
  const TimeUnit u = g.unit_;
  std::printf("%s: medians of %zu rounds, per item; ratios to %s, median of the rounds'\n",
              g.name_.c_str(), samples[0].size(), g.members_[0].label.c_str());
  for (size_t m = 0; m < samples.size(); ++m) {
    std::vector<double> wall, cpu, wall_ratio, cpu_ratio;
    for (size_t r = 0; r < samples[m].size(); ++r) {
      wall.push_back(samples[m][r].wall);
      cpu.push_back(samples[m][r].cpu);
      wall_ratio.push_back(samples[m][r].wall / samples[0][r].wall);
      if (samples[0][r].cpu > 0) cpu_ratio.push_back(samples[m][r].cpu / samples[0][r].cpu);
    }
    std::printf("  %-36s wall %9.3f %s  CPU %9.3f %s  ratio wall %5.2f  CPU %5.2f\n",
                g.members_[m].label.c_str(), InUnit(Median(wall), u), UnitName(u),
                InUnit(Median(cpu), u), UnitName(u), Median(wall_ratio), Median(cpu_ratio));
  }
  std::fflush(stdout);
}

void RunGroup(const Group& g, const GroupOptions& options) {
  const size_t n = g.members_.size();
  std::vector<int64_t> iterations(n);
  for (size_t m = 0; m < n; ++m) iterations[m] = Calibrate(g.members_[m], options.min_cpu_s * 1e9);
  std::vector<std::vector<Sample>> samples(n);
  for (int r = 0; r < options.rounds; ++r) {
    for (size_t k = 0; k < n; ++k) {
      const size_t m = (r + k) % n;
      const Group::Member& member = g.members_[m];
      Benchmark b(member.label.c_str(), member.function);
      b.unit_ = g.unit_;
      const State s = RunOnce(b, member.arg, true, iterations[m]);
      const double per_item = static_cast<double>(iterations[m] * g.items_);
      samples[m].push_back({s.wall_ns_ / per_item, s.cpu_ns_ / per_item});
      Report(g.name_ + "/" + member.label, s, g.unit_ == kMillisecond ? kMillisecond : kNanosecond);
    }
  }
  Summarize(g, samples);
}

}  // namespace

Group* RegisterGroup(const char* name) {
  Groups().push_back(new Group(name));
  return Groups().back();
}

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
  GroupOptions options;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--benchmark_filter=", 19) == 0) filter = argv[i] + 19;
    if (std::strncmp(argv[i], "--benchmark_repetitions=", 24) == 0) {
      repetitions = std::atoi(argv[i] + 24);
    }
    if (std::strncmp(argv[i], "--benchmark_rounds=", 19) == 0) {
      options.rounds = std::max(1, std::atoi(argv[i] + 19));
    }
    if (std::strncmp(argv[i], "--benchmark_min_cpu=", 20) == 0) {
      options.min_cpu_s = std::atof(argv[i] + 20);
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
  for (const Group* g : Groups()) {
    if (std::strstr(g->name_.c_str(), filter) != nullptr && !g->members_.empty()) {
      RunGroup(*g, options);
    }
  }
  return 0;
}

}  // namespace benchmark
