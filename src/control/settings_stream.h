// The control's settings as a block of bytes, for containers that keep controls in streams
// and storages. Layouts (versions 1 and 2) in docs/stream-format.md.
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

// A header of version 1, and the start of every header.
inline constexpr size_t kSettingsHeaderSize = 12;
// A header of version 2: its payload size takes 8 bytes.
inline constexpr size_t kSettingsLongHeaderSize = 16;
// The most that a block of version 1 carries after its header; settings beyond it are
// written as version 2, which has no limit of its own.
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
  uint64_t payload_size = 0;  // bytes that follow the header
};

// The size of the block that EncodeSettings writes for `record`; false when a value has a
// kind the layout cannot hold, a name is empty or too long, or there are too many entries.
bool SettingsBlockSize(const SettingsRecord& record, uint64_t* size);

// The header and the entries of `record`: version 1 when they fit its limit, otherwise
// version 2. False in the cases of SettingsBlockSize and when the block does not fit in
// memory.
bool EncodeSettings(const SettingsRecord& record, std::vector<uint8_t>* out);

// How long the header is that starts with these kSettingsHeaderSize bytes (or more):
// kSettingsLongHeaderSize for version 2, otherwise kSettingsHeaderSize.
size_t SettingsHeaderSize(std::span<const uint8_t> start);

// Reads the header that starts a block (all SettingsHeaderSize bytes of it). The payload
// size of a version 2 header is not limited: a reader takes the payload as it arrives.
SettingsError DecodeSettingsHeader(std::span<const uint8_t> header, SettingsHeader* out);

// Reads the entries that follow a header; `record` receives them only when all are sound.
SettingsError DecodeSettingsPayload(const SettingsHeader& header, std::span<const uint8_t> payload,
                                    SettingsRecord* record);

}  // namespace quillon
