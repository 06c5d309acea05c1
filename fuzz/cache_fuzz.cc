// Fuzzes the record codec and the cache routines over an arbitrary file: a record survives a
// decode and encode byte for byte, and the block scans of GetData and of the free-slot choice
// give what reading the records one by one gives.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "cache/fct_cache.h"
#include "cache/fct_cache_routines.h"
#include "cache/record_codec.h"
#include "fakes/fake_clock.h"
#include "fakes/fake_echo_api.h"
#include "fakes/fake_file_system.h"
#include "fakes/fake_registry_api.h"
#include "fuzz_support.h"
#include "platform/windows_1252.h"
#include "services/trace_log.h"

namespace quillon {
namespace {

const Text kFile = u"/fuzz/cache.dat";

void RoundTrip(const std::string& bytes, CodePage& cp) {
  for (size_t at = 0; at + kRecordSize <= bytes.size(); at += kRecordSize) {
    const auto* in = reinterpret_cast<const uint8_t*>(bytes.data() + at);
    uint8_t out[kRecordSize];
    EncodeRecord(DecodeRecord(in, cp), cp, out);
    FUZZ_CHECK(std::memcmp(in, out, kRecordSize) == 0);
  }
}

// Records compared byte for byte (a NaN date never equals itself).
bool Same(const EnregCache& a, const EnregCache& b, CodePage& cp) {
  uint8_t x[kRecordSize];
  uint8_t y[kRecordSize];
  EncodeRecord(a, cp, x);
  EncodeRecord(b, cp, y);
  return std::memcmp(x, y, kRecordSize) == 0;
}

// The record-by-record steps: records 1..count read one by one.
int32_t LiteralFind(testing::FctCacheRoutines& cache, const Text& ntf) {
  const int32_t count = cache.RecordCountOfFile();
  for (int32_t i = 1; i <= count; ++i) {
    if (TrimSpaces(cache.fctLectureDansLeCache(i).strRefNTF) == ntf) return i;
  }
  return 0;
}

int32_t LiteralFreeSlot(testing::FctCacheRoutines& cache) {
  const int32_t count = cache.RecordCountOfFile();
  for (int32_t i = 1; i <= count; ++i) {
    if (cache.fctLectureDansLeCache(i).lngEtat == 0) return i;
  }
  return count + 1;
}

void Exercise(const std::string& file, const Text& ntf, int32_t code, bool trace_on) {
  testing::FakeFileSystem fs;
  testing::FakeClock clock;
  Windows1252CodePage cp;
  TraceLogConditionnel trace(fs, clock, cp, trace_on);
  testing::FakeRegistryApi registry_api;
  testing::FakeEchoApi echo;
  RegistrePD registry(registry_api, cp, echo);
  testing::FctCacheRoutines cache(fs, clock, cp, trace, registry);
  fs.Contents(kFile) = file;
  cache.UseFile(kFile);
  FUZZ_CHECK(cache.fctOuvrirCache() == 0);

  const int32_t expected = LiteralFind(cache, ntf);
  const EnregCache found = cache.GetData(ntf);
  if (expected == 0) {
    FUZZ_CHECK(Same(found, EnregCache(), cp));
  } else {
    FUZZ_CHECK(cache.IndexEntry(ntf) == expected);
    FUZZ_CHECK(Same(found, cache.fctLectureDansLeCache(expected), cp));
  }
  const int32_t free_slot = LiteralFreeSlot(cache);
  int32_t n = 0;
  cache.fctEcritureDansLeCache(EnregCache(), n);
  FUZZ_CHECK(n == free_slot);

  // A forced read leaves an indexed record of the point, requested.
  cache.cacheForcerLectNTF(ntf, code);
  const Text point = NormaliseReference(ntf);
  const auto at = cache.IndexEntry(point);
  FUZZ_CHECK(at.has_value());
  const EnregCache forced = cache.fctLectureDansLeCache(*at);
  FUZZ_CHECK(TrimSpaces(forced.strRefNTF) == point);
  FUZZ_CHECK(forced.lngEtat == 1 && forced.dtmLecture == 0 && forced.lngPollTime >= code);
  FUZZ_CHECK(Same(cache.GetData(point), forced, cp));
}

}  // namespace
}  // namespace quillon

// Input: flags, a 4-byte refresh code, a reference length and its Windows-1252 bytes, then
// the file; flag bits 1-7 repeat the file up to 127 times so that scans cross 64 KiB blocks.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quillon;
  if (size < 6) return 0;
  const bool trace_on = data[0] & 1;
  int32_t code;
  std::memcpy(&code, data + 1, 4);
  const size_t ref_length = std::min<size_t>(data[5], size - 6);
  Windows1252CodePage cp;
  const Text ntf = cp.ToText(std::string_view(reinterpret_cast<const char*>(data + 6), ref_length));
  const std::string once(reinterpret_cast<const char*>(data + 6 + ref_length),
                         size - 6 - ref_length);
  RoundTrip(once, cp);
  std::string file;
  const int repeats = trace_on ? 1 : 1 + (data[0] >> 1);
  for (int i = 0; i < repeats; ++i) file += once;
  Exercise(file, ntf, code, trace_on);
  return 0;
}
