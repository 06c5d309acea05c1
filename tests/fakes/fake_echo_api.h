// Scripted sockets and ICMP services that record every call with its arguments.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/echo_api.h"

namespace quillon::testing {

class FakeEchoApi final : public EchoApi {
 public:
  int32_t WSAStartup(uint16_t version) override;
  int32_t WSACleanup() override;
  uint32_t InetAddr(const std::string& address) override;
  IcmpHandle IcmpCreateFile() override;
  uint32_t IcmpSendEcho(IcmpHandle handle, uint32_t address, const std::string& payload,
                        uint8_t* reply, uint32_t reply_size, uint32_t timeout_ms) override;
  bool IcmpCloseHandle(IcmpHandle handle) override;

  // The host answers the n-th echo request (1-based) and every one after it; 0: never.
  void AnswerFrom(int n) { answer_from_ = n; }
  void FailStartup(int32_t code) { startup_result_ = code; }
  void FailCreateFile() { create_fails_ = true; }
  // Sends fail without writing the reply buffer (as a refused send does).
  void SendWritesNothing() { send_writes_ = false; }

  const std::vector<std::string>& calls() const { return calls_; }
  int Count(const std::string& name) const;
  // Status the reply buffer held when each request was handed over.
  const std::vector<int32_t>& statuses_seen() const { return statuses_seen_; }
  int open_handles() const { return open_handles_; }

 private:
  void Record(std::string call) { calls_.push_back(std::move(call)); }

  int answer_from_ = 1;
  int32_t startup_result_ = 0;
  bool create_fails_ = false;
  bool send_writes_ = true;
  int sends_ = 0;
  int open_handles_ = 0;
  IcmpHandle next_handle_ = 0x40;
  std::vector<int32_t> statuses_seen_;
  std::vector<std::string> calls_;
};

}  // namespace quillon::testing
