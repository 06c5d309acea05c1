#include "control/point_catalog.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "cache/record.h"
#include "cache/record_codec.h"
#include "control/tables.h"
#include "control/value_text.h"

namespace quillon {
namespace {

bool Contains(TextView folded, TextView needle) {
  return needle.empty() || folded.find(needle) != TextView::npos;
}

Text TrimmedValue(const Text& text) {
  Text out = TrimSpaces(text);
  const size_t nul = out.find(u'\0');
  if (nul != Text::npos) out.resize(nul);
  return TrimSpaces(out);
}

}  // namespace

// One byte of the code page to its character, for a single-byte code page (every record's
// texts then convert without a call to the platform).
void PointCatalog::PrepareCharacters(CodePage& code_page) {
  single_byte_ = code_page.IsSingleByte();
  if (!single_byte_) return;
  for (int b = 0; b < 256; ++b) {
    const char byte = static_cast<char>(b);
    const Text c = code_page.ToText(std::string_view(&byte, 1));
    characters_[b] = c.size() == 1 ? c[0] : u'?';
  }
}

Text PointCatalog::Field(const uint8_t* bytes, size_t length, CodePage& code_page) const {
  if (!single_byte_) {
    return code_page.ToText(std::string_view(reinterpret_cast<const char*>(bytes), length));
  }
  Text text(length, u'\0');
  for (size_t i = 0; i < length; ++i) text[i] = characters_[bytes[i]];
  return text;
}

bool PointCatalog::KeepRecord(const uint8_t* bytes, CodePage& code_page) {
  if (ReadInt32(bytes) == 0) return false;
  // The reference's bytes without the spaces around it (a space is one byte in every ANSI
  // code page).
  const uint8_t* ref = bytes + kOffRefNTF;
  size_t begin = 0, end = kRefNTFLength;
  while (begin < end && ref[begin] == ' ') ++begin;
  while (end > begin && ref[end - 1] == ' ') --end;
  if (begin == end || ref[begin] == 0) return false;
  Text reference = Field(ref + begin, end - begin, code_page);
  if (!positions_.emplace(reference, static_cast<uint32_t>(points_.size())).second) return false;
  folded_.push_back(FoldCase(reference));
  double read = 0;
  std::memcpy(&read, bytes + kOffLecture, sizeof read);
  points_.push_back({std::move(reference), Field(bytes + kOffValeurLue, kValeurLength, code_page),
                     Field(bytes + kOffValeurFormateeLue, kValeurLength, code_page), read});
  return true;
}

bool PointCatalog::Load(FileSystem& files, CodePage& code_page, const Text& path, size_t cap) {
  points_.clear();
  folded_.clear();
  positions_.clear();
  matches_.clear();
  filtered_ = false;
  more_ = false;
  const std::unique_ptr<RandomAccessFile> file = files.OpenReadOnly(path);
  int64_t length = 0;
  missing_ = !file || !file->Length(&length);
  if (missing_) return false;
  const int64_t count = length / kRecordSize;  // a partial record last is not a point yet
  const size_t expected = static_cast<size_t>(std::min<int64_t>(count, static_cast<int64_t>(cap)));
  points_.reserve(expected);
  folded_.reserve(expected);
  positions_.reserve(expected);
  PrepareCharacters(code_page);
  std::vector<uint8_t> block(kBlockRecords * kRecordSize);
  int64_t next = 0;
  while (next < count && points_.size() < cap) {
    const size_t want = static_cast<size_t>(std::min<int64_t>(kBlockRecords, count - next));
    size_t got = 0;
    if (!file->ReadAt(next * kRecordSize, block.data(), want * kRecordSize, &got)) break;
    const size_t records = got / kRecordSize;
    size_t i = 0;
    for (; i < records && points_.size() < cap; ++i) {
      KeepRecord(block.data() + i * kRecordSize, code_page);
    }
    next += static_cast<int64_t>(i);
    if (records < want) break;
  }
  more_ = points_.size() >= cap && next < count;
  return true;
}

const std::vector<uint32_t>& PointCatalog::Filter(TextView typed) {
  const Text needle = FoldCase(typed);
  const bool narrowing = filtered_ && needle.size() >= filter_.size() &&
                         TextView(needle).substr(0, filter_.size()) == filter_;
  if (narrowing) {
    std::erase_if(matches_, [&](uint32_t i) { return !Contains(folded_[i], needle); });
  } else {
    matches_.clear();
    for (size_t i = 0; i < folded_.size(); ++i) {
      if (Contains(folded_[i], needle)) matches_.push_back(static_cast<uint32_t>(i));
    }
  }
  filter_ = needle;
  filtered_ = true;
  return matches_;
}

size_t PointCatalog::Find(TextView ntf) const {
  const auto found = positions_.find(TrimSpaces(ntf));
  return found != positions_.end() ? found->second : points_.size();
}

Text PointCatalog::CellText(size_t index, CatalogColumn column, Locale& locale) const {
  const CatalogPoint& p = points_[index];
  switch (column) {
    case CatalogColumn::kReference:
      return p.reference;
    case CatalogColumn::kValue:
      return TrimmedValue(p.value);
    case CatalogColumn::kFormatted:
      return TrimmedValue(p.formatted);
    case CatalogColumn::kQuality:
      // The record carries no quality: a value the server has read is what the control
      // shows as "Ok"; one not read since its request, "?".
      return Text(QualityOf(p.last_read != 0 ? 0 : -2).text);
    case CatalogColumn::kLastRead:
      return p.last_read != 0 ? LastReadText(locale, p.last_read) : Text();
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
