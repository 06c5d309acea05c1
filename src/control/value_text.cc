#include "control/value_text.h"

namespace quillon {
namespace {

Text Replaced(TextView text, char16_t from, char16_t to) {
  Text out(text);
  for (char16_t& c : out) {
    if (c == from) c = to;
  }
  return out;
}

// The stored text rewritten with the locale's own decimal separator ("." made "," under a
// comma locale, "," made "." under a dot locale), then with the other one.
struct NumberForms {
  Text first;
  Text second;
};

NumberForms FormsOf(Locale& locale, TextView stored) {
  Text comma_form = Replaced(stored, u'.', u',');
  Text dot_form = Replaced(stored, u',', u'.');
  if (locale.Info().decimal_separator == u".") return {std::move(dot_form), std::move(comma_form)};
  return {std::move(comma_form), std::move(dot_form)};
}

// The stored text as a number for formatting: as it stands, then in the two forms of the
// number reading, so that "12.5" stays a number under a comma locale rather than a time.
bool ReadStoredNumber(Locale& locale, TextView stored, double* number) {
  if (locale.ReadNumber(stored, number)) return true;
  const NumberForms forms = FormsOf(locale, stored);
  return locale.ReadNumber(forms.first, number) || locale.ReadNumber(forms.second, number);
}

}  // namespace

Text EffectivePattern(TextView format) {
  Text out;
  out.reserve(format.size());
  bool quoted = false;
  for (size_t i = 0; i < format.size(); ++i) {
    const char16_t c = format[i];
    if (c == u'"') {
      quoted = !quoted;
    } else if (!quoted && c == u'\\' && i + 1 < format.size()) {
      out += c;
      out += format[++i];  // already literal
      continue;
    } else if (!quoted && c == u'%') {
      out += u'\\';
    }
    out += c;
  }
  return out;
}

Text FormatValueText(Formatter& formatter, TextView stored, TextView format) {
  if (format.empty()) return Text(stored);
  const Text pattern = EffectivePattern(format);
  Text result;
  double number = 0;
  const bool ok = ReadStoredNumber(formatter.FormatLocale(), stored, &number)
                      ? formatter.FormatNumber(number, pattern, &result)
                      : formatter.Format(stored, pattern, &result);
  return ok ? result : Text();
}

double ReadValueNumber(Locale& locale, TextView stored) {
  const NumberForms forms = FormsOf(locale, stored);
  float value = 0;
  if (locale.ReadSingle(forms.first, &value)) return static_cast<double>(value);
  if (locale.ReadSingle(forms.second, &value)) return static_cast<double>(value);
  return 0.0;
}

Text LastReadText(Locale& locale, double date) { return locale.GeneralDate(date); }

Text QualityText(int32_t quality) { return NumberText(quality); }

}  // namespace quillon
