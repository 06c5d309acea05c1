// What the value properties return: the "%" escaping, the empty pattern, a failing format
// and the two number readings.
#include "control/value_text.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "common/text.h"
#include "platform/formatter.h"
#include "platform/locale.h"

namespace quillon::testing {
namespace {

// Records the pattern it is given and whether it was handed a number; fails when told to.
class RecordingFormatter final : public Formatter {
 public:
  explicit RecordingFormatter(Locale& locale) : locale_(locale) {}
  bool Format(TextView value, TextView pattern, Text* result) override {
    return Record(u"[" + Text(value) + u"]", pattern, result);
  }
  bool FormatNumber(double number, TextView pattern, Text* result) override {
    return Record(u"<" + FromUtf8(std::to_string(number)) + u">", pattern, result);
  }
  Locale& FormatLocale() override { return locale_; }

  Text last_pattern;
  bool fail = false;

 private:
  bool Record(const Text& shown, TextView pattern, Text* result) {
    last_pattern = Text(pattern);
    *result = u"partial";
    if (fail) return false;
    *result = shown;
    return true;
  }
  Locale& locale_;
};

class ValueTextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fr_ = NewPlatformLocale("fr-FR");
    en_ = NewPlatformLocale("en-US");
    ASSERT_TRUE(fr_ && en_);
    fr_format_ = NewPlatformFormatter(*fr_);
    en_format_ = NewPlatformFormatter(*en_);
  }
  std::string Fr(TextView stored, TextView format) {
    return ToUtf8(FormatValueText(*fr_format_, stored, format));
  }
  std::string En(TextView stored, TextView format) {
    return ToUtf8(FormatValueText(*en_format_, stored, format));
  }

  std::unique_ptr<Locale> fr_, en_;
  std::unique_ptr<Formatter> fr_format_, en_format_;
};

TEST_F(ValueTextTest, OnlyABarePercentIsEscapedAndAFailureGivesEmptyText) {
  const struct {
    const char16_t* format;
    const char16_t* effective;
  } cases[] = {
      {u"%%x%", u"\\%\\%x\\%"}, {u"0 %", u"0 \\%"}, {u"0\\%", u"0\\%"},  // escaped by the designer
      {u"0\"%\"", u"0\"%\""},                                            // inside a quoted literal
      {u"\"a\"%", u"\"a\"\\%"},                                          // after the quoted literal
      {u"\\\\%", u"\\\\\\%"},  // an escaped backslash, then a bare percent
      {u"\"%", u"\"%"},        // an unterminated quote runs to the end
      {u"0\\", u"0\\"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ToUtf8(EffectivePattern(c.format)), ToUtf8(c.effective)) << ToUtf8(c.format);
  }
  RecordingFormatter recorder(*en_);
  FormatValueText(recorder, u"abc", u"0.0%");
  EXPECT_EQ(ToUtf8(recorder.last_pattern), "0.0\\%");
  EXPECT_EQ(ToUtf8(FormatValueText(recorder, u" 012,50 ", u"")), " 012,50 ");
  EXPECT_EQ(ToUtf8(recorder.last_pattern), "0.0\\%");  // the empty pattern formats nothing
  recorder.fail = true;
  EXPECT_EQ(ToUtf8(FormatValueText(recorder, u"12", u"0")), "");
  EXPECT_EQ(ToUtf8(FormatValueText(recorder, u"abc", u"0")), "");
}

TEST_F(ValueTextTest, PercentSignsShowAsWrittenAndNeverScale) {
  EXPECT_EQ(En(u"12", u"0 %"), "12 %");
  EXPECT_EQ(En(u"12", u"0\\%"), "12%");
  EXPECT_EQ(En(u"12", u"0\"%\""), "12%");
  EXPECT_EQ(En(u"0.125", u"0.0%"), "0.1%");
  EXPECT_EQ(Fr(u"12", u"0\"%\" \\% %"), "12% % %");
}

// A stored text reads as a number as it stands, then in the two forms of the number
// reading, and only then as a date.
TEST_F(ValueTextTest, StoredTextIsANumberBeforeItIsADate) {
  EXPECT_EQ(Fr(u"12.5", u"0.0"), "12,5");
  EXPECT_EQ(Fr(u"12,5", u"0.0"), "12,5");
  EXPECT_EQ(Fr(u"-1.25", u"0.00"), "-1,25");
  EXPECT_EQ(Fr(u"12.5", u"hh:nn"), "12:00");  // day 12.5 of the calendar, at noon
  EXPECT_EQ(Fr(u"12:05", u"hh:nn"), "12:05");
  EXPECT_EQ(Fr(u"15/03/2023", u"dd-mm-yyyy"), "15-03-2023");
  EXPECT_EQ(En(u"1,234.5", u"0.0"), "1234.5");  // as it stands, grouped thousands
  EXPECT_EQ(En(u"12.5", u"0.0"), "12.5");
  EXPECT_EQ(En(u"abc", u"0.0"), "abc");
  RecordingFormatter recorder(*fr_);
  EXPECT_EQ(ToUtf8(FormatValueText(recorder, u"12.5", u"0")), "<12.500000>");
  EXPECT_EQ(ToUtf8(FormatValueText(recorder, u"12:05", u"0")), "[12:05]");
}

// Automation's conversions stop at the first NUL, and so does the reading here.
TEST_F(ValueTextTest, ValueTextsPaddedWithNulsReadUpToTheFirstNul) {
  const Text padded = Text(u"12.5") + Text(4, u'\0');
  EXPECT_EQ(En(padded, u"0.00"), "12.50");
  EXPECT_EQ(Fr(padded, u"0.00"), "12,50");
  EXPECT_DOUBLE_EQ(ReadValueNumber(*en_, padded), 12.5);
  EXPECT_DOUBLE_EQ(ReadValueNumber(*fr_, padded), 12.5);
  EXPECT_EQ(En(Text(u"ab") + Text(2, u'\0'), u"@@@@"), "  ab");
}

// The locale's own decimal separator is tried first, then the other form.
TEST_F(ValueTextTest, NumberReadingTriesTheLocaleOwnSeparatorFirst) {
  for (Locale* locale : {fr_.get(), en_.get()}) {
    EXPECT_DOUBLE_EQ(ReadValueNumber(*locale, u"12.5"), 12.5);
    EXPECT_DOUBLE_EQ(ReadValueNumber(*locale, u"12,5"), 12.5);
    EXPECT_EQ(ReadValueNumber(*locale, u"abc"), 0.0);
    EXPECT_EQ(ReadValueNumber(*locale, u"1e39"), 0.0);  // beyond single precision
  }
  // The first form stands when it reads, even where the other would give another number.
  EXPECT_DOUBLE_EQ(ReadValueNumber(*fr_, u"1.000"), 1.0);
  EXPECT_DOUBLE_EQ(ReadValueNumber(*en_, u"1,000"), 1.0);
  // "1.2.5" does not read; "1,2,5" does, its commas grouping thousands.
  EXPECT_DOUBLE_EQ(ReadValueNumber(*en_, u"1.2,5"), 125);
  EXPECT_DOUBLE_EQ(ReadValueNumber(*fr_, u"-3,25e1"), -32.5);
}

}  // namespace
}  // namespace quillon::testing
