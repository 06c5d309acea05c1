#include "cache/forced_read.h"

#include <algorithm>
#include <cstring>

#include "cache/cache_trace.h"
#include "cache/record_codec.h"

namespace quillon {
namespace {

// Free-slot runs a scan remembers; beyond them the slot choice reads the whole file again.
inline constexpr size_t kMaxFreeRuns = 4096;

}  // namespace

void FreeSlots::Add(int32_t n) {
  if (!runs.empty() && runs.back().second == n - 1) {
    runs.back().second = n;
  } else if (runs.size() < kMaxFreeRuns) {
    runs.emplace_back(n, n);
  } else {
    too_many = true;
  }
}

// Holds the cross-process slot lock, when it could be taken, until destruction. Without an
// open file there is nothing to lock (and the write that follows fails).
class ForcedReadWriter::Lock {
 public:
  explicit Lock(ForcedReadWriter& writer)
      : writer_(writer),
        taken_(writer.file_.is_open() && writer.slot_lock_.Acquire(*writer.file_.handle())) {}
  ~Lock() {
    if (taken_ && writer_.file_.is_open()) writer_.slot_lock_.Release(*writer_.file_.handle());
  }
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;
  // False when another process kept the lock through the whole wait.
  bool held() const { return taken_ || !writer_.file_.is_open(); }

 private:
  ForcedReadWriter& writer_;
  bool taken_;
};

void ForcedReadWriter::WriteRecordAt(const uint8_t* bytes, TextView trimmed, int32_t n,
                                     size_t size) {
  CacheTrace(trace_, u"   EC ", trimmed, u" ", n);
  file_.WriteRecord(n, bytes, size);
}

// Only the state, the two dates and the code change: one write of the record's first
// kOffValeurLue bytes (the reference among them, as just read and found to carry the point)
// leaves the value texts and what follows them as the server last wrote them.
void ForcedReadWriter::RewriteAsRequested(const StoredReference& ref, uint8_t* bytes, int32_t n,
                                          bool whole, int32_t poll_time) {
  MarkRequested(bytes, poll_time, clock_.Now());
  CacheTrace(trace_, u"  FL ", ref.text, u" ", n);
  CacheTrace(trace_, u"fctEcritureDansLeCache - début - Pos.", n);
  // The lookup that found the point indexed it at N.
  WriteRecordAt(bytes, ref.text, n, whole ? kOffValeurLue : kRecordSize);
  CacheTrace(trace_, u"fctEcritureDansLeCache - fin");
}

// Every slot that a concurrent writer may have filled since the scan is read again (the free
// ones and those appended), and the first of them found carrying the point is returned with
// *taken set; otherwise the first still free, or the end of the file.
int32_t ForcedReadWriter::ChooseSlotAgain(const StoredReference& ref, const FreeSlots& free,
                                          uint8_t* bytes, bool* taken) {
  const int32_t count = file_.RecordCountOfFile();
  int32_t first_free = 0;
  const auto visit = [&](int32_t i, const uint8_t* record) {
    if (Carries(record, ref, code_page_)) {
      std::memcpy(bytes, record, kRecordSize);
      return *taken = true;
    }
    if (first_free == 0 && IsFreeSlot(record)) first_free = i;
    return false;
  };
  if (free.too_many) {
    if (const int32_t n = file_.VisitRecords(1, count, visit)) return n;
  } else {
    for (const auto& [first, last] : free.runs) {
      if (first > count) break;
      if (const int32_t n = file_.VisitRecords(first, std::min(last, count), visit)) return n;
    }
    if (const int32_t n = file_.VisitRecords(free.scanned + 1, count, visit)) return n;
  }
  return first_free != 0 ? first_free : count + 1;
}

int32_t ForcedReadWriter::WriteNewRequest(const StoredReference& ref, int32_t poll_time,
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
  CacheTrace(trace_, u"  FL not found");
  CacheTrace(trace_, u"fctEcritureDansLeCache - début - Pos.", 0);
  int32_t n = 0;
  Lock lock(*this);
  if (!lock.held()) {
    CacheTrace(trace_, u"   EC verrou occupé : écriture reportée");
  } else {
    bool taken = false;
    n = ChooseSlotAgain(ref, free, bytes, &taken);
    // A point that another process wrote meanwhile is requested in its record.
    if (taken) MarkRequested(bytes, poll_time, record.dtmDemande);
    WriteRecordAt(bytes, ref.text, n);
    index_.Add(ref.text, n, &ref.bytes);
  }
  CacheTrace(trace_, u"fctEcritureDansLeCache - fin");
  return n;
}

int32_t ForcedReadWriter::WriteInFirstFreeSlot(const uint8_t* bytes, TextView trimmed) {
  // The slot choice and its write are one step for every process that shares the file.
  Lock lock(*this);
  if (!lock.held()) {
    CacheTrace(trace_, u"   EC verrou occupé : écriture reportée");
    return 0;
  }
  const int32_t count = file_.RecordCountOfFile();
  int32_t n = file_.VisitRecords(1, count, [](int32_t, const uint8_t* r) { return IsFreeSlot(r); });
  if (n == 0) n = count + 1;
  WriteRecordAt(bytes, trimmed, n);
  return n;
}

}  // namespace quillon
