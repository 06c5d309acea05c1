#include "cache/point_index.h"

#include <atomic>
#include <cstring>
#include <utility>

namespace quillon {
namespace {

inline constexpr size_t kFirstSlots = 64;

}  // namespace

// Process-wide, so that a version never names the state of another index (one per thread).
uint64_t PointIndex::NextVersion() {
  static std::atomic<uint64_t> last{0};
  return last.fetch_add(1, std::memory_order_relaxed) + 1;
}

// The key's bytes taken eight at a time, each word mixed in by a multiply and a shift, and
// the end mixed once more so that every byte reaches the low bits the table uses.
uint32_t PointIndex::Hash(TextView key) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(key.data());
  size_t left = key.size() * sizeof(char16_t);
  uint64_t h = 0x9E3779B97F4A7C15ull ^ left;
  for (; left >= 8; left -= 8, bytes += 8) {
    uint64_t word;
    std::memcpy(&word, bytes, 8);
    h = (h ^ word) * 0xBF58476D1CE4E5B9ull;
    h ^= h >> 31;
  }
  // The last 0 to 6 bytes, without a copy of variable length (whose narrow stores the wide
  // load that follows would wait for).
  uint64_t tail = 0;
  if (left >= 4) {
    uint32_t first, last;
    std::memcpy(&first, bytes, 4);
    std::memcpy(&last, bytes + left - 4, 4);
    tail = (uint64_t{first} << 32) | last;
  } else if (left > 0) {
    tail = uint64_t{bytes[0]} | uint64_t{bytes[left - 1]} << 8;
  }
  h = (h ^ tail) * 0x94D049BB133111EBull;
  h ^= h >> 29;
  return static_cast<uint32_t>(h ^ (h >> 32));
}

bool PointIndex::SameKey(const Slot& slot, TextView key) const {
  return slot.key_size == key.size() &&
         std::memcmp(keys_.data() + slot.key_at, key.data(), key.size() * sizeof(char16_t)) == 0;
}

size_t PointIndex::Probe(TextView key, uint32_t hash, bool* found) const {
  const size_t mask = slots_.size() - 1;
  size_t reuse = slots_.size();
  for (size_t i = hash & mask;; i = (i + 1) & mask) {
    const Slot& slot = slots_[i];
    if (slot.state == kEmpty) {
      *found = false;
      return reuse != slots_.size() ? reuse : i;
    }
    if (slot.state == kRemoved) {
      if (reuse == slots_.size()) reuse = i;
    } else if (slot.hash == hash && SameKey(slot, key)) {
      *found = true;
      return i;
    }
  }
}

std::optional<int32_t> PointIndex::Find(TextView key) const {
  if (live_ == 0) return std::nullopt;
  bool found = false;
  const size_t i = Probe(key, Hash(key), &found);
  if (!found) return std::nullopt;
  return slots_[i].n;
}

std::optional<PointIndex::Entry> PointIndex::FindEntry(TextView key, std::string* ansi) const {
  if (live_ == 0) return std::nullopt;
  bool found = false;
  const Slot& slot = slots_[Probe(key, Hash(key), &found)];
  if (!found) return std::nullopt;
  if (slot.has_ansi) ansi->assign(ansi_, slot.ansi_at, slot.ansi_size);
  return Entry{slot.n, slot.has_ansi};
}

void PointIndex::PutAnsi(Slot& slot, std::string_view ansi) {
  slot.has_ansi = ansi.size() <= UINT8_MAX;
  if (!slot.has_ansi) return;
  slot.ansi_at = static_cast<uint32_t>(ansi_.size());
  slot.ansi_size = static_cast<uint8_t>(ansi.size());
  ansi_.append(ansi);
}

void PointIndex::Set(TextView key, int32_t n, const std::string* ansi) {
  // At most three quarters of the slots in use or removed: every probe meets an empty one.
  // Keys of removed entries are dropped once they fill half the key buffer.
  if ((live_ + removed_ + 1) * 4 > slots_.size() * 3 ||
      (dead_chars_ > kFirstSlots * 64 && dead_chars_ * 2 > keys_.size())) {
    Grow();
  }
  version_ = NextVersion();
  const uint32_t hash = Hash(key);
  bool found = false;
  const size_t i = Probe(key, hash, &found);
  Slot& slot = slots_[i];
  if (!found) {
    if (slot.state == kRemoved) --removed_;
    slot = Slot{};
    slot.hash = hash;
    slot.key_at = static_cast<uint32_t>(keys_.size());
    slot.key_size = static_cast<uint32_t>(key.size());
    slot.state = kUsed;
    keys_.append(key);
    ++live_;
  }
  slot.n = n;
  if (ansi && !slot.has_ansi) PutAnsi(slot, *ansi);
}

void PointIndex::Add(TextView key, int32_t n, const std::string* ansi) {
  if (!Find(key)) Set(key, n, ansi);
}

void PointIndex::Remove(TextView key) {
  if (live_ == 0) return;
  bool found = false;
  const size_t i = Probe(key, Hash(key), &found);
  if (!found) return;
  version_ = NextVersion();
  slots_[i].state = kRemoved;
  dead_chars_ += slots_[i].key_size;
  --live_;
  ++removed_;
}

// Doubles the table when it is more than half full of entries, else rebuilds it at its size
// (dropping removed slots and the keys they held).
void PointIndex::Grow() {
  const size_t size = slots_.empty() ? kFirstSlots
                      : live_ * 2 >= slots_.size() ? slots_.size() * 2
                                                   : slots_.size();
  std::vector<Slot> old(size);
  old.swap(slots_);
  Text old_keys;
  old_keys.swap(keys_);
  keys_.reserve(old_keys.size());
  std::string old_ansi;
  old_ansi.swap(ansi_);
  ansi_.reserve(old_ansi.size());
  live_ = removed_ = dead_chars_ = 0;
  for (const Slot& slot : old) {
    if (slot.state != kUsed) continue;
    const TextView key = TextView(old_keys).substr(slot.key_at, slot.key_size);
    bool found = false;
    Slot& to = slots_[Probe(key, slot.hash, &found)];
    to = slot;
    to.key_at = static_cast<uint32_t>(keys_.size());
    keys_.append(key);
    to.has_ansi = false;
    if (slot.has_ansi) PutAnsi(to, std::string_view(old_ansi).substr(slot.ansi_at, slot.ansi_size));
    ++live_;
  }
}

}  // namespace quillon
