#include "format/format_date.h"

#include "format/format_pattern.h"
#include "format/locale_date.h"

namespace quillon {
namespace {

using Kind = DateItem::Kind;

bool IsHour(Kind k) { return k == Kind::kHour || k == Kind::kHour2; }

// The token at the reader for a letter that starts a date field; the previous field tells
// whether m means minutes.
Kind TakeField(SectionReader& r, Kind previous) {
  const char16_t c = LowerAscii(r.Peek());
  switch (c) {
    case u'd': {
      static const Kind kDays[] = {Kind::kDay,     Kind::kDay2,      Kind::kDayShort,
                                   Kind::kDayLong, Kind::kShortDate, Kind::kLongDate};
      return kDays[r.TakeRun(u'd', 6, true) - 1];
    }
    case u'm': {
      const size_t n = r.TakeRun(u'm', 4, true);
      if (n <= 2 && IsHour(previous)) return n == 1 ? Kind::kMinute : Kind::kMinute2;
      static const Kind kMonths[] = {Kind::kMonth, Kind::kMonth2, Kind::kMonthShort,
                                     Kind::kMonthLong};
      return kMonths[n - 1];
    }
    case u'y': {
      // y, yy and yyyy; yyy is yy followed by y.
      size_t run = 0;
      while (run < 4 && LowerAscii(r.Peek(run)) == u'y') ++run;
      const size_t n = r.TakeRun(u'y', run == 3 ? 2 : run, true);
      return n == 1 ? Kind::kDayOfYear : (n == 4 ? Kind::kYear4 : Kind::kYear2);
    }
    case u'h':
      return r.TakeRun(u'h', 2, true) == 1 ? Kind::kHour : Kind::kHour2;
    case u'n':
      return r.TakeRun(u'n', 2, true) == 1 ? Kind::kMinute : Kind::kMinute2;
    case u's':
      return r.TakeRun(u's', 2, true) == 1 ? Kind::kSecond : Kind::kSecond2;
    case u'w':
      return r.TakeRun(u'w', 2, true) == 1 ? Kind::kWeekday : Kind::kWeek;
    case u'q':
      r.Skip(1);
      return Kind::kQuarter;
    case u'c':
      r.Skip(1);
      return Kind::kGeneral;
    case u'/':
      r.Skip(1);
      return Kind::kDateSeparator;
    default:
      r.Skip(1);
      return Kind::kTimeSeparator;
  }
}

Kind TakeDesignator(SectionReader& r, size_t length) {
  const TextView rest = r.Rest();
  r.Skip(length);
  if (length == 5 && LowerAscii(rest[0]) == u't') return Kind::kLongTime;
  if (length == 4) return Kind::kAmPmLocale;
  if (length == 5) return rest[0] == u'A' ? Kind::kAmPmUpper : Kind::kAmPmLower;
  return rest[0] == u'A' ? Kind::kAPUpper : Kind::kAPLower;
}

void AddLiteral(DateSection* s, TextView text) {
  if (!s->items.empty() && s->items.back().kind == Kind::kLiteral) {
    s->items.back().literal.append(text);
  } else {
    s->items.push_back(DateItem{Kind::kLiteral, Text(text)});
  }
}

}  // namespace

DateSection ParseDateSection(TextView raw) {
  DateSection s;
  SectionReader r(raw);
  Kind previous = Kind::kLiteral;
  while (!r.Done()) {
    Text literal;
    if (r.TakeLiteral(&literal)) {
      AddLiteral(&s, literal);
      continue;
    }
    const size_t designator = DesignatorLength(r.Rest());
    Kind kind;
    if (designator > 0) {
      kind = TakeDesignator(r, designator);
      s.twelve_hour = s.twelve_hour || kind != Kind::kLongTime;
    } else if (IsDateTokenStart(r.Peek())) {
      kind = TakeField(r, previous);
    } else {
      AddLiteral(&s, r.Rest().substr(0, 1));
      r.Skip(1);
      continue;
    }
    s.items.push_back(DateItem{kind, Text()});
    if (kind != Kind::kDateSeparator && kind != Kind::kTimeSeparator) previous = kind;
  }
  return s;
}

namespace {

Text Padded2(int value) {
  Text digits = NumberText(value);
  return digits.size() < 2 ? u"0" + digits : digits;
}

// Week of the year: week 1 holds 1 January, weeks start on Sunday.
int WeekOfYear(const DateTimeParts& p) {
  const int jan1 = ((p.day_of_week - (p.day_of_year - 1)) % 7 + 7) % 7;
  return (p.day_of_year - 1 + jan1) / 7 + 1;
}

Text DateField(Kind kind, const DateTimeParts& p, const LocaleInfo& info) {
  switch (kind) {
    case Kind::kDay:
      return NumberText(p.day);
    case Kind::kDay2:
      return Padded2(p.day);
    case Kind::kDayShort:
      return info.short_day_names[p.day_of_week];
    case Kind::kDayLong:
      return info.day_names[p.day_of_week];
    case Kind::kShortDate:
      return RenderDatePicture(info.short_date, p, info);
    case Kind::kLongDate:
      return RenderDatePicture(info.long_date, p, info);
    case Kind::kWeekday:
      return NumberText(p.day_of_week + 1);
    case Kind::kWeek:
      return NumberText(WeekOfYear(p));
    case Kind::kMonth:
      return NumberText(p.month);
    case Kind::kMonth2:
      return Padded2(p.month);
    case Kind::kMonthShort:
      return info.short_month_names[p.month - 1];
    case Kind::kMonthLong:
      return info.month_names[p.month - 1];
    case Kind::kQuarter:
      return NumberText((p.month - 1) / 3 + 1);
    case Kind::kDayOfYear:
      return NumberText(p.day_of_year);
    case Kind::kYear2:
      return Padded2(p.year % 100);
    case Kind::kYear4:
      return NumberText(p.year);
    case Kind::kMinute:
      return NumberText(p.minute);
    case Kind::kMinute2:
      return Padded2(p.minute);
    case Kind::kSecond:
      return NumberText(p.second);
    case Kind::kSecond2:
      return Padded2(p.second);
    case Kind::kLongTime:
      return RenderDatePicture(info.long_time, p, info);
    case Kind::kAmPmUpper:
      return p.hour < 12 ? u"AM" : u"PM";
    case Kind::kAmPmLower:
      return p.hour < 12 ? u"am" : u"pm";
    case Kind::kAPUpper:
      return p.hour < 12 ? u"A" : u"P";
    case Kind::kAPLower:
      return p.hour < 12 ? u"a" : u"p";
    case Kind::kAmPmLocale:
      return p.hour < 12 ? info.am : info.pm;
    case Kind::kDateSeparator:
      return info.date_separator;
    case Kind::kTimeSeparator:
      return info.time_separator;
    default:
      return Text();
  }
}

}  // namespace

bool RenderDate(const DateSection& section, double date, const LocaleInfo& info, Text* out) {
  DateTimeParts parts;
  if (!SplitDateToSecond(date, &parts)) return false;
  const int hour = section.twelve_hour ? (parts.hour % 12 == 0 ? 12 : parts.hour % 12) : parts.hour;
  for (const DateItem& item : section.items) {
    if (item.kind == Kind::kLiteral) {
      out->append(item.literal);
    } else if (item.kind == Kind::kHour) {
      out->append(NumberText(hour));
    } else if (item.kind == Kind::kHour2) {
      out->append(Padded2(hour));
    } else if (item.kind == Kind::kGeneral) {
      out->append(GeneralDateText(date, info));
    } else {
      out->append(DateField(item.kind, parts, info));
    }
  }
  return true;
}

}  // namespace quillon
