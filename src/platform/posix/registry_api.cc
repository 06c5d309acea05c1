// A stand-in for the registry where the platform has none. It holds one key,
// HKEY_LOCAL_MACHINE\SOFTWARE\Halvorn\Pondral, whose value "Chemin PD" (REG_SZ) is the
// environment variable QUILLON_INSTALL_PATH (UTF-8) in the ANSI code page; without the
// variable the value is missing. Key and value names compare without regard to ASCII case.
// There is no remote registry: every connection fails with ERROR_BAD_NETPATH.
#include "platform/registry_api.h"

#include <cstdlib>
#include <map>

#include "platform/windows_1252.h"

namespace quillon {
namespace {

constexpr char kInstallKey[] = "software\\halvorn\\pondral";
constexpr char kInstallValue[] = "chemin pd";
constexpr char kInstallVariable[] = "QUILLON_INSTALL_PATH";

std::string AsciiLower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

// The key itself or one of the keys above it, under HKEY_LOCAL_MACHINE.
bool KeyExists(const std::string& lower_path) {
  const std::string key = kInstallKey;
  if (lower_path.empty() || lower_path == key) return true;
  return key.compare(0, lower_path.size() + 1, lower_path + "\\") == 0;
}

class StandInRegistryApi final : public RegistryApi {
 public:
  int32_t ConnectRegistry(const std::string&, RegKeyHandle, RegKeyHandle*) override {
    return kRegBadNetPath;
  }

  int32_t OpenKeyEx(RegKeyHandle key, const std::string& sub_key, uint32_t, uint32_t,
                    RegKeyHandle* result) override {
    std::string base;
    if (key != kHkeyLocalMachine) {
      const auto it = open_.find(key);
      if (it == open_.end()) return key < 0 ? kRegFileNotFound : kRegInvalidHandle;
      base = it->second;
    }
    std::string path = AsciiLower(sub_key);
    if (!base.empty() && !path.empty()) path = base + "\\" + path;
    if (path.empty()) path = base;
    if (!KeyExists(path)) return kRegFileNotFound;
    *result = next_++;
    open_[*result] = path;
    return kRegSuccess;
  }

  int32_t QueryValueEx(RegKeyHandle key, const std::string& value_name, uint32_t* type,
                       uint8_t* data, uint32_t* byte_count) override {
    const auto it = open_.find(key);
    if (it == open_.end()) return kRegInvalidHandle;
    const char* variable = std::getenv(kInstallVariable);
    if (it->second != kInstallKey || AsciiLower(value_name) != kInstallValue || !variable) {
      return kRegFileNotFound;
    }
    std::string bytes = code_page_.ToAnsi(FromUtf8(variable));
    bytes.push_back('\0');
    const auto size = static_cast<uint32_t>(bytes.size());
    *type = kRegSz;
    const uint32_t room = *byte_count;
    *byte_count = size;
    if (data == nullptr) return kRegSuccess;
    if (room < size) return kRegMoreData;
    bytes.copy(reinterpret_cast<char*>(data), size);
    return kRegSuccess;
  }

  int32_t CloseKey(RegKeyHandle key) override {
    return open_.erase(key) != 0 ? kRegSuccess : kRegInvalidHandle;
  }

 private:
  Windows1252CodePage code_page_;
  std::map<RegKeyHandle, std::string> open_;
  RegKeyHandle next_ = 1;
};

}  // namespace

std::unique_ptr<RegistryApi> NewPlatformRegistryApi() {
  return std::make_unique<StandInRegistryApi>();
}

}  // namespace quillon
