#include "format/locale_rules.h"

#include <cfloat>
#include <cmath>

#include "common/oledate.h"
#include "common/text.h"
#include "format/locale_date.h"
#include "format/locale_number.h"

namespace quillon {
namespace {

LocaleRules FrenchRules() {
  LocaleRules r;
  r.name = "fr-FR";
  r.date_order = DateOrder::kDayMonthYear;
  r.extra_thousands = u" \u202F";
  LocaleInfo& i = r.info;
  i.decimal_separator = u",";
  i.thousands_separator = u"\u00A0";
  i.short_date = u"dd/MM/yyyy";
  i.long_date = u"dddd d MMMM yyyy";
  i.long_time = u"HH:mm:ss";
  i.day_names = {u"dimanche", u"lundi", u"mardi", u"mercredi", u"jeudi", u"vendredi", u"samedi"};
  i.short_day_names = {u"dim.", u"lun.", u"mar.", u"mer.", u"jeu.", u"ven.", u"sam."};
  i.month_names = {u"janvier", u"février", u"mars",      u"avril",   u"mai",      u"juin",
                   u"juillet", u"août",    u"septembre", u"octobre", u"novembre", u"décembre"};
  i.short_month_names = {u"janv.", u"févr.", u"mars",  u"avr.", u"mai",  u"juin",
                         u"juil.", u"août",  u"sept.", u"oct.", u"nov.", u"déc."};
  i.currency_symbol = u"€";
  i.currency_positive = 3;
  i.currency_negative = 8;
  i.true_text = u"Vrai";
  i.false_text = u"Faux";
  i.yes_text = u"Oui";
  i.no_text = u"Non";
  i.on_text = u"Actif";
  i.off_text = u"Inactif";
  return r;
}

LocaleRules EnglishRules() {
  LocaleRules r;
  r.name = "en-US";
  LocaleInfo& i = r.info;
  i.day_names = {u"Sunday",   u"Monday", u"Tuesday", u"Wednesday",
                 u"Thursday", u"Friday", u"Saturday"};
  i.short_day_names = {u"Sun", u"Mon", u"Tue", u"Wed", u"Thu", u"Fri", u"Sat"};
  i.month_names = {u"January", u"February", u"March",     u"April",   u"May",      u"June",
                   u"July",    u"August",   u"September", u"October", u"November", u"December"};
  i.short_month_names = {u"Jan", u"Feb", u"Mar", u"Apr", u"May", u"Jun",
                         u"Jul", u"Aug", u"Sep", u"Oct", u"Nov", u"Dec"};
  return r;
}

// Automation's conversions read a text up to its first NUL.
TextView UpToNul(TextView text) { return text.substr(0, text.find(u'\0')); }

class RulesLocale final : public Locale {
 public:
  RulesLocale(LocaleRules rules, std::function<double()> now)
      : rules_(std::move(rules)), now_(std::move(now)) {
    number_.decimal = rules_.info.decimal_separator;
    number_.thousands = rules_.info.thousands_separator + rules_.extra_thousands;
    number_.currency = rules_.info.currency_symbol;
  }

  std::string Name() override { return rules_.name; }
  const LocaleInfo& Info() override { return rules_.info; }

  bool ReadSingle(TextView text, float* value) override {
    double d = 0;
    if (!ParseLocaleNumber(UpToNul(text), number_, &d)) return false;
    if (std::fabs(d) > FLT_MAX) return false;
    *value = static_cast<float>(d);
    return true;
  }

  bool ReadNumber(TextView text, double* value) override {
    return ParseLocaleNumber(UpToNul(text), number_, value);
  }

  bool ReadDate(TextView text, double* date) override {
    return ParseLocaleDate(UpToNul(text), rules_.info, rules_.date_order, CurrentYear(), date);
  }

  Text GeneralDate(double date) override { return GeneralDateText(date, rules_.info); }

 private:
  int CurrentYear() {
    DateTimeParts parts;
    if (now_ && DateToParts(now_(), &parts)) return parts.year;
    return 2000;
  }

  LocaleRules rules_;
  std::function<double()> now_;
  NumberRules number_;
};

}  // namespace

bool FindLocaleRules(std::string_view name, LocaleRules* rules) {
  if (EqualsIgnoringAsciiCase(name, "fr-FR")) {
    *rules = FrenchRules();
    return true;
  }
  if (EqualsIgnoringAsciiCase(name, "en-US")) {
    *rules = EnglishRules();
    return true;
  }
  return false;
}

std::string LocaleNameFromEnvironment(const char* lc_all, const char* lang) {
  const char* chosen = (lc_all && *lc_all) ? lc_all : lang;
  if (chosen && (chosen[0] == 'f' || chosen[0] == 'F') && (chosen[1] == 'r' || chosen[1] == 'R')) {
    return "fr-FR";
  }
  return "en-US";
}

std::unique_ptr<Locale> NewRulesLocale(LocaleRules rules, std::function<double()> now) {
  return std::make_unique<RulesLocale>(std::move(rules), std::move(now));
}

}  // namespace quillon
