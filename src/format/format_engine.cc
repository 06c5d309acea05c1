#include "format/format_engine.h"

#include <cmath>

#include "common/oledate.h"
#include "format/format_date.h"
#include "format/format_decimal.h"
#include "format/format_number.h"
#include "format/format_pattern.h"
#include "format/format_text.h"
#include "format/locale_date.h"

namespace quillon {
namespace {

using VKind = FormatValue::Kind;

enum class Named { kNone, kGeneralNumber, kCurrency, kTrueFalse, kYesNo, kOnOff };

struct NamedFormat {
  const char16_t* name;
  Named kind;
  const char16_t* pattern;  // for the ones written as a pattern
};

constexpr NamedFormat kNamedFormats[] = {
    {u"General Number", Named::kGeneralNumber, u""},
    {u"Currency", Named::kCurrency, u""},
    {u"Fixed", Named::kNone, u"0.00"},
    {u"Standard", Named::kNone, u"#,##0.00"},
    {u"Percent", Named::kNone, u"0.00%"},
    {u"Scientific", Named::kNone, u"0.00E+00"},
    {u"Yes/No", Named::kYesNo, u""},
    {u"True/False", Named::kTrueFalse, u""},
    {u"On/Off", Named::kOnOff, u""},
    {u"General Date", Named::kNone, u"c"},
    {u"Long Date", Named::kNone, u"dddddd"},
    {u"Medium Date", Named::kNone, u"dd-mmm-yy"},
    {u"Short Date", Named::kNone, u"ddddd"},
    {u"Long Time", Named::kNone, u"ttttt"},
    {u"Medium Time", Named::kNone, u"hh:nn AMPM"},
    {u"Short Time", Named::kNone, u"hh:nn"},
};

const NamedFormat* FindNamed(TextView pattern) {
  for (const NamedFormat& f : kNamedFormats) {
    const TextView name = f.name;
    if (name.size() != pattern.size()) continue;
    bool same = true;
    for (size_t i = 0; i < name.size() && same; ++i) {
      same = LowerAscii(name[i]) == LowerAscii(pattern[i]);
    }
    if (same) return &f;
  }
  return nullptr;
}

Text GeneralText(const FormatValue& v, const LocaleInfo& info) {
  if (v.kind == VKind::kNumber) return GeneralNumberText(v.number, info.decimal_separator);
  if (v.kind == VKind::kDate) return GeneralDateText(v.number, info);
  return v.text;
}

// Named numeric formats: a date or a text shows as its general text.
Text NamedResult(Named kind, const FormatValue& v, const LocaleInfo& info) {
  if (kind == Named::kGeneralNumber || v.kind != VKind::kNumber) return GeneralText(v, info);
  if (kind == Named::kCurrency) return RenderCurrency(v.number, info);
  const bool on = v.number != 0;
  if (kind == Named::kYesNo) return on ? info.yes_text : info.no_text;
  if (kind == Named::kOnOff) return on ? info.on_text : info.off_text;
  return on ? info.true_text : info.false_text;
}

bool Present(const PatternSections& p, size_t index) {
  return index < p.sections.size() && !p.sections[index].empty();
}

// A number with a numeric (or untyped) pattern: the section by sign, then the digits.
Text FormatNumber(double value, const PatternSections& p, const LocaleInfo& info) {
  size_t index = 0;
  bool sign = false;
  if (value < 0) {
    sign = !Present(p, 1);
    index = sign ? 0 : 1;
  } else if (value == 0 && Present(p, 2)) {
    index = 2;
  }
  return RenderNumber(ParseNumberSection(p.sections[index]), value, sign, info);
}

// A text section sees the text up to its first NUL, as Automation's own formatting does.
Text FormatText(TextView text, const PatternSections& p) {
  text = text.substr(0, text.find(u'\0'));
  const size_t index = text.empty() && Present(p, 1) ? 1 : 0;
  return RenderText(ParseTextSection(p.sections[index]), text);
}

Text Dispatch(const FormatValue& v, const PatternSections& p, const LocaleInfo& info) {
  if (v.kind == VKind::kText) {
    return p.kind == PatternKind::kText ? FormatText(v.text, p) : v.text;
  }
  if (p.kind == PatternKind::kText) return FormatText(GeneralText(v, info), p);
  const bool as_date =
      p.kind == PatternKind::kDate || (p.kind == PatternKind::kUntyped && v.kind == VKind::kDate);
  if (!as_date) {
    // A numeric pattern formats numbers only; a date shows as its general date text.
    return v.kind == VKind::kNumber ? FormatNumber(v.number, p, info) : GeneralText(v, info);
  }
  Text out;
  if (RenderDate(ParseDateSection(p.sections[0]), v.number, info, &out)) return out;
  return GeneralText(v, info);
}

}  // namespace

FormatValue ClassifyValue(TextView text, Locale& locale) {
  FormatValue v;
  if (locale.ReadNumber(text, &v.number) && std::isfinite(v.number)) {
    v.kind = VKind::kNumber;
  } else if (locale.ReadDate(text, &v.number)) {
    v.kind = VKind::kDate;
  } else {
    v.kind = VKind::kText;
    v.number = 0;
    v.text = Text(text);
  }
  return v;
}

bool FormatWithPattern(const FormatValue& value, TextView pattern, const LocaleInfo& info,
                       Text* out) {
  out->clear();
  Text result;
  if (pattern.empty()) {
    result = GeneralText(value, info);
  } else if (const NamedFormat* named = FindNamed(pattern); named && named->kind != Named::kNone) {
    result = NamedResult(named->kind, value, info);
  } else {
    PatternSections sections;
    if (!SplitPattern(named ? TextView(named->pattern) : pattern, &sections)) return false;
    result = Dispatch(value, sections, info);
  }
  if (result.size() > kMaxFormattedLength) return false;
  *out = std::move(result);
  return true;
}

namespace {

class EngineFormatter final : public Formatter {
 public:
  explicit EngineFormatter(Locale& locale) : locale_(locale) {}

  bool Format(TextView value, TextView pattern, Text* result) override {
    return FormatWithPattern(ClassifyValue(value, locale_), pattern, locale_.Info(), result);
  }

  bool FormatNumber(double number, TextView pattern, Text* result) override {
    FormatValue v;
    v.kind = VKind::kNumber;
    v.number = number;
    return FormatWithPattern(v, pattern, locale_.Info(), result);
  }

  Locale& FormatLocale() override { return locale_; }

 private:
  Locale& locale_;
};

}  // namespace

std::unique_ptr<Formatter> NewEngineFormatter(Locale& locale) {
  return std::make_unique<EngineFormatter>(locale);
}

}  // namespace quillon
