#include "common/oledate.h"

#include <cmath>
#include <cstdint>

namespace quillon {
namespace {

// Days from 1970-01-01 to a civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int* year, int* month, int* day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  *day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  *month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  *year = static_cast<int>(yoe + era * 400 + (*month <= 2));
}

const int64_t kEpochOffset = DaysFromCivil(1899, 12, 30);

}  // namespace

double DateToLinear(double date) {
  if (date >= 0) return date;
  const double day = std::ceil(date);
  return day + (day - date);
}

double LinearToDate(double linear) {
  if (linear >= 0) return linear;
  // The whole day below, then the time of day counted forward from its midnight.
  const double day = std::floor(linear);
  const double fraction = linear - day;
  return fraction == 0 ? day : day - fraction;
}

double DateFromParts(int year, int month, int day, int hour, int minute, int second,
                     int millisecond) {
  const double days = static_cast<double>(DaysFromCivil(year, month, day) - kEpochOffset);
  const double time =
      ((hour * 60.0 + minute) * 60.0 + second + millisecond / 1000.0) / kSecondsPerDay;
  return days >= 0 ? days + time : days - time;
}

bool DateToParts(double date, DateTimeParts* parts) {
  if (std::isnan(date) || date < kMinDate - 1 || date > kMaxDate + 1) return false;
  // Work on the time line in whole milliseconds so that rounding carries into the day.
  const double linear_ms = std::round(DateToLinear(date) * kSecondsPerDay * 1000.0);
  const int64_t ms_per_day = 86400000;
  int64_t total = static_cast<int64_t>(linear_ms);
  int64_t days = total >= 0 ? total / ms_per_day : -((-total + ms_per_day - 1) / ms_per_day);
  int64_t in_day = total - days * ms_per_day;
  const int64_t civil = days + kEpochOffset;
  CivilFromDays(civil, &parts->year, &parts->month, &parts->day);
  if (parts->year < 100 || parts->year > 9999) return false;
  parts->hour = static_cast<int>(in_day / 3600000);
  parts->minute = static_cast<int>(in_day / 60000 % 60);
  parts->second = static_cast<int>(in_day / 1000 % 60);
  parts->millisecond = static_cast<int>(in_day % 1000);
  parts->day_of_week = static_cast<int>(((civil % 7) + 7 + 4) % 7);  // 1970-01-01 was Thursday
  parts->day_of_year =
      static_cast<int>(civil - DaysFromCivil(parts->year, 1, 1)) + 1;
  return true;
}

bool AddSeconds(double date, double seconds, double* result) {
  if (std::isnan(date) || std::isnan(seconds)) return false;
  const double linear = DateToLinear(date) + seconds / kSecondsPerDay;
  const double out = LinearToDate(linear);
  if (out < kMinDate || out > kMaxDate) return false;
  *result = out;
  return true;
}

}  // namespace quillon
