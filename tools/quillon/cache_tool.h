// What the cache commands of the quillon tool share: the tab-separated and aligned forms of a
// record, and the refresh codes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cache/fct_cache.h"
#include "cache/record.h"
#include "platform/code_page.h"

namespace quillon::tool {

// One text field for people and scripts: UTF-8, leading and trailing spaces and NULs
// removed, control characters inside as \xHH.
std::string ShowText(const Text& text);
// A date as local "YYYY-MM-DD HH:MM:SS"; empty for 0.
std::string ShowDate(double date);
// The file the cache opens, for messages: its path, or why there is none.
std::string ShowCachePath(const FctCache& cache);

// The columns: slot, state, ref, read, requested, poll, value, formatted.
std::vector<std::string> RecordColumns(int64_t slot, const EnregCache& record);
std::string TsvHeader();
std::string TsvLine(int64_t slot, const EnregCache& record);
// A table aligned on spaces, built in two passes so that no row needs to be kept: every row is
// fitted first, then each is printed.
class TableLayout {
 public:
  void Fit(const std::vector<std::string>& row);
  // The row padded to the widths fitted (a cell wider than its column just pushes the rest).
  std::string Line(const std::vector<std::string>& row) const;

 private:
  std::vector<size_t> widths_;
};

// A point reference from the command line, when it is valid UTF-8 and the cache file can hold
// it exactly; otherwise nullopt with *error set to one line saying why.
std::optional<Text> StorableReference(const std::string& utf8, FctCache& cache, CodePage& code_page,
                                      std::string* error);

// An E_POLLTIME code given as its value (90) or its constant name (Seconde_10).
std::optional<int32_t> ParsePollTime(const std::string& text);

}  // namespace quillon::tool
