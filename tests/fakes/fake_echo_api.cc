#include "fakes/fake_echo_api.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "common/coding.h"

namespace quillon::testing {

int32_t FakeEchoApi::WSAStartup(uint16_t version) {
  Record("WSAStartup(" + std::to_string(version) + ")");
  return startup_result_;
}

int32_t FakeEchoApi::WSACleanup() {
  Record("WSACleanup()");
  return 0;
}

// Four decimal numbers of at most 255 separated by dots, in network byte order.
uint32_t FakeEchoApi::InetAddr(const std::string& address) {
  Record("InetAddr(" + address + ")");
  unsigned p[4];
  char extra;
  if (std::sscanf(address.c_str(), "%3u.%3u.%3u.%3u%c", &p[0], &p[1], &p[2], &p[3], &extra) != 4 ||
      std::max({p[0], p[1], p[2], p[3]}) > 255) {
    return kInaddrNone;
  }
  return p[0] | p[1] << 8 | p[2] << 16 | p[3] << 24;
}

IcmpHandle FakeEchoApi::IcmpCreateFile() {
  Record("IcmpCreateFile()");
  if (create_fails_) return 0;
  ++open_handles_;
  return next_handle_++;
}

uint32_t FakeEchoApi::IcmpSendEcho(IcmpHandle handle, uint32_t address, const std::string& payload,
                                   uint8_t* reply, uint32_t reply_size, uint32_t timeout_ms) {
  Record("IcmpSendEcho(" + std::to_string(handle) + ", " + std::to_string(address) + ", " +
         payload + ", " + std::to_string(reply_size) + ", " + std::to_string(timeout_ms) + ")");
  statuses_seen_.push_back(static_cast<int32_t>(DecodeFixed32(reply + kEchoReplyStatusOffset)));
  ++sends_;
  if (!send_writes_) return 0;
  const bool answered = answer_from_ > 0 && sends_ >= answer_from_;
  EncodeFixed32(reply, address);
  EncodeFixed32(reply + kEchoReplyStatusOffset, answered ? 0u : static_cast<uint32_t>(kIpReqTimedOut));
  if (answered) {
    const size_t n = std::min<size_t>(payload.size(), reply_size - kEchoReplyHeaderSize);
    std::memcpy(reply + kEchoReplyHeaderSize, payload.data(), n);
  }
  return answered ? 1 : 0;
}

bool FakeEchoApi::IcmpCloseHandle(IcmpHandle handle) {
  Record("IcmpCloseHandle(" + std::to_string(handle) + ")");
  --open_handles_;
  return true;
}

int FakeEchoApi::Count(const std::string& name) const {
  return static_cast<int>(std::count_if(calls_.begin(), calls_.end(), [&](const auto& c) {
    return c.compare(0, name.size() + 1, name + "(") == 0;
  }));
}

}  // namespace quillon::testing
