#include "platform/win32/lcid.h"

#include "common/text.h"

namespace quillon {
namespace {

constexpr LCID kFrench = MAKELCID(MAKELANGID(LANG_FRENCH, SUBLANG_FRENCH), SORT_DEFAULT);
constexpr LCID kEnglish = MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT);

}  // namespace

LCID LcidForName(std::string_view name) {
  if (name.empty()) return LOCALE_USER_DEFAULT;
  if (EqualsIgnoringAsciiCase(name, "fr-FR")) return kFrench;
  if (EqualsIgnoringAsciiCase(name, "en-US")) return kEnglish;
  return 0;
}

std::string NameForLcid(LCID lcid) {
  if (lcid == kFrench) return "fr-FR";
  if (lcid == kEnglish) return "en-US";
  return std::string();
}

}  // namespace quillon
