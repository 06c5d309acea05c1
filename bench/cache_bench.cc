// Lookups and free-slot choice on a real 100,000-record cache file (in the page cache),
// tracing off: the block scans side by side with the record-by-record steps and with a plain
// sequential read of the file.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cache/fct_cache.h"
#include "cache/record_codec.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/windows_1252.h"
#include "services/trace_log.h"

namespace quillon {
namespace {

constexpr int kRecords = 100000;

Text PointName(int i) { return u"NOEUD" + NumberText(i % 7) + u":TAG_" + NumberText(i) + u".PV"; }

// The benchmark file and a cache opened on it, built once for all benchmarks.
struct Bench {
  Bench() {
    char dir[] = "/tmp/quillon-bench-XXXXXX";
    path = std::string(::mkdtemp(dir)) + "/cache.dat";
    std::string bytes(size_t{kRecords} * kRecordSize, '\0');
    for (int i = 1; i <= kRecords; ++i) {
      EnregCache r;
      r.lngEtat = i == kRecords ? 0 : 1;  // the only free slot is the last one
      r.strRefNTF = PadToWidth(PointName(i), kRefNTFLength);
      r.strValeurLue = PadToWidth(NumberText(i), kValeurLength);
      r.strValeurFormateeLue = r.strValeurLue;
      EncodeRecord(r, cp, reinterpret_cast<uint8_t*>(&bytes[size_t(i - 1) * kRecordSize]));
    }
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    cache.UseFile(FromUtf8(path));
    cache.fctOuvrirCache();
    file = files->OpenShared(FromUtf8(path));
  }
  ~Bench() {
    std::remove(path.c_str());
    ::rmdir(path.substr(0, path.rfind('/')).c_str());
  }

  std::string path;
  std::unique_ptr<FileSystem> files = NewPlatformFileSystem();
  std::unique_ptr<Clock> clock = NewPlatformClock();
  Windows1252CodePage cp;
  TraceLogConditionnel trace{*files, *clock, cp, false};
  std::unique_ptr<RegistryApi> registry_api = NewPlatformRegistryApi();
  std::unique_ptr<EchoApi> echo = NewPlatformEchoApi();
  RegistrePD registry{*registry_api, cp, *echo};
  FctCache cache{*files, *clock, cp, trace, registry};
  std::unique_ptr<RandomAccessFile> file;
};

Bench& Shared() {
  static Bench bench;
  return bench;
}

void BM_GetDataIndexed(benchmark::State& state) {
  Bench& b = Shared();
  const Text ntf = PointName(kRecords / 2);
  b.cache.GetData(ntf);  // indexes it
  for (auto _ : state) benchmark::DoNotOptimize(b.cache.GetData(ntf));
}
BENCHMARK(BM_GetDataIndexed);

void BM_GetDataMissBlockScan(benchmark::State& state) {
  Bench& b = Shared();
  const Text ntf = u"ABSENT:POINT.PV";
  for (auto _ : state) benchmark::DoNotOptimize(b.cache.GetData(ntf));
}
BENCHMARK(BM_GetDataMissBlockScan)->Unit(benchmark::kMillisecond);

// The scan as its steps read: one fctLectureDansLeCache per record, each a 144-byte read.
void BM_GetDataMissRecordByRecord(benchmark::State& state) {
  Bench& b = Shared();
  const Text ntf = u"ABSENT:POINT.PV";
  for (auto _ : state) {
    const int32_t count = b.cache.RecordCountOfFile();
    int32_t found = 0;
    for (int32_t i = 1; i <= count && !found; ++i) {
      if (TrimSpaces(b.cache.fctLectureDansLeCache(i).strRefNTF) == ntf) found = i;
    }
    benchmark::DoNotOptimize(found);
  }
}
BENCHMARK(BM_GetDataMissRecordByRecord)->Unit(benchmark::kMillisecond);

void BM_FreeSlotBlockScan(benchmark::State& state) {
  Bench& b = Shared();
  EnregCache free_record;  // state 0: the slot stays free for the next round
  free_record.strRefNTF = PadToWidth(u"FREE:SLOT.PV", kRefNTFLength);
  for (auto _ : state) {
    int32_t n = 0;
    b.cache.fctEcritureDansLeCache(free_record, n);
    if (n != kRecords) state.SkipWithError("wrong slot");
  }
}
BENCHMARK(BM_FreeSlotBlockScan)->Unit(benchmark::kMillisecond);

void BM_FreeSlotRecordByRecord(benchmark::State& state) {
  Bench& b = Shared();
  for (auto _ : state) {
    const int32_t count = b.cache.RecordCountOfFile();
    int32_t n = 0;
    for (int32_t i = 1; i <= count && !n; ++i) {
      if (b.cache.fctLectureDansLeCache(i).lngEtat == 0) n = i;
    }
    if (n != kRecords) state.SkipWithError("wrong slot");
  }
}
BENCHMARK(BM_FreeSlotRecordByRecord)->Unit(benchmark::kMillisecond);

// The floor: the whole file read sequentially in 64 KiB blocks.
void BM_SequentialRead64KiB(benchmark::State& state) {
  Bench& b = Shared();
  std::vector<uint8_t> block(65536);
  for (auto _ : state) {
    int64_t length = 0;
    b.file->Length(&length);
    for (int64_t at = 0; at < length; at += block.size()) {
      size_t got = 0;
      b.file->ReadAt(at, block.data(), block.size(), &got);
    }
    benchmark::DoNotOptimize(block.data());
  }
}
BENCHMARK(BM_SequentialRead64KiB)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillon
