// The control's two fixed tables: the refresh periods (E_POLLTIME) and the quality codes.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace quillon {

// Refresh period of a control; a higher value is a faster refresh. The values are stored in
// saved displays and travel through the control's interface, so they never change.
enum E_POLLTIME : int32_t {
  Minute_30 = 0,
  Minute_20 = 10,
  Minute_15 = 15,
  Minute_10 = 20,
  Minute_05 = 25,
  Minute_02 = 28,
  Minute_01 = 29,
  Seconde_30 = 70,
  Seconde_20 = 80,
  Seconde_15 = 85,
  Seconde_10 = 90,
};

struct PollTimeEntry {
  int32_t value;
  std::string_view name;  // the constant's name, also its description in the type library
  int32_t seconds;
  std::u16string_view text;  // shown in txtPolltime
};

inline constexpr std::array<PollTimeEntry, 11> kPollTimes = {{
    {Minute_30, "Minute_30", 1800, u"30 min"},
    {Minute_20, "Minute_20", 1200, u"20 min"},
    {Minute_15, "Minute_15", 900, u"15 min"},
    {Minute_10, "Minute_10", 600, u"10 min"},
    {Minute_05, "Minute_05", 300, u"5 min"},
    {Minute_02, "Minute_02", 120, u"2 min"},
    {Minute_01, "Minute_01", 60, u"1 min"},
    {Seconde_30, "Seconde_30", 30, u"30 sec"},
    {Seconde_20, "Seconde_20", 20, u"20 sec"},
    {Seconde_15, "Seconde_15", 15, u"15 sec"},
    {Seconde_10, "Seconde_10", 10, u"10 sec"},
}};

// The entry of a refresh value; nullptr for a value outside the enumeration.
constexpr const PollTimeEntry* FindPollTime(int32_t value) {
  for (const PollTimeEntry& e : kPollTimes) {
    if (e.value == value) return &e;
  }
  return nullptr;
}

// The period in seconds of a refresh value; 0 outside the enumeration.
constexpr int32_t PollTimeSeconds(int32_t value) {
  for (const PollTimeEntry& e : kPollTimes) {
    if (e.value == value) return e.seconds;
  }
  return 0;
}

// Colours as 0x00BBGGRR.
inline constexpr uint32_t kColourBlack = 0x000000;
inline constexpr uint32_t kColourRed = 0x0000FF;

struct QualityEntry {
  int32_t code;
  std::u16string_view text;  // shown in txtStatut
  uint32_t colour;           // text colour of txtStatut
};

inline constexpr std::array<QualityEntry, 4> kQualities = {{
    {0, u"Ok", kColourBlack},
    {1, u"Mauvaise", kColourRed},
    {2, u"Maintenue", kColourRed},
    {-2, u"?", kColourBlack},
}};

// Text and colour of a quality code: the empty text in black for a code outside the table.
constexpr QualityEntry QualityOf(int32_t code) {
  for (const QualityEntry& e : kQualities) {
    if (e.code == code) return e;
  }
  return {code, u"", kColourBlack};
}

// The code stored for a quality byte: 0 to 250 as they are, 251 to 255 as -5 to -1.
constexpr int32_t QualityFromByte(uint8_t byte) { return byte <= 250 ? byte : byte - 256; }

// The quality byte of a read that found no record of the point: stored as -2, shown "?", the
// code of a control not read yet.
inline constexpr uint8_t kQualityByteUnknown = 254;

static_assert(PollTimeSeconds(Minute_01) == 60 && PollTimeSeconds(42) == 0);
static_assert(QualityFromByte(254) == -2 && QualityFromByte(255) == -1);
static_assert(QualityFromByte(kQualityByteUnknown) == -2);

}  // namespace quillon
