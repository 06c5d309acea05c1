// Numbers as formatting sees them: their decimal digits, at most 15 significant ones, as
// Automation turns a double into text.
#pragma once

#include <cstdint>
#include <string>

#include "common/text.h"

namespace quillon {

// value = 0.d1 d2 ... dn x 10^point, with d1 != 0; no digits for zero.
struct DecimalDigits {
  bool negative = false;
  std::string digits;  // '0'..'9', no leading or trailing zero
  int64_t point = 0;
  bool IsZero() const { return digits.empty(); }
};

// The digits of a finite double rounded to 15 significant digits (zero for NaN or infinity).
DecimalDigits DigitsFromDouble(double value);

// Rounds half away from zero to `fraction` digits after the point (a negative count rounds to
// tens, hundreds...). The sign is kept even when the result is zero.
void RoundToFraction(DecimalDigits* d, int64_t fraction);

// Digit at `index` counted from the first digit after "0." (0-based); '0' outside the digits.
char DigitAt(const DecimalDigits& d, int64_t index);

// The general text of a number: up to 15 significant digits, and the exponent form (1E+15,
// 1.5E-05) when the number is below 1E-4 or at least 1E+15.
Text GeneralNumberText(double value, TextView decimal_separator);

}  // namespace quillon
