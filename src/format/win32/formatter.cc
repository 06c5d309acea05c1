#include "platform/formatter.h"

#include <optional>
#include <windows.h>
// oleauto.h needs windows.h first.
#include <oleauto.h>

#include <cmath>
#include <utility>

#include "format/format_engine.h"
#include "format/format_pattern.h"
#include "format/result_bound.h"
#include "platform/win32/lcid.h"

namespace quillon {
namespace {

constexpr int kFirstDaySunday = 1;
constexpr int kFirstWeekOfJanuary1 = 1;

BSTR NewBstr(TextView text) {
  return SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                           static_cast<UINT>(text.size()));
}

// Integer digits of a number below kPlatformFormatMaxMagnitude.
constexpr int kPlatformFormatMaxDigits = 15;
static_assert(kPlatformFormatMaxMagnitude == 1e15);

bool WithinPlatformMagnitude(double number) {
  return std::isfinite(number) && std::fabs(number) < kPlatformFormatMaxMagnitude;
}

// A text that the number conversion refuses as out of range ("1E+309") is still read digit by
// digit by VarFormat's numeric sections, so its magnitude is checked the same way.
bool TextWithinPlatformMagnitude(BSTR text, LCID lcid) {
  if (!text) return true;
  NUMPARSE parsed{};
  BYTE digits[256];
  parsed.cDig = sizeof digits;
  parsed.dwInFlags = NUMPRS_STD;
  if (FAILED(VarParseNumFromStr(text, lcid, 0, &parsed, digits))) return true;  // text
  return parsed.cDig + parsed.nPwr10 <= kPlatformFormatMaxDigits;
}

// The engine's result where the platform's formatting must not be called (see
// kPlatformFormatMaxMagnitude): a result that failed, or that reaches the length beyond which
// VarFormat's buffer is at risk.
bool TooLongForPlatform(bool engine_ok, const Text& by_engine) {
  return !engine_ok || by_engine.size() >= kPlatformFormatMaxLength;
}

bool Take(bool ok, Text* from, Text* result) {
  *result = ok ? std::move(*from) : Text();
  return ok;
}

// VarFormat formats a string argument as text; the stored text is therefore turned into
// the number or the date it stands for first, as the value property requires. Our engine,
// which gives the same output, formats what VarFormat cannot take safely. It only runs where
// the input may be such: a magnitude out of bounds, or a pattern and a value whose result may
// reach kPlatformFormatMaxLength by the length bound (or a pattern of too many sections).
class WindowsFormatter final : public Formatter {
 public:
  explicit WindowsFormatter(Locale& locale)
      : locale_(locale),
        lcid_(LcidForName(locale.Name())),
        engine_(NewEngineFormatter(locale)) {
    if (lcid_ == 0) lcid_ = LOCALE_USER_DEFAULT;
  }

  bool Format(TextView value, TextView pattern, Text* result) override {
    VARIANT v;
    VariantInit(&v);
    if (!ToVariant(value, &v)) {
      result->clear();
      return false;
    }
    const bool within = V_VT(&v) == VT_R8    ? WithinPlatformMagnitude(V_R8(&v))
                        : V_VT(&v) == VT_BSTR ? TextWithinPlatformMagnitude(V_BSTR(&v), lcid_)
                                              : true;
    if (!within || EngineMayBeNeeded(value.size(), pattern)) {
      Text by_engine;
      const bool ok = engine_->Format(value, pattern, &by_engine);
      if (!within || TooLongForPlatform(ok, by_engine)) {
        VariantClear(&v);
        return Take(ok, &by_engine, result);
      }
    }
    return FormatVariant(&v, pattern, result);
  }

  bool FormatNumber(double number, TextView pattern, Text* result) override {
    const bool within = WithinPlatformMagnitude(number);
    if (!within || EngineMayBeNeeded(0, pattern)) {
      Text by_engine;
      const bool ok = engine_->FormatNumber(number, pattern, &by_engine);
      if (!within || TooLongForPlatform(ok, by_engine)) return Take(ok, &by_engine, result);
    }
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_R8;
    V_R8(&v) = number;
    return FormatVariant(&v, pattern, result);
  }

  Locale& FormatLocale() override { return locale_; }

 private:
  // Formats *v and clears it.
  bool FormatVariant(VARIANT* v, TextView pattern, Text* result) {
    result->clear();
    BSTR format = NewBstr(pattern);
    BSTR out = nullptr;
    const HRESULT hr = (format || pattern.empty()) ? Call(v, format, &out) : E_OUTOFMEMORY;
    if (SUCCEEDED(hr) && out) {
      result->assign(reinterpret_cast<const char16_t*>(out), SysStringLen(out));
    }
    SysFreeString(out);
    SysFreeString(format);
    VariantClear(v);
    return SUCCEEDED(hr);
  }

  bool ToVariant(TextView value, VARIANT* v) {
    BSTR text = NewBstr(value);
    if (!text && !value.empty()) return false;
    double number = 0;
    if (text && SUCCEEDED(VarR8FromStr(text, lcid_, 0, &number))) {
      V_VT(v) = VT_R8;
      V_R8(v) = number;
    } else if (text && SUCCEEDED(VarDateFromStr(text, lcid_, 0, &number))) {
      V_VT(v) = VT_DATE;
      V_DATE(v) = number;
    } else {
      V_VT(v) = VT_BSTR;
      V_BSTR(v) = text;
      return true;
    }
    SysFreeString(text);
    return true;
  }

  // VarFormat itself for the user's locale; the same steps with the chosen locale otherwise.
  HRESULT Call(VARIANT* v, BSTR format, BSTR* out) {
    if (lcid_ == LOCALE_USER_DEFAULT) {
      return VarFormat(v, format, kFirstDaySunday, kFirstWeekOfJanuary1, 0, out);
    }
    BYTE tokens[256];
    HRESULT hr = VarTokenizeFormatString(format, tokens, sizeof tokens, kFirstDaySunday,
                                         kFirstWeekOfJanuary1, lcid_, nullptr);
    if (SUCCEEDED(hr)) hr = VarFormatFromTokens(v, format, tokens, 0, out, lcid_);
    return hr;
  }

  // False when the engine would write fewer than kPlatformFormatMaxLength characters and
  // succeed: the bound says so and the pattern has no more sections than formatting takes.
  bool EngineMayBeNeeded(size_t value_length, TextView pattern) {
    // Worked out at the first value formatted: a thread whose controls never format one
    // (made and dropped, or showing texts only) does not pay for it.
    if (!bound_) bound_.emplace(locale_.Info());
    PatternSections sections;
    return bound_->Of(value_length, pattern) >= kPlatformFormatMaxLength ||
           !SplitPattern(pattern, &sections);
  }

  Locale& locale_;
  LCID lcid_;
  std::unique_ptr<Formatter> engine_;
  std::optional<ResultLengthBound> bound_;
};

}  // namespace

std::unique_ptr<Formatter> NewPlatformFormatter(Locale& locale) {
  return std::make_unique<WindowsFormatter>(locale);
}

}  // namespace quillon
