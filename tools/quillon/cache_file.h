// Files as the quillon tool reads them: only regular files, records streamed a block at a
// time so that memory stays the same whatever the file's size.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "cache/record.h"
#include "platform/code_page.h"

namespace quillon::tool {

// Whether `path` can serve as a cache or input file: a regular file (a link to one counts).
// A FIFO, a device, a folder is refused, and so is a missing file unless `may_be_missing`;
// false with *error set ("cannot open FILE: no such file", "FILE is a folder, not a file").
bool CheckRegularFile(const std::string& path, bool may_be_missing, std::string* error);

// The whole of a regular file of at most `max_bytes`; false with *error set.
bool ReadSmallFile(const std::string& path, uint64_t max_bytes, std::string* bytes,
                   std::string* error);

// The records of a cache file in order, as the cache counts them: length / 144 rounded as
// RecordCount does (a cut last record completed with zero bytes), at most kMaxRecordNumber.
class RecordReader {
 public:
  RecordReader();
  ~RecordReader();
  RecordReader(const RecordReader&) = delete;
  RecordReader& operator=(const RecordReader&) = delete;

  // Opens a regular file; false with *error set.
  bool Open(const std::string& path, std::string* error);
  // Records to be read.
  int64_t count() const { return count_; }
  // Why the count is not length / 144: a cut last record or a file beyond the record limit.
  const std::string& warning() const { return warning_; }
  // The next record and its slot number (from 1); false after the last one or when the file
  // cannot be read any more (*error set then).
  bool Next(int64_t* slot, EnregCache* record, std::string* error);

 private:
  std::unique_ptr<CodePage> code_page_;
  std::FILE* file_ = nullptr;
  std::string path_;
  int64_t count_ = 0;
  int64_t next_ = 0;
  std::string warning_;
};

}  // namespace quillon::tool
