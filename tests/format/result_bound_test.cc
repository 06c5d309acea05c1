// The result length bound against what the engine really writes: the shared formatting cases,
// the named formats, and random patterns over every token, under both locales.
#include "format/result_bound.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <string>

#include "common/oledate.h"
#include "format/format_engine.h"
#include "format/locale_rules.h"
#include "platform/format_cases.h"

namespace quillon::testing {
namespace {

class ResultBoundTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {kEn, kFr}) {
      LocaleRules rules;
      ASSERT_TRUE(FindLocaleRules(name, &rules));
      locales_.push_back(NewRulesLocale(rules, [] { return DateFromParts(2026, 6, 1); }));
    }
  }

  Locale& LocaleNamed(const char* name) { return *locales_[std::string(name) == kEn ? 0 : 1]; }

  // Formats with the engine and checks the bound; numbers of 1E+15 or more are left out.
  void ExpectBounded(Locale& locale, TextView pattern, TextView value) {
    const FormatValue v = ClassifyValue(value, locale);
    if (v.kind == FormatValue::Kind::kNumber && !(std::fabs(v.number) < 1e15)) return;
    Text out;
    if (!FormatWithPattern(v, pattern, locale.Info(), &out)) return;
    ++checked_;
    EXPECT_GE(ResultLengthBound(locale.Info()).Of(value.size(), pattern), out.size())
        << locale.Name() << " pattern \"" << ToUtf8(pattern) << "\" value \"" << ToUtf8(value)
        << "\" gives \"" << ToUtf8(out) << "\"";
  }

  template <size_t N>
  void ExpectCasesBounded(const FormatCase (&cases)[N]) {
    for (const FormatCase& c : cases) ExpectBounded(LocaleNamed(c.locale), c.pattern, c.value);
  }

  std::vector<std::unique_ptr<Locale>> locales_;
  int checked_ = 0;
};

TEST_F(ResultBoundTest, HoldsForTheSharedCases) {
  ExpectCasesBounded(kNumberCases);
  ExpectCasesBounded(kPlaceholderCases);
  ExpectCasesBounded(kReadingCases);
  ExpectCasesBounded(kNamedCases);
  ExpectCasesBounded(kDateCases);
  ExpectCasesBounded(kTextCases);
  EXPECT_GT(checked_, 100);
}

// Values at the edges: the widest numbers below 1E+15, tiny ones, percentages that carry,
// the last date, long texts.
const char16_t* const kEdgeValues[] = {
    u"999999999999999",  u"-999999999999999", u"-999999999999999.9", u"0.000123456789012345",
    u"-1E-300",          u"4.9E-324",          u"99999999999999.99",  u"12/31/9999 23:59:59",
    u"31/12/9999 23:59:59", u"9/30/2026 11:59:59 PM", u"0", u"text", u"",
    u"a rather long text that goes on and on, with words, commas and 0.00 in it"};

const char16_t* const kNamed[] = {
    u"General Number", u"Currency",   u"Fixed",       u"Standard",     u"Percent",
    u"Scientific",     u"Yes/No",     u"True/False",  u"On/Off",       u"General Date",
    u"Long Date",      u"Medium Date", u"Short Date", u"Long Time",    u"Medium Time",
    u"Short Time",     u""};

TEST_F(ResultBoundTest, HoldsForTheNamedFormatsAtTheEdges) {
  for (auto& locale : locales_) {
    for (const char16_t* pattern : kNamed) {
      for (const char16_t* value : kEdgeValues) ExpectBounded(*locale, pattern, value);
    }
  }
}

// Every token of the three section kinds, literals and separators.
const char16_t* const kTokens[] = {
    u"0",    u"#",     u".",     u",",   u"%",     u"E+",    u"e-",     u"00",  u"0,0",
    u"\\x", u"\"lit\"", u";",    u"d",   u"dd",    u"ddd",   u"dddd",   u"ddddd",
    u"dddddd", u"m",   u"mm",    u"mmm", u"mmmm",  u"y",     u"yy",     u"yyyy", u"h",
    u"hh",   u"n",     u"nn",    u"s",   u"ss",    u"w",     u"ww",     u"q",   u"c",
    u"/",    u":",     u"AMPM",  u"AM/PM", u"am/pm", u"A/P", u"ttttt",  u"@",   u"&",
    u"<",    u">",     u"!",     u" ",   u"-",     u"(",     u")",      u"$",   u"?"};

// A token many times over, after a lead that fixes the section's kind.
TEST_F(ResultBoundTest, HoldsForEveryTokenRepeated) {
  for (auto& locale : locales_) {
    for (const char16_t* lead : {u"", u"0", u"d", u"@"}) {
      for (const char16_t* token : kTokens) {
        Text pattern = lead;
        for (int n = 1; n <= 8; ++n) {
          pattern += token;
          if (n != 1 && n != 3 && n != 8) continue;
          for (const char16_t* value : kEdgeValues) ExpectBounded(*locale, pattern, value);
        }
      }
    }
  }
}

// Patterns drawn at random from the tokens.
TEST_F(ResultBoundTest, HoldsForRandomPatterns) {
  std::mt19937 random(20261207);
  std::uniform_int_distribution<size_t> token(0, std::size(kTokens) - 1);
  std::uniform_int_distribution<size_t> length(1, 12);
  std::uniform_int_distribution<size_t> edge(0, std::size(kEdgeValues) - 1);
  for (int round = 0; round < 4000; ++round) {
    Text pattern;
    for (size_t n = length(random); n > 0; --n) pattern += kTokens[token(random)];
    ExpectBounded(*locales_[round % 2], pattern, kEdgeValues[edge(random)]);
  }
  EXPECT_GT(checked_, 3000);
}

// What the bound is for: the usual display patterns stay well below the platform's limit, so
// that they go to the platform's formatting without being formatted twice.
TEST_F(ResultBoundTest, UsualPatternsStayBelowThePlatformLimit) {
  for (auto& locale : locales_) {
    const ResultLengthBound bound(locale->Info());
    for (const char16_t* pattern : {u"", u"0.00", u"#,##0.00", u"0.0 \"°C\"", u"0.00%",
                                    u"dd/mm/yyyy hh:nn:ss", u"General Date", u"Long Date"}) {
      EXPECT_LT(bound.Of(24, pattern), kPlatformFormatMaxLength) << ToUtf8(pattern);
    }
  }
}

}  // namespace
}  // namespace quillon::testing
