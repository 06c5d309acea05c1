// Module RegistrePD: reads one named value from the local registry or a remote machine's.
#pragma once

#include <cstdint>
#include <string>
#include <variant>

#include "common/text.h"
#include "platform/code_page.h"
#include "platform/echo_api.h"
#include "platform/registry_api.h"
#include "services/ping_pd.h"

namespace quillon {

// A value read from the registry: text (string and binary types) or a 32-bit integer.
using RegValue = std::variant<Text, int32_t>;

// Results besides the platform's own codes.
inline constexpr int32_t kRegistreInjoignable = 1;
inline constexpr int32_t kRegistreTypeNonGere = -1;
// Echo repeats made before a remote read: at most 4 requests in all.
inline constexpr int32_t kRegistreRelancesPing = 3;

class RegistrePD {
 public:
  RegistrePD(RegistryApi& registry, CodePage& code_page, EchoApi& echo)
      : registry_(registry), code_page_(code_page), ping_(echo, code_page) {}
  RegistrePD(const RegistrePD&) = delete;
  RegistrePD& operator=(const RegistrePD&) = delete;

  // Reads the value strNomValeur of key strCle under the root lngCleRacine (such as
  // HKEY_LOCAL_MACHINE, 0x80000002) of the machine strMachine (a dotted IPv4 address; empty:
  // this machine). Returns 0 when read, 1 when the machine does not answer echoes, -1 for a
  // value type not handled, else the platform's error code. vntValeur changes only on 0.
  int32_t LireValeurRegistre(int32_t lngCleRacine, const Text& strCle, const Text& strNomValeur,
                             RegValue& vntValeur, const Text& strMachine);

 private:
  // Steps from the size query on, for an open key; returns the current code.
  int32_t LireValeur(RegKeyHandle cle, const std::string& nom, RegValue& vntValeur);
  int32_t LireTexte(RegKeyHandle cle, const std::string& nom, uint32_t type, uint32_t taille,
                    RegValue& vntValeur);
  int32_t LireEntier(RegKeyHandle cle, const std::string& nom, uint32_t taille,
                     RegValue& vntValeur);

  RegistryApi& registry_;
  CodePage& code_page_;
  PingPD ping_;
};

}  // namespace quillon
