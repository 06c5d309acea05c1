// The Windows locale identifiers of the locales that can be chosen by name.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace quillon {

// 0x040C for "fr-FR", 0x0409 for "en-US" (letter case ignored), 0 for any other name;
// LOCALE_USER_DEFAULT for the empty name.
LCID LcidForName(std::string_view name);
// "fr-FR" or "en-US" for their identifiers, empty otherwise.
std::string NameForLcid(LCID lcid);

}  // namespace quillon
