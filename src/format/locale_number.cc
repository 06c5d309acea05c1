#include "format/locale_number.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <string>

namespace quillon {
namespace {

// Exponents beyond this can only overflow or underflow a double.
constexpr int64_t kExponentClamp = 100000;

bool IsSpace(char16_t c) { return c == u' ' || c == u'\t'; }
bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

class Reader {
 public:
  explicit Reader(TextView text) : s_(text) {}
  bool AtEnd() const { return i_ >= s_.size(); }
  char16_t Peek(size_t ahead = 0) const { return i_ + ahead < s_.size() ? s_[i_ + ahead] : u'\0'; }
  bool Take(TextView word) {
    if (word.empty() || s_.substr(i_, word.size()) != word) return false;
    i_ += word.size();
    return true;
  }
  void Next() { ++i_; }
  void SkipSpaces() {
    while (!AtEnd() && IsSpace(s_[i_])) ++i_;
  }
  TextView Rest() const { return s_.substr(i_); }

 private:
  TextView s_;
  size_t i_ = 0;
};

struct Parsed {
  bool negative = false;
  bool leading_sign = false;
  bool open_paren = false;
  bool currency = false;
  std::string digits;  // ASCII digits, '.' and an exponent, for from_chars
  int64_t exponent = 0;
};

bool TakeSignPart(Reader& r, const NumberRules& rules, Parsed& p) {
  const char16_t c = r.Peek();
  if (c == u'+' || c == u'-') {
    p.negative = p.negative || c == u'-';
    p.leading_sign = true;
  } else if (c == u'(' && !p.open_paren) {
    p.open_paren = true;
  } else if (!p.currency && r.Take(rules.currency)) {
    p.currency = true;
    r.SkipSpaces();
    return true;
  } else {
    return false;
  }
  r.Next();
  r.SkipSpaces();
  return true;
}

// Whole and fractional digits; thousands separators only after a first digit of the whole part.
bool TakeMantissa(Reader& r, const NumberRules& rules, Parsed& p) {
  bool any_digit = false;
  bool decimal = false;
  while (!r.AtEnd()) {
    const char16_t c = r.Peek();
    if (IsDigit(c)) {
      p.digits += static_cast<char>(c);
      any_digit = true;
      r.Next();
    } else if (!decimal && any_digit && rules.thousands.find(c) != Text::npos) {
      r.Next();
    } else if (!decimal && r.Take(rules.decimal)) {
      decimal = true;
      p.digits += '.';
    } else {
      break;
    }
  }
  return any_digit;
}

void TakeExponent(Reader& r, Parsed& p) {
  if (r.Peek() != u'e' && r.Peek() != u'E') return;
  size_t ahead = 1;
  bool minus = false;
  if (r.Peek(1) == u'+' || r.Peek(1) == u'-') {
    minus = r.Peek(1) == u'-';
    ahead = 2;
  }
  if (!IsDigit(r.Peek(ahead))) return;
  for (size_t k = 0; k < ahead; ++k) r.Next();
  int64_t e = 0;
  while (IsDigit(r.Peek())) {
    if (e < kExponentClamp) e = e * 10 + (r.Peek() - u'0');
    r.Next();
  }
  p.exponent = minus ? -e : e;
}

bool TakeTrailer(Reader& r, const NumberRules& rules, Parsed& p) {
  bool closed = false;
  bool trailing_sign = false;
  r.SkipSpaces();
  while (!r.AtEnd()) {
    const char16_t c = r.Peek();
    if (!p.currency && r.Take(rules.currency)) {
      p.currency = true;
    } else if ((c == u'+' || c == u'-') && !p.leading_sign && !trailing_sign) {
      trailing_sign = true;
      p.negative = p.negative || c == u'-';
      r.Next();
    } else if (c == u')' && p.open_paren && !closed) {
      closed = true;
      r.Next();
    } else {
      return false;
    }
    r.SkipSpaces();
  }
  return closed == p.open_paren;
}

bool ToDouble(const Parsed& p, double* value) {
  std::string text = p.digits;
  text += 'e';
  text += std::to_string(p.exponent);
  double v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec == std::errc::result_out_of_range) {
    // Beyond the range: too small reads as zero, too large is an overflow.
    const size_t point = std::min(p.digits.find('.'), p.digits.size());
    const size_t first = p.digits.find_first_of("123456789");
    if (first == std::string::npos) return (*value = 0, true);
    int64_t order = first < point ? static_cast<int64_t>(point - first)
                                  : -static_cast<int64_t>(first - point - 1);
    order += p.exponent;
    if (order > 0) return false;
    v = 0;
  } else if (ec != std::errc() || end != text.data() + text.size()) {
    return false;
  }
  *value = (p.negative || p.open_paren) ? -v : v;
  return true;
}

// &H1F (hexadecimal) or &O17 (octal), a 32-bit value.
bool ParseRadix(TextView text, double* value) {
  if (text.size() < 3) return false;
  const char16_t kind = text[1];
  const int base = (kind == u'H' || kind == u'h') ? 16 : (kind == u'O' || kind == u'o') ? 8 : 0;
  if (base == 0) return false;
  uint64_t v = 0;
  for (char16_t c : text.substr(2)) {
    int d = -1;
    if (c >= u'0' && c <= u'9') d = c - u'0';
    if (base == 16 && c >= u'a' && c <= u'f') d = c - u'a' + 10;
    if (base == 16 && c >= u'A' && c <= u'F') d = c - u'A' + 10;
    if (d < 0 || d >= base) return false;
    v = v * base + d;
    if (v > 0xFFFFFFFFull) return false;
  }
  if (v > 0x80000000ull) return false;
  *value = v == 0x80000000ull ? -2147483648.0 : static_cast<double>(v);
  return true;
}

}  // namespace

bool ParseLocaleNumber(TextView text, const NumberRules& rules, double* value) {
  size_t b = 0;
  size_t e = text.size();
  while (b < e && IsSpace(text[b])) ++b;
  while (e > b && IsSpace(text[e - 1])) --e;
  if (b < e && text[b] == u'&') return ParseRadix(text.substr(b, e - b), value);
  Reader r(text);
  Parsed p;
  r.SkipSpaces();
  while (TakeSignPart(r, rules, p)) {
  }
  if (!TakeMantissa(r, rules, p)) return false;
  TakeExponent(r, p);
  if (!TakeTrailer(r, rules, p)) return false;
  return ToDouble(p, value);
}

}  // namespace quillon
