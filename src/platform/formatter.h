// Formatter seam: a stored value text formatted with a display designer's pattern.
#pragma once

#include <memory>

#include "common/text.h"
#include "platform/locale.h"

namespace quillon {

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

// Natively our own engine under `locale`; on Windows the platform's formatting with the
// locale's identifier, weeks starting on Sunday, week 1 holding 1 January. `locale` must
// outlive the formatter.
std::unique_ptr<Formatter> NewPlatformFormatter(Locale& locale);

}  // namespace quillon
