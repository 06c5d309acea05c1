#include "services/registre_pd.h"

#include <algorithm>

#include "common/coding.h"
#include "services/tester_ping.h"

namespace quillon {

int32_t RegistrePD::LireValeurRegistre(int32_t lngCleRacine, const Text& strCle,
                                       const Text& strNomValeur, RegValue& vntValeur,
                                       const Text& strMachine) {
  const bool distant = !strMachine.empty();
  RegKeyHandle racine = static_cast<RegKeyHandle>(lngCleRacine);  // sign-extended, as HKEYs are
  if (distant) {
    if (TesterPing(ping_, strMachine, kRegistreRelancesPing) != kPingJoignable) {
      return kRegistreInjoignable;
    }
    RegKeyHandle racine_distante = 0;
    const int32_t code =
        registry_.ConnectRegistry(code_page_.ToAnsi(strMachine), racine, &racine_distante);
    if (code != kRegSuccess) return code;
    racine = racine_distante;
  }
  RegKeyHandle cle = 0;
  int32_t code = registry_.OpenKeyEx(racine, code_page_.ToAnsi(strCle), 0, kKeyRead, &cle);
  if (code == kRegSuccess) code = LireValeur(cle, code_page_.ToAnsi(strNomValeur), vntValeur);
  if (cle != 0) registry_.CloseKey(cle);
  if (distant) registry_.CloseKey(racine);
  return code;
}

int32_t RegistrePD::LireValeur(RegKeyHandle cle, const std::string& nom, RegValue& vntValeur) {
  uint32_t type = kRegNone;
  uint32_t taille = 0;
  const int32_t code = registry_.QueryValueEx(cle, nom, &type, nullptr, &taille);
  if (code != kRegSuccess) return code;
  switch (type) {
    case kRegSz:
    case kRegExpandSz:
    case kRegMultiSz:
    case kRegBinary:
      return LireTexte(cle, nom, type, taille, vntValeur);
    case kRegDword:
      return LireEntier(cle, nom, taille, vntValeur);
    default:
      return kRegistreTypeNonGere;
  }
}

// The buffer is exactly as long as the size query said; the platform writes no further and
// answers ERROR_MORE_DATA when the value has grown since.
int32_t RegistrePD::LireTexte(RegKeyHandle cle, const std::string& nom, uint32_t type,
                              uint32_t taille, RegValue& vntValeur) {
  std::string tampon(taille, '\0');
  uint32_t lus = taille;
  uint32_t type_lu = type;
  const int32_t code =
      registry_.QueryValueEx(cle, nom, &type_lu, reinterpret_cast<uint8_t*>(tampon.data()), &lus);
  if (code != kRegSuccess) return code;
  if (type == kRegBinary) {
    vntValeur = code_page_.ToText(tampon);
    return code;
  }
  // Strings: the count the data query returned, less the terminating NUL. A value stored
  // without any byte reads as the empty text.
  const size_t n = std::min<size_t>(lus, tampon.size());
  vntValeur = code_page_.ToText(std::string_view(tampon).substr(0, n == 0 ? 0 : n - 1));
  return code;
}

int32_t RegistrePD::LireEntier(RegKeyHandle cle, const std::string& nom, uint32_t taille,
                               RegValue& vntValeur) {
  uint8_t octets[4] = {0, 0, 0, 0};
  uint32_t lus = std::min<uint32_t>(taille, sizeof octets);
  uint32_t type = kRegDword;
  const int32_t code = registry_.QueryValueEx(cle, nom, &type, octets, &lus);
  if (code != kRegSuccess) return code;
  vntValeur = static_cast<int32_t>(DecodeFixed32(octets));
  return code;
}

}  // namespace quillon
