#include "fakes/fake_registry_api.h"

#include <algorithm>
#include <cstring>

namespace quillon::testing {
namespace {

bool IsPredefinedRoot(RegKeyHandle key) { return key < 0; }

}  // namespace

int32_t FakeRegistryApi::ConnectRegistry(const std::string& machine, RegKeyHandle key,
                                         RegKeyHandle* result) {
  Record("ConnectRegistry(" + machine + ", " + std::to_string(key) + ")");
  if (machines_.count(machine) == 0) return kRegBadNetPath;
  *result = next_handle_++;
  handles_[*result] = Handle{machine, key, ""};
  return kRegSuccess;
}

int32_t FakeRegistryApi::OpenKeyEx(RegKeyHandle key, const std::string& sub_key, uint32_t options,
                                   uint32_t sam, RegKeyHandle* result) {
  Record("OpenKeyEx(" + std::to_string(key) + ", " + sub_key + ", " + std::to_string(options) +
         ", " + std::to_string(sam) + ")");
  Handle base;
  if (!Resolve(key, &base)) return kRegInvalidHandle;
  const std::string path = base.path.empty() ? sub_key : base.path + "\\" + sub_key;
  if (keys_.count({base.machine, base.root, path}) == 0) return kRegFileNotFound;
  *result = next_handle_++;
  handles_[*result] = Handle{base.machine, base.root, path};
  return kRegSuccess;
}

int32_t FakeRegistryApi::QueryValueEx(RegKeyHandle key, const std::string& value_name,
                                      uint32_t* type, uint8_t* data, uint32_t* byte_count) {
  Record("QueryValueEx(" + std::to_string(key) + ", " + value_name + ", " +
         (data ? "data" : "null") + ", " + std::to_string(*byte_count) + ")");
  Handle h;
  if (!Resolve(key, &h) || h.path.empty()) return kRegInvalidHandle;
  const auto& values = keys_[{h.machine, h.root, h.path}];
  const auto it = values.find(value_name);
  if (it == values.end()) return kRegFileNotFound;
  const Value& v = it->second;
  const auto size = static_cast<uint32_t>(v.bytes.size());
  *type = v.type;
  if (data == nullptr) {
    const bool text = v.type == kRegSz || v.type == kRegExpandSz || v.type == kRegMultiSz;
    *byte_count = size + (text ? size_query_extra : 0);
    if (after_size_query) after_size_query();
    return kRegSuccess;
  }
  const uint32_t room = *byte_count;
  *byte_count = size;
  if (room < size) return kRegMoreData;
  std::memcpy(data, v.bytes.data(), size);
  return kRegSuccess;
}

int32_t FakeRegistryApi::CloseKey(RegKeyHandle key) {
  Record("CloseKey(" + std::to_string(key) + ")");
  return handles_.erase(key) != 0 ? kRegSuccess : kRegInvalidHandle;
}

void FakeRegistryApi::SetValue(const std::string& path, const std::string& name, uint32_t type,
                               std::string bytes, RegKeyHandle root, const std::string& machine) {
  ValueAt(path, name, root, machine) = Value{type, std::move(bytes)};
}

FakeRegistryApi::Value& FakeRegistryApi::ValueAt(const std::string& path, const std::string& name,
                                                 RegKeyHandle root, const std::string& machine) {
  return keys_[{machine, root, path}][name];
}

int FakeRegistryApi::Count(const std::string& name) const {
  return static_cast<int>(std::count_if(calls_.begin(), calls_.end(), [&](const auto& c) {
    return c.compare(0, name.size() + 1, name + "(") == 0;
  }));
}

bool FakeRegistryApi::Resolve(RegKeyHandle key, Handle* out) const {
  if (IsPredefinedRoot(key)) {
    *out = Handle{"", key, ""};
    return true;
  }
  const auto it = handles_.find(key);
  if (it == handles_.end()) return false;
  *out = it->second;
  return true;
}

}  // namespace quillon::testing
