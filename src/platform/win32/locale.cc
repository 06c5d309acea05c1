#include "platform/locale.h"

#include <windows.h>
// oleauto.h needs windows.h first.
#include <oleauto.h>

#include <memory>
#include <optional>

#include "platform/win32/lcid.h"

namespace quillon {
namespace {

// A BSTR owned for the length of one call.
class Bstr {
 public:
  explicit Bstr(TextView text)
      : b_(SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                             static_cast<UINT>(text.size()))) {}
  Bstr() = default;
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  ~Bstr() { SysFreeString(b_); }
  BSTR get() const { return b_; }
  BSTR* out() { return &b_; }
  Text ToText() const {
    return b_ ? Text(reinterpret_cast<const char16_t*>(b_), SysStringLen(b_)) : Text();
  }

 private:
  BSTR b_ = nullptr;
};

Text LocaleText(LCID lcid, LCTYPE type, const Text& fallback) {
  wchar_t buffer[128];
  const int n = GetLocaleInfoW(lcid, type, buffer, 128);
  if (n <= 1) return fallback;
  return Text(reinterpret_cast<const char16_t*>(buffer), static_cast<size_t>(n - 1));
}

int LocaleNumber(LCID lcid, LCTYPE type, int fallback) {
  DWORD value = 0;
  if (!GetLocaleInfoW(lcid, type | LOCALE_RETURN_NUMBER, reinterpret_cast<LPWSTR>(&value),
                      sizeof(value) / sizeof(wchar_t))) {
    return fallback;
  }
  return static_cast<int>(value);
}

LocaleInfo ReadInfo(LCID lcid) {
  LocaleInfo i;
  i.decimal_separator = LocaleText(lcid, LOCALE_SDECIMAL, i.decimal_separator);
  i.thousands_separator = LocaleText(lcid, LOCALE_STHOUSAND, i.thousands_separator);
  i.date_separator = LocaleText(lcid, LOCALE_SDATE, i.date_separator);
  i.time_separator = LocaleText(lcid, LOCALE_STIME, i.time_separator);
  i.short_date = LocaleText(lcid, LOCALE_SSHORTDATE, i.short_date);
  i.long_date = LocaleText(lcid, LOCALE_SLONGDATE, i.long_date);
  i.long_time = LocaleText(lcid, LOCALE_STIMEFORMAT, i.long_time);
  i.am = LocaleText(lcid, LOCALE_S1159, Text());
  i.pm = LocaleText(lcid, LOCALE_S2359, Text());
  for (int d = 0; d < 7; ++d) {
    const int windows_day = (d + 6) % 7;  // LOCALE_SDAYNAME1 is Monday
    i.day_names[d] = LocaleText(lcid, LOCALE_SDAYNAME1 + windows_day, Text());
    i.short_day_names[d] = LocaleText(lcid, LOCALE_SABBREVDAYNAME1 + windows_day, Text());
  }
  for (int m = 0; m < 12; ++m) {
    i.month_names[m] = LocaleText(lcid, LOCALE_SMONTHNAME1 + m, Text());
    i.short_month_names[m] = LocaleText(lcid, LOCALE_SABBREVMONTHNAME1 + m, Text());
  }
  i.currency_symbol = LocaleText(lcid, LOCALE_SCURRENCY, i.currency_symbol);
  i.currency_digits = LocaleNumber(lcid, LOCALE_ICURRDIGITS, i.currency_digits);
  i.currency_positive = LocaleNumber(lcid, LOCALE_ICURRENCY, i.currency_positive);
  i.currency_negative = LocaleNumber(lcid, LOCALE_INEGCURR, i.currency_negative);
  return i;
}

class WindowsLocale final : public Locale {
 public:
  WindowsLocale(LCID lcid, std::string name) : lcid_(lcid), name_(std::move(name)) {}

  std::string Name() override { return name_; }
  // Some forty settings, read when first asked for: a thread whose controls never format a
  // value (made and dropped, or showing texts only) does not pay for them.
  const LocaleInfo& Info() override {
    if (!info_) info_.emplace(ReadInfo(lcid_));
    return *info_;
  }

  bool ReadSingle(TextView text, float* value) override {
    Bstr b(text);
    float v = 0;
    if (!b.get() || FAILED(VarR4FromStr(b.get(), lcid_, 0, &v))) return false;
    *value = v;
    return true;
  }

  bool ReadNumber(TextView text, double* value) override {
    Bstr b(text);
    double v = 0;
    if (!b.get() || FAILED(VarR8FromStr(b.get(), lcid_, 0, &v))) return false;
    *value = v;
    return true;
  }

  bool ReadDate(TextView text, double* date) override {
    Bstr b(text);
    DATE v = 0;
    if (!b.get() || FAILED(VarDateFromStr(b.get(), lcid_, 0, &v))) return false;
    *date = v;
    return true;
  }

  Text GeneralDate(double date) override {
    Bstr out;
    if (FAILED(VarBstrFromDate(date, lcid_, 0, out.out()))) return Text();
    return out.ToText();
  }

 private:
  LCID lcid_;
  std::string name_;
  std::optional<LocaleInfo> info_;
};

}  // namespace

std::unique_ptr<Locale> NewPlatformLocale() {
  return std::make_unique<WindowsLocale>(LOCALE_USER_DEFAULT, std::string());
}

std::unique_ptr<Locale> NewPlatformLocale(std::string_view name) {
  const LCID lcid = LcidForName(name);
  if (lcid == 0) return nullptr;
  return std::make_unique<WindowsLocale>(lcid, NameForLcid(lcid));
}

}  // namespace quillon
