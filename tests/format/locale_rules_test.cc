// Our own French and English rules: choosing them from the environment, and reading.
#include "format/locale_rules.h"

#include <gtest/gtest.h>

#include "common/oledate.h"
#include "format/locale_number.h"

namespace quillon::testing {
namespace {

TEST(LocaleRulesTest, EnvironmentChoosesFrenchForFrOnly) {
  EXPECT_EQ(LocaleNameFromEnvironment("fr_FR.UTF-8", "en_US.UTF-8"), "fr-FR");
  EXPECT_EQ(LocaleNameFromEnvironment("", "fr_CA.UTF-8"), "fr-FR");
  EXPECT_EQ(LocaleNameFromEnvironment(nullptr, "FR"), "fr-FR");
  EXPECT_EQ(LocaleNameFromEnvironment("C", "fr_FR.UTF-8"), "en-US");
  EXPECT_EQ(LocaleNameFromEnvironment(nullptr, nullptr), "en-US");
  EXPECT_EQ(LocaleNameFromEnvironment("f", nullptr), "en-US");
  LocaleRules rules;
  EXPECT_FALSE(FindLocaleRules("fr", &rules));
  EXPECT_TRUE(FindLocaleRules("EN-us", &rules));
  EXPECT_EQ(rules.name, "en-US");
}

TEST(LocaleRulesTest, NumbersBeyondTheRangeOrOddlyWritten) {
  const NumberRules en;
  double v = 0;
  EXPECT_FALSE(ParseLocaleNumber(u"1" + Text(400, u'0'), en, &v));
  EXPECT_TRUE(ParseLocaleNumber(u"0." + Text(400, u'0') + u"1", en, &v));
  EXPECT_EQ(v, 0);
  EXPECT_TRUE(ParseLocaleNumber(u"1e99999999999999999999", en, &v) == false);
  EXPECT_TRUE(ParseLocaleNumber(u"1e-99999999999999999999", en, &v));
  EXPECT_EQ(v, 0);
  EXPECT_FALSE(ParseLocaleNumber(u"((5))", en, &v));
  EXPECT_FALSE(ParseLocaleNumber(u"5)", en, &v));
  EXPECT_FALSE(ParseLocaleNumber(Text(1, u'\0'), en, &v));
  EXPECT_FALSE(ParseLocaleNumber(Text(u"5") + u'\0', en, &v));
}

TEST(LocaleRulesTest, SingleOverflowIsNotANumber) {
  LocaleRules rules;
  ASSERT_TRUE(FindLocaleRules("en-US", &rules));
  auto locale = NewRulesLocale(rules, nullptr);
  float f = 7;
  EXPECT_FALSE(locale->ReadSingle(u"3.5e38", &f));
  EXPECT_EQ(f, 7);
  EXPECT_TRUE(locale->ReadSingle(u"3.4e38", &f));
  double d = 0;
  EXPECT_TRUE(locale->ReadNumber(u"3.5e38", &d));
  // Without a clock, a date without a year is still read (year 2000).
  EXPECT_TRUE(locale->ReadDate(u"1/2", &d));
  EXPECT_EQ(d, DateFromParts(2000, 1, 2));
  EXPECT_EQ(ToUtf8(locale->GeneralDate(1e300)), "");
}

}  // namespace
}  // namespace quillon::testing
