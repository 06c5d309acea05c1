// A stand-in for the cache server process, so that displays can be tried without the real
// one. It serves the records in state 1: fills the two value texts, sets the time of the read
// and writes each record whole at its own offset; it never frees or adds a slot.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "cache/record.h"
#include "cache/slot_lock.h"
#include "platform/clock.h"
#include "platform/code_page.h"
#include "platform/file_system.h"

namespace quillon::tool {

struct ServedValue {
  Text value;
  Text formatted;
};
using ValueTable = std::map<Text, ServedValue>;

// Reads a values file: one "reference<TAB>value<TAB>formatted value" line per point (UTF-8;
// the formatted value defaults to the value; empty lines and lines starting with '#' are
// skipped). False with *error naming the first bad line.
bool ParseValueTable(const std::string& utf8, ValueTable* table, std::string* error);

class StandInServer {
 public:
  StandInServer(FileSystem& files, Clock& clock, CodePage& code_page, Text cache_path);
  StandInServer(const StandInServer&) = delete;
  StandInServer& operator=(const StandInServer&) = delete;

  // Values for the points listed; other points get a simulated signal.
  void SetValues(ValueTable values) { values_ = std::move(values); }

  // Serves, once, every record in state 1 that is due: not read since its last request, or
  // read at least its refresh period ago. Returns the records written, -1 when the file
  // cannot be opened. Holds the cache's slot lock for each record it rewrites, so that no
  // new request is torn or lost; the lock is waited for as a control waits for it (about
  // 50 ms, then one try without waiting during the next second), and a record whose lock
  // stays busy waits for a later pass.
  int ServeOnce();

  // The simulated signal of a point: a ramp, a sine or a counter, chosen by its reference.
  ServedValue Simulate(const Text& ntf, double now);

  const Text& cache_path() const { return cache_path_; }

 private:
  bool Due(const EnregCache& record, double now) const;
  bool Served(const uint8_t* read, double now, uint8_t* out);
  bool ServeRecord(int64_t i, const uint8_t* read, double now);
  ServedValue ValueOf(const Text& ntf, double now);

  FileSystem& files_;
  Clock& clock_;
  CodePage& code_page_;
  BoundedSlotLock slot_lock_;  // the wait the library's forced reads use
  Text cache_path_;
  std::unique_ptr<RandomAccessFile> file_;
  std::vector<uint8_t> block_;  // one block of records read by a pass
  ValueTable values_;
  std::unordered_map<Text, int64_t> counters_;
};

}  // namespace quillon::tool
