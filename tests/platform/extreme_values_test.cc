// The value properties' formatting (the path of `Valeur` and `ValeurFormatee`) over extreme
// stored values and random patterns, with this platform's formatter: the values come from a
// shared file that any writer fills, so none may crash the host, and numbers past the
// platform's safe magnitude must come out as our engine writes them.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "control/value_text.h"
#include "format/format_engine.h"
#include "platform/format_cases.h"
#include "platform/formatter.h"
#include "platform/locale.h"

namespace quillon::testing {
namespace {

Text NumberAsText(double x) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.17g", x);
  return FromUtf8(buffer);
}

// As the cache stores a value: left-aligned in 20 characters, padded with spaces.
Text Stored(const Text& text) { return PadToWidth(text, 20); }

class ExtremeValuesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {kEn, kFr}) {
      locales_.push_back(NewPlatformLocale(name));
      ASSERT_TRUE(locales_.back());
      platform_.push_back(NewPlatformFormatter(*locales_.back()));
      engine_.push_back(NewEngineFormatter(*locales_.back()));
    }
  }

  // Formats `x` every way the control does, in every locale; a number at or past the safe
  // magnitude must give exactly what the engine gives.
  void Exercise(double x, const Text& pattern) {
    for (size_t i = 0; i < platform_.size(); ++i) {
      SCOPED_TRACE(ToUtf8(NumberAsText(x)) + " [" + ToUtf8(pattern) + "]");
      Text by_platform, by_engine;
      const bool ok = platform_[i]->FormatNumber(x, pattern, &by_platform);
      if (!(std::fabs(x) < kPlatformFormatMaxMagnitude)) {
        EXPECT_EQ(ok, engine_[i]->FormatNumber(x, pattern, &by_engine));
        EXPECT_EQ(ToUtf8(by_platform), ToUtf8(by_engine));
      }
      const Text text = NumberAsText(x);
      FormatValueText(*platform_[i], Stored(text), pattern);
      FormatValueText(*platform_[i], text + Text(3, u'\0'), pattern);
      platform_[i]->Format(text, pattern, &by_platform);
    }
  }

  Text Valeur(size_t locale, const Text& stored, const Text& pattern) {
    return FormatValueText(*platform_[locale], stored, pattern);
  }

  std::vector<std::unique_ptr<Locale>> locales_;
  std::vector<std::unique_ptr<Formatter>> platform_, engine_;
};

const Text kPatterns[] = {u"0.00",
                          u"#,##0.00",
                          u"0",
                          u"#",
                          u"0.00E+00",
                          u"##0.0e-0",
                          u"0.00 %",
                          u"#,##0;(#,##0)",
                          u"General Number",
                          u"Standard",
                          u"Fixed",
                          u"Scientific",
                          u"Currency",
                          u"@",
                          u">",
                          u"dd/mm/yyyy hh:nn:ss",
                          u"0.000000000000000000000000"};

TEST_F(ExtremeValuesTest, HugeNumbersGiveTheEnginesDigitsThroughTheValueProperty) {
  EXPECT_EQ(Valeur(0, Stored(u"1E+300"), u"0.00"), u"1" + Text(300, u'0') + u".00");
  EXPECT_EQ(Valeur(1, Stored(u"-1E+300"), u"0.00"), u"-1" + Text(300, u'0') + u",00");
  EXPECT_EQ(Valeur(0, Stored(u"1E+200"), u"0"), u"1" + Text(200, u'0'));
  // Both sides of the threshold, the platform's below and the engine's from it on, agree.
  EXPECT_EQ(Valeur(0, Stored(u"999999999999999"), u"#,##0.00"), u"999,999,999,999,999.00");
  EXPECT_EQ(Valeur(0, Stored(u"1E+15"), u"#,##0.00"), u"1,000,000,000,000,000.00");
  EXPECT_EQ(Valeur(0, Stored(u"1.5E+20"), u"0.00E+00"), u"1.50E+20");
  EXPECT_EQ(Valeur(0, Stored(u"1.5E+20"), u""), Stored(u"1.5E+20"));
}

TEST_F(ExtremeValuesTest, ExtremeDoublesAndSweepsWithEveryPattern) {
  std::vector<double> values = {DBL_MAX,
                                -DBL_MAX,
                                DBL_MIN,
                                -DBL_MIN,
                                DBL_TRUE_MIN,
                                -DBL_TRUE_MIN,
                                0.0,
                                -0.0,
                                1e300,
                                -1e300,
                                1e-300,
                                std::numeric_limits<double>::infinity(),
                                -std::numeric_limits<double>::infinity(),
                                std::numeric_limits<double>::quiet_NaN()};
  for (const double x : values) {
    for (const Text& pattern : kPatterns) Exercise(x, pattern);
  }
  for (int e = 15; e <= 308; ++e) {
    for (const Text pattern : {u"0.00", u"#,##0", u"0.00E+00"}) {
      Exercise(std::pow(10.0, e), pattern);
      Exercise(-9.99 * std::pow(10.0, e - 1), pattern);
    }
  }
}

TEST_F(ExtremeValuesTest, InfinityAndNanTextsAndOutOfRangeNumbersAreNoNumbers) {
  const Text texts[] = {u"1E+309",
                        u"-1e400",
                        u"1e-400",
                        u"NaN",
                        u"-nan",
                        u"Inf",
                        u"INF",
                        u"1.#INF",
                        u"-1.#IND",
                        u"Infinity",
                        u"1.7976931348623157E+308",
                        u"4.9406564584124654E-324",
                        u"0x1p1023",
                        u"1" + Text(400, u'0')};
  for (const Text& text : texts) {
    for (const Text& pattern : kPatterns) {
      for (size_t i = 0; i < platform_.size(); ++i) {
        FormatValueText(*platform_[i], Stored(text), pattern);
        FormatValueText(*platform_[i], text, pattern);
      }
    }
  }
}

// A script may push any text through MaJNTF and a designer may write any pattern: results of
// any length come back whole.
TEST_F(ExtremeValuesTest, LongTextsAndLongPatternsComeBackWhole) {
  const Text long_text(1000, u'a');
  EXPECT_EQ(Valeur(0, long_text, u">"), Text(1000, u'A'));
  EXPECT_EQ(Valeur(0, long_text, u"@"), long_text);
  const Text literal(300, u'x');
  EXPECT_EQ(Valeur(0, u"12", u"0\"" + literal + u"\""), u"12" + literal);
  EXPECT_EQ(Valeur(0, u"12", u"0." + Text(300, u'0')), u"12." + Text(300, u'0'));
}

// Random doubles (any bit pattern: denormals, infinities, NaNs included) and random numbers of
// any magnitude, each with a pattern put together from random pieces.
TEST_F(ExtremeValuesTest, RandomNumbersAndPatternsNeverCrash) {
  const Text pieces[] = {u"0",   u"#",    u",",  u".",   u"00", u"E+00",  u"e-0", u"\"lit\"",
                         u"%",   u";",    u" ",  u"\\x", u"@",  u"&",     u"<",   u"dd",
                         u"mmm", u"yyyy", u"hh", u"nn",  u"ss", u"AM/PM", u"c",   u"#,##0"};
  std::mt19937_64 random(20261207);
  for (int i = 0; i < 1000; ++i) {
    double x;
    if (i % 2 == 0) {
      const uint64_t bits = random();
      std::memcpy(&x, &bits, sizeof x);
    } else {
      x = std::ldexp(static_cast<double>(random() % 1000000) / 1000000.0 + 0.5,
                     static_cast<int>(random() % 2100) - 1075);
      if (random() % 2) x = -x;
    }
    Text pattern;
    for (int n = 1 + static_cast<int>(random() % 8); n > 0; --n) {
      pattern += pieces[random() % std::size(pieces)];
    }
    Exercise(x, pattern);
  }
}

}  // namespace
}  // namespace quillon::testing
