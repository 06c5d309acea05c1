#include "cache/fct_cache.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <variant>

#include "cache/record_codec.h"
#include "common/oledate.h"

namespace quillon {
namespace {

inline constexpr int32_t kOpenFailed = 1;
inline constexpr int32_t kNoInstallPath = 2;
// Free-slot runs a scan remembers; beyond them the slot choice reads the whole file again.
inline constexpr size_t kMaxFreeRuns = 4096;

// A text that comes from outside (a reference of a control or of the file) is traced escaped
// and cut; the routines' own words as they are.
void AppendPart(Text& line, TextView part) { line += TracedText(part); }
void AppendPart(Text& line, const char16_t* part) { line.append(part); }
void AppendPart(Text& line, int32_t number) { line += NumberText(number); }

// Byte offset of record N; false when N is not a usable record number.
bool RecordOffset(int32_t n, int64_t* offset) {
  if (n < 1 || n > kMaxRecordNumber) return false;
  *offset = int64_t{n - 1} * kRecordSize;
  return true;
}

// True when the 60-byte reference field, trimmed of spaces, holds exactly `wanted` (never
// when `wanted` itself starts or ends with a space).
bool TrimmedFieldEquals(const uint8_t* field, std::string_view wanted) {
  if (!wanted.empty() && (wanted.front() == ' ' || wanted.back() == ' ')) return false;
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

// NormaliseReference without copying: trimmed, and cut to the field and trimmed again.
TextView StoredForm(TextView ntf) {
  const auto trim = [](TextView t) {
    while (!t.empty() && t.front() == u' ') t.remove_prefix(1);
    while (!t.empty() && t.back() == u' ') t.remove_suffix(1);
    return t;
  };
  TextView out = trim(ntf);
  if (out.size() > kRefNTFLength) out = trim(out.substr(0, kRefNTFLength));
  return out;
}

bool IsFree(const uint8_t* record) { return ReadInt32(record + kOffEtat) == 0; }

}  // namespace

// Holds the cross-process slot lock, when it could be taken, until destruction. Without an
// open file there is nothing to lock (and the write that follows fails).
class FctCache::SlotLock {
 public:
  explicit SlotLock(FctCache& cache)
      : cache_(cache), taken_(cache.file_ && cache.slot_lock_.Acquire(*cache.file_)) {}
  ~SlotLock() {
    if (taken_ && cache_.file_) cache_.slot_lock_.Release(*cache_.file_);
  }
  SlotLock(const SlotLock&) = delete;
  SlotLock& operator=(const SlotLock&) = delete;
  // False when another process kept the lock through the whole wait.
  bool held() const { return taken_ || !cache_.file_; }

 private:
  FctCache& cache_;
  bool taken_;
};

FctCache::FctCache(FileSystem& files, Clock& clock, CodePage& code_page,
                   TraceLogConditionnel& trace, RegistrePD& registry)
    : files_(files),
      clock_(clock),
      code_page_(code_page),
      trace_(trace),
      registry_(registry),
      slot_lock_(clock) {}

template <typename... Parts>
void FctCache::Trace(const Parts&... parts) {
  if (!trace_.blnTraceActive()) return;
  Text line;
  (AppendPart(line, parts), ...);
  trace_.fctEcrireTrace(line);
}

void FctCache::FreeSlots::Add(int32_t n) {
  if (!runs.empty() && runs.back().second == n - 1) {
    runs.back().second = n;
  } else if (runs.size() < kMaxFreeRuns) {
    runs.emplace_back(n, n);
  } else {
    too_many = true;
  }
}

Text FctCache::FilePath() const {
  if (fixed_path_) return *fixed_path_;
  return strCheminInstall_.empty() ? Text() : CacheFilePath(strCheminInstall_);
}

std::optional<int32_t> FctCache::IndexEntry(const Text& ntf) const {
  if (!colIndexNTF_) return std::nullopt;
  const auto it = colIndexNTF_->find(TextView(ntf));
  if (it == colIndexNTF_->end()) return std::nullopt;
  return it->second;
}

void FctCache::IndexAdd(const Text& ntf, int32_t n) {
  // An existing key is kept as it is, whatever position it gives.
  if (colIndexNTF_) colIndexNTF_->try_emplace(ntf, n);
}

void FctCache::IndexRemove(const Text& ntf) {
  if (!colIndexNTF_) return;
  const auto it = colIndexNTF_->find(TextView(ntf));
  if (it != colIndexNTF_->end()) colIndexNTF_->erase(it);
}

// ---- References

// Fills `ref` in place: the lookups of every tick reuse its buffers.
void FctCache::FillReference(TextView text, StoredReference* ref) {
  ref->text.assign(text);
  ref->exact = code_page_.ToAnsiExact(text, &ref->bytes) && ref->bytes.size() <= kRefNTFLength;
}

FctCache::StoredReference FctCache::ExactReference(const Text& text) {
  StoredReference ref;
  FillReference(text, &ref);
  return ref;
}

bool FctCache::CanStore(const Text& ntf) { return ExactReference(NormaliseReference(ntf)).exact; }

// The stored form of a control's reference. One that the file cannot hold exactly is neither
// looked up (its lossy bytes could name another point) nor written (it could never be found
// again, and each request would add a record).
bool FctCache::PrepareReference(const Text& ntf, StoredReference* ref) {
  FillReference(StoredForm(ntf), ref);
  if (!ref->exact) {
    Trace(u"   NTF ", ref->text, u" non représentable dans le fichier : ni cherchée ni écrite");
  }
  return ref->exact;
}

bool FctCache::Carries(const uint8_t* record, const StoredReference& ref) {
  if (ref.exact && code_page_.IsSingleByte()) {
    return TrimmedFieldEquals(record + kOffRefNTF, ref.bytes);
  }
  return DecodeTrimmedReference(record, code_page_) == ref.text;
}

// ---- Reading

int32_t FctCache::RecordCountOfFile() {
  int64_t length = 0;
  if (!file_) return 0;
  if (!file_->Length(&length)) {
    read_failed_ = true;  // the handle is no longer usable
    return 0;
  }
  return static_cast<int32_t>(std::min<int64_t>(RecordCount(length), kMaxRecordNumber));
}

bool FctCache::ReadRecordBytes(int32_t n, uint8_t* out) {
  std::memset(out, 0, kRecordSize);
  int64_t offset = 0;
  size_t got = 0;
  whole_ = false;
  if (!file_ || !RecordOffset(n, &offset)) return false;
  if (file_->ReadAt(offset, out, kRecordSize, &got)) {
    whole_ = got == kRecordSize;
    return true;
  }
  read_failed_ = true;
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

// Reads records `first` to `last` in blocks, each as a record read delivers it (missing bytes
// zero) and traced as fctLectureDansLeCache traces it, until `visit(n, bytes)` returns true;
// returns that record's number, or 0.
template <typename Visit>
int32_t FctCache::VisitRecords(int32_t first, int32_t last, Visit&& visit) {
  const bool traced = trace_.blnTraceActive();
  block_.resize(size_t{kScanBlockRecords} * kRecordSize);
  for (int32_t start = first; start <= last; start += kScanBlockRecords) {
    const int32_t records = std::min(kScanBlockRecords, last - start + 1);
    const size_t size = size_t(records) * kRecordSize;
    size_t got = 0;
    if (!file_ || !file_->ReadAt(int64_t{start - 1} * kRecordSize, block_.data(), size, &got)) {
      read_failed_ = read_failed_ || file_ != nullptr;
      got = 0;
    }
    block_got_ = std::min(got, size);
    std::fill(block_.begin() + static_cast<std::ptrdiff_t>(std::min(got, size)),
              block_.begin() + static_cast<std::ptrdiff_t>(size), uint8_t{0});
    for (int32_t k = 0; k < records; ++k) {
      const uint8_t* record = block_.data() + size_t(k) * kRecordSize;
      if (traced) TraceRecordRead(start + k, record);
      if (visit(start + k, record)) return start + k;
    }
  }
  return 0;
}

// ---- Index and lookups

// convertNTFToIndex, keeping the bytes of the record read to verify the entry.
int32_t FctCache::VerifiedIndex(const StoredReference& ref, uint8_t* bytes) {
  Trace(u"convertNTFToIndex - début - ", ref.text);
  int32_t n = IndexEntry(ref.text).value_or(0);
  if (n != 0) {
    ReadRecordBytes(n, bytes);
    if (trace_.blnTraceActive()) TraceRecordRead(n, bytes);
    if (!Carries(bytes, ref)) {
      IndexRemove(ref.text);
      n = 0;
    }
  }
  Trace(u"convertNTFToIndex - fin - ", n);
  return n;
}

int32_t FctCache::convertNTFToIndex(const Text& ntf) {
  ForgetLastRead();
  uint8_t bytes[kRecordSize];
  return VerifiedIndex(ExactReference(ntf), bytes);
}

// One pass from record 1: the first record carrying the point, or 0 after noting in `free`
// (when given) every free slot of the file.
int32_t FctCache::Scan(const StoredReference& ref, uint8_t* bytes, FreeSlots* free) {
  const int32_t count = RecordCountOfFile();
  const bool by_bytes = code_page_.IsSingleByte();
  const int32_t n = VisitRecords(1, count, [&](int32_t i, const uint8_t* record) {
    if (by_bytes ? TrimmedFieldEquals(record + kOffRefNTF, ref.bytes) : Carries(record, ref)) {
      std::memcpy(bytes, record, kRecordSize);
      whole_ = size_t(record - block_.data()) + kRecordSize <= block_got_;
      return true;
    }
    if (free && IsFree(record)) free->Add(i);
    return false;
  });
  if (free) free->scanned = count;
  return n;
}

// GetData's steps: the indexed record, read once and verified, else a scan that indexes the
// first record carrying the point. A reference without exact bytes is in no record.
int32_t FctCache::Locate(const StoredReference& ref, uint8_t* bytes, FreeSlots* free) {
  Trace(u"GetData - début ", ref.text);
  int32_t n = VerifiedIndex(ref, bytes);
  // The verified record is the result: traced as the record read that delivers it, without
  // reading it a second time.
  if (n != 0 && trace_.blnTraceActive()) TraceRecordRead(n, bytes);
  if (n == 0) {
    Trace(u"   GetData ", ref.text, u" position non mémorisée");
    if (ref.exact) n = Scan(ref, bytes, free);
    if (n != 0) {
      IndexRemove(ref.text);
      IndexAdd(ref.text, n);
      Trace(u"   Aj coll ", ref.text, u" ", n);
    }
  }
  Trace(u"GetData - fin");
  return n;
}

EnregCache FctCache::GetData(const Text& ntf) {
  ForgetLastRead();
  uint8_t bytes[kRecordSize];
  if (Locate(ExactReference(ntf), bytes, nullptr) == 0) return EnregCache();
  return DecodeRecord(bytes, code_page_);
}

// The open file is trusted until a read fails; then it is checked, re-opened when its handle
// is no longer usable, and the lookup made again. The record found is kept for the forced
// read that follows in the same tick.
EnregCache FctCache::PointRecord(const Text& ntf) {
  ForgetLastRead();
  if (!file_ && fctOuvrirCache() != 0) return EnregCache();
  StoredReference& ref = display_ref_;
  if (!PrepareReference(ntf, &ref)) return EnregCache();
  uint8_t bytes[kRecordSize];
  read_failed_ = false;
  int32_t n = Locate(ref, bytes, nullptr);
  if (read_failed_ && fctOuvrirCache() == 0) n = Locate(ref, bytes, nullptr);
  if (n == 0) return EnregCache();
  if (!read_failed_) {
    last_read_.ntf = ref.text;
    last_read_.n = n;
    last_read_.whole = whole_;
    std::memcpy(last_read_.bytes, bytes, kRecordSize);
  }
  return DecodeRecord(bytes, code_page_);
}

// ---- Opening and closing

// The installation path is read again at every (re)open while it is empty or while the file
// under it could not be opened, so that a corrected value is taken without a restart. Without
// an installation path there is no cache file: a folder at the root of the current drive is
// never used in its place.
int32_t FctCache::fctOuvrirCache() {
  int64_t length = 0;
  if (file_ && file_->Length(&length)) return 0;
  if (!colIndexNTF_) colIndexNTF_.emplace();
  file_.reset();
  if (!fixed_path_ && (strCheminInstall_.empty() || open_failed_)) ReadInstallPath();
  intFicCache_ = ++last_handle_;
  const Text path = FilePath();
  if (path.empty()) {
    Trace(u"fctOuvrirCache - chemin d'installation absent (", kValeurInstall,
          u") : pas de fichier cache");
    open_failed_ = true;
    return kNoInstallPath;
  }
  file_ = read_only_ ? files_.OpenReadOnly(path) : files_.OpenShared(path);
  open_failed_ = !file_;
  return file_ ? 0 : kOpenFailed;
}

// The result is not examined: a path that cannot be read is empty (no cache file) and is
// read again at the next (re)open.
void FctCache::ReadInstallPath() {
  RegValue value = Text();  // a value gone from the registry leaves no path
  registry_.LireValeurRegistre(kCleRacineInstall, kCleInstall, kValeurInstall, value, Text());
  if (const Text* text = std::get_if<Text>(&value)) {
    strCheminInstall_ = *text;
  } else {
    strCheminInstall_ = NumberText(std::get<int32_t>(value));
  }
}

void FctCache::CloseFile() {
  ForgetLastRead();
  file_.reset();
}

// ---- Writing

void FctCache::WriteRecordAt(const uint8_t* bytes, const Text& trimmed, int32_t n, size_t size) {
  Trace(u"   EC ", trimmed, u" ", n);
  if (n == last_read_.n) ForgetLastRead();
  int64_t offset = 0;
  if (file_ && RecordOffset(n, &offset) && !file_->WriteAt(offset, bytes, size)) {
    read_failed_ = true;
  }
}

void FctCache::fctEcritureDansLeCache(const EnregCache& record, int32_t& n) {
  ForgetLastRead();
  Trace(u"fctEcritureDansLeCache - début - Pos.", n);
  // The slot choice and its write are one step for every process that shares the file.
  std::optional<SlotLock> lock;
  if (n == 0) {
    lock.emplace(*this);
    if (!lock->held()) {
      Trace(u"   EC verrou occupé : écriture reportée");
      Trace(u"fctEcritureDansLeCache - fin");
      return;
    }
    const int32_t count = RecordCountOfFile();
    n = VisitRecords(1, count, [](int32_t, const uint8_t* r) { return IsFree(r); });
    if (n == 0) n = count + 1;
  }
  const Text trimmed = TrimSpaces(record.strRefNTF);
  uint8_t bytes[kRecordSize];
  EncodeRecord(record, code_page_, bytes);
  WriteRecordAt(bytes, trimmed, n);
  lock.reset();
  IndexAdd(trimmed, n);
  Trace(u"fctEcritureDansLeCache - fin");
}

// Under the slot lock, the slot for a new record of the point: every slot that a concurrent
// writer may have filled since the scan is read again (the free ones and those appended), and
// the first of them found carrying the point is returned with *taken set; otherwise the first
// still free, or the end of the file.
int32_t FctCache::ChooseSlotAgain(const StoredReference& ref, const FreeSlots& free, uint8_t* bytes,
                                  bool* taken) {
  const int32_t count = RecordCountOfFile();
  int32_t first_free = 0;
  const auto visit = [&](int32_t i, const uint8_t* record) {
    if (Carries(record, ref)) {
      std::memcpy(bytes, record, kRecordSize);
      return *taken = true;
    }
    if (first_free == 0 && IsFree(record)) first_free = i;
    return false;
  };
  if (free.too_many) {
    if (const int32_t n = VisitRecords(1, count, visit)) return n;
  } else {
    for (const auto& [first, last] : free.runs) {
      if (first > count) break;
      if (const int32_t n = VisitRecords(first, std::min(last, count), visit)) return n;
    }
    if (const int32_t n = VisitRecords(free.scanned + 1, count, visit)) return n;
  }
  return first_free != 0 ? first_free : count + 1;
}

// Only the state, the two dates and the code change: one write of the record's first
// kOffValeurLue bytes (the reference among them, as just read and found to carry the point)
// leaves the value texts and what follows them as the server last wrote them. A record that
// could not be read whole is written whole, as read.
void FctCache::RewriteAsRequested(const StoredReference& ref, uint8_t* bytes, int32_t n,
                                  int32_t poll_time) {
  const bool whole = whole_;
  MarkRequested(bytes, poll_time, clock_.Now());
  Trace(u"  FL ", ref.text, u" ", n);
  Trace(u"fctEcritureDansLeCache - début - Pos.", n);
  // The lookup that found the point indexed it at N.
  WriteRecordAt(bytes, ref.text, n, whole ? kOffValeurLue : kRecordSize);
  Trace(u"fctEcritureDansLeCache - fin");
}

void FctCache::WriteNewRequest(const StoredReference& ref, int32_t poll_time,
                               const FreeSlots& free) {
  EnregCache record;
  record.lngEtat = 1;
  record.lngPollTime = poll_time;
  record.strValeurLue = Text(kValeurLength, u' ');
  record.strValeurFormateeLue = Text(kValeurLength, u' ');
  record.dtmDemande = clock_.Now();
  uint8_t bytes[kRecordSize];
  EncodeRecord(record, code_page_, bytes);
  std::memset(bytes + kOffRefNTF, ' ', kRefNTFLength);
  std::memcpy(bytes + kOffRefNTF, ref.bytes.data(), ref.bytes.size());
  Trace(u"  FL not found");
  Trace(u"fctEcritureDansLeCache - début - Pos.", 0);
  SlotLock lock(*this);
  if (!lock.held()) {
    Trace(u"   EC verrou occupé : écriture reportée");
  } else {
    bool taken = false;
    const int32_t n = ChooseSlotAgain(ref, free, bytes, &taken);
    // A point that another process wrote meanwhile is requested in its record.
    if (taken) MarkRequested(bytes, poll_time, record.dtmDemande);
    WriteRecordAt(bytes, ref.text, n);
    IndexAdd(ref.text, n);
  }
  Trace(u"fctEcritureDansLeCache - fin");
}

// An open file is used without a length query: a call on it that fails shows a handle that is
// no longer usable, and the lookup is then made again after fctOuvrirCache.
bool FctCache::OpenForRequest() {
  if (file_) return true;
  ForgetLastRead();
  return fctOuvrirCache() == 0;
}

// GetData's lookup for a forced read: the display's read of the same point just before, when
// there is one, stands for the record reads (traced as they would be).
int32_t FctCache::LocateForRequest(const StoredReference& ref, uint8_t* bytes, FreeSlots* free) {
  read_failed_ = false;
  if (last_read_.n != 0 && last_read_.ntf == ref.text) {
    const int32_t n = last_read_.n;
    std::memcpy(bytes, last_read_.bytes, kRecordSize);
    whole_ = last_read_.whole;
    ForgetLastRead();
    if (trace_.blnTraceActive()) TraceLocateFromLastRead(ref, n, bytes);
    return n;
  }
  int32_t n = Locate(ref, bytes, free);
  if (read_failed_ && fctOuvrirCache() == 0) {
    *free = FreeSlots();
    n = Locate(ref, bytes, free);
  }
  return n;
}

void FctCache::TraceLocateFromLastRead(const StoredReference& ref, int32_t n,
                                       const uint8_t* bytes) {
  Trace(u"GetData - début ", ref.text);
  Trace(u"convertNTFToIndex - début - ", ref.text);
  TraceRecordRead(n, bytes);
  Trace(u"convertNTFToIndex - fin - ", n);
  TraceRecordRead(n, bytes);
  Trace(u"GetData - fin");
}

void FctCache::cacheForcerLectNTF(const Text& ntf, int32_t poll_time) {
  Trace(u"cacheForcerLectNTF - début - ", ntf);
  StoredReference& ref = request_ref_;
  if (OpenForRequest() && PrepareReference(ntf, &ref)) {
    Trace(u"  FL av GetData");
    uint8_t bytes[kRecordSize];
    FreeSlots free;
    const int32_t n = LocateForRequest(ref, bytes, &free);
    Trace(u"  FL ap GetData");
    if (n != 0) {
      RewriteAsRequested(ref, bytes, n, poll_time);
    } else {
      WriteNewRequest(ref, poll_time, free);
    }
  }
  Trace(u"cacheForcerLectNTF - fin");
}

}  // namespace quillon
