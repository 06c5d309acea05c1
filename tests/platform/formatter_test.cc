// The platform formatter and locale (VarFormat and the user-locale conversions on Windows, our
// own engine and rules elsewhere) against the same cases.
#include "platform/formatter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "common/oledate.h"
#include "platform/format_cases.h"
#include "platform/locale.h"

namespace quillon::testing {
namespace {

class PlatformFormatterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    en_ = NewPlatformLocale(kEn);
    fr_ = NewPlatformLocale(kFr);
    ASSERT_TRUE(en_ && fr_);
    en_format_ = NewPlatformFormatter(*en_);
    fr_format_ = NewPlatformFormatter(*fr_);
  }

  Locale& In(const std::string& name) { return name == kFr ? *fr_ : *en_; }

  void Check(const FormatCase& c) {
    Formatter& f = std::string(c.locale) == kFr ? *fr_format_ : *en_format_;
    Text out = u"unchanged";
    const bool ok = f.Format(c.value, c.pattern, &out);
    SCOPED_TRACE(std::string(c.locale) + " pattern [" + ToUtf8(c.pattern) + "] value [" +
                 ToUtf8(c.value) + "]");
    EXPECT_EQ(ok, c.ok);
    if (c.ok) {
      EXPECT_EQ(ToUtf8(out), ToUtf8(c.expected));
    }
  }

  template <size_t N>
  void CheckAll(const FormatCase (&cases)[N]) {
    for (const FormatCase& c : cases) Check(c);
  }

  std::unique_ptr<Locale> en_, fr_;
  std::unique_ptr<Formatter> en_format_, fr_format_;
};

TEST_F(PlatformFormatterTest, NumericPatterns) { CheckAll(kNumberCases); }
TEST_F(PlatformFormatterTest, DigitPlaceholdersAmongOthersAndLiterals) {
  CheckAll(kPlaceholderCases);
}
TEST_F(PlatformFormatterTest, StoredTextsReadByTheLocaleRules) { CheckAll(kReadingCases); }
TEST_F(PlatformFormatterTest, NamedFormats) { CheckAll(kNamedCases); }
TEST_F(PlatformFormatterTest, DateAndTimePatterns) { CheckAll(kDateCases); }
TEST_F(PlatformFormatterTest, TextPatterns) { CheckAll(kTextCases); }

// Automation's conversions and text sections stop at the first NUL of a value text; a text
// that no section formats comes back whole.
TEST_F(PlatformFormatterTest, ValueTextsPaddedWithNuls) {
  const Text nuls(3, u'\0');
  const struct {
    const char* locale;
    Text pattern, value, expected;
  } cases[] = {
      {kEn, u"0.00", u"12.5" + nuls, u"12.50"},
      {kFr, u"0.00", u"12,5" + nuls, u"12,50"},
      {kEn, u"", u"12.5" + nuls, u"12.5"},
      {kEn, u"dd/mm/yyyy", u"3/15/2023" + nuls, u"15/03/2023"},
      {kEn, u"@@@@", u"ab" + nuls, u"  ab"},
      {kEn, u">", u"ab" + nuls + u"cd", u"AB"},
      {kEn, u"@;\"e\"", nuls, u"e"},
      {kEn, u"0.00", u"ab" + nuls + u"cd", u"ab" + nuls + u"cd"},
      {kEn, u"", u"ab" + nuls, u"ab" + nuls},
  };
  for (const auto& c : cases) {
    Formatter& f = std::string(c.locale) == kFr ? *fr_format_ : *en_format_;
    Text out;
    EXPECT_TRUE(f.Format(c.value, c.pattern, &out));
    EXPECT_EQ(out, c.expected) << ToUtf8(c.pattern) << " [" << ToUtf8(c.value) << "]";
  }
  float single = 0;
  double number = 0, date = 0;
  EXPECT_TRUE(fr_->ReadSingle(u"12,5" + nuls + u"7", &single));
  EXPECT_EQ(single, 12.5f);
  EXPECT_TRUE(en_->ReadNumber(u"12.5" + nuls, &number));
  EXPECT_EQ(number, 12.5);
  EXPECT_TRUE(en_->ReadDate(u"3/15/2023" + nuls, &date));
  EXPECT_EQ(date, DateFromParts(2023, 3, 15));
  EXPECT_FALSE(en_->ReadNumber(nuls + u"12", &number));
}

TEST_F(PlatformFormatterTest, LocalesChosenByNameOnly) {
  EXPECT_EQ(NewPlatformLocale("de-DE"), nullptr);
  EXPECT_EQ(en_->Name(), "en-US");
  EXPECT_EQ(fr_->Name(), "fr-FR");
  EXPECT_NE(NewPlatformLocale("FR-fr"), nullptr);
  EXPECT_NE(NewPlatformLocale(), nullptr);
}

struct SingleCase {
  const char* locale;
  const char16_t* text;
  bool ok;
  double value;
};

TEST_F(PlatformFormatterTest, SinglePrecisionReading) {
  const SingleCase cases[] = {
      {kFr, u"0,1", true, 0.100000001490116},
      {kFr, u"0.1", false, 0},
      {kEn, u"12,5", true, 125},
      {kFr, u"12,5", true, 12.5},
      {kEn, u"?", false, 0},
      {kEn, u" 1 ", true, 1},
      {kFr, u"(5)", true, -5},
      {kEn, u"1,000", true, 1000},
      {kFr, u"1,000", true, 1},
      {kFr, u"1\u00A0000", true, 1000},
      {kEn, u"1 000", false, 0},
      {kEn, u"1e39", false, 0},
      {kEn, u"1,2,3", true, 123},
      {kEn, u"1.2.3", false, 0},
      {kFr, u"€5", true, 5},
      {kEn, u"€5", false, 0},
      {kEn, u".5", true, 0.5},
      {kEn, u",5", false, 0},
      {kEn, u"0x10", false, 0},
      {kEn, u"1,5e2", true, 1500},
      {kEn, u"True", false, 0},
      {kEn, u"NaN", false, 0},
  };
  for (const SingleCase& c : cases) {
    SCOPED_TRACE(std::string(c.locale) + " [" + ToUtf8(c.text) + "]");
    float value = 42;
    EXPECT_EQ(In(c.locale).ReadSingle(c.text, &value), c.ok);
    EXPECT_NEAR(value, c.ok ? c.value : 42, 1e-9 * (1 + std::fabs(c.value)));
  }
}

TEST_F(PlatformFormatterTest, DoublePrecisionReadingLimits) {
  const SingleCase cases[] = {
      {kEn, u"&H80000000", true, -2147483648.0},
      {kEn, u"&HFFFFFFFF", false, 0},
      {kEn, u"&17", false, 0},
      {kEn, u"&HG", false, 0},
      {kEn, u"1E+309", false, 0},
      {kEn, u"1E-400", true, 0},
      {kEn, u"(-5)", true, -5},
      {kEn, u"-5-", false, 0},
      {kEn, u"$-5", true, -5},
      {kEn, u"1e", false, 0},
      {kEn, u".", false, 0},
      {kEn, u"+-5", true, -5},
      {kEn, u"1.5e2.5", false, 0},
      {kEn, u"1,,000", true, 1000},
      {kFr, u"1,000,", false, 0},
      {kEn, u"0000000000000000000000000000000012.5", true, 12.5},
  };
  for (const SingleCase& c : cases) {
    SCOPED_TRACE(std::string(c.locale) + " [" + ToUtf8(c.text) + "]");
    double value = 42;
    EXPECT_EQ(In(c.locale).ReadNumber(c.text, &value), c.ok);
    EXPECT_EQ(value, c.ok ? c.value : 42);
  }
}

struct DateCase {
  const char* locale;
  const char16_t* text;
  bool ok;
  double date;
};

TEST_F(PlatformFormatterTest, DateReading) {
  const double d = DateFromParts(2023, 3, 15);
  const double t = DateFromParts(1899, 12, 30, 18, 5) - DateFromParts(1899, 12, 30);
  const DateCase cases[] = {
      {kEn, u"15/03/2023", true, d},
      {kFr, u"03/15/2023", true, d},
      {kEn, u"2023-03-15", true, d},
      {kEn, u"3/15/49", true, DateFromParts(2049, 3, 15)},
      {kEn, u"3/15/50", true, DateFromParts(1950, 3, 15)},
      {kFr, u"15 mars 2023", true, d},
      {kEn, u"15 mars 2023", false, 0},
      {kEn, u"Mar 15 2023", true, d},
      {kFr, u"15 janv. 2023", true, DateFromParts(2023, 1, 15)},
      {kFr, u"15 janv 2023", false, 0},
      {kEn, u"18:05", true, t},
      {kEn, u"6:05 PM", true, t},
      {kEn, u"6 PM", true, t - 5 / 1440.0},
      {kEn, u"18h05", false, 0},
      {kFr, u"12.5", true, DateFromParts(1899, 12, 30, 12, 5)},
      {kEn, u"12.65", false, 0},
      {kFr, u"15/03/2023, 18:05", true, d + t},
      {kEn, u"31/02/2023", false, 0},
      {kEn, u"29/02/2024", true, DateFromParts(2024, 2, 29)},
      {kEn, u"1/1/100", true, DateFromParts(100, 1, 1)},
      {kEn, u"1/1/10000", false, 0},
      {kEn, u"12", false, 0},
      {kEn, u" 15/03/2023 ", true, d},
      {kEn, u"15/03/2023x", false, 0},
      {kFr, u"mercredi 15 mars 2023", true, d},
      {kEn, u"24:00", false, 0},
      {kEn, u"1:2:3:4", false, 0},
      {kEn, u"18:05:09.5", false, 0},
      {kEn, u"12:05 AM", true, 5 / 1440.0},
      {kEn, u"15.03.2023", false, 0},
      {kEn, u"3 15 2023", true, d},
      {kEn, u"-1/2/2023", false, 0},
      {kFr, u"-12.5", false, 0},
  };
  for (const DateCase& c : cases) {
    SCOPED_TRACE(std::string(c.locale) + " [" + ToUtf8(c.text) + "]");
    double date = 42;
    EXPECT_EQ(In(c.locale).ReadDate(c.text, &date), c.ok);
    EXPECT_NEAR(date, c.ok ? c.date : 42, 1e-9);
  }
}

TEST_F(PlatformFormatterTest, GeneralDateLeavesOutZeroDateAndMidnight) {
  const struct {
    double date;
    const char* en;
    const char* fr;
  } cases[] = {
      {0, "12:00:00 AM", "00:00:00"},
      {0.5, "12:00:00 PM", "12:00:00"},
      {45000, "3/15/2023", "15/03/2023"},
      {45000.75, "3/15/2023 6:00:00 PM", "15/03/2023 18:00:00"},
      {-1.25, "12/29/1899 6:00:00 AM", "29/12/1899 06:00:00"},
      {2958465.99999, "12/31/9999 11:59:59 PM", "31/12/9999 23:59:59"},
      {-657434, "1/1/100", "01/01/100"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.date);
    EXPECT_EQ(ToUtf8(en_->GeneralDate(c.date)), c.en);
    EXPECT_EQ(ToUtf8(fr_->GeneralDate(c.date)), c.fr);
  }
}

}  // namespace
}  // namespace quillon::testing
