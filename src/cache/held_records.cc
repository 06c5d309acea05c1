#include "cache/held_records.h"

#include <algorithm>
#include <cstring>

namespace quillon {
namespace {

int64_t Offset(int32_t n) { return int64_t{n - 1} * kRecordSize; }

}  // namespace

// Records go into one run while the next one starts within kHeldGapBytes of the run's end
// and the run stays within kHeldBlockBytes.
int HeldRecords::Read(RandomAccessFile& file, const std::vector<int32_t>& slots,
                      const std::vector<KnownRecord>& known) {
  Clear();
  int reads = 0;
  for (size_t from = 0; from < slots.size();) {
    size_t to = from + 1;
    while (to < slots.size()) {
      const int64_t end = Offset(slots[to - 1]) + kRecordSize;
      const int64_t next = Offset(slots[to]);
      if (next - end > int64_t{kHeldGapBytes} ||
          next + kRecordSize - Offset(slots[from]) > int64_t{kHeldBlockBytes}) {
        break;
      }
      ++to;
    }
    if (bytes_.size() + (to - from) * kRecordSize > kHeldMaxBytes) break;
    ReadRun(file, slots, from, to);
    ++reads;
    from = to;
  }
  if (!known.empty()) Keep(known);
  return reads;
}

// A record read now is fresher than one known from before; of two known, the later.
void HeldRecords::Keep(const std::vector<KnownRecord>& known) {
  const size_t read = index_.size();
  for (size_t k = known.size(); k-- > 0;) {
    const int32_t n = known[k].n;
    if (bytes_.size() + kRecordSize > kHeldMaxBytes) break;
    const auto end = index_.begin() + static_cast<std::ptrdiff_t>(read);
    const auto it = std::lower_bound(index_.begin(), end, std::make_pair(n, size_t{0}));
    if (it != end && it->first == n) continue;
    index_.emplace_back(n, bytes_.size());
    bytes_.insert(bytes_.end(), known[k].bytes, known[k].bytes + kRecordSize);
  }
  // Stable: of two known for one number, the first kept (the later one) sorts first.
  std::stable_sort(index_.begin(), index_.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  index_.erase(std::unique(index_.begin(), index_.end(),
                           [](const auto& a, const auto& b) { return a.first == b.first; }),
               index_.end());
}

void HeldRecords::ReadRun(RandomAccessFile& file, const std::vector<int32_t>& slots, size_t from,
                          size_t to) {
  const int64_t start = Offset(slots[from]);
  const size_t size = size_t(Offset(slots[to - 1]) - start) + kRecordSize;
  if (block_.size() < size) block_.resize(size);
  size_t got = 0;
  if (!file.ReadAt(start, block_.data(), size, &got)) return;
  for (size_t i = from; i < to; ++i) {
    const size_t at = size_t(Offset(slots[i]) - start);
    if (at + kRecordSize > std::min(got, size)) break;
    index_.emplace_back(slots[i], bytes_.size());
    bytes_.insert(bytes_.end(), block_.data() + at, block_.data() + at + kRecordSize);
  }
}

size_t HeldRecords::Position(int32_t n) const {
  if (last_ < index_.size() && index_[last_].first == n) return last_;
  // Requests of records side by side, or of controls made in the order of their records,
  // come in the order of the records: the next one is tried next.
  if (last_ + 1 < index_.size() && index_[last_ + 1].first == n) return ++last_;
  const auto it = std::lower_bound(index_.begin(), index_.end(), std::make_pair(n, size_t{0}));
  if (it == index_.end() || it->first != n) return index_.size();
  return last_ = static_cast<size_t>(it - index_.begin());
}

const uint8_t* HeldRecords::Find(int32_t n) const {
  const size_t i = Position(n);
  return i < index_.size() ? bytes_.data() + index_[i].second : nullptr;
}

void HeldRecords::Wrote(int32_t n, const uint8_t* bytes, size_t size, bool written) {
  const size_t i = Position(n);
  if (i == index_.size()) return;
  if (!written) {
    index_.erase(index_.begin() + static_cast<std::ptrdiff_t>(i));  // its bytes are unknown now
    return;
  }
  std::memcpy(bytes_.data() + index_[i].second, bytes, std::min(size, size_t{kRecordSize}));
}

}  // namespace quillon
