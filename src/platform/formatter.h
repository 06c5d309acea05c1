// Formatter seam: a stored value text formatted with a display designer's pattern.
#pragma once

#include <cstddef>
#include <memory>

#include "common/text.h"
#include "platform/locale.h"

namespace quillon {

// Not synchronised: one thread at a time per object, on the thread that may use its locale.
class Formatter {
 public:
  Formatter() = default;
  Formatter(const Formatter&) = delete;
  Formatter& operator=(const Formatter&) = delete;
  virtual ~Formatter() = default;

  // Formats value with pattern as Automation's Format does: a text that reads as a number,
  // or else as a date, under the locale is formatted as that number or date, any other text
  // as text (a text section sees it up to its first NUL). False when formatting fails
  // (*result is then empty).
  virtual bool Format(TextView value, TextView pattern, Text* result) = 0;
  // Formats a number with pattern as Format does a text that reads as that number.
  virtual bool FormatNumber(double number, TextView pattern, Text* result) = 0;
  // The locale whose rules read the values and write the results.
  virtual Locale& FormatLocale() = 0;
};

// Input that the platform's formatting is known to break on never reaches it. Automation's
// Format (Wine 8's VarFormat, measured) writes its result into a stack buffer of 256
// characters: "0.00" overwrites its stack from 1E+254 on and crashes the host from about
// 1E+264, "#,##0.00" sooner. Numbers of this magnitude or more, infinities and NaN are
// therefore formatted by our own engine on every platform (its output is the same), as are
// texts that Format's numeric sections would read as such a number ("1E+309"), and so is
// every value whose result, as the engine writes it, reaches kPlatformFormatMaxLength
// characters (long texts, long patterns). 1E+15 leaves more than 200 characters of margin
// below the buffer for thousands separators, decimals and literals, and is where a double
// stops holding every integer exactly.
inline constexpr double kPlatformFormatMaxMagnitude = 1e15;
inline constexpr size_t kPlatformFormatMaxLength = 128;

// Natively our own engine under `locale`; on Windows the platform's formatting with the
// locale's identifier, weeks starting on Sunday, week 1 holding 1 January, and our engine for
// the input above. `locale` must outlive the formatter. Both live beside the engine, in
// src/format/<platform> (target quillon_format).
std::unique_ptr<Formatter> NewPlatformFormatter(Locale& locale);

}  // namespace quillon
