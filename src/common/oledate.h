// Automation dates: a double counting days since 30 December 1899 00:00, local time, the
// fraction being the time of day. Before that day the fraction still counts forward from
// midnight: -1.25 is 29 December 1899 at 06:00.
#pragma once

namespace quillon {

struct DateTimeParts {
  int year = 1899;
  int month = 12;
  int day = 30;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
  int day_of_week = 6;  // 0 = Sunday
  int day_of_year = 364;  // 1-based
};

// Days between 1 January 100 and 31 December 9999, the range Automation dates cover.
inline constexpr double kMinDate = -657434.0;
inline constexpr double kMaxDate = 2958465.99999999;
inline constexpr double kSecondsPerDay = 86400.0;

// The date of a calendar day and time; no range check (month and day must be valid).
double DateFromParts(int year, int month, int day, int hour = 0, int minute = 0, int second = 0,
                     int millisecond = 0);

// Splits a date, rounded to the millisecond; false for NaN or a date outside the range.
bool DateToParts(double date, DateTimeParts* parts);

// The date `seconds` later (earlier when negative), counted on the real time line, so it
// also holds across 30 December 1899; false when the result leaves the range.
bool AddSeconds(double date, double seconds, double* result);

// Position of a date on the real time line, in days: equal to the date from 1899-12-30 on.
double DateToLinear(double date);
double LinearToDate(double linear);

}  // namespace quillon
