// Copies of records read ahead in few large reads, or read just before by the displays whose
// requests a flush forces: each stands for a read of its record until it is dropped. Called
// on one thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "cache/record.h"
#include "platform/file_system.h"

namespace quillon {

// Largest read that serves several records at once.
inline constexpr size_t kHeldBlockBytes = 65536;
// Largest gap read between two records that share a read: about what one more call costs in
// copying on the machines measured (a 144-byte read costs as much as copying 5 to 7 KiB).
inline constexpr size_t kHeldGapBytes = 4096;
// Most bytes held at once; records beyond them are read one by one as before.
inline constexpr size_t kHeldMaxBytes = 1 << 20;

// A record read by somebody else just before: its number and its 144 bytes.
struct KnownRecord {
  int32_t n;
  const uint8_t* bytes;
};

class HeldRecords {
 public:
  HeldRecords() = default;
  HeldRecords(const HeldRecords&) = delete;
  HeldRecords& operator=(const HeldRecords&) = delete;

  // Reads the records numbered in `slots` (sorted, distinct, valid numbers) from `file`:
  // neighbours at most kHeldGapBytes apart share one read of at most kHeldBlockBytes. A record
  // that a read did not deliver whole (failed or short read) is not held. Then holds the
  // `known` records (valid numbers) that were not read: of several for one number, the last.
  // The count of reads.
  int Read(RandomAccessFile& file, const std::vector<int32_t>& slots,
           const std::vector<KnownRecord>& known = {});
  // Record N as read (144 bytes), or nullptr when it is not held.
  const uint8_t* Find(int32_t n) const;
  // Keeps the copy of record N in step with a write of `size` bytes at its start: copied when
  // written, dropped when the write failed.
  void Wrote(int32_t n, const uint8_t* bytes, size_t size, bool written);
  void Clear() {
    index_.clear();
    bytes_.clear();
  }
  bool empty() const { return index_.empty(); }

 private:
  // Reads records first..last into the buffer, holding those of `slots` [from, to) delivered.
  void ReadRun(RandomAccessFile& file, const std::vector<int32_t>& slots, size_t from, size_t to);
  void Keep(const std::vector<KnownRecord>& known);
  // The position of record N in index_, or index_.size(). A flush asks for a record and then
  // writes it: the last one found is tried first, then the one after it.
  size_t Position(int32_t n) const;

  std::vector<std::pair<int32_t, size_t>> index_;  // record number, offset in bytes_; sorted
  std::vector<uint8_t> bytes_;
  std::vector<uint8_t> block_;  // the read buffer
  mutable size_t last_ = 0;     // the position last found
};

}  // namespace quillon
