#include "cache/cache_file.h"

#include <algorithm>
#include <cstring>

#include "cache/cache_trace.h"
#include "cache/record_codec.h"

namespace quillon {

bool RecordOffset(int32_t n, int64_t* offset) {
  if (n < 1 || n > kMaxRecordNumber) return false;
  *offset = int64_t{n - 1} * kRecordSize;
  return true;
}

bool CacheFile::Answers() {
  int64_t length = 0;
  return file_ && file_->Length(&length);
}

int32_t CacheFile::RecordCountOfFile() {
  int64_t length = 0;
  if (!file_) return 0;
  if (!file_->Length(&length)) {
    failed_ = true;  // the handle is no longer usable
    return 0;
  }
  return static_cast<int32_t>(std::min<int64_t>(RecordCount(length), kMaxRecordNumber));
}

bool CacheFile::ReadRecord(int32_t n, uint8_t* out) {
  std::memset(out, 0, kRecordSize);
  int64_t offset = 0;
  size_t got = 0;
  whole_ = false;
  if (!file_ || !RecordOffset(n, &offset)) return false;
  if (file_->ReadAt(offset, out, kRecordSize, &got)) {
    whole_ = got == kRecordSize;
    return true;
  }
  failed_ = true;
  std::memset(out, 0, kRecordSize);
  return false;
}

bool CacheFile::fctLectureDansLeCache(int32_t n, uint8_t* out) {
  const uint8_t* held = held_.empty() ? nullptr : held_.Find(n);
  if (held) {
    std::memcpy(out, held, kRecordSize);
    whole_ = true;
  }
  const bool read = held || ReadRecord(n, out);
  if (trace_.blnTraceActive()) TraceRecordRead(n, out);
  return read;
}

bool CacheFile::WriteRecord(int32_t n, const uint8_t* bytes, size_t size) {
  int64_t offset = 0;
  if (!file_ || !RecordOffset(n, &offset)) return false;
  const bool written = static_cast<bool>(file_->WriteAt(offset, bytes, size));
  if (!held_.empty()) held_.Wrote(n, bytes, size, written);
  failed_ = failed_ || !written;
  return written;
}

void CacheFile::TraceRecordRead(int32_t n, const uint8_t* bytes) {
  CacheTrace(trace_, u"fctLectureDansLeCache - début - pos.", n);
  CacheTrace(trace_, u"   LC ", DecodeTrimmedReference(bytes, code_page_), u" ", n);
  CacheTrace(trace_, u"fctLectureDansLeCache - fin");
}

size_t CacheFile::ReadBlock(int32_t start, size_t size) {
  block_.resize(std::max(block_.size(), size_t{kScanBlockRecords} * kRecordSize));
  size_t got = 0;
  if (!file_ || !file_->ReadAt(int64_t{start - 1} * kRecordSize, block_.data(), size, &got)) {
    failed_ = failed_ || file_ != nullptr;
    got = 0;
  }
  block_got_ = std::min(got, size);
  std::fill(block_.begin() + static_cast<std::ptrdiff_t>(block_got_),
            block_.begin() + static_cast<std::ptrdiff_t>(size), uint8_t{0});
  return block_got_;
}

}  // namespace quillon
