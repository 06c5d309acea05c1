// Decodes arbitrary bytes as a saved-settings block. Checks that a block that decodes encodes
// back to a block that decodes to the same entries, and that nothing is read past the end.

#include <cstdlib>
#include <span>
#include <vector>

#include "control/settings_stream.h"

namespace quillon {
namespace {

bool Decode(std::span<const uint8_t> bytes, SettingsRecord* record) {
  SettingsHeader header;
  if (bytes.size() < kSettingsHeaderSize) return false;
  const size_t header_size = SettingsHeaderSize(bytes);
  if (bytes.size() < header_size) return false;
  if (DecodeSettingsHeader(bytes.first(header_size), &header) != SettingsError::kNone) {
    return false;
  }
  const std::span<const uint8_t> rest = bytes.subspan(header_size);
  if (rest.size() < header.payload_size) return false;
  return DecodeSettingsPayload(header, rest.first(header.payload_size), record) ==
         SettingsError::kNone;
}

}  // namespace
}  // namespace quillon

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quillon;
  // The input on the heap at its exact size, so that a read past it is caught.
  const std::vector<uint8_t> bytes(data, data + size);
  SettingsRecord record;
  if (!Decode(bytes, &record)) return 0;
  std::vector<uint8_t> again;
  if (!EncodeSettings(record, &again)) std::abort();
  SettingsRecord back;
  if (!Decode(again, &back) || !(back.entries() == record.entries())) {
    // NaN payloads compare unequal to themselves; only they may differ.
    for (size_t i = 0; i < record.entries().size(); ++i) {
      const BagValue& v = record.entries()[i].second;
      const double* d = std::get_if<double>(&v);
      if (!(d != nullptr && *d != *d) && !(back.entries()[i] == record.entries()[i])) {
        std::abort();
      }
    }
  }
  return 0;
}
