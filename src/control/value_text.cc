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

}  // namespace

Text EffectivePattern(TextView format) {
  Text out;
  out.reserve(format.size());
  for (char16_t c : format) {
    if (c == u'%') out += u'\\';
    out += c;
  }
  return out;
}

Text FormatValueText(Formatter& formatter, TextView stored, TextView format) {
  if (format.empty()) return Text(stored);
  Text result;
  if (!formatter.Format(stored, EffectivePattern(format), &result)) return Text();
  return result;
}

double ReadValueNumber(Locale& locale, TextView stored) {
  const bool dot_locale = locale.Info().decimal_separator == u".";
  const Text comma_form = Replaced(stored, u'.', u',');
  const Text dot_form = Replaced(stored, u',', u'.');
  const Text& first = dot_locale ? dot_form : comma_form;
  const Text& second = dot_locale ? comma_form : dot_form;
  float value = 0;
  if (locale.ReadSingle(first, &value)) return static_cast<double>(value);
  if (locale.ReadSingle(second, &value)) return static_cast<double>(value);
  return 0.0;
}

Text LastReadText(Locale& locale, double date) { return locale.GeneralDate(date); }

Text QualityText(int32_t quality) { return NumberText(quality); }

}  // namespace quillon
