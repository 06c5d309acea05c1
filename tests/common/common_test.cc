#include <gtest/gtest.h>

#include <bit>
#include <limits>
#include <tuple>

#include "common/coding.h"
#include "common/oledate.h"
#include "common/text.h"
#include "platform/windows_1252.h"

namespace quillon {
namespace {

TEST(Text, Utf8RoundTripKeepsNulAndAccents) {
  const Text text = Text(u"début\0é", 7) + u"€";
  EXPECT_EQ(FromUtf8(ToUtf8(text)), text);
  EXPECT_EQ(ToUtf8(u"é"), "\xC3\xA9");
  EXPECT_EQ(FromUtf8("\xFF\x61"), Text(u"\uFFFDa"));
}

TEST(Text, TrimsSpacesOnlyAndPads) {
  EXPECT_EQ(TrimSpaces(u"  A:B.C   "), u"A:B.C");
  EXPECT_EQ(TrimSpaces(Text(u"\0A ", 3)), Text(u"\0A", 2));
  EXPECT_EQ(PadToWidth(u"A:B.C", 8), u"A:B.C   ");
  EXPECT_EQ(PadToWidth(u"abcdef", 3), u"abc");
}

TEST(Text, FoldsCaseBeyondAscii) {
  EXPECT_EQ(FoldCase(u"KEY_Noeud:TAG.Éé"), u"key_noeud:tag.éé");
  EXPECT_EQ(FoldCase(u'\u0152'), u'\u0153');
  EXPECT_EQ(FoldCase(u'\u0139'), u'\u013A');
  EXPECT_EQ(FoldCase(u'\u0178'), u'\u00FF');
  EXPECT_EQ(FoldCase(u'\u0179'), u'\u017A');
  EXPECT_EQ(FoldCase(u'×'), u'×');
}

TEST(Windows1252, EveryByteSurvivesARoundTrip) {
  Windows1252CodePage cp;
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  EXPECT_EQ(cp.ToAnsi(cp.ToText(all)), all);
  EXPECT_EQ(cp.ToText("\x80\xE9"), u"€é");
  EXPECT_EQ(cp.ToAnsi(u"\u4E2D"), "?");
}

TEST(OleDate, KnownDays) {
  EXPECT_EQ(DateFromParts(1899, 12, 30), 0.0);
  EXPECT_EQ(DateFromParts(1900, 1, 1), 2.0);
  EXPECT_EQ(DateFromParts(2000, 1, 1), 36526.0);
  EXPECT_DOUBLE_EQ(DateFromParts(1899, 12, 29, 6), -1.25);
  DateTimeParts p;
  ASSERT_TRUE(DateToParts(DateFromParts(2026, 12, 7, 14, 5, 9), &p));
  EXPECT_EQ(std::tuple(p.year, p.month, p.day, p.hour, p.minute, p.second, p.day_of_week),
            std::tuple(2026, 12, 7, 14, 5, 9, 1));  // a Monday
}

TEST(OleDate, RoundingCarriesIntoTheNextDay) {
  DateTimeParts p;
  ASSERT_TRUE(DateToParts(DateFromParts(2026, 12, 7) - 1e-10, &p));
  EXPECT_EQ(p.day, 7);
  EXPECT_EQ(p.hour, 0);
  EXPECT_FALSE(DateToParts(1e300, &p));
}

TEST(OleDate, AddSecondsCrossesTheEpoch) {
  double out = 0;
  ASSERT_TRUE(AddSeconds(0.25, -43200, &out));  // 06:00 on day 0, minus 12 hours
  EXPECT_DOUBLE_EQ(out, -1.75);                 // 18:00 the day before
  ASSERT_TRUE(AddSeconds(-1.75, 43200, &out));
  EXPECT_DOUBLE_EQ(out, 0.25);
  EXPECT_FALSE(AddSeconds(kMaxDate, 86400 * 2, &out));
}

// The fixed-width coders write the low byte first and read back every bit, sign of zero
// and denormals included, whatever the host's own byte order.
TEST(Coding, FixedWidthsAreLittleEndianAndRoundTrip) {
  uint8_t b[8] = {};
  EncodeFixed16(b, 0xA1B2);
  EXPECT_EQ(b[0], 0xB2);
  EXPECT_EQ(b[1], 0xA1);
  EXPECT_EQ(DecodeFixed16(b), 0xA1B2);
  EncodeFixed32(b, 0xFEDCBA98u);
  EXPECT_EQ(b[0], 0x98);
  EXPECT_EQ(b[3], 0xFE);
  EXPECT_EQ(DecodeFixed32(b), 0xFEDCBA98u);
  EncodeFixed64(b, 0x0102030405060780ull);
  EXPECT_EQ(b[0], 0x80);
  EXPECT_EQ(b[7], 0x01);
  EXPECT_EQ(DecodeFixed64(b), 0x0102030405060780ull);
}

TEST(Coding, DoubleKeepsItsBits) {
  uint8_t b[8] = {};
  EncodeDouble(b, 1.0);  // 0x3FF0000000000000
  EXPECT_EQ(b[6], 0xF0);
  EXPECT_EQ(b[7], 0x3F);
  for (double d : {0.0, -0.0, 45658.75, -1e308, std::numeric_limits<double>::denorm_min()}) {
    EncodeDouble(b, d);
    EXPECT_EQ(std::bit_cast<uint64_t>(DecodeDouble(b)), std::bit_cast<uint64_t>(d)) << d;
  }
}

}  // namespace
}  // namespace quillon
