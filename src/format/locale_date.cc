#include "format/locale_date.h"

#include <cmath>
#include <vector>

namespace quillon {
namespace {

Text Padded(int value, int width) {
  Text digits = NumberText(value);
  while (static_cast<int>(digits.size()) < width) digits.insert(digits.begin(), u'0');
  return digits;
}

int Hour12(int hour) { return hour == 0 ? 12 : (hour > 12 ? hour - 12 : hour); }

Text PictureField(char16_t letter, int count, const DateTimeParts& p, const LocaleInfo& info) {
  switch (letter) {
    case u'd':
      if (count <= 2) return Padded(p.day, count);
      return count == 3 ? info.short_day_names[p.day_of_week] : info.day_names[p.day_of_week];
    case u'M':
      if (count <= 2) return Padded(p.month, count);
      return count == 3 ? info.short_month_names[p.month - 1] : info.month_names[p.month - 1];
    case u'y':
      if (count <= 2) return Padded(p.year % 100, count);
      return NumberText(p.year);
    case u'h':
      return Padded(Hour12(p.hour), count > 1 ? 2 : 1);
    case u'H':
      return Padded(p.hour, count > 1 ? 2 : 1);
    case u'm':
      return Padded(p.minute, count > 1 ? 2 : 1);
    case u's':
      return Padded(p.second, count > 1 ? 2 : 1);
    case u't': {
      const Text& designator = p.hour < 12 ? info.am : info.pm;
      return count == 1 ? designator.substr(0, 1) : designator;
    }
    case u'g':
      return Text();
    default:
      return Text(static_cast<size_t>(count), letter);
  }
}

}  // namespace

bool SplitDateToSecond(double date, DateTimeParts* parts) {
  if (!std::isfinite(date) || date < kMinDate - 1 || date > kMaxDate + 1) return false;
  const double seconds = std::round(DateToLinear(date) * kSecondsPerDay);
  return DateToParts(LinearToDate(seconds / kSecondsPerDay), parts);
}

Text RenderDatePicture(TextView picture, const DateTimeParts& parts, const LocaleInfo& info) {
  Text out;
  size_t i = 0;
  while (i < picture.size()) {
    const char16_t c = picture[i];
    if (c == u'\'') {
      size_t end = i + 1;
      while (end < picture.size() && picture[end] != u'\'') ++end;
      if (end == i + 1 && end < picture.size()) out += u'\'';  // '' is a quote
      out.append(picture.substr(i + 1, end - i - 1));
      i = end + 1;
      continue;
    }
    size_t run = i;
    while (run < picture.size() && picture[run] == c) ++run;
    const int count = static_cast<int>(run - i);
    const bool field = Text(u"dMyhHmstg").find(c) != Text::npos;
    out += field ? PictureField(c, count, parts, info) : Text(picture.substr(i, run - i));
    i = run;
  }
  return out;
}

Text GeneralDateText(double date, const LocaleInfo& info) {
  DateTimeParts parts;
  if (!SplitDateToSecond(date, &parts)) return Text();
  const double whole = std::trunc(date);
  const bool has_date = whole != 0;
  const bool has_time = date != whole || !has_date;
  Text out;
  if (has_date) out += RenderDatePicture(info.short_date, parts, info);
  if (has_date && has_time) out += u' ';
  if (has_time) out += RenderDatePicture(info.long_time, parts, info);
  return out;
}

}  // namespace quillon
