// Echo requests through an unprivileged ICMP datagram socket (Linux "ping" sockets, allowed
// for the groups in net.ipv4.ping_group_range). Where the kernel refuses such a socket, every
// request fails at once as an unanswered one (IP_REQ_TIMED_OUT). There is no sockets service
// to start here.
#include "platform/echo_api.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <map>

namespace quillon {
namespace {

constexpr int32_t kIpDestHostUnreachable = 11003;
constexpr size_t kIcmpHeaderSize = 8;

void PutLe32(uint8_t* at, uint32_t v) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(v >> (8 * i));
}

void PutLe16(uint8_t* at, uint16_t v) {
  at[0] = static_cast<uint8_t>(v);
  at[1] = static_cast<uint8_t>(v >> 8);
}

// Fills the 28-byte ICMP_ECHO_REPLY: Address, Status, RoundTripTime, DataSize; the data
// pointer and options stay zero. Echoed data follows the structure when it fits.
void WriteReply(uint8_t* reply, uint32_t reply_size, uint32_t address, int32_t status,
                uint32_t round_trip_ms, const uint8_t* data, size_t n) {
  if (reply_size < kEchoReplyHeaderSize) return;
  std::memset(reply, 0, kEchoReplyHeaderSize);
  PutLe32(reply, address);
  PutLe32(reply + kEchoReplyStatusOffset, static_cast<uint32_t>(status));
  PutLe32(reply + 8, round_trip_ms);
  n = std::min<size_t>(n, reply_size - kEchoReplyHeaderSize);
  PutLe16(reply + 12, static_cast<uint16_t>(n));
  if (n > 0) std::memcpy(reply + kEchoReplyHeaderSize, data, n);
}

class PingSocketEchoApi final : public EchoApi {
 public:
  ~PingSocketEchoApi() override {
    for (const auto& [handle, fd] : sockets_) {
      if (fd >= 0) ::close(fd);
    }
  }

  int32_t WSAStartup(uint16_t) override { return 0; }
  int32_t WSACleanup() override { return 0; }

  uint32_t InetAddr(const std::string& address) override {
    return static_cast<uint32_t>(::inet_addr(address.c_str()));
  }

  IcmpHandle IcmpCreateFile() override {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
    const IcmpHandle handle = next_++;
    sockets_[handle] = fd;
    return handle;
  }

  uint32_t IcmpSendEcho(IcmpHandle handle, uint32_t address, const std::string& payload,
                        uint8_t* reply, uint32_t reply_size, uint32_t timeout_ms) override;

  bool IcmpCloseHandle(IcmpHandle handle) override {
    const auto it = sockets_.find(handle);
    if (it == sockets_.end()) return false;
    if (it->second >= 0) ::close(it->second);
    sockets_.erase(it);
    return true;
  }

 private:
  int32_t Exchange(int fd, uint32_t address, const std::string& payload, uint32_t timeout_ms,
                   std::string* echoed, uint32_t* round_trip_ms);

  std::map<IcmpHandle, int> sockets_;
  IcmpHandle next_ = 1;
  uint16_t sequence_ = 0;
};

uint32_t PingSocketEchoApi::IcmpSendEcho(IcmpHandle handle, uint32_t address,
                                         const std::string& payload, uint8_t* reply,
                                         uint32_t reply_size, uint32_t timeout_ms) {
  const auto it = sockets_.find(handle);
  if (it == sockets_.end()) return 0;
  std::string echoed;
  uint32_t round_trip_ms = 0;
  const int32_t status =
      it->second < 0 ? kIpReqTimedOut
                     : Exchange(it->second, address, payload, timeout_ms, &echoed, &round_trip_ms);
  WriteReply(reply, reply_size, address, status, round_trip_ms,
             reinterpret_cast<const uint8_t*>(echoed.data()), echoed.size());
  return status == 0 ? 1 : 0;
}

// One request and its reply; returns the IP status.
int32_t PingSocketEchoApi::Exchange(int fd, uint32_t address, const std::string& payload,
                                    uint32_t timeout_ms, std::string* echoed,
                                    uint32_t* round_trip_ms) {
  using Steady = std::chrono::steady_clock;
  const uint16_t sequence = ++sequence_;
  std::string packet(kIcmpHeaderSize, '\0');
  packet[0] = static_cast<char>(ICMP_ECHO);  // code, checksum and identifier: the kernel's
  packet[6] = static_cast<char>(sequence >> 8);
  packet[7] = static_cast<char>(sequence & 0xFF);
  packet += payload;
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = address;
  const auto start = Steady::now();
  if (::sendto(fd, packet.data(), packet.size(), 0, reinterpret_cast<const sockaddr*>(&to),
               sizeof to) < 0) {
    return errno == EHOSTUNREACH || errno == ENETUNREACH ? kIpDestHostUnreachable
                                                         : kIpGeneralFailure;
  }
  const auto deadline = start + std::chrono::milliseconds(timeout_ms);
  uint8_t in[1500];
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Steady::now()).count();
    if (left <= 0) return kIpReqTimedOut;
    pollfd p{fd, POLLIN, 0};
    const int ready = ::poll(&p, 1, static_cast<int>(left));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return kIpReqTimedOut;
    const ssize_t n = ::recv(fd, in, sizeof in, 0);
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      return kIpDestHostUnreachable;
    }
    const bool ours = n >= static_cast<ssize_t>(kIcmpHeaderSize) && in[0] == ICMP_ECHOREPLY &&
                      in[6] == (sequence >> 8) && in[7] == (sequence & 0xFF);
    if (!ours) continue;
    echoed->assign(reinterpret_cast<const char*>(in) + kIcmpHeaderSize, n - kIcmpHeaderSize);
    *round_trip_ms = static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now() - start).count());
    return 0;
  }
}

}  // namespace

std::unique_ptr<EchoApi> NewPlatformEchoApi() { return std::make_unique<PingSocketEchoApi>(); }

}  // namespace quillon
