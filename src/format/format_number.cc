#include "format/format_number.h"

#include <algorithm>
#include <cmath>

#include "format/format_decimal.h"
#include "format/format_pattern.h"

namespace quillon {
namespace {

using Kind = NumberItem::Kind;

bool IsPlaceholder(char16_t c) { return c == u'0' || c == u'#'; }

void AddLiteral(NumberSection* s, TextView text) {
  if (!s->items.empty() && s->items.back().kind == Kind::kLiteral) {
    s->items.back().literal.append(text);
  } else {
    NumberItem item;
    item.literal = Text(text);
    s->items.push_back(item);
  }
}

bool LastIsWholeDigit(const NumberSection& s) {
  return !s.items.empty() && s.items.back().kind == Kind::kDigit && !s.items.back().fraction;
}

// True when another whole placeholder comes before the decimal point or the exponent,
// literal characters between them included.
bool WholePlaceholderAhead(SectionReader r) {
  Text ignored;
  while (!r.Done()) {
    if (r.TakeLiteral(&ignored)) continue;
    const char16_t c = r.Peek();
    if (IsPlaceholder(c)) return true;
    if (c == u'.' || ((c == u'E' || c == u'e') && (r.Peek(1) == u'+' || r.Peek(1) == u'-'))) {
      return false;
    }
    r.Skip(1);
  }
  return false;
}

// A run of commas: grouping between whole placeholders, even with literal characters between
// them ("###, ###"); scaling when it ends the whole part right after its placeholders;
// nothing in the fraction; a literal comma before any placeholder.
void TakeCommas(SectionReader& r, bool in_fraction, NumberSection* s) {
  const size_t run = r.TakeRun(u',', r.Rest().size(), false);
  if (in_fraction) return;
  if (!s->whole_places.empty() && WholePlaceholderAhead(r)) {
    s->grouping = true;
  } else if (LastIsWholeDigit(*s)) {
    s->scale += static_cast<int>(run);
  } else if (s->whole_places.empty()) {
    AddLiteral(s, Text(run, u','));
  }
}

bool TakeExponent(SectionReader& r, NumberSection* s) {
  const char16_t c = r.Peek();
  const char16_t sign = r.Peek(1);
  const bool placeholders = !s->whole_places.empty() || !s->fraction_places.empty();
  if ((c != u'E' && c != u'e') || (sign != u'+' && sign != u'-') || !placeholders || s->exponent) {
    return false;
  }
  r.Skip(2);
  NumberItem item;
  item.kind = Kind::kExponent;
  item.upper = c == u'E';
  item.plus = sign == u'+';
  // The exponent shows at least one digit per 0 placeholder; a # adds none.
  while (IsPlaceholder(r.Peek())) {
    item.width += r.Peek() == u'0' ? 1 : 0;
    r.Skip(1);
  }
  s->items.push_back(item);
  s->exponent = true;
  return true;
}

// The magnitude as written: rounded digits, exponent, and how much of each part shows.
struct Prepared {
  DecimalDigits d;
  int64_t exponent = 0;
  int64_t whole_count = 0;   // digits of the whole part
  size_t fraction_kept = 0;  // fraction placeholders written (trailing # zeros are dropped)
};

Prepared Prepare(const NumberSection& s, double value) {
  Prepared p;
  p.d = DigitsFromDouble(std::fabs(value));
  if (!p.d.IsZero()) p.d.point += (s.percent ? 2 : 0) - 3 * static_cast<int64_t>(s.scale);
  const auto whole = static_cast<int64_t>(s.whole_places.size());
  const auto fraction = static_cast<int64_t>(s.fraction_places.size());
  if (s.exponent && !p.d.IsZero()) {
    p.exponent = p.d.point - whole;
    p.d.point = whole;
  }
  RoundToFraction(&p.d, fraction);
  if (s.exponent && !p.d.IsZero() && p.d.point > whole) {
    p.exponent += p.d.point - whole;
    p.d.point = whole;
  }
  p.whole_count = p.d.IsZero() ? 0 : std::max<int64_t>(p.d.point, 0);
  size_t kept = s.fraction_places.size();
  while (kept > 0 && s.fraction_places[kept - 1] == u'#' &&
         DigitAt(p.d, p.d.point + static_cast<int64_t>(kept) - 1) == '0') {
    --kept;
  }
  p.fraction_kept = kept;
  return p;
}

class NumberWriter {
 public:
  NumberWriter(const NumberSection& s, const Prepared& p, const LocaleInfo& info, bool sign)
      : s_(s), p_(p), info_(info), sign_pending_(sign) {}

  Text Write() {
    for (const NumberItem& item : s_.items) {
      switch (item.kind) {
        case Kind::kLiteral:
          out_ += item.literal;
          break;
        case Kind::kDigit:
          item.fraction ? Fraction() : Whole();
          break;
        case Kind::kDecimal:
          Decimal();
          break;
        case Kind::kExponent:
          Exponent(item);
          break;
      }
    }
    return std::move(out_);
  }

 private:
  void Sign() {
    if (sign_pending_) out_ += u'-';
    sign_pending_ = false;
  }

  // The whole-part digit at position r counted from the right (0 = units).
  void WholeDigit(int64_t r) {
    out_ += static_cast<char16_t>(DigitAt(p_.d, p_.whole_count - 1 - r));
    if (s_.grouping && r > 0 && r % 3 == 0) out_ += info_.thousands_separator;
  }

  // The first placeholder also takes the digits beyond the placeholders; from the first 0
  // placeholder on, every placeholder shows a digit ("000###" writes 1 as 000001).
  void Whole() {
    Sign();
    const auto n = static_cast<int64_t>(s_.whole_places.size());
    const int64_t i = whole_index_++;
    const int64_t r = n - 1 - i;
    if (i == 0 && p_.whole_count > n) {
      for (int64_t q = p_.whole_count - 1; q >= r; --q) WholeDigit(q);
    } else if (r < p_.whole_count || r < s_.whole_zeros) {
      WholeDigit(r);
    }
  }

  void Decimal() {
    Sign();
    if (s_.whole_places.empty()) {
      for (int64_t q = p_.whole_count - 1; q >= 0; --q) WholeDigit(q);
    }
    out_ += info_.decimal_separator;
  }

  void Fraction() {
    const size_t j = fraction_index_++;
    if (j < p_.fraction_kept) {
      out_ += static_cast<char16_t>(DigitAt(p_.d, p_.d.point + static_cast<int64_t>(j)));
    }
  }

  void Exponent(const NumberItem& item) {
    out_ += item.upper ? u'E' : u'e';
    if (p_.exponent < 0) out_ += u'-';
    if (p_.exponent >= 0 && item.plus) out_ += u'+';
    const Text digits = NumberText(p_.exponent < 0 ? -p_.exponent : p_.exponent);
    if (static_cast<int>(digits.size()) < item.width) {
      out_.append(static_cast<size_t>(item.width) - digits.size(), u'0');
    }
    out_ += digits;
  }

  const NumberSection& s_;
  const Prepared& p_;
  const LocaleInfo& info_;
  bool sign_pending_;
  int64_t whole_index_ = 0;
  size_t fraction_index_ = 0;
  Text out_;
};

}  // namespace

NumberSection ParseNumberSection(TextView raw) {
  NumberSection s;
  SectionReader r(raw);
  bool in_fraction = false;
  while (!r.Done()) {
    Text literal;
    if (r.TakeLiteral(&literal)) {
      AddLiteral(&s, literal);
      continue;
    }
    const char16_t c = r.Peek();
    if (IsPlaceholder(c) && !s.exponent) {
      NumberItem item;
      item.kind = Kind::kDigit;
      item.fraction = in_fraction;
      (in_fraction ? s.fraction_places : s.whole_places) += c;
      s.items.push_back(item);
    } else if (c == u'.' && !in_fraction && !s.exponent) {
      in_fraction = true;
      NumberItem decimal;
      decimal.kind = Kind::kDecimal;
      s.items.push_back(decimal);
    } else if (c == u',') {
      TakeCommas(r, in_fraction, &s);
      continue;
    } else if (TakeExponent(r, &s)) {
      continue;
    } else {
      s.percent = s.percent || c == u'%';
      AddLiteral(&s, raw.substr(raw.size() - r.Rest().size(), 1));
    }
    r.Skip(1);
  }
  const size_t first_zero = s.whole_places.find(u'0');
  if (first_zero != Text::npos) {
    s.whole_zeros = static_cast<int64_t>(s.whole_places.size() - first_zero);
  }
  return s;
}

Text RenderNumber(const NumberSection& section, double value, bool sign, const LocaleInfo& info) {
  const Prepared prepared = Prepare(section, value);
  return NumberWriter(section, prepared, info, sign).Write();
}

Text RenderCurrency(double value, const LocaleInfo& info) {
  static const char16_t* const kPositive[] = {u"$n", u"n$", u"$ n", u"n $"};
  static const char16_t* const kNegative[] = {u"($n)", u"-$n",  u"$-n",   u"$n-",  u"(n$)", u"-n$",
                                              u"n-$",  u"n$-",  u"-n $",  u"-$ n", u"n $-", u"$ n-",
                                              u"$ -n", u"n- $", u"($ n)", u"(n $)"};
  Text pattern = u"#,##0";
  if (info.currency_digits > 0) {
    pattern += u'.';
    pattern.append(static_cast<size_t>(std::min(info.currency_digits, 9)), u'0');
  }
  const Text number = RenderNumber(ParseNumberSection(pattern), value, false, info);
  const bool negative = value < 0;
  const int order = negative ? info.currency_negative : info.currency_positive;
  const bool known = order >= 0 && order < (negative ? 16 : 4);
  const TextView layout = negative ? kNegative[known ? order : 1] : kPositive[known ? order : 0];
  Text out;
  for (char16_t c : layout) {
    if (c == u'$') {
      out += info.currency_symbol;
    } else if (c == u'n') {
      out += number;
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace quillon
