#include "platform/win32/lcid.h"

namespace quillon {
namespace {

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const char x = (a[i] >= 'A' && a[i] <= 'Z') ? static_cast<char>(a[i] + 32) : a[i];
    const char y = (b[i] >= 'A' && b[i] <= 'Z') ? static_cast<char>(b[i] + 32) : b[i];
    if (x != y) return false;
  }
  return true;
}

constexpr LCID kFrench = MAKELCID(MAKELANGID(LANG_FRENCH, SUBLANG_FRENCH), SORT_DEFAULT);
constexpr LCID kEnglish = MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT);

}  // namespace

LCID LcidForName(std::string_view name) {
  if (name.empty()) return LOCALE_USER_DEFAULT;
  if (SameName(name, "fr-FR")) return kFrench;
  if (SameName(name, "en-US")) return kEnglish;
  return 0;
}

std::string NameForLcid(LCID lcid) {
  if (lcid == kFrench) return "fr-FR";
  if (lcid == kEnglish) return "en-US";
  return std::string();
}

}  // namespace quillon
