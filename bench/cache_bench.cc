// Lookups and forced reads on real cache files (in the page cache), tracing off, beside the
// record-by-record loop (one 144-byte read and a compare per record) and a plain sequential
// read of the file. Files of 100,000 and 1,000,000 records, and for the sequential floor also
// one of 2,500,000 records (360 MB, larger than the processor's caches).
#include <benchmark/benchmark.h>

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "bench_support.h"
#include "cache/fct_cache.h"
#include "cache/fct_cache_routines.h"
#include "cache/point_index.h"
#include "fakes/fake_echo_api.h"
#include "fakes/fake_registry_api.h"
#include "platform/clock.h"
#include "platform/windows_1252.h"
#include "services/trace_log.h"

namespace quillon::bench {
namespace {

const Text kAbsent = u"ABSENT:POINT.PV";

// A file whose records all hold a point, the last one being a free slot, and a cache opened
// on it.
struct Bench {
  explicit Bench(int count)
      : records(count),
        file(*files, cp, count, [count](int n) { return PointRecord(n, n == count ? 0 : 1); }) {
    cache.UseFile(file.text_path());
    cache.fctOuvrirCache();
    raw = files->OpenShared(file.text_path());
  }

  int records;
  std::unique_ptr<FileSystem> files = NewPlatformFileSystem();
  std::unique_ptr<Clock> clock = NewPlatformClock();
  Windows1252CodePage cp;
  BenchFile file;
  TraceLogConditionnel trace{*files, *clock, cp, false};
  testing::FakeRegistryApi registry_api;
  testing::FakeEchoApi echo;
  RegistrePD registry{registry_api, cp, echo};
  testing::FctCacheRoutines cache{*files, *clock, cp, trace, registry};
  std::unique_ptr<RandomAccessFile> raw;
};

Bench& Shared(int count) {
  static std::map<int, std::unique_ptr<Bench>> benches;
  auto& bench = benches[count];
  if (!bench) bench = std::make_unique<Bench>(count);
  return *bench;
}

void BM_GetDataIndexed(benchmark::State& state) {
  Bench& b = Shared(100000);
  const Text ntf = PointName(50000);
  b.cache.GetData(ntf);  // indexes it
  for (auto _ : state) benchmark::DoNotOptimize(b.cache.GetData(ntf));
}
BENCHMARK(BM_GetDataIndexed);

// The display's read: the reference in its stored form, one record read through the index.
void BM_PointRecordIndexed(benchmark::State& state) {
  Bench& b = Shared(100000);
  const Text ntf = PointName(50000);
  b.cache.PointRecord(ntf);
  for (auto _ : state) benchmark::DoNotOptimize(b.cache.PointRecord(ntf));
}
BENCHMARK(BM_PointRecordIndexed);

void BM_GetDataMiss(benchmark::State& state) {
  Bench& b = Shared(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(b.cache.GetData(kAbsent));
  state.SetBytesProcessed(state.iterations() * state.range(0) * kRecordSize);
}
BENCHMARK(BM_GetDataMiss)->Arg(100000)->Arg(1000000)->Arg(2500000)->Unit(benchmark::kMillisecond);

// The record-by-record baseline, literally: one 144-byte read and one compare of the
// reference field per record, no decoding.
void BM_RecordByRecordMiss(benchmark::State& state) {
  Bench& b = Shared(static_cast<int>(state.range(0)));
  uint8_t wanted[kRefNTFLength];
  const std::string ansi = b.cp.ToAnsi(PadToWidth(kAbsent, kRefNTFLength));
  std::memcpy(wanted, ansi.data(), kRefNTFLength);
  for (auto _ : state) {
    int64_t length = 0;
    b.raw->Length(&length);
    int64_t found = 0;
    uint8_t record[kRecordSize];
    for (int64_t n = 1; n * kRecordSize <= length && !found; ++n) {
      size_t got = 0;
      b.raw->ReadAt((n - 1) * kRecordSize, record, kRecordSize, &got);
      if (std::memcmp(record + kOffRefNTF, wanted, kRefNTFLength) == 0) found = n;
    }
    benchmark::DoNotOptimize(found);
  }
  state.SetBytesProcessed(state.iterations() * state.range(0) * kRecordSize);
}
BENCHMARK(BM_RecordByRecordMiss)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// A forced read of a point that is in no record: one pass finds the absence and the free slot
// (the last record), then the slot is read again under the lock and written. Between rounds
// the slot is freed again, untimed.
void BM_ForcedReadMiss(benchmark::State& state) {
  Bench& b = Shared(static_cast<int>(state.range(0)));
  uint8_t free_slot[kRecordSize];
  EncodeRecord(PointRecord(b.records, 0), b.cp, free_slot);
  const int64_t last = int64_t{b.records - 1} * kRecordSize;
  for (auto _ : state) {
    b.cache.cacheForcerLectNTF(kAbsent, 90);
    state.PauseTiming();
    uint8_t written[kRecordSize];
    size_t got = 0;
    b.raw->ReadAt(last, written, kRecordSize, &got);
    if (ReadInt32(written + kOffEtat) != 1) state.SkipWithError("not written in the free slot");
    b.raw->WriteAt(last, free_slot, kRecordSize);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_ForcedReadMiss)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// The floor: the whole file read sequentially in 64 KiB blocks.
void BM_SequentialRead64KiB(benchmark::State& state) {
  Bench& b = Shared(static_cast<int>(state.range(0)));
  std::vector<uint8_t> block(65536);
  for (auto _ : state) {
    int64_t length = 0;
    b.raw->Length(&length);
    for (int64_t at = 0; at < length; at += static_cast<int64_t>(block.size())) {
      size_t got = 0;
      b.raw->ReadAt(at, block.data(), block.size(), &got);
    }
    benchmark::DoNotOptimize(block.data());
  }
  state.SetBytesProcessed(state.iterations() * state.range(0) * kRecordSize);
}
BENCHMARK(BM_SequentialRead64KiB)
    ->Arg(100000)
    ->Arg(1000000)
    ->Arg(2500000)
    ->Unit(benchmark::kMillisecond);

// The point index alone: lookups of N known points in a spread order, beside a node-based
// hash map of the same keys looked up without building a key.
std::vector<Text> IndexKeys(int count) {
  std::vector<Text> keys;
  for (int i = 0; i < count; ++i) keys.push_back(PointName(1 + i * 10));
  return keys;
}

template <typename Find>
void LookUpSpread(benchmark::State& state, const std::vector<Text>& keys, Find&& find) {
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(find(keys[i]));
    i = (i + 7919) % keys.size();
  }
}

void BM_PointIndexFind(benchmark::State& state) {
  const std::vector<Text> keys = IndexKeys(static_cast<int>(state.range(0)));
  PointIndex index;
  for (size_t k = 0; k < keys.size(); ++k) index.Add(keys[k], static_cast<int32_t>(k + 1));
  LookUpSpread(state, keys, [&](const Text& key) { return index.Find(key); });
}
BENCHMARK(BM_PointIndexFind)->Arg(1000)->Arg(10000)->Arg(100000);

struct ViewHash {
  using is_transparent = void;
  size_t operator()(TextView key) const { return std::hash<TextView>()(key); }
};

void BM_NodeMapFind(benchmark::State& state) {
  const std::vector<Text> keys = IndexKeys(static_cast<int>(state.range(0)));
  std::unordered_map<Text, int32_t, ViewHash, std::equal_to<>> index;
  for (size_t k = 0; k < keys.size(); ++k) index.try_emplace(keys[k], static_cast<int32_t>(k + 1));
  LookUpSpread(state, keys, [&](const Text& key) { return index.find(TextView(key))->second; });
}
BENCHMARK(BM_NodeMapFind)->Arg(1000)->Arg(10000)->Arg(100000);

}  // namespace
}  // namespace quillon::bench
