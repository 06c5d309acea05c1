// What the cache commands of the quillon tool share: options, reading a cache file, and the
// tab-separated and aligned forms of a record.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "cache/fct_cache.h"
#include "cache/record.h"
#include "platform/code_page.h"

namespace quillon::tool {

// Parsed command line: options with a value, flags, and the other arguments in order.
struct Options {
  std::map<std::string, std::string> values;
  std::set<std::string> flags;
  std::vector<std::string> positional;
  bool Has(const std::string& flag) const { return flags.count(flag) != 0; }
  std::optional<std::string> Value(const std::string& name) const;
};

// Parses `args`; on an unknown option or a missing value returns nullopt with *error set.
std::optional<Options> ParseOptions(const std::vector<std::string>& args,
                                    const std::set<std::string>& with_value,
                                    const std::set<std::string>& flags, std::string* error);

// The whole of a file; false with *error set ("cannot read FILE: reason").
bool ReadWholeFile(const std::string& path, std::string* bytes, std::string* error);

// The records of a file's bytes as the cache counts them (a cut last record completed with
// zero bytes); *warning is set when the length is not a multiple of 144.
std::vector<EnregCache> DecodeFile(const std::string& bytes, const std::string& path,
                                   std::string* warning);

// One text field for people and scripts: UTF-8, leading and trailing spaces and NULs
// removed, control characters inside as \xHH.
std::string ShowText(const Text& text);
// A date as local "YYYY-MM-DD HH:MM:SS"; empty for 0.
std::string ShowDate(double date);

// The columns: slot, state, ref, read, requested, poll, value, formatted.
std::vector<std::string> RecordColumns(int64_t slot, const EnregCache& record);
std::string TsvHeader();
std::string TsvLine(int64_t slot, const EnregCache& record);
// Rows (the first one the header) as a table aligned on spaces.
std::string AlignedTable(const std::vector<std::vector<std::string>>& rows);

// A point reference from the command line, when it is valid UTF-8 and the cache file can hold
// it exactly; otherwise nullopt with *error set to one line saying why.
std::optional<Text> StorableReference(const std::string& utf8, FctCache& cache, CodePage& code_page,
                                      std::string* error);

// An E_POLLTIME code given as its value (90) or its constant name (Seconde_10).
std::optional<int32_t> ParsePollTime(const std::string& text);

}  // namespace quillon::tool
