// Reading a number written by a person or a program under a locale's number rules.
#pragma once

#include "common/text.h"

namespace quillon {

struct NumberRules {
  Text decimal = u".";    // the decimal separator
  Text thousands = u",";  // every character accepted as a thousands separator
  Text currency = u"$";   // the currency symbol, accepted before or after the number
};

// Reads text as Automation's text-to-number conversion does: spaces around, a sign before or
// after, parentheses for a negative number, the currency symbol, thousands separators anywhere
// in the whole part, one decimal separator, an exponent (1E+3), &H and &O radix forms. False
// when the text is not a number or lies beyond the double range (*value untouched).
bool ParseLocaleNumber(TextView text, const NumberRules& rules, double* value);

}  // namespace quillon
