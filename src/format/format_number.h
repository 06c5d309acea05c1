// Numeric format sections: digit placeholders 0 and #, the decimal point, thousands
// separators (grouping between placeholders, scaling by 1000 after them), E+ E- e+ e-
// exponents, percent, and literal characters.
#pragma once

#include <cstdint>
#include <vector>

#include "common/text.h"
#include "platform/locale.h"

namespace quillon {

struct NumberItem {
  enum class Kind { kLiteral, kDigit, kDecimal, kExponent };
  Kind kind = Kind::kLiteral;
  Text literal;
  bool fraction = false;  // kDigit: after the decimal point
  bool upper = true;      // kExponent: E rather than e
  bool plus = false;      // kExponent: E+ (sign always) rather than E- (minus only)
  int width = 0;          // kExponent: at least this many exponent digits
};

struct NumberSection {
  std::vector<NumberItem> items;
  Text whole_places;        // the whole-part placeholders, left to right
  Text fraction_places;     // the fraction placeholders, left to right
  int64_t whole_zeros = 0;  // whole digits always shown: from the first 0 placeholder on
  bool grouping = false;
  bool percent = false;
  bool exponent = false;
  int scale = 0;  // each scaling comma divides by 1000
};

NumberSection ParseNumberSection(TextView raw);

// Writes the magnitude of `value` with the section; `sign` puts a minus sign before the first
// digit or the decimal point (for a negative value shown by a section not meant for it).
Text RenderNumber(const NumberSection& section, double value, bool sign, const LocaleInfo& info);

// The locale's currency format of a value: grouping, its currency digits, the symbol and the
// negative form at their places.
Text RenderCurrency(double value, const LocaleInfo& info);

}  // namespace quillon
