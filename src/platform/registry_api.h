// Registry seam: the four ANSI registry calls of the platform, with their LONG result codes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace quillon {

// A registry key handle as the platform passes it (predefined roots are sign-extended
// 32-bit numbers such as 0x80000002); 0 is no handle.
using RegKeyHandle = std::intptr_t;

// Platform codes the registry routines meet.
inline constexpr int32_t kRegSuccess = 0;
inline constexpr int32_t kRegFileNotFound = 2;
inline constexpr int32_t kRegInvalidHandle = 6;
inline constexpr int32_t kRegBadNetPath = 53;
inline constexpr int32_t kRegModNotFound = 126;
inline constexpr int32_t kRegProcNotFound = 127;
inline constexpr int32_t kRegMoreData = 234;

// Value types.
inline constexpr uint32_t kRegNone = 0;
inline constexpr uint32_t kRegSz = 1;
inline constexpr uint32_t kRegExpandSz = 2;
inline constexpr uint32_t kRegBinary = 3;
inline constexpr uint32_t kRegDword = 4;
inline constexpr uint32_t kRegDwordBigEndian = 5;
inline constexpr uint32_t kRegLink = 6;
inline constexpr uint32_t kRegMultiSz = 7;

inline constexpr RegKeyHandle kHkeyLocalMachine = static_cast<int32_t>(0x80000002u);
inline constexpr uint32_t kKeyRead = 0x20019;

// Strings are bytes of the system ANSI code page. A call whose platform function cannot be
// bound returns the loader's error code (126 or 127) and leaves its outputs alone; every
// result is one of the platform's codes above (or another of its LONG codes), never a bare
// failure. Not synchronised: one thread at a time per object; keys belong to the object that
// opened them.
class RegistryApi {
 public:
  RegistryApi() = default;
  RegistryApi(const RegistryApi&) = delete;
  RegistryApi& operator=(const RegistryApi&) = delete;
  virtual ~RegistryApi() = default;

  // RegConnectRegistryA: the root `key` of `machine`'s registry into *result.
  virtual int32_t ConnectRegistry(const std::string& machine, RegKeyHandle key,
                                  RegKeyHandle* result) = 0;
  // RegOpenKeyExA: opens `sub_key` under `key` with `options` and access mask `sam` (on
  // Windows in the 32-bit view of the registry, as a 32-bit program sees it).
  virtual int32_t OpenKeyEx(RegKeyHandle key, const std::string& sub_key, uint32_t options,
                            uint32_t sam, RegKeyHandle* result) = 0;
  // RegQueryValueExA (reserved null): type into *type; with data null only the size into
  // *byte_count, otherwise at most *byte_count bytes into data and the count written back.
  virtual int32_t QueryValueEx(RegKeyHandle key, const std::string& value_name, uint32_t* type,
                               uint8_t* data, uint32_t* byte_count) = 0;
  // RegCloseKey.
  virtual int32_t CloseKey(RegKeyHandle key) = 0;
};

// The platform's registry (POSIX: a stand-in, see the README).
std::unique_ptr<RegistryApi> NewPlatformRegistryApi();

}  // namespace quillon
