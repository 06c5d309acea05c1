// The 144-byte record of the shared cache file, one per point.
#pragma once

#include <array>
#include <cstdint>

#include "common/text.h"

namespace quillon {

// Record layout: little-endian numbers, texts of one ANSI byte per character.
inline constexpr int kOffEtat = 0;                 // int32: 0 = free slot
inline constexpr int kOffRefNTF = 4;               // 60 chars: point reference
inline constexpr int kOffLecture = 64;             // double: time of the last read, 0 = none
inline constexpr int kOffDemande = 72;             // double: time of the last request
inline constexpr int kOffPollTime = 80;            // int32: refresh code wanted
inline constexpr int kOffValeurLue = 84;           // 20 chars: value text
inline constexpr int kOffValeurFormateeLue = 104;  // 20 chars: formatted value text
inline constexpr int kOffComplement = 124;         // 4 bytes, the server's own
inline constexpr int kOffStrComplement = 128;      // 16 bytes, the server's own
inline constexpr int kRecordSize = 144;
static_assert(kOffStrComplement + 16 == kRecordSize);

inline constexpr size_t kRefNTFLength = 60;
inline constexpr size_t kValeurLength = 20;
inline constexpr size_t kComplementLength = 16;

// Largest record number whose byte position fits in a signed 32-bit number.
inline constexpr int32_t kMaxRecordNumber = 14913081;

// Number of records in a file of `length` bytes: length / 144 rounded to the nearest whole
// number, a half going to the even one (360 bytes count 2 records, 504 bytes count 4).
constexpr int64_t RecordCount(int64_t length) {
  if (length <= 0) return 0;
  const int64_t whole = length / kRecordSize;
  const int64_t rest = length % kRecordSize;
  if (rest * 2 > kRecordSize || (rest * 2 == kRecordSize && whole % 2 == 1)) return whole + 1;
  return whole;
}
static_assert(RecordCount(300) == 2 && RecordCount(360) == 2 && RecordCount(504) == 4);

// The cache file under an installation path, joined as they stand (no separator added).
inline Text CacheFilePath(const Text& install_path) {
  return install_path + u"\\Serveur Quillon PD\\" + u"cacheQuillonPD_V2.dat";
}

// One record in memory. The default value is the empty record: numbers and dates 0, texts
// of NUL characters.
struct EnregCache {
  int32_t lngEtat = 0;
  Text strRefNTF = Text(kRefNTFLength, u'\0');
  double dtmLecture = 0;
  double dtmDemande = 0;
  int32_t lngPollTime = 0;
  Text strValeurLue = Text(kValeurLength, u'\0');
  Text strValeurFormateeLue = Text(kValeurLength, u'\0');
  // Not interpreted here: kept as raw bytes so that a rewrite carries them through exactly.
  std::array<uint8_t, 4> lngComplement{};
  std::array<uint8_t, kComplementLength> strComplement{};

  bool operator==(const EnregCache&) const = default;
};

// Makes `record` the empty record in place, keeping the storage its texts already have.
inline void MakeEmpty(EnregCache* record) {
  record->lngEtat = 0;
  record->strRefNTF.assign(kRefNTFLength, u'\0');
  record->dtmLecture = 0;
  record->dtmDemande = 0;
  record->lngPollTime = 0;
  record->strValeurLue.assign(kValeurLength, u'\0');
  record->strValeurFormateeLue.assign(kValeurLength, u'\0');
  record->lngComplement.fill(0);
  record->strComplement.fill(0);
}

}  // namespace quillon

namespace quillon {

// The form in which a point reference can equal a stored one: spaces trimmed, cut to the
// 60 characters of the record field (and trimmed again where the cut leaves spaces).
inline Text NormaliseReference(TextView ntf) {
  Text out = TrimSpaces(ntf);
  if (out.size() > kRefNTFLength) out = TrimSpaces(TextView(out).substr(0, kRefNTFLength));
  return out;
}

}  // namespace quillon
