// Echo requests through an unprivileged ICMP datagram socket (Linux "ping" sockets, allowed
// for the groups in net.ipv4.ping_group_range), or, where the kernel refuses one, through a raw
// ICMP socket where the process may open one (root, CAP_NET_RAW), as ping does. Where neither
// can be opened, every request fails at once as an unanswered one (IP_REQ_TIMED_OUT). There
// is no sockets service to start here.
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

#include "common/coding.h"

namespace quillon {
namespace {

constexpr int32_t kIpDestHostUnreachable = 11003;
constexpr size_t kIcmpHeaderSize = 8;

// An open ICMP socket; a raw one sees whole IP packets and every ICMP message of the host.
struct IcmpSocket {
  int fd = -1;
  bool raw = false;
};

// A datagram socket where the kernel grants one, else a raw socket; fd -1 when neither.
IcmpSocket OpenIcmpSocket() {
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
  if (fd >= 0) return {fd, false};
  return {::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP), true};
}

// The Internet checksum of an ICMP message (its checksum field zero).
uint16_t Checksum(const std::string& message) {
  uint32_t sum = 0;
  for (size_t i = 0; i < message.size(); i += 2) {
    const uint8_t high = static_cast<uint8_t>(message[i]);
    const uint8_t low = i + 1 < message.size() ? static_cast<uint8_t>(message[i + 1]) : 0;
    sum += static_cast<uint32_t>(high << 8 | low);
  }
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint16_t>(~sum);
}

// An echo request; a datagram socket's kernel replaces the identifier and the checksum.
std::string EchoRequest(uint16_t identifier, uint16_t sequence, const std::string& payload) {
  std::string packet(kIcmpHeaderSize, '\0');
  packet[0] = static_cast<char>(ICMP_ECHO);
  packet[4] = static_cast<char>(identifier >> 8);
  packet[5] = static_cast<char>(identifier & 0xFF);
  packet[6] = static_cast<char>(sequence >> 8);
  packet[7] = static_cast<char>(sequence & 0xFF);
  packet += payload;
  const uint16_t sum = Checksum(packet);
  packet[2] = static_cast<char>(sum >> 8);
  packet[3] = static_cast<char>(sum & 0xFF);
  return packet;
}

bool SameEcho(const uint8_t* icmp, uint16_t identifier, uint16_t sequence, bool check_id) {
  return (!check_id || (icmp[4] == (identifier >> 8) && icmp[5] == (identifier & 0xFF))) &&
         icmp[6] == (sequence >> 8) && icmp[7] == (sequence & 0xFF);
}

enum class Answer { kNone, kReply, kUnreachable };

// What a received packet says about our request. A datagram socket receives only the replies
// to its own requests, without the IP header; a raw one receives every ICMP message with its
// IP header, our own request on loopback included.
Answer Classify(const IcmpSocket& s, uint32_t address, uint16_t identifier, uint16_t sequence,
                const uint8_t* in, size_t n, size_t* icmp_at) {
  size_t at = 0;
  if (s.raw) {
    if (n < 20 || (in[0] >> 4) != 4) return Answer::kNone;
    at = static_cast<size_t>(in[0] & 0x0F) * 4;
    uint32_t source;
    std::memcpy(&source, in + 12, 4);
    if (n < at + kIcmpHeaderSize) return Answer::kNone;
    if (in[at] == ICMP_DEST_UNREACH && n >= at + kIcmpHeaderSize + 20) {
      const size_t inner = at + kIcmpHeaderSize + static_cast<size_t>(in[at + 8] & 0x0F) * 4;
      const bool ours = n >= inner + kIcmpHeaderSize && in[inner] == ICMP_ECHO &&
                        SameEcho(in + inner, identifier, sequence, true);
      return ours ? Answer::kUnreachable : Answer::kNone;
    }
    if (source != address) return Answer::kNone;
  }
  if (n < at + kIcmpHeaderSize || in[at] != ICMP_ECHOREPLY) return Answer::kNone;
  if (!SameEcho(in + at, identifier, sequence, s.raw)) return Answer::kNone;
  *icmp_at = at;
  return Answer::kReply;
}

// Fills the 28-byte ICMP_ECHO_REPLY: Address, Status, RoundTripTime, DataSize; the data
// pointer and options stay zero. Echoed data follows the structure when it fits.
void WriteReply(uint8_t* reply, uint32_t reply_size, uint32_t address, int32_t status,
                uint32_t round_trip_ms, const uint8_t* data, size_t n) {
  if (reply_size < kEchoReplyHeaderSize) return;
  std::memset(reply, 0, kEchoReplyHeaderSize);
  EncodeFixed32(reply, address);
  EncodeFixed32(reply + kEchoReplyStatusOffset, static_cast<uint32_t>(status));
  EncodeFixed32(reply + 8, round_trip_ms);
  n = std::min<size_t>(n, reply_size - kEchoReplyHeaderSize);
  EncodeFixed16(reply + 12, static_cast<uint16_t>(n));
  if (n > 0) std::memcpy(reply + kEchoReplyHeaderSize, data, n);
}

class PingSocketEchoApi final : public EchoApi {
 public:
  ~PingSocketEchoApi() override {
    for (const auto& [handle, socket] : sockets_) {
      if (socket.fd >= 0) ::close(socket.fd);
    }
  }

  int32_t WSAStartup(uint16_t) override { return 0; }
  int32_t WSACleanup() override { return 0; }

  uint32_t InetAddr(const std::string& address) override {
    return static_cast<uint32_t>(::inet_addr(address.c_str()));
  }

  IcmpHandle IcmpCreateFile() override {
    const IcmpHandle handle = next_++;
    sockets_[handle] = OpenIcmpSocket();
    return handle;
  }

  uint32_t IcmpSendEcho(IcmpHandle handle, uint32_t address, const std::string& payload,
                        uint8_t* reply, uint32_t reply_size, uint32_t timeout_ms) override;

  bool IcmpCloseHandle(IcmpHandle handle) override {
    const auto it = sockets_.find(handle);
    if (it == sockets_.end()) return false;
    if (it->second.fd >= 0) ::close(it->second.fd);
    sockets_.erase(it);
    return true;
  }

 private:
  int32_t Exchange(const IcmpSocket& s, uint32_t address, const std::string& payload,
                   uint32_t timeout_ms, std::string* echoed, uint32_t* round_trip_ms);
  int32_t AwaitReply(const IcmpSocket& s, uint32_t address, uint16_t sequence,
                     std::chrono::steady_clock::time_point start, uint32_t timeout_ms,
                     std::string* echoed, uint32_t* round_trip_ms);

  std::map<IcmpHandle, IcmpSocket> sockets_;
  IcmpHandle next_ = 1;
  // Raw sockets tell our replies from other processes' by the identifier.
  const uint16_t identifier_ = static_cast<uint16_t>(::getpid());
  uint16_t sequence_ = 0;
};

uint32_t PingSocketEchoApi::IcmpSendEcho(IcmpHandle handle, uint32_t address,
                                         const std::string& payload, uint8_t* reply,
                                         uint32_t reply_size, uint32_t timeout_ms) {
  const auto it = sockets_.find(handle);
  if (it == sockets_.end()) return 0;
  std::string echoed;
  uint32_t round_trip_ms = 0;
  const int32_t status = it->second.fd < 0 ? kIpReqTimedOut
                                           : Exchange(it->second, address, payload, timeout_ms,
                                                      &echoed, &round_trip_ms);
  WriteReply(reply, reply_size, address, status, round_trip_ms,
             reinterpret_cast<const uint8_t*>(echoed.data()), echoed.size());
  return status == 0 ? 1 : 0;
}

// One request and its reply; returns the IP status.
int32_t PingSocketEchoApi::Exchange(const IcmpSocket& s, uint32_t address,
                                    const std::string& payload, uint32_t timeout_ms,
                                    std::string* echoed, uint32_t* round_trip_ms) {
  const uint16_t sequence = ++sequence_;
  const std::string packet = EchoRequest(identifier_, sequence, payload);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = address;
  const auto start = std::chrono::steady_clock::now();
  if (::sendto(s.fd, packet.data(), packet.size(), 0, reinterpret_cast<const sockaddr*>(&to),
               sizeof to) < 0) {
    return errno == EHOSTUNREACH || errno == ENETUNREACH ? kIpDestHostUnreachable
                                                         : kIpGeneralFailure;
  }
  return AwaitReply(s, address, sequence, start, timeout_ms, echoed, round_trip_ms);
}

// Waits for the answer to request `sequence`, sent at `start`; returns the IP status.
int32_t PingSocketEchoApi::AwaitReply(const IcmpSocket& s, uint32_t address, uint16_t sequence,
                                      std::chrono::steady_clock::time_point start,
                                      uint32_t timeout_ms, std::string* echoed,
                                      uint32_t* round_trip_ms) {
  using Steady = std::chrono::steady_clock;
  const auto deadline = start + std::chrono::milliseconds(timeout_ms);
  uint8_t in[1500];
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Steady::now()).count();
    if (left <= 0) return kIpReqTimedOut;
    pollfd p{s.fd, POLLIN, 0};
    const int ready = ::poll(&p, 1, static_cast<int>(left));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return kIpReqTimedOut;
    const ssize_t n = ::recv(s.fd, in, sizeof in, 0);
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      return kIpDestHostUnreachable;
    }
    size_t at = 0;
    const Answer answer =
        Classify(s, address, identifier_, sequence, in, static_cast<size_t>(n), &at);
    if (answer == Answer::kUnreachable) return kIpDestHostUnreachable;
    if (answer == Answer::kNone) continue;
    echoed->assign(reinterpret_cast<const char*>(in) + at + kIcmpHeaderSize,
                   static_cast<size_t>(n) - at - kIcmpHeaderSize);
    *round_trip_ms = static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now() - start).count());
    return 0;
  }
}

}  // namespace

std::unique_ptr<EchoApi> NewPlatformEchoApi() { return std::make_unique<PingSocketEchoApi>(); }

}  // namespace quillon
