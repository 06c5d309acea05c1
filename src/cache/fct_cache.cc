#include "cache/fct_cache.h"

#include <algorithm>
#include <cstring>
#include <variant>

#include "cache/cache_trace.h"
#include "cache/record_codec.h"

namespace quillon {
namespace {

inline constexpr int32_t kOpenFailed = 1;
inline constexpr int32_t kNoInstallPath = 2;

}  // namespace

FctCache::FctCache(FileSystem& files, Clock& clock, CodePage& code_page,
                   TraceLogConditionnel& trace, RegistrePD& registry)
    : files_(files),
      clock_(clock),
      code_page_(code_page),
      trace_(trace),
      registry_(registry),
      file_(code_page, trace),
      writer_(file_, colIndexNTF_, clock, code_page, trace) {}

Text FctCache::FilePath() const {
  if (fixed_path_) return *fixed_path_;
  return strCheminInstall_.empty() ? Text() : CacheFilePath(strCheminInstall_);
}

std::optional<int32_t> FctCache::IndexEntry(TextView ntf) const {
  if (!has_index_) return std::nullopt;
  return colIndexNTF_.Find(ntf);
}

void FctCache::IndexAdd(TextView ntf, int32_t n) {
  if (has_index_) colIndexNTF_.Add(ntf, n);
}

// A write at the slot of the record kept from the display's read makes that copy stale.
void FctCache::Wrote(int32_t n) {
  if (n != 0 && n == last_read_.n) ForgetLastRead();
}

// ---- References

bool FctCache::CanStore(const Text& ntf) {
  StoredReference ref;
  FillReference(NormaliseReference(ntf), code_page_, &ref);
  return ref.exact;
}

// The stored form of a control's reference. One that the file cannot hold exactly is neither
// looked up (its lossy bytes could name another point) nor written (it could never be found
// again, and each request would add a record). A point in the index was converted when its
// entry was made: its bytes are taken from there (or from a hint that still holds), and its
// entry is handed to the lookup that follows. What the index said is left in `learn`.
bool FctCache::PrepareReference(const Text& ntf, StoredReference* ref, const PointHint* hint,
                                PointHint* learn) {
  const TextView stored = StoredForm(ntf);
  prepared_for_ = nullptr;
  if (HintHolds(hint, ntf)) {
    prepared_for_ = ref;
    prepared_entry_ = hint->n;
    if (hint->n != 0 && hint->has_ansi) {
      ref->text.assign(stored);
      ref->bytes.assign(hint->ansi);
      ref->exact = true;
      return true;
    }
  } else if (has_index_) {
    const auto entry = colIndexNTF_.FindEntry(stored, &ref->bytes);
    prepared_for_ = ref;
    prepared_entry_ = entry ? entry->n : 0;
    if (learn) Learn(ntf, entry ? entry->n : 0, entry && entry->has_ansi, ref->bytes, learn);
    if (entry && entry->has_ansi) {
      ref->text.assign(stored);
      ref->exact = true;
      return true;
    }
  }
  FillReference(stored, code_page_, ref);
  if (!ref->exact) {
    CacheTrace(trace_, u"   NTF ", ref->text,
               u" non représentable dans le fichier : ni cherchée ni écrite");
  }
  return ref->exact;
}

bool FctCache::HintHolds(const PointHint* hint, const Text& ntf) const {
  return hint != nullptr && has_index_ && hint->index_version == colIndexNTF_.version() &&
         SameText(hint->ntf, ntf);
}

void FctCache::Learn(const Text& ntf, int32_t n, bool has_ansi, const std::string& ansi,
                     PointHint* hint) const {
  hint->ntf.assign(ntf);
  hint->index_version = colIndexNTF_.version();
  hint->n = n;
  hint->has_ansi = has_ansi;
  if (has_ansi) hint->ansi.assign(ansi);
}

// ---- Lookups

// The index entry of the point, verified by reading its record into `bytes`.
int32_t FctCache::convertNTFToIndex(const StoredReference& ref, uint8_t* bytes) {
  CacheTrace(trace_, u"convertNTFToIndex - début - ", ref.text);
  int32_t n = prepared_for_ == &ref ? prepared_entry_ : IndexEntry(ref.text).value_or(0);
  prepared_for_ = nullptr;
  if (n != 0) {
    file_.fctLectureDansLeCache(n, bytes);
    if (!Carries(bytes, ref, code_page_)) {
      colIndexNTF_.Remove(ref.text);
      n = 0;
    }
  }
  CacheTrace(trace_, u"convertNTFToIndex - fin - ", n);
  return n;
}

// One pass from record 1: the first record carrying the point, or 0 after noting in `free`
// (when given) every free slot of the file.
int32_t FctCache::ScanFor(const StoredReference& ref, uint8_t* bytes, FreeSlots* free) {
  const int32_t count = file_.RecordCountOfFile();
  const bool by_bytes = code_page_.IsSingleByte();
  const int32_t n = file_.VisitRecords(1, count, [&](int32_t i, const uint8_t* record) {
    if (by_bytes ? TrimmedFieldEquals(record + kOffRefNTF, ref.bytes)
                 : Carries(record, ref, code_page_)) {
      std::memcpy(bytes, record, kRecordSize);
      file_.set_last_whole(file_.ScannedWhole(record));
      return true;
    }
    if (free && IsFreeSlot(record)) free->Add(i);
    return false;
  });
  if (free) free->scanned = count;
  return n;
}

// The indexed record, read once and verified, else a scan that indexes the first record
// carrying the point. A reference without exact bytes is in no record.
int32_t FctCache::GetData(const StoredReference& ref, uint8_t* bytes, FreeSlots* free) {
  CacheTrace(trace_, u"GetData - début ", ref.text);
  int32_t n = convertNTFToIndex(ref, bytes);
  // The verified record is the result: traced as the record read that delivers it, without
  // reading it a second time.
  if (n != 0 && trace_.blnTraceActive()) file_.TraceRecordRead(n, bytes);
  if (n == 0) {
    CacheTrace(trace_, u"   GetData ", ref.text, u" position non mémorisée");
    if (ref.exact) n = ScanFor(ref, bytes, free);
    if (n != 0) {
      if (has_index_) colIndexNTF_.Set(ref.text, n, &ref.bytes);
      CacheTrace(trace_, u"   Aj coll ", ref.text, u" ", n);
    }
  }
  CacheTrace(trace_, u"GetData - fin");
  return n;
}

// The open file is trusted until a read fails; then it is checked, re-opened when its handle
// is no longer usable, and the lookup made again. The record found is kept for the forced
// read that follows in the same tick.
bool FctCache::PointRecord(const Text& ntf, EnregCache* record, PointHint* hint) {
  ForgetLastRead();
  StoredReference& ref = display_ref_;
  if ((!file_.is_open() && fctOuvrirCache() != 0) || !PrepareReference(ntf, &ref, hint, hint)) {
    MakeEmpty(record);
    return false;
  }
  uint8_t bytes[kRecordSize];
  file_.ClearFailed();
  int32_t n = GetData(ref, bytes, nullptr);
  if (file_.failed() && fctOuvrirCache() == 0) n = GetData(ref, bytes, nullptr);
  if (n == 0) {
    MakeEmpty(record);
    return false;
  }
  if (!file_.failed()) {
    last_read_.ntf = ref.text;
    last_read_.n = n;
    last_read_.whole = file_.last_whole();
    std::memcpy(last_read_.bytes, bytes, kRecordSize);
  }
  DecodeRecord(bytes, code_page_, record);
  return true;
}

// ---- Opening and closing

// The installation path is read again at every (re)open while it is empty or while the file
// under it could not be opened, so that a corrected value is taken without a restart. Without
// an installation path there is no cache file: a folder at the root of the current drive is
// never used in its place.
int32_t FctCache::fctOuvrirCache() {
  if (file_.Answers()) return 0;
  has_index_ = true;
  file_.Attach(nullptr);
  if (!fixed_path_ && (strCheminInstall_.empty() || open_failed_)) ReadInstallPath();
  intFicCache_ = ++last_handle_;
  const Text path = FilePath();
  if (path.empty()) {
    CacheTrace(trace_, u"fctOuvrirCache - chemin d'installation absent (", kValeurInstall,
               u") : pas de fichier cache");
    open_failed_ = true;
    return kNoInstallPath;
  }
  file_.Attach(read_only_ ? files_.OpenReadOnly(path) : files_.OpenShared(path));
  open_failed_ = !file_.is_open();
  return file_.is_open() ? 0 : kOpenFailed;
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
  file_.Attach(nullptr);
}

// ---- Forced reads

// An open file is used without a length query: a call on it that fails shows a handle that is
// no longer usable, and the lookup is then made again after fctOuvrirCache.
bool FctCache::OpenForRequest() {
  if (file_.is_open()) return true;
  ForgetLastRead();
  return fctOuvrirCache() == 0;
}

// GetData's lookup for a forced read: the display's read of the same point just before, when
// there is one, stands for the record reads (traced as they would be).
int32_t FctCache::GetDataForRequest(const StoredReference& ref, uint8_t* bytes,
                                    FreeSlots* free) {
  file_.ClearFailed();
  if (last_read_.n != 0 && SameText(last_read_.ntf, ref.text)) {
    const int32_t n = last_read_.n;
    std::memcpy(bytes, last_read_.bytes, kRecordSize);
    file_.set_last_whole(last_read_.whole);
    ForgetLastRead();
    prepared_for_ = nullptr;
    if (trace_.blnTraceActive()) TraceGetDataFromLastRead(ref, n, bytes);
    return n;
  }
  int32_t n = GetData(ref, bytes, free);
  if (file_.failed() && fctOuvrirCache() == 0) {
    *free = FreeSlots();
    n = GetData(ref, bytes, free);
  }
  return n;
}

void FctCache::TraceGetDataFromLastRead(const StoredReference& ref, int32_t n,
                                        const uint8_t* bytes) {
  CacheTrace(trace_, u"GetData - début ", ref.text);
  CacheTrace(trace_, u"convertNTFToIndex - début - ", ref.text);
  file_.TraceRecordRead(n, bytes);
  CacheTrace(trace_, u"convertNTFToIndex - fin - ", n);
  file_.TraceRecordRead(n, bytes);
  CacheTrace(trace_, u"GetData - fin");
}

void FctCache::PlanRead(const Text& ntf, const PointHint* hint) {
  if (!has_index_ || !file_.is_open()) return;
  const TextView stored = StoredForm(ntf);
  if (last_read_.n != 0 && SameText(last_read_.ntf, stored)) return;
  if (HintHolds(hint, ntf)) {
    if (hint->n != 0) planned_.push_back(hint->n);
  } else if (const auto n = colIndexNTF_.Find(stored)) {
    planned_.push_back(*n);
  }
}

int32_t FctCache::LastReadOf(const Text& ntf, uint8_t* bytes) const {
  if (last_read_.n == 0 || !last_read_.whole || !SameText(last_read_.ntf, StoredForm(ntf))) {
    return 0;
  }
  std::memcpy(bytes, last_read_.bytes, kRecordSize);
  return last_read_.n;
}

void FctCache::ReadPlanned(const std::vector<KnownRecord>& known) {
  if (planned_.empty() && known.empty()) return;
  std::sort(planned_.begin(), planned_.end());
  planned_.erase(std::unique(planned_.begin(), planned_.end()), planned_.end());
  std::erase_if(planned_, [](int32_t n) { return n < 1 || n > kMaxRecordNumber; });
  file_.HoldRecords(planned_, known);
  planned_.clear();
}

void FctCache::cacheForcerLectNTF(const Text& ntf, int32_t poll_time, const PointHint* hint) {
  CacheTrace(trace_, u"cacheForcerLectNTF - début - ", ntf);
  StoredReference& ref = request_ref_;
  if (OpenForRequest() && PrepareReference(ntf, &ref, hint, nullptr)) {
    CacheTrace(trace_, u"  FL av GetData");
    uint8_t bytes[kRecordSize];
    FreeSlots free;
    const int32_t n = GetDataForRequest(ref, bytes, &free);
    CacheTrace(trace_, u"  FL ap GetData");
    if (n != 0) {
      Wrote(n);
      writer_.RewriteAsRequested(ref, bytes, n, file_.last_whole(), poll_time);
    } else {
      Wrote(writer_.WriteNewRequest(ref, poll_time, free));
    }
  }
  CacheTrace(trace_, u"cacheForcerLectNTF - fin");
}

}  // namespace quillon
