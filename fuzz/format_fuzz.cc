// The formatting engine and the locale rules over arbitrary patterns and values: no crash, no
// hang, results within the output limit, and the general texts of arbitrary doubles.

#include <cstdlib>
#include <memory>

#include "common/oledate.h"
#include "control/value_text.h"
#include "format/format_engine.h"
#include "format/locale_rules.h"
#include "fuzz_support.h"

namespace quillon {
namespace {

// Mostly 8-bit characters, where the pattern syntax lives; sometimes any UTF-16 unit.
Text ConsumeText(FuzzedDataProvider& in, size_t max_chars) {
  return in.ConsumeBool() ? fuzz::ConsumeUtf16(in, max_chars) : fuzz::ConsumeNarrow(in, max_chars);
}

struct Locales {
  Locales() {
    LocaleRules rules;
    FindLocaleRules("fr-FR", &rules);
    fr = NewRulesLocale(rules, [] { return DateFromParts(2026, 6, 1); });
    FindLocaleRules("en-US", &rules);
    en = NewRulesLocale(rules, [] { return DateFromParts(2026, 6, 1); });
  }
  std::unique_ptr<Locale> fr, en;
};

}  // namespace
}  // namespace quillon

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quillon;
  static Locales locales;
  FuzzedDataProvider in(data, size);
  Locale& locale = in.ConsumeBool() ? *locales.fr : *locales.en;
  const Text pattern = ConsumeText(in, 512);
  const Text value = ConsumeText(in, 64);
  const double number = in.ConsumeFloatingPoint<double>();

  auto formatter = NewEngineFormatter(locale);
  Text out;
  if (formatter->Format(value, pattern, &out)) FUZZ_CHECK(out.size() <= kMaxFormattedLength);
  const Text shown = FormatValueText(*formatter, value, pattern);
  FUZZ_CHECK(shown.size() <= kMaxFormattedLength);

  if (formatter->FormatNumber(number, pattern, &out)) {
    FUZZ_CHECK(out.size() <= kMaxFormattedLength);
  }
  FormatValue as_date;
  as_date.kind = FormatValue::Kind::kDate;
  as_date.number = number;
  if (FormatWithPattern(as_date, pattern, locale.Info(), &out)) {
    FUZZ_CHECK(out.size() <= kMaxFormattedLength);
  }
  const double read = ReadValueNumber(locale, value);
  FUZZ_CHECK(read == read);  // never NaN
  double date = 0;
  if (locale.ReadDate(value, &date)) FUZZ_CHECK(date >= kMinDate && date <= kMaxDate + 1);
  locale.GeneralDate(number);
  return 0;
}
