#include "platform/locale.h"

#include <cstdlib>
#include <memory>

#include "format/locale_rules.h"
#include "platform/clock.h"

namespace quillon {
namespace {

std::unique_ptr<Locale> RulesLocaleNamed(std::string_view name) {
  LocaleRules rules;
  if (!FindLocaleRules(name, &rules)) return nullptr;
  std::shared_ptr<Clock> clock = NewPlatformClock();
  return NewRulesLocale(std::move(rules), [clock] { return clock->Now(); });
}

}  // namespace

std::unique_ptr<Locale> NewPlatformLocale() {
  return RulesLocaleNamed(LocaleNameFromEnvironment(std::getenv("LC_ALL"), std::getenv("LANG")));
}

std::unique_ptr<Locale> NewPlatformLocale(std::string_view name) { return RulesLocaleNamed(name); }

}  // namespace quillon
