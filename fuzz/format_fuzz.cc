// The formatting engine and the locale rules over arbitrary patterns and values: no crash, no
// hang, results within the output limit, and the general texts of arbitrary doubles.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <memory>

#include "common/oledate.h"
#include "control/value_text.h"
#include "platform/portable/format_engine.h"
#include "platform/portable/locale_rules.h"

namespace quillon {
namespace {

// Mostly 8-bit characters, where the pattern syntax lives; sometimes any UTF-16 unit.
Text ConsumeText(FuzzedDataProvider& in, size_t max_chars) {
  const bool wide = in.ConsumeBool();
  const std::string bytes = in.ConsumeRandomLengthString(max_chars * (wide ? 2 : 1));
  Text out;
  if (!wide) {
    for (unsigned char c : bytes) out += static_cast<char16_t>(c);
    return out;
  }
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    out += static_cast<char16_t>(static_cast<uint8_t>(bytes[i]) | static_cast<uint8_t>(bytes[i + 1])
                                                                      << 8);
  }
  return out;
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

void Check(bool condition) {
  if (!condition) std::abort();
}

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
  if (formatter->Format(value, pattern, &out)) Check(out.size() <= kMaxFormattedLength);
  const Text shown = FormatValueText(*formatter, value, pattern);
  Check(shown.size() <= kMaxFormattedLength);

  for (FormatValue::Kind kind : {FormatValue::Kind::kNumber, FormatValue::Kind::kDate}) {
    FormatValue v;
    v.kind = kind;
    v.number = number;
    if (FormatWithPattern(v, pattern, locale.Info(), &out)) {
      Check(out.size() <= kMaxFormattedLength);
    }
  }
  const double read = ReadValueNumber(locale, value);
  Check(read == read);  // never NaN
  double date = 0;
  if (locale.ReadDate(value, &date)) Check(date >= kMinDate && date <= kMaxDate + 1);
  locale.GeneralDate(number);
  return 0;
}
