#include "format/format_decimal.h"

#include <charconv>
#include <cmath>

namespace quillon {

DecimalDigits DigitsFromDouble(double value) {
  DecimalDigits d;
  if (!std::isfinite(value) || value == 0) return d;
  d.negative = value < 0;
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value),
                                    std::chars_format::scientific, 14);
  const std::string text(buffer, result.ptr);  // d.dddddddddddddde+XX
  const size_t e = text.find('e');
  d.digits = text.substr(0, 1) + text.substr(2, e - 2);
  d.point = std::stoi(text.substr(e + 1)) + 1;
  while (!d.digits.empty() && d.digits.back() == '0') d.digits.pop_back();
  return d;
}

void RoundToFraction(DecimalDigits* d, int64_t fraction) {
  const int64_t keep = d->point + fraction;
  if (keep >= static_cast<int64_t>(d->digits.size())) return;
  if (keep < 0) {
    d->digits.clear();
    d->point = 0;
    return;
  }
  const bool up = d->digits[static_cast<size_t>(keep)] >= '5';
  d->digits.resize(static_cast<size_t>(keep));
  if (up) {
    int64_t i = keep - 1;
    while (i >= 0 && d->digits[static_cast<size_t>(i)] == '9')
      d->digits[static_cast<size_t>(i--)] = '0';
    if (i >= 0) {
      ++d->digits[static_cast<size_t>(i)];
    } else {
      d->digits.insert(d->digits.begin(), '1');
      ++d->point;
    }
  }
  while (!d->digits.empty() && d->digits.back() == '0') d->digits.pop_back();
  if (d->digits.empty()) d->point = 0;
}

char DigitAt(const DecimalDigits& d, int64_t index) {
  if (index < 0 || index >= static_cast<int64_t>(d.digits.size())) return '0';
  return d.digits[static_cast<size_t>(index)];
}

Text GeneralNumberText(double value, TextView decimal_separator) {
  const DecimalDigits d = DigitsFromDouble(value);
  if (d.IsZero()) return u"0";
  Text out = d.negative ? u"-" : u"";
  const int64_t exponent = d.point - 1;
  const int64_t count = static_cast<int64_t>(d.digits.size());
  if (exponent < -4 || exponent >= 15) {
    out += static_cast<char16_t>(d.digits[0]);
    if (count > 1) out.append(decimal_separator).append(FromUtf8(d.digits.substr(1)));
    out += exponent < 0 ? u"E-" : u"E+";
    const int64_t magnitude = exponent < 0 ? -exponent : exponent;
    if (magnitude < 10) out += u'0';
    return out + NumberText(magnitude);
  }
  if (d.point <= 0) {
    out += u'0';
  } else {
    for (int64_t i = 0; i < d.point; ++i) out += static_cast<char16_t>(DigitAt(d, i));
  }
  if (count > d.point) {
    out.append(decimal_separator);
    for (int64_t i = d.point; i < count; ++i) out += static_cast<char16_t>(DigitAt(d, i));
  }
  return out;
}

}  // namespace quillon
