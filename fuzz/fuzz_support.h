// Helpers shared by the fuzz targets.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/text.h"

namespace quillon::fuzz {

// Stops the run, naming the condition that failed and where.
inline void CheckAt(bool ok, const char* what, const char* file, int line) {
  if (ok) return;
  std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, what);
  std::abort();
}

// Up to `max_chars` UTF-16 units of any value, surrogates and NUL included.
inline Text ConsumeUtf16(FuzzedDataProvider& in, size_t max_chars) {
  const std::string bytes = in.ConsumeRandomLengthString(max_chars * 2);
  Text out;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    out += static_cast<char16_t>(static_cast<uint8_t>(bytes[i]) | static_cast<uint8_t>(bytes[i + 1])
                                                                      << 8);
  }
  return out;
}

// Up to `max_chars` 8-bit characters, each widened to one UTF-16 unit.
inline Text ConsumeNarrow(FuzzedDataProvider& in, size_t max_chars) {
  Text out;
  for (unsigned char c : in.ConsumeRandomLengthString(max_chars)) out += static_cast<char16_t>(c);
  return out;
}

}  // namespace quillon::fuzz

#define FUZZ_CHECK(condition) ::quillon::fuzz::CheckAt((condition), #condition, __FILE__, __LINE__)
