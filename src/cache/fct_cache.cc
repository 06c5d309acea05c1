#include "cache/fct_cache.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <variant>
#include <vector>

#include "cache/record_codec.h"

namespace quillon {
namespace {

inline constexpr int32_t kOpenFailed = 1;

void AppendPart(Text& line, TextView part) { line.append(part); }
void AppendPart(Text& line, const char16_t* part) { line.append(part); }
void AppendPart(Text& line, int32_t number) { line += NumberText(number); }

Text IndexKey(TextView ntf) {
  Text key = u"KEY_";
  key.append(ntf);
  return FoldCase(key);
}

// Byte offset of record N; false when N is not a usable record number.
bool RecordOffset(int32_t n, int64_t* offset) {
  if (n < 1 || n > kMaxRecordNumber) return false;
  *offset = int64_t{n - 1} * kRecordSize;
  return true;
}

// True when the 60-byte reference field, trimmed of spaces, holds exactly `wanted`.
bool TrimmedFieldEquals(const uint8_t* field, std::string_view wanted) {
  size_t begin = 0;
  while (begin < kRefNTFLength && field[begin] == ' ') ++begin;
  if (kRefNTFLength - begin < wanted.size()) return false;
  if (!wanted.empty() && field[begin] != static_cast<uint8_t>(wanted[0])) return false;
  if (std::memcmp(field + begin, wanted.data(), wanted.size()) != 0) return false;
  for (size_t i = begin + wanted.size(); i < kRefNTFLength; ++i) {
    if (field[i] != ' ') return false;
  }
  return true;
}

}  // namespace

// Holds the cross-process slot lock from construction to destruction; nested holders in the
// same call share the first one's lock.
class FctCache::SlotLock {
 public:
  explicit SlotLock(FctCache& cache) : cache_(cache) {
    if (cache_.lock_depth_++ == 0 && cache_.file_) {
      cache_.lock_held_ = cache_.file_->LockByte(kSlotLockOffset);
    }
  }
  ~SlotLock() {
    if (--cache_.lock_depth_ == 0 && cache_.lock_held_) {
      if (cache_.file_) cache_.file_->UnlockByte(kSlotLockOffset);
      cache_.lock_held_ = false;
    }
  }
  SlotLock(const SlotLock&) = delete;
  SlotLock& operator=(const SlotLock&) = delete;

 private:
  FctCache& cache_;
};

FctCache::FctCache(FileSystem& files, Clock& clock, CodePage& code_page,
                   TraceLogConditionnel& trace, RegistrePD& registry)
    : files_(files), clock_(clock), code_page_(code_page), trace_(trace), registry_(registry) {}

template <typename... Parts>
void FctCache::Trace(const Parts&... parts) {
  if (!trace_.blnTraceActive()) return;
  Text line;
  (AppendPart(line, parts), ...);
  trace_.fctEcrireTrace(line);
}

Text FctCache::FilePath() const {
  return fixed_path_ ? *fixed_path_ : CacheFilePath(strCheminInstall_);
}

std::optional<int32_t> FctCache::IndexEntry(const Text& ntf) const {
  if (!colIndexNTF_) return std::nullopt;
  const auto it = colIndexNTF_->find(IndexKey(ntf));
  if (it == colIndexNTF_->end()) return std::nullopt;
  return it->second;
}

void FctCache::IndexAdd(const Text& ntf, int32_t n) {
  // An existing key is kept as it is, whatever position it gives.
  if (colIndexNTF_) colIndexNTF_->try_emplace(IndexKey(ntf), n);
}

void FctCache::IndexRemove(const Text& ntf) {
  if (colIndexNTF_) colIndexNTF_->erase(IndexKey(ntf));
}

int32_t FctCache::RecordCountOfFile() {
  int64_t length = 0;
  if (!file_ || !file_->Length(&length)) return 0;
  return static_cast<int32_t>(std::min<int64_t>(RecordCount(length), kMaxRecordNumber));
}

bool FctCache::ReadRecordBytes(int32_t n, uint8_t* out) {
  std::memset(out, 0, kRecordSize);
  int64_t offset = 0;
  size_t got = 0;
  if (!file_ || !RecordOffset(n, &offset)) return false;
  if (file_->ReadAt(offset, out, kRecordSize, &got)) return true;
  std::memset(out, 0, kRecordSize);
  return false;
}

void FctCache::TraceRecordRead(int32_t n, const uint8_t* bytes) {
  Trace(u"fctLectureDansLeCache - début - pos.", n);
  Trace(u"   LC ", DecodeTrimmedReference(bytes, code_page_), u" ", n);
  Trace(u"fctLectureDansLeCache - fin");
}

EnregCache FctCache::fctLectureDansLeCache(int32_t n) {
  uint8_t bytes[kRecordSize];
  ReadRecordBytes(n, bytes);  // bytes that cannot be read stay zero: the empty record
  if (trace_.blnTraceActive()) TraceRecordRead(n, bytes);
  return DecodeRecord(bytes, code_page_);
}

// Reads records 1 to `count` in blocks, each as a record read would deliver it (missing bytes
// zero), traced as fctLectureDansLeCache traces it; returns the number of the first record
// that `match` accepts, with its bytes in `found`, or 0.
int32_t FctCache::ScanRecords(int32_t count, const RecordMatch& match, uint8_t* found) {
  std::vector<uint8_t> block(size_t{kScanBlockRecords} * kRecordSize);
  for (int32_t first = 1; first <= count; first += kScanBlockRecords) {
    const int32_t records = std::min(kScanBlockRecords, count - first + 1);
    const size_t size = size_t(records) * kRecordSize;
    size_t got = 0;
    if (!file_ || !file_->ReadAt(int64_t{first - 1} * kRecordSize, block.data(), size, &got)) {
      got = 0;
    }
    std::fill(block.begin() + static_cast<std::ptrdiff_t>(std::min(got, size)),
              block.begin() + static_cast<std::ptrdiff_t>(size), uint8_t{0});
    for (int32_t k = 0; k < records; ++k) {
      const uint8_t* record = block.data() + size_t(k) * kRecordSize;
      if (trace_.blnTraceActive()) TraceRecordRead(first + k, record);
      if (match(record)) {
        std::memcpy(found, record, kRecordSize);
        return first + k;
      }
    }
  }
  return 0;
}

int32_t FctCache::ScanForReference(const Text& ntf, EnregCache* found) {
  const auto decoded_equals = [&](const uint8_t* record) {
    return DecodeTrimmedReference(record, code_page_) == ntf;
  };
  RecordMatch match = decoded_equals;
  std::string wanted;
  if (!trace_.blnTraceActive() && code_page_.IsSingleByte()) {
    // Bytes first; a candidate is confirmed by decoding, since a character without a byte
    // of its own is encoded as '?'.
    wanted = code_page_.ToAnsi(ntf);
    match = [&](const uint8_t* record) {
      return TrimmedFieldEquals(record + kOffRefNTF, wanted) && decoded_equals(record);
    };
  }
  uint8_t bytes[kRecordSize];
  const int32_t n = ScanRecords(RecordCountOfFile(), match, bytes);
  if (n != 0) *found = DecodeRecord(bytes, code_page_);
  return n;
}

int32_t FctCache::ChooseFreeSlot() {
  const int32_t count = RecordCountOfFile();
  uint8_t bytes[kRecordSize];
  const int32_t n = ScanRecords(
      count, [](const uint8_t* record) { return ReadInt32(record + kOffEtat) == 0; }, bytes);
  return n != 0 ? n : count + 1;
}

void FctCache::fctEcritureDansLeCache(const EnregCache& record, int32_t& n) {
  Trace(u"fctEcritureDansLeCache - début - Pos.", n);
  // The slot choice and its write are one step for every process that shares the file.
  std::optional<SlotLock> lock;
  if (n == 0) {
    lock.emplace(*this);
    n = ChooseFreeSlot();
  }
  const Text trimmed = TrimSpaces(record.strRefNTF);
  Trace(u"   EC ", trimmed, u" ", n);
  uint8_t bytes[kRecordSize];
  EncodeRecord(record, code_page_, bytes);
  int64_t offset = 0;
  if (file_ && RecordOffset(n, &offset)) file_->WriteAt(offset, bytes, kRecordSize);
  lock.reset();
  IndexAdd(trimmed, n);
  Trace(u"fctEcritureDansLeCache - fin");
}

int32_t FctCache::convertNTFToIndex(const Text& ntf) {
  Trace(u"convertNTFToIndex - début - ", ntf);
  int32_t n = IndexEntry(ntf).value_or(0);
  if (n != 0) {
    // A record read as fctLectureDansLeCache reads it, of which only the reference is used.
    uint8_t bytes[kRecordSize];
    ReadRecordBytes(n, bytes);
    if (trace_.blnTraceActive()) TraceRecordRead(n, bytes);
    if (DecodeTrimmedReference(bytes, code_page_) != ntf) {
      IndexRemove(ntf);
      n = 0;
    }
  }
  Trace(u"convertNTFToIndex - fin - ", n);
  return n;
}

EnregCache FctCache::GetData(const Text& ntf) {
  Trace(u"GetData - début ", ntf);
  EnregCache result;
  const int32_t indexed = convertNTFToIndex(ntf);
  if (indexed != 0) {
    result = fctLectureDansLeCache(indexed);
  } else {
    Trace(u"   GetData ", ntf, u" position non mémorisée");
    const int32_t n = ScanForReference(ntf, &result);
    if (n != 0) {
      IndexRemove(ntf);
      IndexAdd(ntf, n);
      Trace(u"   Aj coll ", ntf, u" ", n);
    }
  }
  Trace(u"GetData - fin");
  return result;
}

EnregCache FctCache::PointRecord(const Text& ntf) {
  if (fctOuvrirCache() != 0) return EnregCache();
  return LookUpPoint(NormaliseReference(ntf));
}

EnregCache FctCache::LookUpPoint(const Text& point) {
  EnregCache record = GetData(point);
  if (TrimSpaces(record.strRefNTF) != point) return EnregCache();
  return record;
}

int32_t FctCache::fctOuvrirCache() {
  int64_t length = 0;
  if (file_ && file_->Length(&length)) return 0;
  if (!colIndexNTF_) colIndexNTF_.emplace();
  file_.reset();
  if (!fixed_path_ && strCheminInstall_.empty()) ReadInstallPath();
  intFicCache_ = ++last_handle_;
  file_ = files_.OpenShared(FilePath());
  return file_ ? 0 : kOpenFailed;
}

// The result is not examined: a path that cannot be read stays empty and is read again at
// the next (re)open.
void FctCache::ReadInstallPath() {
  RegValue value = strCheminInstall_;
  registry_.LireValeurRegistre(kCleRacineInstall, kCleInstall, kValeurInstall, value, Text());
  if (const Text* text = std::get_if<Text>(&value)) {
    strCheminInstall_ = *text;
  } else {
    strCheminInstall_ = NumberText(std::get<int32_t>(value));
  }
}

void FctCache::CloseFile() { file_.reset(); }

void FctCache::RefreshRecord(const Text& ntf, EnregCache record, int32_t poll_time) {
  // While the slot is occupied the stored code only rises (towards a faster refresh).
  if (record.lngEtat == 0 || record.lngPollTime < poll_time) record.lngPollTime = poll_time;
  record.lngEtat = 1;
  record.dtmLecture = 0;
  record.dtmDemande = clock_.Now();
  int32_t n = convertNTFToIndex(ntf);
  Trace(u"  FL ", ntf, u" ", n);
  fctEcritureDansLeCache(record, n);
}

void FctCache::WriteNewRequest(const Text& ntf, int32_t poll_time) {
  EnregCache record;
  record.lngEtat = 1;
  record.strRefNTF = PadToWidth(ntf, kRefNTFLength);
  record.lngPollTime = poll_time;
  record.strValeurLue = Text(kValeurLength, u' ');
  record.strValeurFormateeLue = Text(kValeurLength, u' ');
  record.dtmLecture = 0;
  record.dtmDemande = clock_.Now();
  Trace(u"  FL not found");
  int32_t n = 0;
  fctEcritureDansLeCache(record, n);
}

void FctCache::cacheForcerLectNTF(const Text& ntf, int32_t poll_time) {
  Trace(u"cacheForcerLectNTF - début - ", ntf);
  if (fctOuvrirCache() == 0) {
    // Stored references are trimmed and at most 60 characters: a reference in another form
    // would never be found and would add a record at every request.
    const Text point = NormaliseReference(ntf);
    // From the lookup to the write, no other process can add a record for the same point.
    SlotLock lock(*this);
    Trace(u"  FL av GetData");
    const EnregCache record = LookUpPoint(point);
    Trace(u"  FL ap GetData");
    if (TrimSpaces(record.strRefNTF) == point) {
      RefreshRecord(point, record, poll_time);
    } else {
      WriteNewRequest(point, poll_time);
    }
  }
  Trace(u"cacheForcerLectNTF - fin");
}

}  // namespace quillon
