// The point index: the record number of each point seen, keyed by its exact stored reference
// (references that differ only in letter case are different keys), with the reference's
// exact ANSI bytes when the entry was made from them, so that a known point is not converted
// at every read. Looking a key up neither builds a key nor allocates: the keys sit in one
// buffer and the table is open-addressed, so that a lookup touches one slot and the bytes of
// one key. Called on one thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/text.h"

namespace quillon {

class PointIndex {
 public:
  PointIndex() = default;
  PointIndex(const PointIndex&) = delete;
  PointIndex& operator=(const PointIndex&) = delete;

  // The record number of `key`, if it has an entry.
  std::optional<int32_t> Find(TextView key) const;
  // `key`'s entry: its record number, and whether it holds the reference's exact ANSI bytes
  // (then copied into *ansi).
  struct Entry {
    int32_t n;
    bool has_ansi;
  };
  std::optional<Entry> FindEntry(TextView key, std::string* ansi) const;
  // Adds `key` at N, with its exact ANSI bytes when `ansi` is given; an existing entry is
  // kept as it is, whatever number it gives.
  void Add(TextView key, int32_t n, const std::string* ansi = nullptr);
  // Sets the entry of `key` to N, adding it when missing (with `ansi` as for Add).
  void Set(TextView key, int32_t n, const std::string* ansi = nullptr);
  // Removes the entry of `key`, if any.
  void Remove(TextView key);
  // Entries held.
  size_t size() const { return live_; }
  // Changes at every change of an entry, to a number that no index of the process had before:
  // what a caller learnt of an entry holds while it stays the same.
  uint64_t version() const { return version_; }

 private:
  struct Slot {
    uint32_t hash = 0;
    uint32_t key_at = 0;   // offset of the key in keys_
    uint32_t key_size = 0;
    int32_t n = 0;
    uint32_t ansi_at = 0;  // offset of the ANSI bytes in ansi_
    uint8_t ansi_size = 0;
    bool has_ansi = false;
    uint8_t state = 0;     // kEmpty, kUsed or kRemoved
  };
  static constexpr uint8_t kEmpty = 0, kUsed = 1, kRemoved = 2;

  static uint32_t Hash(TextView key);
  bool SameKey(const Slot& slot, TextView key) const;
  // The slot holding `key`, else the slot where it would go (first removed or empty one on
  // its probe path); nullptr-free: the table always has an empty slot.
  size_t Probe(TextView key, uint32_t hash, bool* found) const;
  void Grow();
  void PutAnsi(Slot& slot, std::string_view ansi);

  std::vector<Slot> slots_;
  Text keys_;         // every key ever added since the last growth, one after the other
  std::string ansi_;  // their ANSI bytes, where given
  size_t live_ = 0;
  size_t removed_ = 0;
  size_t dead_chars_ = 0;  // characters of keys_ that no entry uses any more
  uint64_t version_ = NextVersion();

  static uint64_t NextVersion();
};

}  // namespace quillon
