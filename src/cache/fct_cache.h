// Module fctCache: the shared cache file of one process (or thread running controls), its
// record routines, the point index and the forced reads.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "cache/record.h"
#include "cache/slot_lock.h"
#include "common/text.h"
#include "platform/clock.h"
#include "platform/code_page.h"
#include "platform/file_system.h"
#include "services/registre_pd.h"
#include "services/trace_log.h"

namespace quillon {

// Records read at once by a scan (about 64 KiB).
inline constexpr int32_t kScanBlockRecords = 65536 / kRecordSize;

// Where the installation path is read: HKEY_LOCAL_MACHINE, this key, this value.
inline constexpr int32_t kCleRacineInstall = static_cast<int32_t>(0x80000002u);
inline constexpr char16_t kCleInstall[] = u"SOFTWARE\\Halvorn\\Pondral";
inline constexpr char16_t kValeurInstall[] = u"Chemin PD";

class FctCache {
 public:
  FctCache(FileSystem& files, Clock& clock, CodePage& code_page, TraceLogConditionnel& trace,
           RegistrePD& registry);
  FctCache(const FctCache&) = delete;
  FctCache& operator=(const FctCache&) = delete;

  // Record N of the open file; the empty record when nothing can be read there.
  EnregCache fctLectureDansLeCache(int32_t n);
  // Writes at N > 0; with N = 0 takes the first free slot or appends, and hands N back.
  void fctEcritureDansLeCache(const EnregCache& record, int32_t& n);
  // The verified record number of a point, or 0 (a stale index entry is removed).
  int32_t convertNTFToIndex(const Text& ntf);
  // The record of a point through the index, else by a scan; the empty record when absent.
  EnregCache GetData(const Text& ntf);
  // The record of a point as a control sees it: the file opened when closed, the reference
  // in its stored form (trimmed, at most 60 characters), the stored reference compared
  // trimmed and exactly; the empty record otherwise, also for a reference that the file
  // cannot hold exactly. A lookup through the index reads one record.
  EnregCache PointRecord(const Text& ntf);
  // True when a reference, in its stored form, can be written and found again: every
  // character in the code page without a look-alike, at most 60 bytes.
  bool CanStore(const Text& ntf);
  // Opens the cache file when it is not open (0 when open at the end, else non-zero). The
  // installation path is read while it is empty or after an open that failed; without one
  // there is no cache file.
  int32_t fctOuvrirCache();
  // Marks a point as requested with a refresh code, or writes a new request record into a
  // slot chosen under the slot lock; a lookup that misses is one pass over the file. A known
  // point's record is read once (or taken from the display's read just before, see
  // PointRecord) and only its state, dates and code are written back, so value texts that
  // the server writes meanwhile survive. An open file is trusted until a call on it fails.
  // Nothing is written for a reference that the file cannot hold exactly, nor when the slot
  // lock stays busy (the next request tries again).
  void cacheForcerLectNTF(const Text& ntf, int32_t poll_time);
  // Drops the record kept from the last PointRecord: the forced read that follows it within
  // the same tick may use it, a later one reads the record again.
  void ForgetLastRead() { last_read_.n = 0; }
  // Closes the file; the handle number, the path and the index stay.
  void CloseFile();

  // Opens this file instead of the one under the installation path (tools, tests).
  void UseFile(const Text& path) { fixed_path_ = path; }
  // From the next (re)open, opens the file for reading only and never creates it (tools that
  // only look): lookups work, writes fail.
  void ReadOnly() { read_only_ = true; }
  // The file that fctOuvrirCache opens.
  Text FilePath() const;

  const Text& strCheminInstall() const { return strCheminInstall_; }
  int32_t intFicCache() const { return intFicCache_; }
  bool HasIndex() const { return colIndexNTF_.has_value(); }
  // The index entry of a point (its exact reference), if any.
  std::optional<int32_t> IndexEntry(const Text& ntf) const;
  // Records of the open file (length / 144, half to even, at most kMaxRecordNumber).
  int32_t RecordCountOfFile();

 private:
  // A reference in the form the file stores it, and its exact ANSI bytes when it has them.
  struct StoredReference {
    Text text;
    std::string bytes;
    bool exact = false;
  };
  // Free slots seen by a scan of records 1 to `scanned`, as runs of numbers.
  struct FreeSlots {
    int32_t scanned = 0;
    std::vector<std::pair<int32_t, int32_t>> runs;
    bool too_many = false;
    void Add(int32_t n);
  };
  // The record of the last PointRecord, for the forced read of the same point that follows
  // it in the same tick; n = 0 when there is none.
  struct LastRead {
    Text ntf;
    int32_t n = 0;
    bool whole = false;
    uint8_t bytes[kRecordSize] = {};
  };
  // Index keys looked up without building a key.
  struct KeyHash {
    using is_transparent = void;
    size_t operator()(TextView key) const { return std::hash<TextView>()(key); }
  };
  using Index = std::unordered_map<Text, int32_t, KeyHash, std::equal_to<>>;
  class SlotLock;

  template <typename... Parts>
  void Trace(const Parts&... parts);
  void FillReference(TextView text, StoredReference* ref);
  StoredReference ExactReference(const Text& text);
  bool PrepareReference(const Text& ntf, StoredReference* ref);
  bool Carries(const uint8_t* record, const StoredReference& ref);
  bool ReadRecordBytes(int32_t n, uint8_t* out);
  bool OpenForRequest();
  int32_t LocateForRequest(const StoredReference& ref, uint8_t* bytes, FreeSlots* free);
  void TraceLocateFromLastRead(const StoredReference& ref, int32_t n, const uint8_t* bytes);
  void TraceRecordRead(int32_t n, const uint8_t* bytes);
  template <typename Visit>
  int32_t VisitRecords(int32_t first, int32_t last, Visit&& visit);
  int32_t VerifiedIndex(const StoredReference& ref, uint8_t* bytes);
  int32_t Locate(const StoredReference& ref, uint8_t* bytes, FreeSlots* free);
  int32_t Scan(const StoredReference& ref, uint8_t* bytes, FreeSlots* free);
  int32_t ChooseSlotAgain(const StoredReference& ref, const FreeSlots& free, uint8_t* bytes,
                          bool* taken);
  void WriteRecordAt(const uint8_t* bytes, const Text& trimmed, int32_t n,
                     size_t size = kRecordSize);
  void RewriteAsRequested(const StoredReference& ref, uint8_t* bytes, int32_t n, int32_t poll_time);
  void WriteNewRequest(const StoredReference& ref, int32_t poll_time, const FreeSlots& free);
  void ReadInstallPath();
  void IndexAdd(const Text& ntf, int32_t n);
  void IndexRemove(const Text& ntf);

  FileSystem& files_;
  Clock& clock_;
  CodePage& code_page_;
  TraceLogConditionnel& trace_;
  RegistrePD& registry_;

  Text strCheminInstall_;
  int32_t intFicCache_ = 0;
  int32_t last_handle_ = 0;
  std::unique_ptr<RandomAccessFile> file_;
  // Keys: the exact reference (the "KEY_" prefix of the keys is implied). References that
  // differ only in letter case have entries of their own: sharing one, each lookup of the
  // one evicted the other's entry and scanned the file, to find what an exact key finds.
  std::optional<Index> colIndexNTF_;
  std::optional<Text> fixed_path_;
  bool read_only_ = false;
  bool read_failed_ = false;    // a call on the open file failed since this flag was cleared
  bool open_failed_ = false;    // the last open found no file: the path is read again
  bool whole_ = false;          // the record bytes last delivered by a lookup were all read
  LastRead last_read_;
  StoredReference display_ref_;  // PointRecord's reference
  StoredReference request_ref_;  // cacheForcerLectNTF's reference
  BoundedSlotLock slot_lock_;
  std::vector<uint8_t> block_;  // the scans' read buffer
  size_t block_got_ = 0;        // its bytes that the last block read delivered
};

}  // namespace quillon
