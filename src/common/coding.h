// Little-endian coding of fixed-width numbers, written once for every byte format of the
// program: cache records, the saved settings stream, echo packets and the test fakes.
// Callers pass at least as many bytes as the width; nothing here checks bounds.
#pragma once

#include <bit>
#include <cstdint>

namespace quillon {

inline void EncodeFixed16(uint8_t* dst, uint16_t value) {
  dst[0] = static_cast<uint8_t>(value);
  dst[1] = static_cast<uint8_t>(value >> 8);
}

inline void EncodeFixed32(uint8_t* dst, uint32_t value) {
  for (int i = 0; i < 4; ++i) dst[i] = static_cast<uint8_t>(value >> (8 * i));
}

inline void EncodeFixed64(uint8_t* dst, uint64_t value) {
  for (int i = 0; i < 8; ++i) dst[i] = static_cast<uint8_t>(value >> (8 * i));
}

inline uint16_t DecodeFixed16(const uint8_t* src) {
  return static_cast<uint16_t>(src[0] | src[1] << 8);
}

inline uint32_t DecodeFixed32(const uint8_t* src) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | src[i];
  return value;
}

inline uint64_t DecodeFixed64(const uint8_t* src) {
  uint64_t value = 0;
  for (int i = 7; i >= 0; --i) value = (value << 8) | src[i];
  return value;
}

// An IEEE double stored as the 64 bits of its representation (Automation dates, for one).
inline void EncodeDouble(uint8_t* dst, double value) {
  EncodeFixed64(dst, std::bit_cast<uint64_t>(value));
}

inline double DecodeDouble(const uint8_t* src) { return std::bit_cast<double>(DecodeFixed64(src)); }

}  // namespace quillon
