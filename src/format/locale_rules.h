// The French (France) and English (United States) locale rules of our own, used where the
// platform has no locale service of the kind formatting needs.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "format/locale_date.h"
#include "platform/locale.h"

namespace quillon {

struct LocaleRules {
  std::string name;
  LocaleInfo info;
  DateOrder date_order = DateOrder::kMonthDayYear;
  // Characters also accepted as the thousands separator when reading numbers.
  Text extra_thousands;
};

// The rules of "fr-FR" or "en-US" (letter case ignored); false for any other name.
bool FindLocaleRules(std::string_view name, LocaleRules* rules);

// "fr-FR" when the first non-empty of lc_all and lang starts with "fr", "en-US" otherwise
// (either may be null).
std::string LocaleNameFromEnvironment(const char* lc_all, const char* lang);

// A locale following `rules`; `now` gives the current local date, whose year completes a date
// text written without one.
std::unique_ptr<Locale> NewRulesLocale(LocaleRules rules, std::function<double()> now);

}  // namespace quillon
