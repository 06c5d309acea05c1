// A flush of 1,000 queued points that already have records, in a real 100,000-record cache
// file written record by record: time per forced read and file operations per forced read.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "bench_support.h"
#include "cache/fct.h"
#include "cache/fct_cache.h"
#include "cache/record_codec.h"
#include "fakes/fake_clock.h"
#include "platform/file_system.h"
#include "platform/windows_1252.h"
#include "services/trace_log.h"

namespace quillon::bench {
namespace {

constexpr int kRecords = 100000;
constexpr int kQueued = 1000;

struct Counts {
  int64_t lengths = 0, reads = 0, writes = 0, locks = 0;
};

// The platform's files, counting the operations made on them.
class CountingFile final : public RandomAccessFile {
 public:
  CountingFile(std::unique_ptr<RandomAccessFile> file, Counts& counts)
      : file_(std::move(file)), counts_(counts) {}
  FileStatus Length(int64_t* length) override {
    ++counts_.lengths;
    return file_->Length(length);
  }
  FileStatus ReadAt(int64_t offset, uint8_t* buffer, size_t n, size_t* got) override {
    ++counts_.reads;
    return file_->ReadAt(offset, buffer, n, got);
  }
  FileStatus WriteAt(int64_t offset, const uint8_t* data, size_t n) override {
    ++counts_.writes;
    return file_->WriteAt(offset, data, n);
  }
  FileStatus TryLockByte(int64_t offset) override {
    ++counts_.locks;
    return file_->TryLockByte(offset);
  }
  FileStatus UnlockByte(int64_t offset) override { return file_->UnlockByte(offset); }

 private:
  std::unique_ptr<RandomAccessFile> file_;
  Counts& counts_;
};

class CountingFileSystem final : public FileSystem {
 public:
  std::unique_ptr<RandomAccessFile> OpenShared(const Text& path) override {
    auto file = files_->OpenShared(path);
    return file ? std::make_unique<CountingFile>(std::move(file), counts) : nullptr;
  }
  std::unique_ptr<RandomAccessFile> OpenReadOnly(const Text& path) override {
    auto file = files_->OpenReadOnly(path);
    return file ? std::make_unique<CountingFile>(std::move(file), counts) : nullptr;
  }
  FileStatus Append(const Text& path, std::string_view bytes) override {
    return files_->Append(path, bytes);
  }
  Text ModulePath() override { return files_->ModulePath(); }
  Counts counts;

 private:
  std::unique_ptr<FileSystem> files_ = NewPlatformFileSystem();
};

// The queued points: every 100th record of the file.
Text QueuedPoint(int k) { return PointName(1 + k * (kRecords / kQueued)); }

void BM_FlushOf1000KnownPoints(benchmark::State& state) {
  Windows1252CodePage cp;
  CountingFileSystem files;
  BenchFile file(files, cp, kRecords, [](int n) { return PointRecord(n); });
  testing::FakeClock clock;
  auto registry_api = NewPlatformRegistryApi();
  auto echo = NewPlatformEchoApi();
  RegistrePD registry(*registry_api, cp, *echo);
  TraceLogConditionnel trace(files, clock, cp, false);
  FctCache cache(files, clock, cp, trace, registry);
  cache.UseFile(file.text_path());
  Fct fct(cache, clock);
  for (int k = 0; k < kQueued; ++k) cache.cacheForcerLectNTF(QueuedPoint(k), 29);  // indexed

  files.counts = {};
  for (auto _ : state) {
    state.PauseTiming();
    clock.AdvanceSeconds(0.5);  // the gate is closed: every request waits in the queue
    for (int k = 0; k + 1 < kQueued; ++k) fct.fctDemanderLectNTF(QueuedPoint(k), 29);
    clock.AdvanceSeconds(1);
    state.ResumeTiming();
    fct.fctDemanderLectNTF(QueuedPoint(kQueued - 1), 29);  // flushes all 1,000
  }
  const double forced = static_cast<double>(state.iterations()) * kQueued;
  state.SetItemsProcessed(static_cast<int64_t>(forced));
  state.counters["lengths_per_read"] = files.counts.lengths / forced;
  state.counters["reads_per_read"] = files.counts.reads / forced;
  state.counters["writes_per_read"] = files.counts.writes / forced;
  state.counters["locks_per_read"] = files.counts.locks / forced;
}
BENCHMARK(BM_FlushOf1000KnownPoints)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillon::bench
