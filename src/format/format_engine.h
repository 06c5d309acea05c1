// Our own formatting engine: Automation's Format for numbers, dates and texts with the
// pattern syntax displays use, up to four sections and the named formats.
#pragma once

#include <memory>

#include "common/text.h"
#include "platform/formatter.h"
#include "platform/locale.h"

namespace quillon {

// A value to format: what a stored text stands for under a locale.
struct FormatValue {
  enum class Kind { kNumber, kDate, kText };
  Kind kind = Kind::kText;
  double number = 0;  // kNumber: the number; kDate: the Automation date
  Text text;          // kText
};

// A text that reads as a number, or else as a date, under the locale is that number or date;
// any other text stays text.
FormatValue ClassifyValue(TextView text, Locale& locale);

// Formats a value with a pattern (weeks start on Sunday, week 1 holds 1 January); false when
// the pattern has more than four sections or the result would exceed kMaxFormattedLength.
bool FormatWithPattern(const FormatValue& value, TextView pattern, const LocaleInfo& info,
                       Text* out);

inline constexpr size_t kMaxFormattedLength = 65536;

// The Formatter of our engine; `locale` must outlive it.
std::unique_ptr<Formatter> NewEngineFormatter(Locale& locale);

}  // namespace quillon
