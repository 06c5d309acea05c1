// Module fctCache: the shared cache file of one process (or thread running controls) as a
// control sees it: opening it under the installation path, looking points up through the
// point index, and the forced reads. The record file, the index and the writer under the
// slot lock are its parts. No call throws on a file failure. Called on one thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cache/cache_file.h"
#include "cache/cache_services.h"
#include "cache/forced_read.h"
#include "cache/point_index.h"
#include "cache/record.h"
#include "cache/stored_reference.h"
#include "common/text.h"
#include "platform/clock.h"
#include "platform/code_page.h"
#include "platform/file_system.h"
#include "services/registre_pd.h"
#include "services/trace_log.h"

namespace quillon {

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

  // The record of a point as a control sees it: the file opened when closed, the reference
  // in its stored form (trimmed, at most 60 characters), the stored reference compared
  // trimmed and exactly; the empty record otherwise, also for a reference that the file
  // cannot hold exactly. A lookup through the index reads one record.
  // Reads into `record`, reusing its storage; true when the point's record was found. A
  // `hint` of the caller's last lookup stands for the index lookup while it holds, and is
  // updated when it did not.
  bool PointRecord(const Text& ntf, EnregCache* record, PointHint* hint = nullptr);
  EnregCache PointRecord(const Text& ntf) {
    EnregCache record;
    PointRecord(ntf, &record);
    return record;
  }
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
  // A `hint` stands for the index lookup while it holds.
  void cacheForcerLectNTF(const Text& ntf, int32_t poll_time, const PointHint* hint = nullptr);
  // The reads of a flush: PlanRead for each reference queued, then ReadPlanned reads the
  // records that the index gives for them in few large reads and holds them, so that their
  // forced reads check and refresh them without a read each (the display's read just before
  // stands for its own point). The check stays the same: a held record that no longer
  // carries its point is looked for again as before. DropHeld after the flush.
  // `known` are records that the displays read just before (see LastReadOf): they are held as
  // read, without a read of their own.
  void PlanRead(const Text& ntf, const PointHint* hint = nullptr);
  void ReadPlanned(const std::vector<KnownRecord>& known = {});
  void DropHeld() { file_.DropHeld(); }
  // Drops the record kept from the last PointRecord: the forced read that follows it within
  // the same tick may use it, a later one reads the record again.
  void ForgetLastRead() { last_read_.n = 0; }
  // The number and bytes of the record that the last PointRecord read whole for this point,
  // if it is still kept; 0 otherwise.
  int32_t LastReadOf(const Text& ntf, uint8_t* bytes) const;
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
  bool HasIndex() const { return has_index_; }
  // The index entry of a point (its exact reference), if any.
  std::optional<int32_t> IndexEntry(TextView ntf) const;
  // Records of the open file (length / 144, half to even, at most kMaxRecordNumber).
  int32_t RecordCountOfFile() { return file_.RecordCountOfFile(); }

 protected:
  // The steps below the control's calls, for the routines by record number and by reference
  // as given that tools and tests build on them in a subclass.

  // The verified record number of a point, its record read into `bytes`; 0 when the index has
  // no entry or the entry proves stale (it is then removed).
  int32_t convertNTFToIndex(const StoredReference& ref, uint8_t* bytes);
  // The record number of a point through the index, else by a scan that indexes it (noting
  // free slots into `free` when given), its record in `bytes`; 0 when absent.
  int32_t GetData(const StoredReference& ref, uint8_t* bytes, FreeSlots* free);
  // Adds an index entry (an existing one stays) once the index exists.
  void IndexAdd(TextView ntf, int32_t n);
  CacheFile& file() { return file_; }
  ForcedReadWriter& writer() { return writer_; }
  CodePage& code_page() { return code_page_; }
  TraceLogConditionnel& trace() { return trace_; }

 private:
  // The record of the last PointRecord, for the forced read of the same point that follows
  // it in the same tick; n = 0 when there is none.
  struct LastRead {
    Text ntf;
    int32_t n = 0;
    bool whole = false;
    uint8_t bytes[kRecordSize] = {};
  };

  bool PrepareReference(const Text& ntf, StoredReference* ref, const PointHint* hint,
                        PointHint* learn);
  bool HintHolds(const PointHint* hint, const Text& ntf) const;
  void Learn(const Text& ntf, int32_t n, bool has_ansi, const std::string& ansi,
             PointHint* hint) const;
  int32_t ScanFor(const StoredReference& ref, uint8_t* bytes, FreeSlots* free);
  bool OpenForRequest();
  int32_t GetDataForRequest(const StoredReference& ref, uint8_t* bytes, FreeSlots* free);
  void TraceGetDataFromLastRead(const StoredReference& ref, int32_t n, const uint8_t* bytes);
  void ReadInstallPath();
  void Wrote(int32_t n);

  FileSystem& files_;
  Clock& clock_;
  CodePage& code_page_;
  TraceLogConditionnel& trace_;
  RegistrePD& registry_;

  Text strCheminInstall_;
  int32_t intFicCache_ = 0;
  int32_t last_handle_ = 0;
  CacheFile file_;
  // Keys: the exact reference (the "KEY_" prefix of the keys is implied). References that
  // differ only in letter case have entries of their own: sharing one, each lookup of the
  // one evicted the other's entry and scanned the file, to find what an exact key finds.
  // Made at the first open.
  PointIndex colIndexNTF_;
  bool has_index_ = false;
  ForcedReadWriter writer_;
  std::optional<Text> fixed_path_;
  bool read_only_ = false;
  bool open_failed_ = false;  // the last open found no file: the path is read again
  LastRead last_read_;
  std::vector<int32_t> planned_;  // the record numbers that ReadPlanned reads
  StoredReference display_ref_;  // PointRecord's reference
  StoredReference request_ref_;  // cacheForcerLectNTF's reference
  // The index entry that PrepareReference found for `prepared_for_` (0: none), taken by the
  // lookup that follows it at once instead of looking the key up again.
  const StoredReference* prepared_for_ = nullptr;
  int32_t prepared_entry_ = 0;
};

}  // namespace quillon
