// What the value properties return: the "%" escaping, the empty pattern, a failing format
// and the two number readings.
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

TEST_F(ValueTextTest, EveryPercentIsEscapedAndAFailureGivesEmptyText) {
  EXPECT_EQ(ToUtf8(EffectivePattern(u"%%x%")), "\\%\\%x\\%");
  EXPECT_EQ(ToUtf8(EffectivePattern(u"\\%")), "\\\\%");
  FormatValueText(recorder_, u"12", u"0.0%");
  EXPECT_EQ(ToUtf8(recorder_.last_pattern), "0.0\\%");
  EXPECT_EQ(ToUtf8(FormatValueText(recorder_, u" 012,50 ", u"")), " 012,50 ");
  EXPECT_EQ(ToUtf8(recorder_.last_pattern), "0.0\\%");  // the empty pattern formats nothing
  recorder_.fail = true;
  EXPECT_EQ(ToUtf8(FormatValueText(recorder_, u"12", u"0")), "");
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
