// The registry through advapi32.dll, bound by name on first call. Keys are opened in the
// registry's 32-bit view whatever the bitness of this build: the 32-bit and the 64-bit library
// on one machine then read the same installation path and share one cache file.
#include "platform/registry_api.h"

#include <windows.h>

#include "platform/win32/late_bound.h"

namespace quillon {
namespace {

using ConnectFn = LONG(WINAPI*)(LPCSTR, HKEY, PHKEY);
using OpenFn = LONG(WINAPI*)(HKEY, LPCSTR, DWORD, REGSAM, PHKEY);
using QueryFn = LONG(WINAPI*)(HKEY, LPCSTR, LPDWORD, LPDWORD, LPBYTE, LPDWORD);
using CloseFn = LONG(WINAPI*)(HKEY);

constexpr char kAdvapi32[] = "advapi32.dll";

HKEY ToHkey(RegKeyHandle key) { return reinterpret_cast<HKEY>(key); }
RegKeyHandle FromHkey(HKEY key) { return reinterpret_cast<RegKeyHandle>(key); }

class Advapi32RegistryApi final : public RegistryApi {
 public:
  int32_t ConnectRegistry(const std::string& machine, RegKeyHandle key,
                          RegKeyHandle* result) override {
    int32_t error = 0;
    const ConnectFn fn = connect_.Get(&error);
    if (fn == nullptr) return error;
    HKEY out = nullptr;
    const LONG rc = fn(machine.c_str(), ToHkey(key), &out);
    if (rc == ERROR_SUCCESS) *result = FromHkey(out);
    return rc;
  }

  int32_t OpenKeyEx(RegKeyHandle key, const std::string& sub_key, uint32_t options, uint32_t sam,
                    RegKeyHandle* result) override {
    int32_t error = 0;
    const OpenFn fn = open_.Get(&error);
    if (fn == nullptr) return error;
    HKEY out = nullptr;
    const LONG rc = fn(ToHkey(key), sub_key.c_str(), options, sam | KEY_WOW64_32KEY, &out);
    if (rc == ERROR_SUCCESS) *result = FromHkey(out);
    return rc;
  }

  int32_t QueryValueEx(RegKeyHandle key, const std::string& value_name, uint32_t* type,
                       uint8_t* data, uint32_t* byte_count) override {
    int32_t error = 0;
    const QueryFn fn = query_.Get(&error);
    if (fn == nullptr) return error;
    DWORD t = *type;
    DWORD n = *byte_count;
    const LONG rc = fn(ToHkey(key), value_name.c_str(), nullptr, &t, data, &n);
    *type = t;
    *byte_count = n;
    return rc;
  }

  int32_t CloseKey(RegKeyHandle key) override {
    int32_t error = 0;
    const CloseFn fn = close_.Get(&error);
    if (fn == nullptr) return error;
    return fn(ToHkey(key));
  }

 private:
  LateBound<ConnectFn> connect_{kAdvapi32, "RegConnectRegistryA"};
  LateBound<OpenFn> open_{kAdvapi32, "RegOpenKeyExA"};
  LateBound<QueryFn> query_{kAdvapi32, "RegQueryValueExA"};
  LateBound<CloseFn> close_{kAdvapi32, "RegCloseKey"};
};

}  // namespace

std::unique_ptr<RegistryApi> NewPlatformRegistryApi() {
  return std::make_unique<Advapi32RegistryApi>();
}

}  // namespace quillon
