// What the value properties return: the "%" escaping, the empty pattern, a failing format,
// the two number readings, the last-read date and the quality.
#include "control/value_text.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/formatter.h"
#include "platform/locale.h"

namespace quillon::testing {
namespace {

// Records the pattern it is given; fails when told to.
class RecordingFormatter final : public Formatter {
 public:
  bool Format(TextView value, TextView pattern, Text* result) override {
    last_pattern = Text(pattern);
    *result = u"partial";
    if (fail) return false;
    *result = u"[" + Text(value) + u"]";
    return true;
  }
  Text last_pattern;
  bool fail = false;
};

class ValueTextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fr_ = NewPlatformLocale("fr-FR");
    en_ = NewPlatformLocale("en-US");
    ASSERT_TRUE(fr_ && en_);
  }
  std::unique_ptr<Locale> fr_, en_;
  RecordingFormatter recorder_;
};

TEST_F(ValueTextTest, EveryPercentSignIsEscaped) {
  EXPECT_EQ(ToUtf8(EffectivePattern(u"0 %")), "0 \\%");
  EXPECT_EQ(ToUtf8(EffectivePattern(u"%%x%")), "\\%\\%x\\%");
  EXPECT_EQ(ToUtf8(EffectivePattern(u"\\%")), "\\\\%");
  EXPECT_EQ(ToUtf8(EffectivePattern(u"")), "");
  FormatValueText(recorder_, u"12", u"0.0%");
  EXPECT_EQ(ToUtf8(recorder_.last_pattern), "0.0\\%");
}

TEST_F(ValueTextTest, PercentShowsLiterallyWithTheRealFormatter) {
  for (Locale* locale : {fr_.get(), en_.get()}) {
    auto formatter = NewPlatformFormatter(*locale);
    EXPECT_EQ(ToUtf8(FormatValueText(*formatter, u"12", u"0 %")), "12 %");
    EXPECT_EQ(ToUtf8(FormatValueText(*formatter, u"?", u"0.00")), "?");
  }
}

TEST_F(ValueTextTest, EmptyPatternKeepsTheStoredTextAndFailureGivesEmptyText) {
  EXPECT_EQ(ToUtf8(FormatValueText(recorder_, u" 012,50 ", u"")), " 012,50 ");
  EXPECT_TRUE(recorder_.last_pattern.empty());
  recorder_.fail = true;
  EXPECT_EQ(ToUtf8(FormatValueText(recorder_, u"12", u"0")), "");
  auto formatter = NewPlatformFormatter(*en_);
  EXPECT_EQ(ToUtf8(FormatValueText(*formatter, u"12", u"0;0;0;0;0")), "");
}

TEST_F(ValueTextTest, NumberIsTheSinglePrecisionValueWidened) {
  const double widened = static_cast<double>(0.1f);
  EXPECT_EQ(ReadValueNumber(*fr_, u"0,1"), widened);
  EXPECT_EQ(ReadValueNumber(*fr_, u"0.1"), widened);
  EXPECT_EQ(ReadValueNumber(*en_, u"0.1"), widened);
  EXPECT_EQ(ReadValueNumber(*en_, u"0,1"), widened);
  EXPECT_NEAR(widened, 0.100000001490116, 1e-15);
  EXPECT_NE(widened, 0.1);
}

TEST_F(ValueTextTest, TextsThatAreNoNumberGiveZero) {
  for (Locale* locale : {fr_.get(), en_.get()}) {
    EXPECT_EQ(ReadValueNumber(*locale, u"?"), 0.0);
    EXPECT_EQ(ReadValueNumber(*locale, u""), 0.0);
    EXPECT_EQ(ReadValueNumber(*locale, u"abc"), 0.0);
    EXPECT_EQ(ReadValueNumber(*locale, u"1e39"), 0.0);
  }
}

// The locale's own decimal separator is tried first: under English rules 12.5 is no longer
// read as 125 (comma made a thousands separator), and under French rules nothing changes.
TEST_F(ValueTextTest, LocaleOwnSeparatorFormIsTriedFirst) {
  EXPECT_DOUBLE_EQ(ReadValueNumber(*en_, u"12.5"), 12.5);
  EXPECT_DOUBLE_EQ(ReadValueNumber(*en_, u"12,5"), 12.5);
  EXPECT_DOUBLE_EQ(ReadValueNumber(*fr_, u"12.5"), 12.5);
  EXPECT_DOUBLE_EQ(ReadValueNumber(*fr_, u"12,5"), 12.5);
  // The first form stands when it reads, even where the other would give another number.
  EXPECT_DOUBLE_EQ(ReadValueNumber(*fr_, u"1.000"), 1.0);
  EXPECT_DOUBLE_EQ(ReadValueNumber(*en_, u"1,000"), 1.0);
  // The second form is tried when the first does not read ("1.2.5" does not; "1,2,5" does,
  // its commas grouping thousands).
  EXPECT_DOUBLE_EQ(ReadValueNumber(*en_, u"1.2,5"), 125);
  EXPECT_DOUBLE_EQ(ReadValueNumber(*fr_, u"-3,25e1"), -32.5);
}

TEST_F(ValueTextTest, LastReadAndQualityTexts) {
  EXPECT_EQ(ToUtf8(LastReadText(*fr_, 0)), "00:00:00");
  EXPECT_EQ(ToUtf8(LastReadText(*en_, 0)), "12:00:00 AM");
  EXPECT_EQ(ToUtf8(LastReadText(*fr_, 45000.75)), "15/03/2023 18:00:00");
  EXPECT_EQ(ToUtf8(QualityText(-2)), "-2");
  EXPECT_EQ(ToUtf8(QualityText(0)), "0");
  EXPECT_EQ(ToUtf8(QualityText(250)), "250");
  EXPECT_EQ(ToUtf8(QualityText(-2147483647 - 1)), "-2147483648");
}

}  // namespace
}  // namespace quillon::testing
