#include "cache_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "cache/record_codec.h"

namespace quillon::tool {
namespace {

namespace fs = std::filesystem;

constexpr size_t kReadBuffer = 65536;

const char* KindOf(fs::file_type type) {
  switch (type) {
    case fs::file_type::directory:
      return "a folder";
    case fs::file_type::fifo:
      return "a FIFO";
    case fs::file_type::character:
    case fs::file_type::block:
      return "a device";
    case fs::file_type::socket:
      return "a socket";
    default:
      return "not a regular file";
  }
}

}  // namespace

bool CheckRegularFile(const std::string& path, bool may_be_missing, std::string* error) {
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (status.type() == fs::file_type::not_found) {
    if (may_be_missing) return true;
    *error = "cannot open " + path + ": no such file";
    return false;
  }
  if (ec) {
    *error = "cannot open " + path + ": " + ec.message();
    return false;
  }
  if (status.type() == fs::file_type::regular) return true;
  *error = path + " is " + KindOf(status.type()) + ", not a file";
  return false;
}

bool ReadSmallFile(const std::string& path, uint64_t max_bytes, std::string* bytes,
                   std::string* error) {
  if (!CheckRegularFile(path, false, error)) return false;
  std::error_code ec;
  const uintmax_t size = fs::file_size(path, ec);
  if (!ec && size > max_bytes) {
    *error = path + " is larger than " + std::to_string(max_bytes >> 20) + " MiB";
    return false;
  }
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    *error = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  bytes->clear();
  std::vector<char> buffer(kReadBuffer);
  size_t n;
  while (bytes->size() <= max_bytes && (n = std::fread(buffer.data(), 1, buffer.size(), f)) > 0) {
    bytes->append(buffer.data(), n);
  }
  const bool failed = std::ferror(f) != 0;
  const int err = errno;
  std::fclose(f);
  if (failed) *error = "cannot read " + path + ": " + std::strerror(err);
  if (!failed && bytes->size() > max_bytes) {  // it grew since its size was asked
    *error = path + " is larger than " + std::to_string(max_bytes >> 20) + " MiB";
    return false;
  }
  return !failed;
}

RecordReader::RecordReader() : code_page_(NewPlatformCodePage()) {}

RecordReader::~RecordReader() {
  if (file_) std::fclose(file_);
}

bool RecordReader::Open(const std::string& path, std::string* error) {
  if (!CheckRegularFile(path, false, error)) return false;
  std::error_code ec;
  const uintmax_t length = fs::file_size(path, ec);
  if (ec) {
    *error = "cannot open " + path + ": " + ec.message();
    return false;
  }
  file_ = std::fopen(path.c_str(), "rb");
  if (!file_) {
    *error = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  std::setvbuf(file_, nullptr, _IOFBF, kReadBuffer);
  path_ = path;
  const int64_t whole = RecordCount(static_cast<int64_t>(std::min<uintmax_t>(length, INT64_MAX)));
  count_ = std::min<int64_t>(whole, kMaxRecordNumber);
  const std::string size = path + " is " + std::to_string(length) + " bytes, ";
  if (whole > kMaxRecordNumber) {
    warning_ = size + "more than the " + std::to_string(kMaxRecordNumber) +
               " records a cache file can hold: only those are read";
  } else if (length % kRecordSize != 0) {
    warning_ = size + "not a multiple of 144: counted as " + std::to_string(count_) + " records";
  }
  return true;
}

bool RecordReader::Next(int64_t* slot, EnregCache* record, std::string* error) {
  if (!file_ || next_ >= count_) return false;
  uint8_t bytes[kRecordSize] = {};  // a cut last record is completed with zero bytes
  std::fread(bytes, 1, kRecordSize, file_);
  if (std::ferror(file_)) {
    *error = "cannot read " + path_ + ": " + std::strerror(errno);
    return false;
  }
  *slot = ++next_;
  *record = DecodeRecord(bytes, *code_page_);
  return true;
}

}  // namespace quillon::tool
