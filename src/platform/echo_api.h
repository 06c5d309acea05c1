// Echo seam: the sockets service and ICMP echo calls of the platform.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace quillon {

// An ICMP handle; 0 is none.
using IcmpHandle = std::intptr_t;

inline constexpr uint32_t kInaddrNone = 0xFFFFFFFFu;
// The platform's IP status for a request that got no reply in time.
inline constexpr int32_t kIpReqTimedOut = 11010;
// The platform's IP status for a request that failed for another reason.
inline constexpr int32_t kIpGeneralFailure = 11050;
// Size of the platform's ICMP_ECHO_REPLY in its 32-bit layout, and where Status sits in it
// (also in the 64-bit layout, where the header is 40 bytes and the echoed data follows later).
inline constexpr size_t kEchoReplyHeaderSize = 28;
inline constexpr size_t kEchoReplyStatusOffset = 4;

// Strings are bytes of the system ANSI code page. A call whose platform function cannot be
// bound fails as stated for it and writes nothing. Failures carry the platform's own codes
// (the reply's Status, WSAStartup's result), as the services pass them on.
// Not synchronised: one thread at a time per object; handles belong to the object that
// opened them.
class EchoApi {
 public:
  EchoApi() = default;
  EchoApi(const EchoApi&) = delete;
  EchoApi& operator=(const EchoApi&) = delete;
  virtual ~EchoApi() = default;

  // WSAStartup with the requested version word; 0 when the service started.
  virtual int32_t WSAStartup(uint16_t version) = 0;
  // WSACleanup; 0 on success.
  virtual int32_t WSACleanup() = 0;
  // inet_addr: the address in network byte order, kInaddrNone when it does not parse.
  virtual uint32_t InetAddr(const std::string& address) = 0;
  // IcmpCreateFile; 0 when no handle could be opened.
  virtual IcmpHandle IcmpCreateFile() = 0;
  // IcmpSendEcho without request options: sends `payload` to `address` (network order) and
  // waits up to `timeout_ms`; the reply buffer receives an ICMP_ECHO_REPLY (in the layout of
  // the process's bitness) and the echoed data. Returns the number of replies.
  virtual uint32_t IcmpSendEcho(IcmpHandle handle, uint32_t address, const std::string& payload,
                                uint8_t* reply, uint32_t reply_size, uint32_t timeout_ms) = 0;
  // IcmpCloseHandle; true when closed.
  virtual bool IcmpCloseHandle(IcmpHandle handle) = 0;
};

// The platform's sockets and ICMP services (POSIX: an unprivileged ICMP datagram socket).
std::unique_ptr<EchoApi> NewPlatformEchoApi();

}  // namespace quillon
