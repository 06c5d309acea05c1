// Dates under a locale's rules: reading a date text, the locale's date and time pictures, and
// the general date text.
#pragma once

#include "common/oledate.h"
#include "common/text.h"
#include "platform/locale.h"

namespace quillon {

// Order of day, month and year in a numeric date.
enum class DateOrder { kMonthDayYear, kDayMonthYear };

// Splits a date rounded to the nearest second; false for NaN or outside the date range.
bool SplitDateToSecond(double date, DateTimeParts* parts);

// Writes a date with a locale picture: d dd ddd dddd, M MM MMM MMMM, y yy yyyy, h hh (12-hour),
// H HH, m mm, s ss, t tt (AM/PM designator), 'quoted text'; other characters as they are.
Text RenderDatePicture(TextView picture, const DateTimeParts& parts, const LocaleInfo& info);

// The general date text: short date and time; the date left out when the whole part is 0,
// the time left out when there is no fraction. Empty text outside the date range.
Text GeneralDateText(double date, const LocaleInfo& info);

// Reads a date and/or time: numeric dates in the locale's order (another order when that one
// gives no valid date), month and day names, times h:mm[:ss] (or h.mm[.ss]) with an optional
// AM/PM designator. A date without a year takes `current_year`; two-digit years 00-49 are
// 2000-2049, 50-99 are 1950-1999. False when the text is not a date.
bool ParseLocaleDate(TextView text, const LocaleInfo& info, DateOrder order, int current_year,
                     double* date);

}  // namespace quillon
