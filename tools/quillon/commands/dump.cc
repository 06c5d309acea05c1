// quillon dump: every record of a cache file, for people or as tab-separated lines. Records
// are streamed: the aligned table reads the file twice (its widths, then its rows) rather than
// keep it in memory.
#include <cstdio>
#include <memory>

#include "cache_file.h"
#include "cache_tool.h"
#include "command.h"

namespace quillon::tool {
namespace {
namespace dump_command {

struct DumpOptions {
  std::string cache;
  bool tsv = false;
};

const std::vector<std::string> kHeader = {"slot",      "state", "ref",   "read",
                                          "requested", "poll",  "value", "formatted"};

// Opens the file and reports a count that is not length / 144.
bool OpenRecords(const std::string& path, RecordReader* reader, std::string* error, bool warn) {
  if (!reader->Open(path, error)) return false;
  if (warn && !reader->warning().empty()) {
    std::fprintf(stderr, "quillon: warning: %s\n", reader->warning().c_str());
  }
  return true;
}

int DumpTsv(const std::string& path) {
  RecordReader reader;
  std::string error;
  if (!OpenRecords(path, &reader, &error, true)) return Fail(1, error);
  std::fputs(TsvHeader().c_str(), stdout);
  int64_t slot = 0;
  EnregCache record;
  while (!std::ferror(stdout) && reader.Next(&slot, &record, &error)) {
    std::fputs(TsvLine(slot, record).c_str(), stdout);
  }
  return error.empty() ? 0 : Fail(1, error);
}

int DumpTable(const std::string& path) {
  TableLayout layout;
  layout.Fit(kHeader);
  std::string error;
  int64_t slot = 0;
  EnregCache record;
  {
    RecordReader widths;
    if (!OpenRecords(path, &widths, &error, true)) return Fail(1, error);
    while (widths.Next(&slot, &record, &error)) layout.Fit(RecordColumns(slot, record));
    if (!error.empty()) return Fail(1, error);
  }
  RecordReader rows;
  if (!OpenRecords(path, &rows, &error, false)) return Fail(1, error);
  std::fputs(layout.Line(kHeader).c_str(), stdout);
  int64_t shown = 0;
  for (; !std::ferror(stdout) && rows.Next(&slot, &record, &error); ++shown) {
    std::fputs(layout.Line(RecordColumns(slot, record)).c_str(), stdout);
  }
  if (!error.empty()) return Fail(1, error);
  std::fputs((std::to_string(shown) + " records\n").c_str(), stdout);
  return 0;
}

CommandBody Setup(CLI::App& app) {
  auto o = std::make_shared<DumpOptions>();
  app.add_option("--cache", o->cache, "the cache file to read (a regular file)")
      ->required()
      ->type_name("FILE")
      ->check(kNotEmpty);
  app.add_flag("--tsv", o->tsv, "tab-separated lines with a header line, for scripts");
  return [o] { return o->tsv ? DumpTsv(o->cache) : DumpTable(o->cache); };
}

const Command kCmd{"dump",
                   "print every record of a cache file, as an aligned table or as "
                   "tab-separated lines",
                   &Setup};

}  // namespace dump_command
}  // namespace
}  // namespace quillon::tool
