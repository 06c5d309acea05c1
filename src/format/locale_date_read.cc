// Reading date texts (see ParseLocaleDate in locale_date.h).
#include <vector>

#include "format/locale_date.h"

namespace quillon {
namespace {

enum class Kind { kNumber, kMonth, kDayName, kAm, kPm, kTimeSeparator, kDateSeparator, kSeparator };

struct Token {
  Kind kind;
  int value = 0;
  int digits = 0;
};

// Words longer than any name, and numbers longer than 9 digits, are never part of a date.
constexpr size_t kMaxWord = 32;
constexpr int kMaxDigits = 9;

bool IsLetter(char16_t c) {
  return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
         (c >= 0xC0 && c <= 0x24F && c != 0xD7 && c != 0xF7);
}

bool SameWord(TextView a, TextView b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldCase(a[i]) != FoldCase(b[i])) return false;
  }
  return true;
}

// Matches a month, day or AM/PM word; sets the token.
bool MatchWord(TextView word, const LocaleInfo& info, Token* t) {
  for (int m = 0; m < 12; ++m) {
    if (SameWord(word, info.month_names[m]) || SameWord(word, info.short_month_names[m])) {
      *t = Token{Kind::kMonth, m + 1};
      return true;
    }
  }
  for (int d = 0; d < 7; ++d) {
    if (SameWord(word, info.day_names[d]) || SameWord(word, info.short_day_names[d])) {
      *t = Token{Kind::kDayName, d};
      return true;
    }
  }
  if (SameWord(word, info.am) || SameWord(word, u"AM")) return (*t = Token{Kind::kAm}, true);
  if (SameWord(word, info.pm) || SameWord(word, u"PM")) return (*t = Token{Kind::kPm}, true);
  return false;
}

bool TakeWord(TextView s, size_t* i, const LocaleInfo& info, std::vector<Token>* out) {
  size_t end = *i;
  while (end < s.size() && IsLetter(s[end])) ++end;
  if (end - *i > kMaxWord) return false;
  Token t{Kind::kSeparator};
  // An abbreviation may end with its dot ("janv."); try that first.
  if (end < s.size() && s[end] == u'.' && MatchWord(s.substr(*i, end + 1 - *i), info, &t)) {
    ++end;
  } else if (!MatchWord(s.substr(*i, end - *i), info, &t)) {
    return false;
  }
  out->push_back(t);
  *i = end;
  return true;
}

bool Tokenize(TextView s, const LocaleInfo& info, std::vector<Token>* out) {
  size_t i = 0;
  while (i < s.size()) {
    const char16_t c = s[i];
    if (c >= u'0' && c <= u'9') {
      Token t{Kind::kNumber};
      while (i < s.size() && s[i] >= u'0' && s[i] <= u'9') {
        if (++t.digits > kMaxDigits) return false;
        t.value = t.value * 10 + (s[i++] - u'0');
      }
      out->push_back(t);
    } else if (IsLetter(c)) {
      if (!TakeWord(s, &i, info, out)) return false;
    } else if (c == u':' || c == u'.') {
      out->push_back(Token{Kind::kTimeSeparator});
      ++i;
    } else if (c == u'/' || c == u'-') {
      out->push_back(Token{Kind::kDateSeparator});
      ++i;
    } else if (c == u' ' || c == u',' || c == u'\t') {
      out->push_back(Token{Kind::kSeparator});
      ++i;
    } else {
      return false;
    }
  }
  return true;
}

struct Pieces {
  std::vector<Token> numbers;  // date numbers, in order
  int month = 0;               // from a month name
  bool has_time = false;
  int hour = 0, minute = 0, second = 0;
  int designator = 0;  // 1 AM, 2 PM
};

// h:mm or h:mm:ss starting at tokens[*i]; false when malformed.
bool TakeTime(const std::vector<Token>& t, size_t* i, Pieces* p) {
  int parts[3] = {0, 0, 0};
  int n = 0;
  size_t k = *i;
  while (true) {
    if (k >= t.size() || t[k].kind != Kind::kNumber || n == 3) return false;
    parts[n++] = t[k++].value;
    if (k >= t.size() || t[k].kind != Kind::kTimeSeparator) break;
    ++k;
  }
  if (p->has_time || n < 2) return false;
  p->has_time = true;
  p->hour = parts[0];
  p->minute = parts[1];
  p->second = parts[2];
  *i = k;
  return true;
}

bool Designate(Pieces* p, Kind kind) {
  if (!p->has_time || p->designator != 0) return false;
  p->designator = kind == Kind::kAm ? 1 : 2;
  return true;
}

bool IsFollowedByDesignator(const std::vector<Token>& t, size_t i) {
  size_t k = i + 1;
  if (k < t.size() && t[k].kind == Kind::kSeparator) ++k;
  return k < t.size() && (t[k].kind == Kind::kAm || t[k].kind == Kind::kPm);
}

// A date separator joins two parts: never first or last.
bool SeparatorsInside(const std::vector<Token>& t) {
  size_t first = 0;
  size_t last = t.size();
  while (first < last && t[first].kind == Kind::kSeparator) ++first;
  while (last > first && t[last - 1].kind == Kind::kSeparator) --last;
  return first == last ||
         (t[first].kind != Kind::kDateSeparator && t[last - 1].kind != Kind::kDateSeparator);
}

bool Collect(const std::vector<Token>& t, Pieces* p) {
  if (!SeparatorsInside(t)) return false;
  size_t i = 0;
  while (i < t.size()) {
    const Token& tok = t[i];
    const bool time_follows = i + 1 < t.size() && t[i + 1].kind == Kind::kTimeSeparator;
    if (tok.kind == Kind::kNumber && time_follows) {
      if (!TakeTime(t, &i, p)) return false;
      continue;
    }
    if (tok.kind == Kind::kNumber && !p->has_time && IsFollowedByDesignator(t, i)) {
      p->has_time = true;
      p->hour = tok.value;
    } else if (tok.kind == Kind::kNumber) {
      if (p->numbers.size() == 3) return false;
      p->numbers.push_back(tok);
    } else if (tok.kind == Kind::kMonth) {
      if (p->month != 0) return false;
      p->month = tok.value;
    } else if (tok.kind == Kind::kAm || tok.kind == Kind::kPm) {
      if (!Designate(p, tok.kind)) return false;
    } else if (tok.kind == Kind::kTimeSeparator) {
      return false;
    }
    ++i;
  }
  return true;
}

bool ValidTime(Pieces* p) {
  if (p->designator != 0 && p->hour <= 12) {
    if (p->designator == 1 && p->hour == 12) p->hour = 0;
    if (p->designator == 2 && p->hour < 12) p->hour += 12;
  }
  return p->hour <= 23 && p->minute <= 59 && p->second <= 59;
}

int FullYear(const Token& t) {
  if (t.digits <= 2) return t.value < 50 ? 2000 + t.value : 1900 + t.value;
  return t.value;
}

bool ValidDay(int year, int month, int day) {
  static const int kDays[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  if (month == 2 && !leap) return day <= 28;
  return day <= kDays[month - 1];
}

struct Ymd {
  int year, month, day;
};

bool DateWithMonthName(const Pieces& p, int current_year, Ymd* d) {
  const auto& n = p.numbers;
  if (n.empty() || n.size() > 2) return false;
  if (n.size() == 1) {
    *d = {current_year, p.month, n[0].value};
  } else if (n[0].digits > 2) {
    *d = {FullYear(n[0]), p.month, n[1].value};
  } else {
    *d = {FullYear(n[1]), p.month, n[0].value};
  }
  return ValidDay(d->year, d->month, d->day);
}

bool NumericDate(const Pieces& p, DateOrder order, int current_year, Ymd* d) {
  const auto& n = p.numbers;
  if (n.size() == 3 && n[0].digits > 2) {
    *d = {FullYear(n[0]), n[1].value, n[2].value};
    return ValidDay(d->year, d->month, d->day);
  }
  const int year = n.size() == 3 ? FullYear(n[2]) : current_year;
  const bool day_first = order == DateOrder::kDayMonthYear;
  for (bool swap : {false, true}) {
    const bool df = day_first != swap;
    *d = {year, df ? n[1].value : n[0].value, df ? n[0].value : n[1].value};
    if (ValidDay(d->year, d->month, d->day)) return true;
  }
  return false;
}

}  // namespace

bool ParseLocaleDate(TextView text, const LocaleInfo& info, DateOrder order, int current_year,
                     double* date) {
  std::vector<Token> tokens;
  Pieces p;
  if (!Tokenize(text, info, &tokens) || !Collect(tokens, &p) || !ValidTime(&p)) return false;
  Ymd d{1899, 12, 30};
  if (p.month != 0) {
    if (!DateWithMonthName(p, current_year, &d)) return false;
  } else if (p.numbers.size() >= 2) {
    if (!NumericDate(p, order, current_year, &d)) return false;
  } else if (!p.numbers.empty() || !p.has_time) {
    return false;
  }
  *date = DateFromParts(d.year, d.month, d.day, p.hour, p.minute, p.second);
  return true;
}

}  // namespace quillon
