// Our own formatting engine where it goes by the documented Automation behaviour although
// Wine's VarFormat does otherwise, and its bounds on hostile patterns.
#include "format/format_engine.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "common/oledate.h"
#include "format/format_decimal.h"
#include "format/locale_rules.h"
#include "platform/format_cases.h"

namespace quillon::testing {
namespace {

class FormatEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    LocaleRules rules;
    ASSERT_TRUE(FindLocaleRules(kEn, &rules));
    en_ = NewRulesLocale(rules, [] { return DateFromParts(2026, 6, 1); });
    ASSERT_TRUE(FindLocaleRules(kFr, &rules));
    fr_ = NewRulesLocale(rules, [] { return DateFromParts(2026, 6, 1); });
    en_format_ = NewEngineFormatter(*en_);
    fr_format_ = NewEngineFormatter(*fr_);
  }

  std::string En(TextView pattern, TextView value) { return Run(*en_format_, pattern, value); }
  std::string Fr(TextView pattern, TextView value) { return Run(*fr_format_, pattern, value); }

  static std::string Run(Formatter& f, TextView pattern, TextView value) {
    Text out;
    if (!f.Format(value, pattern, &out)) return "<failed>";
    return ToUtf8(out);
  }

  std::unique_ptr<Locale> en_, fr_;
  std::unique_ptr<Formatter> en_format_, fr_format_;
};

// Wine rounds 0.5 down to 0 when no whole digit is left; halves round away from zero.
TEST_F(FormatEngineTest, HalvesRoundAwayFromZeroEvenWithoutWholeDigits) {
  EXPECT_EQ(En(u"0", u"0.5"), "1");
  EXPECT_EQ(En(u"0", u"-0.5"), "-1");
  EXPECT_EQ(Fr(u"0 \\%", u"0,5"), "1 %");
}

// Wine keeps the grouping flag only; a comma right after the whole placeholders scales.
TEST_F(FormatEngineTest, CommasAfterTheWholePartScaleByAThousand) {
  EXPECT_EQ(En(u"#,##0,", u"1234567"), "1,235");
  EXPECT_EQ(En(u"#,##0,,", u"1234567890"), "1,235");
  EXPECT_EQ(En(u"0,.0", u"1234567"), "1234.6");
}

// Wine only applies % once the pattern is known to be numeric.
TEST_F(FormatEngineTest, PercentAnywhereInANumericSection) { EXPECT_EQ(En(u"%0", u"0.5"), "%50"); }

// Wine turns every text to lower case, fills & and the placeholders of a ! section from the
// left, and ignores ! when the text is short.
TEST_F(FormatEngineTest, TextKeepsItsCaseAndFillsFromTheRight) {
  EXPECT_EQ(En(u"@@@", u"ABC"), "ABC");
  EXPECT_EQ(En(u"!@@@@", u"ab"), "ab  ");
  EXPECT_EQ(En(u"!@@-@@", u"abc"), "ab-c ");
  EXPECT_EQ(En(u"&&-&&", u"abc"), "a-bc");
  EXPECT_EQ(En(u"&&-&&", u"ab"), "-ab");
  EXPECT_EQ(En(u"(&&&) &&&-&&&&", u"1234567"), "() 123-4567");
  EXPECT_EQ(En(u"@&@", u"a"), " a");
  EXPECT_EQ(En(u">@", u"éÿ"), "ÉŸ");
}

// Wine reads the characters after an exponent's placeholders as more exponent digits.
TEST_F(FormatEngineTest, ExponentPlaceholdersGiveItsDigitsOnly) {
  EXPECT_EQ(En(u"0.#####E-0#0#", u"12345"), "1.2345E04");
  EXPECT_EQ(En(u"0.#####E-0#0#", u"0.00012345"), "1.2345E-04");
  EXPECT_EQ(En(u"0.#####E-0#0#", u"1E+200"), "1.E200");
  EXPECT_EQ(En(u"0.00E+#", u"12345"), "1.23E+4");
  EXPECT_EQ(En(u"0.00E-#0", u"1"), "1.00E0");
  EXPECT_EQ(En(u"0.00E+0 0", u"12345"), "1.23E+4 0");
}

// Wine keeps a 24-hour clock with AM/PM, counts weeks from the day of the year, and takes
// the long date for the medium one.
TEST_F(FormatEngineTest, DateTokensWineGetsWrong) {
  EXPECT_EQ(En(u"h:nn AM/PM", u"3/15/2023 18:05:09"), "6:05 PM");
  EXPECT_EQ(En(u"hh:nn:ss AM/PM", u"3/15/2023 00:00:00"), "12:00:00 AM");
  EXPECT_EQ(En(u"AM/PM h", u"3/15/2023 18:00:00"), "PM 6");
  EXPECT_EQ(En(u"w ww", u"3/18/2023"), "7 11");
  EXPECT_EQ(En(u"w ww", u"1/7/2023"), "7 1");
  EXPECT_EQ(En(u"Medium Date", u"3/15/2023"), "15-Mar-23");
  EXPECT_EQ(En(u"mmmmm", u"3/15/2023"), "March3");
  EXPECT_EQ(En(u"c", u"3/15/2023 18:05:09"), "3/15/2023 6:05:09 PM");
  EXPECT_EQ(Fr(u"Currency", u"-1234,5"), "-1\u00A0234,50 €");
}

TEST_F(FormatEngineTest, DatesWithoutAYearTakeTheCurrentOne) {
  EXPECT_EQ(En(u"dd/mm/yyyy", u"1/2"), "02/01/2026");
  EXPECT_EQ(Fr(u"dd/mm/yyyy", u"1/2"), "01/02/2026");
  EXPECT_EQ(Fr(u"dd/mm/yyyy", u"mars 15"), "15/03/2026");
}

TEST_F(FormatEngineTest, LargeNumbersKeepFifteenSignificantDigits) {
  EXPECT_EQ(En(u"#", u"123456789012345678"), "123456789012346000");
  EXPECT_EQ(En(u"0", u"1.7976931348623157E+308").size(), 309u);
  EXPECT_EQ(En(u"General Number", u"123456789.123456789"), "123456789.123457");
}

TEST_F(FormatEngineTest, HostilePatternsStayBounded) {
  const Text zeros(10000, u'0');
  EXPECT_EQ(En(zeros, u"5").size(), 10000u);
  EXPECT_EQ(En(u"0." + zeros, u"0.1").size(), 10002u);
  EXPECT_EQ(En(u"0E+" + zeros, u"1E+300").size(), 10003u);
  EXPECT_EQ(En(zeros + u"%" + Text(50, u','), u"1E+300").size(), 10001u);
  EXPECT_EQ(En(Text(20000, u'c'), u"45000.5"), "<failed>");  // beyond the output limit
  EXPECT_EQ(En(Text(100, u';'), u"1"), "<failed>");
  EXPECT_EQ(En(u"\"unterminated", u"5"), "unterminated");
  EXPECT_EQ(En(Text(1000, u'd'), u"1/1/2000").empty(), false);
}

TEST_F(FormatEngineTest, EmptyPatternGivesTheGeneralText) {
  EXPECT_EQ(En(u"", u"012.50"), "12.5");
  EXPECT_EQ(En(u"", u"3/15/2023 18:00"), "3/15/2023 6:00:00 PM");
  EXPECT_EQ(En(u"", u"abc"), "abc");
}

TEST(DecimalDigitsTest, RoundingCarriesAndKeepsTheSign) {
  DecimalDigits d = DigitsFromDouble(-9.96);
  RoundToFraction(&d, 1);
  EXPECT_EQ(d.digits, "1");
  EXPECT_EQ(d.point, 2);
  EXPECT_TRUE(d.negative);
  d = DigitsFromDouble(0.004);
  RoundToFraction(&d, 2);
  EXPECT_TRUE(d.IsZero());
  d = DigitsFromDouble(12345);
  RoundToFraction(&d, -2);
  EXPECT_EQ(d.digits, "123");
  EXPECT_EQ(d.point, 5);
  EXPECT_EQ(ToUtf8(GeneralNumberText(0.0001, u",")), "0,0001");
  EXPECT_EQ(ToUtf8(GeneralNumberText(-1.5e-7, u".")), "-1.5E-07");
}

}  // namespace
}  // namespace quillon::testing
