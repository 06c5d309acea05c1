// Module PingPD: one ICMP echo request, the sockets service around it, and the reply record.
#pragma once

#include <array>
#include <cstdint>

#include "common/text.h"
#include "platform/code_page.h"
#include "platform/echo_api.h"

namespace quillon {

// What the platform writes back for one echo: its ICMP_ECHO_REPLY (32-bit layout, 28 bytes)
// followed by room for 250 bytes of echoed data.
struct ReponseEcho {
  static constexpr size_t kSize = 278;
  std::array<uint8_t, kSize> bytes{};

  // The reply's Status: 0 when a reply arrived, else the platform's IP status code.
  int32_t Status() const;
};

inline constexpr uint16_t kSocketsVersion = 0x0101;
inline constexpr uint32_t kEchoTimeoutMs = 3000;
inline constexpr char16_t kEchoPayload[] = u"Test de ping";

class PingPD {
 public:
  PingPD(EchoApi& echo, CodePage& code_page) : echo_(echo), code_page_(code_page) {}
  PingPD(const PingPD&) = delete;
  PingPD& operator=(const PingPD&) = delete;

  // Sends one echo of strDonnees to the dotted IPv4 address strAdresse and waits for it.
  // Returns the reply's Status, 0 when no ICMP handle could be opened, -1 when the address
  // does not parse (nothing sent in those two cases).
  int32_t EnvoyerEcho(const Text& strAdresse, const Text& strDonnees, ReponseEcho& udtReponse);
  // Starts the sockets service, version 1.1; true when it started.
  bool DemarrerSockets();
  // Stops the sockets service.
  void ArreterSockets();

 private:
  EchoApi& echo_;
  CodePage& code_page_;
};

}  // namespace quillon
