// The members of _QuillonPD as data: the eight properties with their DISPIDs and the keys
// under which the three settings are saved, and the two methods. A container maps a change
// notification onto its own (a COM shell's OnChanged takes the DISPID) by this table alone.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace quillon {

// The properties in the order of the interface's table of operations; the value of each is
// its row in kControlProperties.
enum class PropertyId : uint8_t {
  NTF,
  Formatage,
  Valeur,
  ValeurNombre,
  ValeurFormatee,
  HorodatageDernLect,
  Qualite,
  Frequence_Rafraichissement,
};
inline constexpr size_t kPropertyCount = 8;

struct ControlProperty {
  PropertyId id;
  std::u16string_view name;       // the member's name
  int32_t dispid;                 // its DISPID in _QuillonPD
  std::u16string_view saved_key;  // its key in the property bag; empty when not saved
  bool hidden = false;            // hidden from object browsers, still callable
};

inline constexpr std::array<ControlProperty, kPropertyCount> kControlProperties = {{
    {PropertyId::NTF, u"NTF", 0x68030007, u"strNTF"},
    {PropertyId::Formatage, u"Formatage", 0x68030006, u"strFormat"},
    {PropertyId::Valeur, u"Valeur", 0x68030005, u""},
    {PropertyId::ValeurNombre, u"ValeurNombre", 0x68030004, u""},
    {PropertyId::ValeurFormatee, u"ValeurFormatee", 0x68030003, u""},
    {PropertyId::HorodatageDernLect, u"HorodatageDernLect", 0x68030002, u"", /*hidden=*/true},
    {PropertyId::Qualite, u"Qualite", 0x68030001, u""},
    {PropertyId::Frequence_Rafraichissement, u"Frequence_Rafraichissement", 0x68030000,
     u"udtPollTime"},
}};

constexpr const ControlProperty& PropertyOf(PropertyId id) {
  return kControlProperties[static_cast<size_t>(id)];
}

static_assert([] {
  for (size_t i = 0; i < kPropertyCount; ++i) {
    if (static_cast<size_t>(kControlProperties[i].id) != i) return false;
  }
  return true;
}());

}  // namespace quillon
