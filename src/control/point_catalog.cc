#include "control/point_catalog.h"

#include <algorithm>
#include <functional>
#include <memory>

#include "cache/record.h"
#include "cache/record_codec.h"
#include "common/coding.h"
#include "control/tables.h"
#include "control/value_text.h"

namespace quillon {
namespace {

bool Contains(TextView folded, TextView needle) {
  return needle.empty() || folded.find(needle) != TextView::npos;
}

Text TrimmedValue(TextView text) {
  Text out = TrimSpaces(text);
  const size_t nul = out.find(u'\0');
  if (nul != Text::npos) out.resize(nul);
  return TrimSpaces(out);
}

uint32_t HashOf(TextView text) { return static_cast<uint32_t>(std::hash<TextView>()(text)); }

// Slots for `points` references, at most half of them used.
size_t SlotCount(size_t points) {
  size_t n = 16;
  while (n < 2 * points) n *= 2;
  return n;
}

}  // namespace

void PointCatalog::Clear() {
  references_.clear();
  folded_.clear();
  starts_.assign(1, 0);
  values_.clear();
  last_read_.clear();
  slots_.clear();
  matches_.clear();
  filtered_ = false;
  more_ = false;
}

TextView PointCatalog::reference(size_t index) const {
  return TextView(references_).substr(starts_[index], starts_[index + 1] - starts_[index]);
}

TextView PointCatalog::Folded(size_t index) const {
  return TextView(folded_).substr(starts_[index], starts_[index + 1] - starts_[index]);
}

// which: 0 for the value text, 1 for the formatted one.
TextView PointCatalog::Value(size_t index, size_t which) const {
  return TextView(values_).substr((2 * index + which) * kValeurLength, kValeurLength);
}

CatalogPoint PointCatalog::at(size_t index) const {
  return {Text(reference(index)), Text(Value(index, 0)), Text(Value(index, 1)),
          last_read_[index]};
}

size_t PointCatalog::Slot(TextView ref, uint32_t hash) const {
  const size_t mask = slots_.size() - 1;
  for (size_t slot = hash & mask;; slot = (slot + 1) & mask) {
    const uint64_t entry = slots_[slot];
    const auto position = static_cast<uint32_t>(entry);
    if (position == 0) return slot;
    if (static_cast<uint32_t>(entry >> 32) == hash && reference(position - 1) == ref) return slot;
  }
}

void PointCatalog::Prepare(const uint8_t* bytes, CodePage& code_page, Pending* pending) const {
  pending->occupied = ReadInt32(bytes + kOffEtat) != 0;
  if (!pending->occupied) return;
  DecodeTrimmedReference(bytes, code_page, &pending->reference);
  const Text& ref = pending->reference;
  pending->occupied = !ref.empty() && ref[0] != u'\0';
  if (!pending->occupied) return;
  pending->hash = HashOf(ref);
  __builtin_prefetch(&slots_[pending->hash & (slots_.size() - 1)]);
}

bool PointCatalog::KeepRecord(const uint8_t* bytes, CodePage& code_page, const Pending& pending) {
  if (!pending.occupied) return false;
  const TextView ref = pending.reference;
  const size_t slot = Slot(ref, pending.hash);
  if (slots_[slot] != 0) return false;  // the control finds the first record of a reference
  const auto position = static_cast<uint32_t>(last_read_.size());
  slots_[slot] = (uint64_t{pending.hash} << 32) | (position + 1);
  const size_t start = references_.size();
  references_ += ref;
  folded_.resize(references_.size());
  std::transform(ref.begin(), ref.end(), folded_.begin() + static_cast<ptrdiff_t>(start),
                 [](char16_t c) { return FoldCase(c); });
  starts_.push_back(static_cast<uint32_t>(references_.size()));
  values_.resize(values_.size() + 2 * kValeurLength);
  char16_t* value = values_.data() + 2 * kValeurLength * position;
  DecodeTextField(bytes + kOffValeurLue, kValeurLength, code_page, value);
  DecodeTextField(bytes + kOffValeurFormateeLue, kValeurLength, code_page, value + kValeurLength);
  last_read_.push_back(DecodeDouble(bytes + kOffLecture));
  return true;
}

size_t PointCatalog::KeepBlock(const uint8_t* block, size_t records, CodePage& code_page,
                               size_t cap) {
  if (records > 0) Prepare(block, code_page, &pending_[0]);
  size_t i = 0;
  for (; i < records && size() < cap; ++i) {
    if (i + 1 < records) Prepare(block + (i + 1) * kRecordSize, code_page, &pending_[(i + 1) & 1]);
    KeepRecord(block + i * kRecordSize, code_page, pending_[i & 1]);
  }
  return i;
}

bool PointCatalog::Load(FileSystem& files, CodePage& code_page, const Text& path, size_t cap) {
  Clear();
  const std::unique_ptr<RandomAccessFile> file = files.OpenReadOnly(path);
  int64_t length = 0;
  missing_ = !file || !file->Length(&length);
  slots_.assign(SlotCount(0), 0);
  if (missing_) return false;
  const int64_t count = length / kRecordSize;  // a partial record last is not a point yet
  const size_t expected = static_cast<size_t>(std::min<int64_t>(count, static_cast<int64_t>(cap)));
  starts_.reserve(expected + 1);
  values_.reserve(expected * 2 * kValeurLength);
  last_read_.reserve(expected);
  slots_.assign(SlotCount(expected), 0);
  std::vector<uint8_t> block(static_cast<size_t>(std::min<int64_t>(count, kBlockRecords)) *
                             kRecordSize);
  int64_t next = 0;
  while (next < count && size() < cap) {
    const size_t want = static_cast<size_t>(std::min<int64_t>(kBlockRecords, count - next));
    size_t got = 0;
    if (!file->ReadAt(next * kRecordSize, block.data(), want * kRecordSize, &got)) break;
    const size_t records = got / kRecordSize;
    next += static_cast<int64_t>(KeepBlock(block.data(), records, code_page, cap));
    if (records < want) break;
  }
  more_ = size() >= cap && next < count;
  return true;
}

const std::vector<uint32_t>& PointCatalog::Filter(TextView typed) {
  const Text needle = FoldCase(typed);
  const bool narrowing = filtered_ && needle.size() >= filter_.size() &&
                         TextView(needle).substr(0, filter_.size()) == filter_;
  if (narrowing) {
    std::erase_if(matches_, [&](uint32_t i) { return !Contains(Folded(i), needle); });
  } else {
    matches_.clear();
    for (size_t i = 0; i < size(); ++i) {
      if (Contains(Folded(i), needle)) matches_.push_back(static_cast<uint32_t>(i));
    }
  }
  filter_ = needle;
  filtered_ = true;
  return matches_;
}

size_t PointCatalog::Find(TextView ntf) const {
  if (slots_.empty()) return size();
  const Text ref = TrimSpaces(ntf);
  const auto found = static_cast<uint32_t>(slots_[Slot(ref, HashOf(ref))]);
  return found != 0 ? found - 1 : size();
}

Text PointCatalog::CellText(size_t index, CatalogColumn column, Locale& locale) const {
  const double last_read = last_read_[index];
  switch (column) {
    case CatalogColumn::kReference:
      return Text(reference(index));
    case CatalogColumn::kValue:
      return TrimmedValue(Value(index, 0));
    case CatalogColumn::kFormatted:
      return TrimmedValue(Value(index, 1));
    case CatalogColumn::kQuality:
      // The record carries no quality: a value the server has read is what the control
      // shows as "Ok"; one not read since its request, "?".
      return Text(QualityOf(last_read != 0 ? 0 : -2).text);
    case CatalogColumn::kLastRead:
      return last_read != 0 ? LastReadText(locale, last_read) : Text();
  }
  return Text();
}

Text PreviewValue(Formatter& formatter, TextView stored, TextView format) {
  return FormatValueText(formatter, stored, format);
}

std::vector<Text> SplitSamples(TextView typed) {
  std::vector<Text> out;
  size_t start = 0;
  while (start <= typed.size()) {
    const size_t end = std::min(typed.find(u';', start), typed.size());
    Text piece = TrimSpaces(typed.substr(start, end - start));
    if (!piece.empty()) out.push_back(std::move(piece));
    start = end + 1;
  }
  return out;
}

}  // namespace quillon
