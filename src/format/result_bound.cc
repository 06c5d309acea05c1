#include "format/result_bound.h"

#include <algorithm>
#include <initializer_list>

#include "format/format_pattern.h"

namespace quillon {
namespace {

size_t Longest(std::initializer_list<const Text*> texts) {
  size_t n = 0;
  for (const Text* t : texts) n = std::max(n, t->size());
  return n;
}

template <size_t N>
size_t Longest(const std::array<Text, N>& names) {
  size_t n = 0;
  for (const Text& t : names) n = std::max(n, t.size());
  return n;
}

size_t PerChar(size_t length, size_t chars) { return (length + chars - 1) / chars; }

// The longest text a locale picture (d dd ddd dddd, M..MMMM, y yy yyyy, h H m s, t tt,
// 'quoted') writes: every field at its widest, other characters as they are.
size_t PictureBound(TextView picture, const LocaleInfo& info) {
  size_t out = 0;
  for (size_t i = 0; i < picture.size();) {
    const char16_t c = picture[i];
    size_t run = i;
    while (run < picture.size() && picture[run] == c) ++run;
    const size_t count = run - i;
    if (c == u'd') {
      out += count <= 2 ? 2 : Longest(count == 3 ? info.short_day_names : info.day_names);
    } else if (c == u'M') {
      out += count <= 2 ? 2 : Longest(count == 3 ? info.short_month_names : info.month_names);
    } else if (c == u'y') {
      out += count <= 2 ? 2 : 4;
    } else if (c == u't') {
      out += Longest({&info.am, &info.pm});
    } else {
      out += Text(u"hHmsg").find(c) != Text::npos ? 2 : count;  // quotes write fewer
    }
    i = run;
  }
  return out;
}

}  // namespace

ResultLengthBound::ResultLengthBound(const LocaleInfo& info) {
  const size_t short_date = PictureBound(info.short_date, info);
  const size_t long_date = PictureBound(info.long_date, info);
  const size_t time = PictureBound(info.long_time, info);
  thousands_ = 1 + info.thousands_separator.size();
  decimal_ = std::max<size_t>(1, info.decimal_separator.size());
  date_separator_ = std::max<size_t>(1, info.date_separator.size());
  time_separator_ = std::max<size_t>(1, info.time_separator.size());
  day_ = std::max({size_t{2}, PerChar(Longest(info.short_day_names), 3),
                   PerChar(Longest(info.day_names), 4), PerChar(short_date, 5),
                   PerChar(long_date, 6)});
  month_ = std::max({size_t{2}, PerChar(Longest(info.short_month_names), 3),
                     PerChar(Longest(info.month_names), 4)});
  designator_ = std::max<size_t>(2, Longest({&info.am, &info.pm}));
  long_time_ = std::max<size_t>(1, PerChar(time, 5));
  general_date_ = short_date + 1 + time;
  // Digits beyond the placeholders (15 significant ones, two more for a percentage, one for
  // a carry) with their group separators, a sign and an exponent's digits.
  const size_t number_extra = 1 + 18 + 6 * info.thousands_separator.size() + 4;
  // A general number: a sign, "0.0000" and 15 digits, or a mantissa and "E-308".
  const size_t general_number = 32 + info.decimal_separator.size();
  const size_t currency = 4 + info.currency_symbol.size() + 18 + 9 +
                          6 * info.thousands_separator.size() + info.decimal_separator.size();
  const size_t words = Longest({&info.true_text, &info.false_text, &info.yes_text,
                                &info.no_text, &info.on_text, &info.off_text});
  // A result is one of: the pattern's characters written out plus, for a number, the digits
  // beyond its placeholders, or plus the general text that a text section holds; a general
  // text; or what a named format writes (the numeric ones are patterns too, the date and time
  // ones patterns that need nothing more).
  size_t named = std::max({currency, words});
  for (const char16_t* p : {u"0.00", u"#,##0.00", u"0.00%", u"0.00E+00"}) {
    named = std::max(named, PatternWeight(p) + number_extra);
  }
  for (const char16_t* p :
       {u"c", u"dddddd", u"dd-mmm-yy", u"ddddd", u"ttttt", u"hh:nn AMPM", u"hh:nn"}) {
    named = std::max(named, PatternWeight(p));
  }
  once_ = std::max({number_extra, general_number, general_date_, named});
}

size_t ResultLengthBound::Weight(char16_t c) const {
  switch (LowerAscii(c)) {
    case u'0':
    case u'#':
      return thousands_;
    case u'.':
      return decimal_;
    case u'/':
      return date_separator_;
    case u':':
      return time_separator_;
    case u'c':
      return general_date_;
    case u'd':
      return day_;
    case u'm':
      return month_;
    case u'y':
      return 3;  // y is the day of the year
    case u'h':
    case u'n':
    case u's':
    case u'w':
    case u'e':  // E+ or E-: the letter and the exponent's sign
      return 2;
    case u'a':
    case u'p':
      return designator_;
    case u't':
      return long_time_;
    default:
      return 1;
  }
}

size_t ResultLengthBound::PatternWeight(TextView pattern) const {
  size_t sum = 0;
  for (char16_t c : pattern) sum += Weight(c);
  return sum;
}

size_t ResultLengthBound::Of(size_t value_length, TextView pattern) const {
  return value_length + once_ + PatternWeight(pattern);
}

}  // namespace quillon
