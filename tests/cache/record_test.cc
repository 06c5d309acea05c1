// The 144-byte record: byte layout, record counts and reference rules.
#include "cache/record.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "cache/record_codec.h"
#include "fakes/fake_code_page.h"
#include "platform/code_page.h"
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

// Raw record bytes with the reference field set to `ref` (padded with spaces) and the value
// fields to `value`.
std::string RecordBytes(const std::string& ref, const std::string& value) {
  std::string bytes(kRecordSize, '\0');
  bytes[kOffEtat] = 1;
  auto put = [&](size_t at, size_t width, const std::string& text) {
    std::string field = text.substr(0, width);
    field.resize(width, ' ');
    bytes.replace(at, width, field);
  };
  put(kOffRefNTF, kRefNTFLength, ref);
  put(kOffValeurLue, kValeurLength, value);
  put(kOffValeurFormateeLue, kValeurLength, value);
  return bytes;
}
const uint8_t* Bytes(const std::string& bytes) {
  return reinterpret_cast<const uint8_t*>(bytes.data());
}

// A single-byte code page converts through its own byte table, once built: no call per text,
// and its characters, not Windows-1252's.
TEST(RecordCodecCodePages, SingleByteCodePageDecodesThroughItsTable) {
  testing::CountingCyrillicCodePage cyrillic;
  const std::string bytes = RecordBytes("  N:\xCF\xE5\xF7\xFC.T\xE9  ", "12,5 \xB0\xD1");
  const EnregCache r = DecodeRecord(Bytes(bytes), cyrillic);
  EXPECT_EQ(r.strRefNTF, PadToWidth(u"  N:Печь.Tй", kRefNTFLength));
  EXPECT_EQ(r.strValeurLue, PadToWidth(u"12,5 °С", kValeurLength));
  EXPECT_EQ(r.strValeurFormateeLue, r.strValeurLue);
  EXPECT_EQ(DecodeTrimmedReference(Bytes(bytes), cyrillic), u"N:Печь.Tй");
  Text field(kValeurLength, u'x');
  DecodeTextField(Bytes(bytes) + kOffValeurLue, kValeurLength, cyrillic, field.data());
  EXPECT_EQ(field, r.strValeurLue);
  EnregCache reused = DecodeRecord(Bytes(RecordBytes("X:Y.Z", "999")), cyrillic);
  DecodeRecord(Bytes(bytes), cyrillic, &reused);
  EXPECT_EQ(reused, r);
  EXPECT_EQ(cyrillic.to_text_calls, 0);
  // The same record bytes as a text-by-text conversion gives them.
  uint8_t back[kRecordSize];
  EncodeRecord(r, cyrillic, back);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(back), 84), bytes.substr(0, 84));
}

// A code page without a byte table converts each field as a whole; a field fits its width
// (padded with NUL characters when two bytes made one character), and the reference is
// trimmed of its spaces before any NUL padding, so that it compares with a typed reference.
TEST(RecordCodecCodePages, DoubleByteCodePageConvertsWholeFieldsAndTrimsTheReference) {
  testing::DoubleByteCodePage dbcs;
  const std::string bytes = RecordBytes(" A:\x81\x42.B", "1\x80\x41");
  const EnregCache r = DecodeRecord(Bytes(bytes), dbcs);
  EXPECT_EQ(r.strRefNTF, u" A:\u4F42.B" + Text(53, u' ') + Text(1, u'\0'));
  EXPECT_EQ(r.strValeurLue, u"1\u4E41" + Text(17, u' ') + Text(1, u'\0'));
  EXPECT_EQ(DecodeTrimmedReference(Bytes(bytes), dbcs), u"A:\u4F42.B");
  Text field(kValeurLength, u'x');
  DecodeTextField(Bytes(bytes) + kOffValeurLue, kValeurLength, dbcs, field.data());
  EXPECT_EQ(field, r.strValeurLue);
  EnregCache reused = DecodeRecord(Bytes(RecordBytes("X:Y.Z", "999")), dbcs);
  DecodeRecord(Bytes(bytes), dbcs, &reused);
  EXPECT_EQ(reused, r);
  // A field of 60 two-byte characters' bytes: cut to its width, no NUL.
  std::string wide_ref;
  for (int i = 0; i < 30; ++i) wide_ref += "\x90\x01";
  EXPECT_EQ(DecodeTrimmedReference(Bytes(RecordBytes(wide_ref, "")), dbcs),
            Text(30, char16_t(0x4E00 + 0x1001)));
}

// Every byte of the platform's code page: the table, when there is one, is what the
// conversion of the byte alone gives.
TEST(RecordCodecCodePages, PlatformTableAgreesWithItsConversion) {
  auto cp = NewPlatformCodePage();
  const CodePage::ByteTable* table = cp->Characters();
  if (table == nullptr) GTEST_SKIP() << "the ANSI code page has no byte table";
  EXPECT_TRUE(cp->IsSingleByte());
  for (int b = 0; b < 256; ++b) {
    const char byte = static_cast<char>(b);
    EXPECT_EQ(cp->ToText(std::string_view(&byte, 1)), Text(1, (*table)[b])) << b;
  }
}

// Each thread's environment makes its own code page, and a thread that makes and drops one
// control at a time makes one per control: the table is built once for the process, not by
// each of them (256 conversions each time).
TEST(RecordCodecCodePages, PlatformTableIsBuiltOnceForTheProcess) {
  auto first = NewPlatformCodePage();
  auto second = NewPlatformCodePage();
  if (first->Characters() == nullptr) GTEST_SKIP() << "the ANSI code page has no byte table";
  EXPECT_EQ(first->Characters(), second->Characters());
  first.reset();
  EXPECT_EQ((*second->Characters())[static_cast<uint8_t>('A')], u'A');
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
