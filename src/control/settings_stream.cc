#include "control/settings_stream.h"

#include <cstring>
#include <new>
#include <utility>

#include "common/coding.h"

namespace quillon {
namespace {

constexpr uint8_t kMagic[4] = {'Q', 'P', 'D', 'S'};
constexpr uint16_t kVersion = 1;      // what every block that fits its limit is written as
constexpr uint16_t kLongVersion = 2;  // a payload size of 8 bytes, and no limit of its own

// Value kinds, numbered as Automation numbers its variant types.
enum Kind : uint16_t {
  kEmpty = 0,
  kNull = 1,
  kInt32 = 3,
  kDouble = 5,
  kText = 8,
  kBool = 11,
};

class Writer {
 public:
  explicit Writer(std::vector<uint8_t>& out) : out_(out) {}
  void U16(uint16_t v) { EncodeFixed16(Grow(2), v); }
  void U32(uint32_t v) { EncodeFixed32(Grow(4), v); }
  void U64(uint64_t v) { EncodeFixed64(Grow(8), v); }
  void Double(double v) { EncodeDouble(Grow(8), v); }
  void Chars(TextView text) {
    for (char16_t c : text) U16(c);
  }

 private:
  uint8_t* Grow(size_t n) {
    out_.resize(out_.size() + n);
    return out_.data() + out_.size() - n;
  }
  std::vector<uint8_t>& out_;
};

class Reader {
 public:
  explicit Reader(std::span<const uint8_t> in) : in_(in) {}
  bool U16(uint16_t* v) { return Take(v, 2, DecodeFixed16); }
  bool U32(uint32_t* v) { return Take(v, 4, DecodeFixed32); }
  bool U64(uint64_t* v) { return Take(v, 8, DecodeFixed64); }
  bool Double(double* v) { return Take(v, 8, DecodeDouble); }
  bool Chars(size_t count, Text* text) {
    if (count > (in_.size() - pos_) / 2) return false;
    text->resize(count);
    for (char16_t& c : *text) {
      uint16_t v = 0;
      U16(&v);
      c = v;
    }
    return true;
  }
  bool AtEnd() const { return pos_ == in_.size(); }

 private:
  template <class T>
  bool Take(T* v, size_t n, T (*decode)(const uint8_t*)) {
    if (in_.size() - pos_ < n) return false;
    *v = decode(in_.data() + pos_);
    pos_ += n;
    return true;
  }
  std::span<const uint8_t> in_;
  size_t pos_ = 0;
};

bool EncodeValue(const BagValue& value, Writer& w) {
  if (std::holds_alternative<std::monostate>(value)) {
    w.U16(kEmpty);
  } else if (std::holds_alternative<BagNull>(value)) {
    w.U16(kNull);
  } else if (const bool* b = std::get_if<bool>(&value)) {
    w.U16(kBool);
    w.U16(*b ? 0xFFFF : 0);
  } else if (const int32_t* i = std::get_if<int32_t>(&value)) {
    w.U16(kInt32);
    w.U32(static_cast<uint32_t>(*i));
  } else if (const double* d = std::get_if<double>(&value)) {
    w.U16(kDouble);
    w.Double(*d);
  } else if (const Text* t = std::get_if<Text>(&value)) {
    w.U16(kText);
    w.U32(static_cast<uint32_t>(t->size()));
    w.Chars(*t);
  } else {
    return false;  // an object or an error has no saved form
  }
  return true;
}

// The bytes that EncodeValue writes for `value`; false when it has no saved form.
bool ValueSize(const BagValue& value, uint64_t* size) {
  if (const Text* t = std::get_if<Text>(&value)) {
    if (!std::in_range<uint32_t>(t->size())) return false;  // its length takes 4 bytes
    *size = 2 + 4 + 2 * uint64_t{t->size()};
    return true;
  }
  if (std::holds_alternative<BagOther>(value)) return false;
  *size = 2 + (std::holds_alternative<bool>(value)      ? 2
               : std::holds_alternative<int32_t>(value) ? 4
               : std::holds_alternative<double>(value)  ? 8
                                                        : 0);
  return true;
}

bool PayloadSize(const SettingsRecord& record, uint64_t* size) {
  if (record.entries().size() > kSettingsMaxEntries) return false;
  uint64_t total = 0;
  for (const auto& [name, value] : record.entries()) {
    uint64_t value_size = 0;
    if (name.empty() || name.size() > kSettingsMaxName || !ValueSize(value, &value_size)) {
      return false;
    }
    total += 2 + 2 * name.size() + value_size;
  }
  *size = total;
  return true;
}

size_t HeaderSizeOf(uint64_t payload_size) {
  return payload_size <= kSettingsMaxPayload ? kSettingsHeaderSize : kSettingsLongHeaderSize;
}

bool DecodeValue(Reader& r, BagValue* value) {
  uint16_t kind = 0;
  if (!r.U16(&kind)) return false;
  switch (kind) {
    case kEmpty:
      *value = std::monostate();
      return true;
    case kNull:
      *value = BagNull();
      return true;
    case kBool: {
      uint16_t v = 0;
      if (!r.U16(&v) || (v != 0 && v != 0xFFFF)) return false;
      *value = v != 0;
      return true;
    }
    case kInt32: {
      uint32_t v = 0;
      if (!r.U32(&v)) return false;
      *value = static_cast<int32_t>(v);
      return true;
    }
    case kDouble: {
      double d = 0;
      if (!r.Double(&d)) return false;
      *value = d;
      return true;
    }
    case kText: {
      uint32_t count = 0;
      Text text;
      if (!r.U32(&count) || !r.Chars(count, &text)) return false;
      *value = std::move(text);
      return true;
    }
    default:
      return false;
  }
}

}  // namespace

bool SettingsRecord::Read(const Text& name, const BagValue& default_value,
                          BagValue* value) noexcept {
  try {
    for (const auto& [key, stored] : entries_) {
      if (key == name) {
        *value = stored;
        return true;
      }
    }
    *value = default_value;
    return true;
  } catch (...) {
    return false;
  }
}

bool SettingsRecord::Write(const Text& name, const BagValue& value) noexcept {
  try {
    for (auto& [key, stored] : entries_) {
      if (key == name) {
        stored = value;
        return true;
      }
    }
    entries_.emplace_back(name, value);
    return true;
  } catch (...) {
    return false;
  }
}

bool SettingsBlockSize(const SettingsRecord& record, uint64_t* size) {
  uint64_t payload = 0;
  if (!PayloadSize(record, &payload)) return false;
  *size = HeaderSizeOf(payload) + payload;
  return true;
}

bool EncodeSettings(const SettingsRecord& record, std::vector<uint8_t>* out) {
  uint64_t payload = 0;
  if (!PayloadSize(record, &payload)) return false;
  const size_t header_size = HeaderSizeOf(payload);
  if (payload > out->max_size() - header_size) return false;
  std::vector<uint8_t> block;
  block.reserve(static_cast<size_t>(header_size + payload));
  block.assign(std::begin(kMagic), std::end(kMagic));
  Writer w(block);
  w.U16(header_size == kSettingsHeaderSize ? kVersion : kLongVersion);
  w.U16(static_cast<uint16_t>(record.entries().size()));
  if (header_size == kSettingsHeaderSize) {
    w.U32(static_cast<uint32_t>(payload));
  } else {
    w.U64(payload);
  }
  for (const auto& [name, value] : record.entries()) {
    w.U16(static_cast<uint16_t>(name.size()));
    w.Chars(name);
    EncodeValue(value, w);
  }
  out->swap(block);
  return true;
}

size_t SettingsHeaderSize(std::span<const uint8_t> start) {
  const bool long_header = start.size() > 5 &&
                           std::memcmp(start.data(), kMagic, sizeof kMagic) == 0 &&
                           start[4] == kLongVersion && start[5] == 0;
  return long_header ? kSettingsLongHeaderSize : kSettingsHeaderSize;
}

SettingsError DecodeSettingsHeader(std::span<const uint8_t> header, SettingsHeader* out) {
  if (header.size() < kSettingsHeaderSize) return SettingsError::kCorrupt;
  if (std::memcmp(header.data(), kMagic, sizeof kMagic) != 0) return SettingsError::kNotSettings;
  Reader r(header.subspan(sizeof kMagic));
  SettingsHeader h;
  r.U16(&h.version);
  r.U16(&h.entry_count);
  if (h.version == 0) return SettingsError::kCorrupt;
  if (h.version > kLongVersion) return SettingsError::kNewerVersion;
  if (h.version == kVersion) {
    uint32_t size = 0;
    r.U32(&size);
    h.payload_size = size;
  } else if (!r.U64(&h.payload_size)) {
    return SettingsError::kCorrupt;  // the header is cut short
  }
  if (h.entry_count > kSettingsMaxEntries ||
      (h.version == kVersion && h.payload_size > kSettingsMaxPayload)) {
    return SettingsError::kCorrupt;
  }
  *out = h;
  return SettingsError::kNone;
}

SettingsError DecodeSettingsPayload(const SettingsHeader& header, std::span<const uint8_t> payload,
                                    SettingsRecord* record) {
  if (payload.size() != header.payload_size) return SettingsError::kCorrupt;
  Reader r(payload);
  SettingsRecord decoded;
  for (uint16_t i = 0; i < header.entry_count; ++i) {
    uint16_t length = 0;
    Text name;
    BagValue value;
    if (!r.U16(&length) || length == 0 || length > kSettingsMaxName) return SettingsError::kCorrupt;
    if (!r.Chars(length, &name) || !DecodeValue(r, &value)) return SettingsError::kCorrupt;
    if (!decoded.Write(name, value)) throw std::bad_alloc();
  }
  if (!r.AtEnd()) return SettingsError::kCorrupt;
  record->Swap(decoded);
  return SettingsError::kNone;
}

}  // namespace quillon
