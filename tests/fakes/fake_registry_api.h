// An in-memory registry that records every call with its arguments.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "platform/registry_api.h"

namespace quillon::testing {

class FakeRegistryApi final : public RegistryApi {
 public:
  struct Value {
    uint32_t type = kRegSz;
    std::string bytes;
  };

  int32_t ConnectRegistry(const std::string& machine, RegKeyHandle key,
                          RegKeyHandle* result) override;
  int32_t OpenKeyEx(RegKeyHandle key, const std::string& sub_key, uint32_t options, uint32_t sam,
                    RegKeyHandle* result) override;
  int32_t QueryValueEx(RegKeyHandle key, const std::string& value_name, uint32_t* type,
                       uint8_t* data, uint32_t* byte_count) override;
  int32_t CloseKey(RegKeyHandle key) override;

  // Stores a value under root\path of machine ("" is this machine); creates the key.
  void SetValue(const std::string& path, const std::string& name, uint32_t type, std::string bytes,
                RegKeyHandle root = kHkeyLocalMachine, const std::string& machine = "");
  Value& ValueAt(const std::string& path, const std::string& name,
                 RegKeyHandle root = kHkeyLocalMachine, const std::string& machine = "");
  // Lets ConnectRegistry reach machine.
  void AddMachine(const std::string& machine) { machines_.insert(machine); }

  // Every call as "Name(arg, ...)", in order.
  const std::vector<std::string>& calls() const { return calls_; }
  int Count(const std::string& name) const;
  // Handles handed out and not closed yet.
  size_t OpenHandles() const { return handles_.size(); }

  // Run after each size query (data null), e.g. to change the value before the data query.
  std::function<void()> after_size_query;
  // Added to the size a size query reports for string types, as ANSI queries may overstate.
  uint32_t size_query_extra = 0;

 private:
  using KeyId = std::tuple<std::string, RegKeyHandle, std::string>;  // machine, root, path
  struct Handle {
    std::string machine;
    RegKeyHandle root = 0;
    std::string path;  // empty for a connected root
  };
  bool Resolve(RegKeyHandle key, Handle* out) const;
  void Record(std::string call) { calls_.push_back(std::move(call)); }

  std::map<KeyId, std::map<std::string, Value>> keys_;
  std::set<std::string> machines_;
  std::map<RegKeyHandle, Handle> handles_;
  RegKeyHandle next_handle_ = 0x100;
  std::vector<std::string> calls_;
};

}  // namespace quillon::testing
