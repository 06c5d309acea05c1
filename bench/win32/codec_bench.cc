// The record codec and the point catalog under Wine, through the system's ANSI code page:
// decoding 100,000 records (every field, and the trimmed reference alone), encoding them, and
// the catalog's reading of a cache file of 100,000 points as the "Point" page reads it.
//
//   cmake --build --preset win32 --target codec_bench
//   cd build/win32 && ../../cmake/wine-run.sh bench/codec_bench.exe
#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cache/record.h"
#include "cache/record_codec.h"
#include "control/point_catalog.h"
#include "mini_benchmark.h"
#include "platform/code_page.h"
#include "platform/file_system.h"

namespace quillon::bench {
namespace {

constexpr int kRecords = 100000;

Text Number(int i) {
  const std::string digits = std::to_string(i);
  return Text(digits.begin(), digits.end());
}

// A point whose texts hold characters beyond ASCII, as French point names and units do.
EnregCache PointAt(int i) {
  EnregCache r;
  r.lngEtat = 1;
  r.strRefNTF = PadToWidth(u"NOEUD" + Number(i % 2) + u":Four" + Number(i) + u".Température",
                           kRefNTFLength);
  r.strValeurLue = PadToWidth(Number(i) + u".5", kValeurLength);
  r.strValeurFormateeLue = PadToWidth(Number(i) + u",5 °C", kValeurLength);
  r.dtmLecture = 46000.5;
  r.dtmDemande = 46000.25;
  r.lngPollTime = 90;
  return r;
}

// The records' bytes, encoded once through the platform's code page.
const std::vector<uint8_t>& RecordBytes() {
  static const std::vector<uint8_t> bytes = [] {
    std::unique_ptr<CodePage> cp = NewPlatformCodePage();
    std::vector<uint8_t> out(static_cast<size_t>(kRecords) * kRecordSize);
    for (int i = 0; i < kRecords; ++i) EncodeRecord(PointAt(i + 1), *cp, &out[i * kRecordSize]);
    return out;
  }();
  return bytes;
}

void BM_DecodeRecords(benchmark::State& state) {
  const std::vector<uint8_t>& bytes = RecordBytes();
  std::unique_ptr<CodePage> cp = NewPlatformCodePage();
  for ([[maybe_unused]] auto _ : state) {
    for (int i = 0; i < kRecords; ++i) {
      benchmark::DoNotOptimize(DecodeRecord(&bytes[i * kRecordSize], *cp));
    }
  }
}
BENCHMARK(BM_DecodeRecords)->Unit(benchmark::kMillisecond);

// The same into one record, whose texts keep their storage.
void BM_DecodeRecordsReused(benchmark::State& state) {
  const std::vector<uint8_t>& bytes = RecordBytes();
  std::unique_ptr<CodePage> cp = NewPlatformCodePage();
  EnregCache record;
  for ([[maybe_unused]] auto _ : state) {
    for (int i = 0; i < kRecords; ++i) {
      DecodeRecord(&bytes[i * kRecordSize], *cp, &record);
      benchmark::DoNotOptimize(record);
    }
  }
}
BENCHMARK(BM_DecodeRecordsReused)->Unit(benchmark::kMillisecond);

// The floor of a decoded record: its three texts allocated, filled and freed.
void BM_RecordTextsOnly(benchmark::State& state) {
  for ([[maybe_unused]] auto _ : state) {
    for (int i = 0; i < kRecords; ++i) {
      EnregCache record;
      record.strRefNTF.assign(kRefNTFLength, u' ');
      record.strValeurLue.assign(kValeurLength, u' ');
      record.strValeurFormateeLue.assign(kValeurLength, u' ');
      benchmark::DoNotOptimize(record);
    }
  }
}
BENCHMARK(BM_RecordTextsOnly)->Unit(benchmark::kMillisecond);

void BM_DecodeTrimmedReferences(benchmark::State& state) {
  const std::vector<uint8_t>& bytes = RecordBytes();
  std::unique_ptr<CodePage> cp = NewPlatformCodePage();
  for ([[maybe_unused]] auto _ : state) {
    for (int i = 0; i < kRecords; ++i) {
      benchmark::DoNotOptimize(DecodeTrimmedReference(&bytes[i * kRecordSize], *cp));
    }
  }
}
BENCHMARK(BM_DecodeTrimmedReferences)->Unit(benchmark::kMillisecond);

void BM_EncodeRecords(benchmark::State& state) {
  std::vector<EnregCache> records;
  for (int i = 0; i < kRecords; ++i) records.push_back(PointAt(i + 1));
  std::vector<uint8_t> out(kRecordSize);
  std::unique_ptr<CodePage> cp = NewPlatformCodePage();
  for ([[maybe_unused]] auto _ : state) {
    for (const EnregCache& r : records) EncodeRecord(r, *cp, out.data());
    benchmark::DoNotOptimize(out);
  }
}
BENCHMARK(BM_EncodeRecords)->Unit(benchmark::kMillisecond);

// A cache file of 100,000 points in the temporary folder, written once.
const Text& CacheFile() {
  static const Text path = [] {
    wchar_t dir[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, dir);
    const std::wstring name = std::wstring(dir) + L"quillon_codec_bench.dat";
    const std::vector<uint8_t>& bytes = RecordBytes();
    HANDLE file = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    if (file == INVALID_HANDLE_VALUE ||
        !WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size()) {
      std::fprintf(stderr, "cannot write %ls\n", name.c_str());
    }
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    return Text(reinterpret_cast<const char16_t*>(name.c_str()));
  }();
  return path;
}

void BM_CatalogLoad(benchmark::State& state) {
  std::unique_ptr<FileSystem> files = NewPlatformFileSystem();
  std::unique_ptr<CodePage> cp = NewPlatformCodePage();
  const Text& path = CacheFile();
  for ([[maybe_unused]] auto _ : state) {
    PointCatalog catalog;
    catalog.Load(*files, *cp, path);
    if (catalog.size() != static_cast<size_t>(kRecords)) std::fprintf(stderr, "short catalog\n");
    benchmark::DoNotOptimize(catalog.size());
  }
}
BENCHMARK(BM_CatalogLoad)->Unit(benchmark::kMillisecond);

// The floor of the catalog's reading: the same blocks read through the same file system.
void BM_ReadFileBlocks(benchmark::State& state) {
  std::unique_ptr<FileSystem> files = NewPlatformFileSystem();
  const Text& path = CacheFile();
  std::vector<uint8_t> block(PointCatalog::kBlockRecords * kRecordSize);
  for ([[maybe_unused]] auto _ : state) {
    const std::unique_ptr<RandomAccessFile> file = files->OpenReadOnly(path);
    int64_t offset = 0;
    size_t got = block.size();
    while (got == block.size() && file->ReadAt(offset, block.data(), block.size(), &got)) {
      offset += static_cast<int64_t>(got);
    }
    benchmark::DoNotOptimize(offset);
  }
}
BENCHMARK(BM_ReadFileBlocks)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillon::bench

int main(int argc, char** argv) {
  const int status = ::benchmark::RunSpecifiedBenchmarks(argc, argv);
  DeleteFileW(reinterpret_cast<const wchar_t*>(quillon::bench::CacheFile().c_str()));
  return status;
}
