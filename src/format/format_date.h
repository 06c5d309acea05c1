// Date and time format sections: d dd ddd dddd ddddd dddddd, w ww, m mm mmm mmmm, q, y yy
// yyyy, h hh, n nn (and m mm right after an hour), s ss, ttttt, c, AM/PM am/pm A/P a/p AMPM,
// the date separator / and the time separator :, and literal characters.
#pragma once

#include <vector>

#include "common/text.h"
#include "platform/locale.h"

namespace quillon {

struct DateItem {
  enum class Kind {
    kLiteral,
    kDateSeparator,
    kTimeSeparator,
    kGeneral,
    kDay,
    kDay2,
    kDayShort,
    kDayLong,
    kShortDate,
    kLongDate,
    kWeekday,
    kWeek,
    kMonth,
    kMonth2,
    kMonthShort,
    kMonthLong,
    kQuarter,
    kDayOfYear,
    kYear2,
    kYear4,
    kHour,
    kHour2,
    kMinute,
    kMinute2,
    kSecond,
    kSecond2,
    kLongTime,
    kAmPmUpper,
    kAmPmLower,
    kAPUpper,
    kAPLower,
    kAmPmLocale
  };
  Kind kind = Kind::kLiteral;
  Text literal;
};

struct DateSection {
  std::vector<DateItem> items;
  bool twelve_hour = false;  // an AM/PM token makes every hour a 12-hour clock hour
};

DateSection ParseDateSection(TextView raw);

// Writes a date with the section, weeks starting on Sunday and week 1 holding 1 January;
// false when the date lies outside the date range.
bool RenderDate(const DateSection& section, double date, const LocaleInfo& info, Text* out);

}  // namespace quillon
