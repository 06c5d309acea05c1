// The points a cache file holds, as the "Point" property page lists them: read once, bounded,
// filtered as the designer types, and previewed with the control's own value formatting.
// Free of platform types: the page's window is a thin layer over it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "common/text.h"
#include "platform/code_page.h"
#include "platform/file_system.h"
#include "platform/formatter.h"
#include "platform/locale.h"

namespace quillon {

// One point of the cache file, as at() gives it. Texts as stored (the value texts keep their
// 20 characters, so that the preview sees what the control's `Valeur` sees).
struct CatalogPoint {
  Text reference;  // spaces trimmed
  Text value;
  Text formatted;
  double last_read = 0;  // 0: not read since its last request
};

// The list's columns, in order.
enum class CatalogColumn { kReference, kValue, kFormatted, kQuality, kLastRead };
inline constexpr int kCatalogColumns = 5;

class PointCatalog {
 public:
  static constexpr size_t kDefaultCap = 100000;
  // Records read per call to the file (about 1.2 MB): under Wine every call is a round trip
  // to the server, so 100,000 points take 13 calls.
  static constexpr size_t kBlockRecords = 8192;

  PointCatalog() = default;
  PointCatalog(const PointCatalog&) = delete;
  PointCatalog& operator=(const PointCatalog&) = delete;

  // Replaces the list with the points of the cache file at `path`: opened read-only and
  // shared, never created nor written, read block by block, stopping once `cap` points are
  // kept. A free slot (state 0), an empty reference and a reference already listed are left
  // out (the control finds the first record of a reference). False when the file cannot be
  // opened (the list is then empty). Single-threaded, like the page.
  bool Load(FileSystem& files, CodePage& code_page, const Text& path, size_t cap = kDefaultCap);

  bool missing() const { return missing_; }
  // True when the file holds records beyond the last one read (the cap was reached).
  bool more() const { return more_; }
  size_t size() const { return last_read_.size(); }
  CatalogPoint at(size_t index) const;
  // The reference of the point at `index`, spaces trimmed; valid until the next Load.
  TextView reference(size_t index) const;

  // The positions of the points whose reference contains `typed`, letter case ignored as the
  // control's point index ignores it; every point for the empty text. A text that extends the
  // previous one filters the previous result only. Valid until the next Filter or Load.
  const std::vector<uint32_t>& Filter(TextView typed);
  // Position of the point whose reference is `ntf` (spaces trimmed, exact case); size() when
  // none.
  size_t Find(TextView ntf) const;

  // The text of one cell, dates and the quality word under `locale`.
  Text CellText(size_t index, CatalogColumn column, Locale& locale) const;

 private:
  // The points are kept in a few flat arrays rather than as texts of their own: reading and
  // filtering 100,000 of them then costs no allocation per point.
  void Clear();
  // The reference of a record about to be kept, decoded and hashed one record ahead, so that
  // its slot is fetched from memory while the record before it is kept.
  struct Pending {
    Text reference;
    uint32_t hash = 0;
    bool occupied = false;  // an occupied slot of the file with a reference
  };
  void Prepare(const uint8_t* bytes, CodePage& code_page, Pending* pending) const;
  bool KeepRecord(const uint8_t* bytes, CodePage& code_page, const Pending& pending);
  // Keeps the records of a block until the cap; how many records were used.
  size_t KeepBlock(const uint8_t* block, size_t records, CodePage& code_page, size_t cap);
  TextView Folded(size_t index) const;
  TextView Value(size_t index, size_t which) const;
  // The slot of `reference` (whose hash is `hash`) in slots_: the one holding its position,
  // or an empty one.
  size_t Slot(TextView reference, uint32_t hash) const;

  Text references_;               // every listed reference, one after the other
  Text folded_;                   // the same folded for the filter, at the same places
  std::vector<uint32_t> starts_;  // where each reference starts; one more for the end
  Text values_;                   // per point: its value text, then its formatted value text
  std::vector<double> last_read_;
  // Open addressing: per slot, the reference's hash (high half) and its position + 1 (low
  // half; 0 for an empty slot). The hash spares a comparison of texts for most probes.
  std::vector<uint64_t> slots_;
  Pending pending_[2];  // the record being kept and the next one
  std::vector<uint32_t> matches_;
  Text filter_;  // the text of `matches_`
  bool filtered_ = false;
  bool missing_ = false;
  bool more_ = false;
};

// What `Valeur` returns for the stored value text `stored` under the pattern `format`: the
// control's own formatting, as the quillon tool's "format" command prints it.
Text PreviewValue(Formatter& formatter, TextView stored, TextView format);

// The sample values typed in the page's sample field, separated by ";", spaces trimmed;
// empty pieces are left out.
std::vector<Text> SplitSamples(TextView typed);

}  // namespace quillon
