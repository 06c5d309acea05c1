#include "services/tester_ping.h"

namespace quillon {

int32_t TesterPing(PingPD& ping, const Text& strAdresse, int32_t lngNbRelances) {
  if (strAdresse.empty()) return kPingJoignable;
  if (!ping.DemarrerSockets()) return kPingSocketsEnEchec;
  ReponseEcho udtReponse;  // zero-filled, shared by every attempt of this call
  int32_t resultat = kPingInjoignable;
  int64_t tentatives = 0;  // 64 bits: the count can pass any 32-bit repeat count
  do {
    const int32_t status = ping.EnvoyerEcho(strAdresse, kEchoPayload, udtReponse);
    resultat = status == 0 ? kPingJoignable : kPingInjoignable;
    ++tentatives;
  } while (tentatives <= lngNbRelances && resultat == kPingInjoignable);
  ping.ArreterSockets();
  return resultat;
}

}  // namespace quillon
