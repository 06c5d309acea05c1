// Locale seam: the number rules, date texts and names that value formatting and number
// reading depend on.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <string_view>

#include "common/text.h"

namespace quillon {

// What formatting needs to know of a locale. Pictures use the platform's locale picture
// letters (d, M, y, h, H, m, s, tt) as the short and long date and time settings do.
struct LocaleInfo {
  Text decimal_separator = u".";
  Text thousands_separator = u",";
  Text date_separator = u"/";
  Text time_separator = u":";
  Text short_date = u"M/d/yyyy";           // short date picture
  Text long_date = u"dddd, MMMM d, yyyy";  // long date picture
  Text long_time = u"h:mm:ss tt";          // time picture
  Text am = u"AM";
  Text pm = u"PM";
  std::array<Text, 7> day_names;           // Sunday first
  std::array<Text, 7> short_day_names;     // Sunday first
  std::array<Text, 12> month_names;        // January first
  std::array<Text, 12> short_month_names;  // January first
  Text currency_symbol = u"$";
  int currency_digits = 2;
  int currency_positive = 0;  // 0 "$1", 1 "1$", 2 "$ 1", 3 "1 $"
  int currency_negative = 0;  // the platform's sixteen negative currency orders, 0 "($1)"
  Text true_text = u"True";   // the words of the True/False, Yes/No and On/Off formats
  Text false_text = u"False";
  Text yes_text = u"Yes";
  Text no_text = u"No";
  Text on_text = u"On";
  Text off_text = u"Off";
};

// Its texts and rules are fixed once read, when it is made or at the latest when Info() is
// first called. Not synchronised: one thread at a time per
// object (each thread that formats holds its own). A reading that fails has one reason: the
// text is not a number (or date) by the locale's rules.
class Locale {
 public:
  Locale() = default;
  Locale(const Locale&) = delete;
  Locale& operator=(const Locale&) = delete;
  virtual ~Locale() = default;

  // The locale's name ("fr-FR", "en-US"); empty for the platform user's own locale.
  virtual std::string Name() = 0;
  // The separators, pictures and names formatting uses.
  virtual const LocaleInfo& Info() = 0;
  // Reads text, up to its first NUL, as a single-precision number by the locale's number
  // rules; false when it is not a number or out of range (*value untouched).
  virtual bool ReadSingle(TextView text, float* value) = 0;
  // Reads text, up to its first NUL, as a double-precision number by the same rules; false
  // when it is not one.
  virtual bool ReadNumber(TextView text, double* value) = 0;
  // Reads text, up to its first NUL, as a date by the locale's date rules; false when it is
  // not a date.
  virtual bool ReadDate(TextView text, double* date) = 0;
  // The general date text of a date: the date part left out when it is zero, the time part
  // left out at midnight. Empty text when the date is out of range.
  virtual Text GeneralDate(double date) = 0;
};

// The user's locale: natively the first non-empty of LC_ALL and LANG (French rules for fr*,
// English United States rules otherwise), from src/format/posix beside the engine's locale
// rules (target quillon_format); on Windows the user's default locale.
std::unique_ptr<Locale> NewPlatformLocale();
// A locale chosen by name, "fr-FR" or "en-US" (letter case ignored); nullptr for another name.
std::unique_ptr<Locale> NewPlatformLocale(std::string_view name);

}  // namespace quillon
