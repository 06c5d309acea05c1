// Sockets through WSOCK32.DLL and echo requests through icmp.dll, bound by name on first
// call: without icmp.dll only the echo steps fail.
#include "platform/echo_api.h"

#include <windows.h>

#include "platform/win32/late_bound.h"

namespace quillon {
namespace {

// The start-up record of the sockets service is 400 bytes in 32-bit processes and 408 in
// 64-bit ones (a pointer moves ahead of the texts); it is never read, only given room.
struct alignas(8) WsaData {
  unsigned char bytes[408];
};

using StartupFn = int(WINAPI*)(WORD, WsaData*);
using CleanupFn = int(WINAPI*)();
using InetAddrFn = unsigned long(WINAPI*)(const char*);
using CreateFn = HANDLE(WINAPI*)();
using SendFn = DWORD(WINAPI*)(HANDLE, ULONG, LPVOID, WORD, LPVOID, LPVOID, DWORD, DWORD);
using CloseFn = BOOL(WINAPI*)(HANDLE);

constexpr char kWsock32[] = "WSOCK32.DLL";
constexpr char kIcmp[] = "icmp.dll";

class IcmpEchoApi final : public EchoApi {
 public:
  int32_t WSAStartup(uint16_t version) override {
    int32_t error = 0;
    const StartupFn fn = startup_.Get(&error);
    if (fn == nullptr) return error;
    WsaData data{};
    return fn(version, &data);
  }

  int32_t WSACleanup() override {
    int32_t error = 0;
    const CleanupFn fn = cleanup_.Get(&error);
    return fn == nullptr ? error : fn();
  }

  uint32_t InetAddr(const std::string& address) override {
    const InetAddrFn fn = inet_addr_.Get();
    return fn == nullptr ? kInaddrNone : static_cast<uint32_t>(fn(address.c_str()));
  }

  IcmpHandle IcmpCreateFile() override {
    const CreateFn fn = create_.Get();
    if (fn == nullptr) return 0;
    const HANDLE h = fn();
    return h == INVALID_HANDLE_VALUE ? 0 : reinterpret_cast<IcmpHandle>(h);
  }

  uint32_t IcmpSendEcho(IcmpHandle handle, uint32_t address, const std::string& payload,
                        uint8_t* reply, uint32_t reply_size, uint32_t timeout_ms) override {
    const SendFn fn = send_.Get();
    if (fn == nullptr) return 0;
    std::string request = payload;  // the call takes a writable buffer
    return fn(reinterpret_cast<HANDLE>(handle), address, request.data(),
              static_cast<WORD>(request.size()), nullptr, reply, reply_size, timeout_ms);
  }

  bool IcmpCloseHandle(IcmpHandle handle) override {
    const CloseFn fn = close_.Get();
    return fn != nullptr && fn(reinterpret_cast<HANDLE>(handle)) != FALSE;
  }

 private:
  LateBound<StartupFn> startup_{kWsock32, "WSAStartup"};
  LateBound<CleanupFn> cleanup_{kWsock32, "WSACleanup"};
  LateBound<InetAddrFn> inet_addr_{kWsock32, "inet_addr"};
  LateBound<CreateFn> create_{kIcmp, "IcmpCreateFile"};
  LateBound<SendFn> send_{kIcmp, "IcmpSendEcho"};
  LateBound<CloseFn> close_{kIcmp, "IcmpCloseHandle"};
};

}  // namespace

std::unique_ptr<EchoApi> NewPlatformEchoApi() { return std::make_unique<IcmpEchoApi>(); }

}  // namespace quillon
