#include "services/ping_pd.h"

#include "common/coding.h"

namespace quillon {

int32_t ReponseEcho::Status() const {
  return static_cast<int32_t>(DecodeFixed32(bytes.data() + kEchoReplyStatusOffset));
}

int32_t PingPD::EnvoyerEcho(const Text& strAdresse, const Text& strDonnees,
                            ReponseEcho& udtReponse) {
  const uint32_t address = echo_.InetAddr(code_page_.ToAnsi(strAdresse));
  if (address == kInaddrNone) return -1;
  const IcmpHandle handle = echo_.IcmpCreateFile();
  if (handle == 0) return 0;
  // The record's Status tells what happened, except after a send that failed without
  // writing it (access refused, for instance): a Status of 0 left from the zero-filled
  // record would then pass for a reply.
  const uint32_t replies =
      echo_.IcmpSendEcho(handle, address, code_page_.ToAnsi(strDonnees), udtReponse.bytes.data(),
                         ReponseEcho::kSize, kEchoTimeoutMs);
  int32_t status = udtReponse.Status();
  if (replies == 0 && status == 0) status = kIpGeneralFailure;
  echo_.IcmpCloseHandle(handle);
  return status;
}

bool PingPD::DemarrerSockets() { return echo_.WSAStartup(kSocketsVersion) == 0; }

void PingPD::ArreterSockets() { echo_.WSACleanup(); }

}  // namespace quillon
