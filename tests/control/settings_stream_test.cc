// The saved form of a control's settings: round trips, the exact bytes of a typical block,
// long settings in version 2, and refusal of blocks that are not ours, newer, truncated or
// inconsistent.
#include "control/settings_stream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace quillon::testing {
namespace {

std::vector<uint8_t> Encode(SettingsRecord& record) {
  std::vector<uint8_t> bytes;
  EXPECT_TRUE(EncodeSettings(record, &bytes));
  return bytes;
}

// A header of version 2 is 16 bytes long, one of version 1 12 bytes.
size_t HeaderSize(const std::vector<uint8_t>& bytes) {
  return bytes.size() > 4 && bytes[4] == 2 ? 16 : 12;
}

SettingsError Decode(const std::vector<uint8_t>& bytes, SettingsRecord* record) {
  SettingsHeader header;
  const SettingsError error = DecodeSettingsHeader(bytes, &header);
  if (error != SettingsError::kNone) return error;
  return DecodeSettingsPayload(
      header, std::span<const uint8_t>(bytes).subspan(std::min(bytes.size(), HeaderSize(bytes))),
      record);
}

TEST(SettingsStream, TypicalSettingsHaveThisExactLayout) {
  SettingsRecord record;
  record.Write(u"strNTF", Text(u"N:T.F"));
  record.Write(u"udtPollTime", int32_t{29});
  const std::vector<uint8_t> bytes = Encode(record);
  const std::vector<uint8_t> expected = {
      'Q', 'P', 'D', 'S', 1,   0, 2,   0, 60,  0, 0,   0,                  // header: v1, 2 entries
      6,   0,   's', 0,   't', 0, 'r', 0, 'N', 0, 'T', 0, 'F', 0,          // name
      8,   0,   5,   0,   0,   0, 'N', 0, ':', 0, 'T', 0, '.', 0, 'F', 0,  // text
      11,  0,   'u', 0,   'd', 0, 't', 0, 'P', 0, 'o', 0, 'l', 0, 'l', 0,  // name
      'T', 0,   'i', 0,   'm', 0, 'e', 0, 3,   0, 29,  0, 0,   0};         // 32-bit integer
  EXPECT_EQ(bytes, expected);
}

TEST(SettingsStream, EveryKindOfValueRoundTripsInWriteOrder) {
  SettingsRecord record;
  record.Write(u"strNTF", Text(u"Noeud:T\0ag.Fi\u00e9ld", 15));
  record.Write(u"udtPollTime", int32_t{-7});
  record.Write(u"strFormat", Text());
  record.Write(u"n", 0.1);
  record.Write(u"b", true);
  record.Write(u"null", BagNull{});
  record.Write(u"empty", BagValue{});
  record.Write(u"udtPollTime", int32_t{90});  // replaces in place
  SettingsRecord back;
  ASSERT_EQ(Decode(Encode(record), &back), SettingsError::kNone);
  EXPECT_EQ(back.entries(), record.entries());
  EXPECT_EQ(back.entries()[1].first, u"udtPollTime");
}

TEST(SettingsStream, ValuesWithoutSavedFormAreRefused) {
  SettingsRecord record;
  record.Write(u"x", BagOther{});
  std::vector<uint8_t> bytes;
  EXPECT_FALSE(EncodeSettings(record, &bytes));
  SettingsRecord unnamed;
  unnamed.Write(u"", int32_t{1});
  EXPECT_FALSE(EncodeSettings(unnamed, &bytes));
}

TEST(SettingsStream, DamagedBlocksAreRefusedAndLeaveTheRecordAlone) {
  SettingsRecord record;
  record.Write(u"strNTF", Text(u"A:B.C"));
  record.Write(u"udtPollTime", int32_t{70});
  const std::vector<uint8_t> good = Encode(record);
  struct Case {
    const char* what;
    size_t offset;  // byte to change, or the length to cut to when `cut`
    uint8_t value;
    bool cut;
    SettingsError error;
  };
  const Case cases[] = {
      {"magic", 0, 'X', false, SettingsError::kNotSettings},
      {"version 0", 4, 0, false, SettingsError::kCorrupt},
      {"version 3", 4, 3, false, SettingsError::kNewerVersion},
      {"more entries than written", 6, 3, false, SettingsError::kCorrupt},
      {"fewer entries than written", 6, 1, false, SettingsError::kCorrupt},
      {"entry count over the limit", 7, 0x40, false, SettingsError::kCorrupt},
      {"payload size over the limit", 11, 0x40, false, SettingsError::kCorrupt},
      {"zero-length name", 12, 0, false, SettingsError::kCorrupt},
      {"unknown value kind", 26, 9, false, SettingsError::kCorrupt},
      {"text longer than the block", 29, 0x7f, false, SettingsError::kCorrupt},
      {"header cut", 7, 0, true, SettingsError::kCorrupt},
      {"payload cut", good.size() - 1, 0, true, SettingsError::kCorrupt},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> bytes = good;
    if (c.cut) {
      bytes.resize(c.offset);
    } else {
      bytes[c.offset] = c.value;
    }
    SettingsRecord back;
    back.Write(u"kept", int32_t{1});
    EXPECT_EQ(Decode(bytes, &back), c.error) << c.what;
    EXPECT_EQ(back.entries().size(), 1u) << c.what;
  }
}

// Version 1 holds 4 MiB of entries; settings beyond it are written as version 2, whose
// header gives the size in 8 bytes. What version 1 holds is still written as version 1.
TEST(SettingsStream, SettingsBeyondVersion1AreWrittenAsVersion2AndReadBack) {
  const Text long_text((2u << 20) + 1, u'x');
  SettingsRecord record;
  record.Write(u"strNTF", long_text);
  record.Write(u"udtPollTime", int32_t{70});
  record.Write(u"strFormat", Text(u"0.0"));
  std::vector<uint8_t> bytes = Encode(record);
  ASSERT_GT(bytes.size(), 16u);
  EXPECT_EQ(bytes[4], 2);
  const uint64_t payload = bytes.size() - 16;
  for (int i = 0; i < 8; ++i) EXPECT_EQ(bytes[8 + i], uint8_t(payload >> (8 * i))) << i;
  SettingsRecord back;
  ASSERT_EQ(Decode(bytes, &back), SettingsError::kNone);
  EXPECT_TRUE(back.entries() == record.entries());

  SettingsRecord largest_v1;  // a payload of exactly 4 MiB
  largest_v1.Write(u"t", Text((kSettingsMaxPayload - 2 - 2 - 2 - 4) / 2, u'y'));
  bytes = Encode(largest_v1);
  ASSERT_EQ(bytes.size(), kSettingsHeaderSize + kSettingsMaxPayload);
  EXPECT_EQ(bytes[4], 1);
  largest_v1.Write(u"t", Text((kSettingsMaxPayload - 2 - 2 - 2 - 4) / 2 + 1, u'y'));
  bytes = Encode(largest_v1);
  ASSERT_GT(bytes.size(), 16u);
  EXPECT_EQ(bytes[4], 2);
}

TEST(SettingsStream, Version2BlocksAreCheckedLikeVersion1) {
  SettingsRecord record;
  record.Write(u"strNTF", Text(3u << 20, u'z'));
  const std::vector<uint8_t> good = Encode(record);
  ASSERT_GT(good.size(), 16u);
  ASSERT_EQ(good[4], 2);
  for (size_t cut : {size_t{14}, good.size() - 1}) {
    std::vector<uint8_t> bytes(good.begin(), good.begin() + cut);
    SettingsRecord back;
    EXPECT_EQ(Decode(bytes, &back), SettingsError::kCorrupt) << cut;
    EXPECT_TRUE(back.entries().empty()) << cut;
  }
  std::vector<uint8_t> more_entries = good;
  more_entries[6] = 2;
  SettingsRecord back;
  EXPECT_EQ(Decode(more_entries, &back), SettingsError::kCorrupt);
}

TEST(SettingsStream, BooleansOtherThanTheTwoAutomationValuesAreRefused) {
  SettingsRecord record;
  record.Write(u"b", false);
  std::vector<uint8_t> bytes = Encode(record);
  bytes.back() = 1;
  SettingsRecord back;
  EXPECT_EQ(Decode(bytes, &back), SettingsError::kCorrupt);
}

}  // namespace
}  // namespace quillon::testing
