// The 144-byte record: byte layout, record counts and reference rules.
#include "cache/record.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "cache/record_codec.h"
#include "platform/windows_1252.h"

namespace quillon {
namespace {

std::string Hex(const uint8_t* bytes, size_t n) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (size_t i = 0; i < n; ++i) {
    out += kDigits[bytes[i] >> 4];
    out += kDigits[bytes[i] & 15];
  }
  return out;
}

class RecordCodec : public ::testing::Test {
 protected:
  std::string Encoded(const EnregCache& r) {
    uint8_t bytes[kRecordSize];
    std::memset(bytes, 0xCC, sizeof bytes);
    EncodeRecord(r, cp_, bytes);
    return Hex(bytes, sizeof bytes);
  }
  Windows1252CodePage cp_;
};

TEST_F(RecordCodec, EveryFieldAtItsOffsetLittleEndian) {
  EnregCache r;
  r.lngEtat = 0x01020304;
  r.strRefNTF = PadToWidth(u"A:B.C", kRefNTFLength);
  r.dtmLecture = -1.25;
  r.dtmDemande = 2.5;
  r.lngPollTime = 90;
  r.strValeurLue = PadToWidth(u"12,5", kValeurLength);
  r.strValeurFormateeLue = PadToWidth(u"12,5 °C é", kValeurLength);
  r.lngComplement = {0xDE, 0xAD, 0xBE, 0xEF};
  for (uint8_t i = 0; i < 16; ++i) r.strComplement[i] = static_cast<uint8_t>(i * 17);
  std::string expected =
      "04030201"
      "413A422E43";
  for (int i = 0; i < 55; ++i) expected += "20";
  expected +=
      "000000000000F4BF"
      "0000000000000440"
      "5A000000";
  expected += "31322C35";
  for (int i = 0; i < 16; ++i) expected += "20";
  expected += "31322C3520B04320E9";
  for (int i = 0; i < 11; ++i) expected += "20";
  expected +=
      "DEADBEEF"
      "00112233445566778899AABBCCDDEEFF";
  EXPECT_EQ(Encoded(r), expected);
}

TEST_F(RecordCodec, EmptyRecordIsAllZeroBytesAndTextsAreFittedToTheirFields) {
  EXPECT_EQ(Encoded(EnregCache()), std::string(2 * kRecordSize, '0'));
  uint8_t zeros[kRecordSize] = {};
  EXPECT_EQ(DecodeRecord(zeros, cp_), EnregCache());

  EnregCache r;
  r.strRefNTF = PadToWidth(Text(70, u'x'), kRefNTFLength);
  r.strValeurLue = u"ab";  // shorter than its field: padded with spaces on the way out
  EncodeRecord(r, cp_, zeros);
  const EnregCache back = DecodeRecord(zeros, cp_);
  EXPECT_EQ(back.strRefNTF, Text(60, u'x'));
  EXPECT_EQ(back.strValeurLue, u"ab" + Text(18, u' '));
  EXPECT_EQ(back.strValeurFormateeLue, Text(20, u'\0'));
}

TEST(Windows1252Test, ExactConversionHasNoLookAlikeAndNoDefaultCharacter) {
  Windows1252CodePage cp;
  std::string bytes;
  for (const TextView ok : {TextView(u"A:é.€"), TextView(u"\u0081\u009D\u00FF?"), TextView()}) {
    EXPECT_TRUE(cp.ToAnsiExact(ok, &bytes)) << ToUtf8(ok);
    EXPECT_EQ(bytes, cp.ToAnsi(ok));
    EXPECT_EQ(cp.ToText(bytes), ok);
  }
  // Omega, Cyrillic, A with macron (whose best fit is A), an emoji, a lone surrogate.
  for (const TextView lossy :
       {TextView(u"A:Ω.F"), TextView(u"Ж"), TextView(u"Ā"), TextView(u"😀"), TextView(u"\xD800")}) {
    EXPECT_FALSE(cp.ToAnsiExact(lossy, &bytes)) << ToUtf8(lossy);
  }
  EXPECT_EQ(cp.ToAnsi(u"A:Ω.F"), "A:?.F");  // what a lossy lookup would have searched for
}

TEST(RecordCountTest, RoundsHalfToEven) {
  EXPECT_EQ(RecordCount(0), 0);
  EXPECT_EQ(RecordCount(71), 0);
  EXPECT_EQ(RecordCount(72), 0);  // half of one record: to the even 0
  EXPECT_EQ(RecordCount(73), 1);
  EXPECT_EQ(RecordCount(144), 1);
  EXPECT_EQ(RecordCount(216), 2);  // 1.5 to 2
  EXPECT_EQ(RecordCount(300), 2);
  EXPECT_EQ(RecordCount(360), 2);  // 2.5 to 2
  EXPECT_EQ(RecordCount(504), 4);  // 3.5 to 4
  EXPECT_EQ(RecordCount(int64_t{kRecordSize} * kMaxRecordNumber), kMaxRecordNumber);
}

TEST(ReferenceRules, NormalisedReferenceCanEqualAStoredOneAndTheFilePathJoinsAsItStands) {
  EXPECT_EQ(NormaliseReference(u"  A:B.C "), u"A:B.C");
  const Text long_ref = Text(59, u'n') + u" tail of the reference";
  EXPECT_EQ(NormaliseReference(long_ref), Text(59, u'n'));
  EXPECT_EQ(NormaliseReference(long_ref), TrimSpaces(PadToWidth(long_ref, kRefNTFLength)));
  EXPECT_EQ(NormaliseReference(u""), u"");
  EXPECT_EQ(CacheFilePath(u"C:\\Pondral"),
            u"C:\\Pondral\\Serveur Quillon PD\\cacheQuillonPD_V2.dat");
  EXPECT_EQ(CacheFilePath(u""), u"\\Serveur Quillon PD\\cacheQuillonPD_V2.dat");
}

}  // namespace
}  // namespace quillon
