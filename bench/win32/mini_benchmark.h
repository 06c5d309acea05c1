// The part of Google Benchmark's interface that the Windows benchmarks use, for builds where
// its library is not available (no MinGW build of it is packaged, and none can be fetched).
// Same registration macro, state loop, counters and console table; wall time from the
// performance counter, CPU time from the thread's times; iterations grow until a run lasts
// half a second. Groups of benchmarks compared with each other run interleaved (Group).
// Flags: --benchmark_filter=<substring>, --benchmark_repetitions=<n>; for groups
// --benchmark_rounds=<n> (5) and --benchmark_min_cpu=<seconds> (1).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace benchmark {

enum TimeUnit { kNanosecond, kMicrosecond, kMillisecond };

class State {
 public:
  explicit State(int64_t iterations) : max_(iterations) {}

  struct Iterator {
    State* state;
    int64_t left;
    bool operator!=(const Iterator&) {
      if (left > 0) return true;
      state->Finish();
      return false;
    }
    void operator++() { --left; }
    int operator*() const { return 0; }
  };
  Iterator begin();
  Iterator end() { return {this, 0}; }

  void PauseTiming();
  void ResumeTiming();
  int64_t iterations() const { return max_; }
  int64_t range(int index = 0) const { return args_.size() > size_t(index) ? args_[index] : 0; }

  std::map<std::string, double> counters;

  // Used by the runner.
  std::vector<int64_t> args_;
  double wall_ns_ = 0, cpu_ns_ = 0;
  void Finish();

 private:
  int64_t max_;
  int64_t wall_start_ = 0, cpu_start_ = 0;
  bool running_ = false;
};

class Benchmark {
 public:
  Benchmark(const char* name, void (*function)(State&)) : name_(name), function_(function) {}
  Benchmark* Unit(TimeUnit unit) {
    unit_ = unit;
    return this;
  }
  Benchmark* Arg(int64_t value) {
    args_.push_back(value);
    return this;
  }
  Benchmark* Iterations(int64_t n) {
    iterations_ = n;
    return this;
  }

  std::string name_;
  void (*function_)(State&);
  TimeUnit unit_ = kNanosecond;
  std::vector<int64_t> args_;
  int64_t iterations_ = 0;  // 0: grow until a run lasts half a second
};

// Benchmarks compared with each other on a shared machine: run in turn, round after round,
// the order moving on by one each round, so that the load of other programs falls on all
// of them alike. Each run lasts at least --benchmark_min_cpu seconds of the thread's CPU time,
// so that the steps of Wine's thread clock (10 ms) are at most 1 % of it. The summary gives
// each member's median wall and CPU time per item and the median over the rounds of its
// ratio to the first member of the group.
class Group {
 public:
  explicit Group(const char* name) : name_(name) {}
  // A member; `arg` is what its State::range(0) gives.
  Group* Add(const char* label, void (*function)(State&), int64_t arg = 0) {
    members_.push_back({label, function, arg});
    return this;
  }
  // Items per iteration: times are reported per item.
  Group* Items(int64_t n) {
    items_ = n;
    return this;
  }
  Group* Unit(TimeUnit unit) {
    unit_ = unit;
    return this;
  }

  struct Member {
    std::string label;
    void (*function)(State&);
    int64_t arg;
  };
  std::string name_;
  std::vector<Member> members_;
  int64_t items_ = 1;
  TimeUnit unit_ = kNanosecond;
};

Benchmark* RegisterBenchmark(const char* name, void (*function)(State&));
Group* RegisterGroup(const char* name);
int RunSpecifiedBenchmarks(int argc, char** argv);

template <class T>
inline void DoNotOptimize(T const& value) {
  asm volatile("" : : "r,m"(value) : "memory");
}

}  // namespace benchmark

#define BENCHMARK_CONCAT2(a, b) a##b
#define BENCHMARK_CONCAT(a, b) BENCHMARK_CONCAT2(a, b)
#define BENCHMARK(function)                                               \
  static ::benchmark::Benchmark* BENCHMARK_CONCAT(benchmark_, __LINE__) = \
      ::benchmark::RegisterBenchmark(#function, function)
#define BENCHMARK_MAIN() \
  int main(int argc, char** argv) { return ::benchmark::RunSpecifiedBenchmarks(argc, argv); }
