// The control's settings as a block of bytes, for containers that keep controls in streams
// and storages. Layout (version 1) in docs/stream-format.md.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "common/text.h"
#include "control/property_bag.h"

namespace quillon {

// A property bag that keeps its entries in the order they were first written.
class SettingsRecord final : public PropertyBag {
 public:
  bool Read(const Text& name, const BagValue& default_value, BagValue* value) noexcept override;
  bool Write(const Text& name, const BagValue& value) noexcept override;

  const std::vector<std::pair<Text, BagValue>>& entries() const { return entries_; }
  void Swap(SettingsRecord& other) { entries_.swap(other.entries_); }

 private:
  std::vector<std::pair<Text, BagValue>> entries_;
};

inline constexpr size_t kSettingsHeaderSize = 12;
// Limits a reader enforces before it allocates anything.
inline constexpr uint32_t kSettingsMaxPayload = 4u << 20;
inline constexpr uint16_t kSettingsMaxEntries = 256;
inline constexpr uint16_t kSettingsMaxName = 255;

enum class SettingsError : uint8_t {
  kNone,
  kNotSettings,   // the header does not start with the magic "QPDS"
  kNewerVersion,  // written by a later version of the layout
  kCorrupt,       // a length, count or type that the layout does not allow
};

struct SettingsHeader {
  uint16_t version = 0;
  uint16_t entry_count = 0;
  uint32_t payload_size = 0;  // bytes that follow the header
};

// The header and the entries of `record`; false when a value has a kind the layout cannot
// hold or a limit is exceeded.
bool EncodeSettings(const SettingsRecord& record, std::vector<uint8_t>* out);

// Reads the 12-byte header that starts a block.
SettingsError DecodeSettingsHeader(std::span<const uint8_t> header, SettingsHeader* out);

// Reads the entries that follow a header; `record` receives them only when all are sound.
SettingsError DecodeSettingsPayload(const SettingsHeader& header, std::span<const uint8_t> payload,
                                    SettingsRecord* record);

}  // namespace quillon
