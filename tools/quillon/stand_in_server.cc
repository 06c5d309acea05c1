#include "stand_in_server.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "cache/fct_cache.h"
#include "cache/record_codec.h"
#include "common/oledate.h"
#include "control/tables.h"

namespace quillon::tool {
namespace {

constexpr double kPi = 3.14159265358979323846;

uint32_t Fnv1a(const Text& text) {
  uint32_t h = 2166136261u;
  for (char16_t c : text) {
    h ^= c;
    h *= 16777619u;
  }
  return h;
}

Text Printf(const char* format, double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, value);
  return FromUtf8(buffer);
}

// French decimal comma for the formatted texts.
Text WithComma(Text text) {
  for (char16_t& c : text) {
    if (c == u'.') c = u',';
  }
  return text;
}

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1) {
    fields.push_back(line.substr(start, tab - start));
  }
  fields.push_back(line.substr(start));
  return fields;
}

}  // namespace

bool ParseValueTable(const std::string& utf8, ValueTable* table, std::string* error) {
  size_t start = 0;
  for (int number = 1; start < utf8.size(); ++number) {
    size_t end = utf8.find('\n', start);
    if (end == std::string::npos) end = utf8.size();
    std::string line = utf8.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    const auto fields = SplitTabs(line);
    if (fields.size() < 2 || fields.size() > 3 || TrimSpaces(FromUtf8(fields[0])).empty()) {
      *error =
          "line " + std::to_string(number) + ": expected reference<TAB>value[<TAB>formatted value]";
      return false;
    }
    const Text value = FromUtf8(fields[1]);
    (*table)[NormaliseReference(FromUtf8(fields[0]))] = {
        value, fields.size() == 3 ? FromUtf8(fields[2]) : value};
  }
  return true;
}

StandInServer::StandInServer(FileSystem& files, Clock& clock, CodePage& code_page, Text cache_path)
    : files_(files),
      clock_(clock),
      code_page_(code_page),
      slot_lock_(clock),
      cache_path_(std::move(cache_path)),
      block_(size_t{kScanBlockRecords} * kRecordSize) {}

ServedValue StandInServer::Simulate(const Text& ntf, double now) {
  const uint32_t h = Fnv1a(ntf);
  const double t = DateToLinear(now) * kSecondsPerDay;
  switch (h % 3) {
    case 0: {  // a ramp from 0 to 100 over a minute, shifted per point
      const double v = std::fmod(t + h % 60, 60.0) * 100.0 / 60.0;
      return {Printf("%.1f", v), WithComma(Printf("%.1f %%", v))};
    }
    case 1: {  // a sine around 50 with a two-minute period
      const double v = 50.0 + 40.0 * std::sin(2 * kPi * (t / 120.0 + (h % 360) / 360.0));
      return {Printf("%.2f", v), WithComma(Printf("%.2f \xC2\xB0"
                                                  "C",
                                                  v))};
    }
    default: {  // a counter of the reads served
      const double v = static_cast<double>(++counters_[ntf]);
      return {Printf("%.0f", v), Printf("%.0f lect.", v)};
    }
  }
}

ServedValue StandInServer::ValueOf(const Text& ntf, double now) {
  const auto it = values_.find(ntf);
  return it != values_.end() ? it->second : Simulate(ntf, now);
}

bool StandInServer::Due(const EnregCache& record, double now) const {
  if (record.lngEtat != 1) return false;
  if (record.dtmLecture == 0) return true;
  const double elapsed = (DateToLinear(now) - DateToLinear(record.dtmLecture)) * kSecondsPerDay;
  return !(elapsed < PollTimeSeconds(record.lngPollTime));  // also when the clock went back
}

// The bytes of a served record: only the time of the read and the two value texts change.
bool StandInServer::Served(const uint8_t* read, double now, uint8_t* out) {
  EnregCache record = DecodeRecord(read, code_page_);
  if (!Due(record, now)) return false;
  const ServedValue v = ValueOf(TrimSpaces(record.strRefNTF), now);
  record.strValeurLue = PadToWidth(v.value, kValeurLength);
  record.strValeurFormateeLue = PadToWidth(v.formatted, kValeurLength);
  record.dtmLecture = now;
  uint8_t encoded[kRecordSize];
  EncodeRecord(record, code_page_, encoded);
  std::copy_n(read, kRecordSize, out);
  std::copy_n(encoded + kOffLecture, 8, out + kOffLecture);
  std::copy_n(encoded + kOffValeurLue, 2 * kValeurLength, out + kOffValeurLue);
  return true;
}

// Serves record i, read by the pass as `read`, under the slot lock: the record is read again
// there, so that a request written since the pass is not put back to an older copy (the
// bytes prepared before the lock serve when nothing changed).
bool StandInServer::ServeRecord(int64_t i, const uint8_t* read, double now) {
  uint8_t served[kRecordSize];
  if (!Served(read, now, served) || !slot_lock_.Acquire(*file_)) return false;
  uint8_t held[kRecordSize];
  size_t got = 0;
  bool due = file_->ReadAt(i * kRecordSize, held, kRecordSize, &got) && got == kRecordSize;
  if (due && !std::equal(read, read + kRecordSize, held)) due = Served(held, now, served);
  const bool written = due && file_->WriteAt(i * kRecordSize, served, kRecordSize);
  slot_lock_.Release(*file_);
  return written;
}

int StandInServer::ServeOnce() {
  int64_t length = 0;
  if (!file_ || !file_->Length(&length)) {
    file_ = files_.OpenShared(cache_path_);
    if (!file_ || !file_->Length(&length)) return -1;
  }
  int served = 0;
  const int64_t count = std::min<int64_t>(length / kRecordSize, kMaxRecordNumber);
  const double now = clock_.Now();
  // A block at a time: memory stays the same whatever the file's size.
  for (int64_t first = 0; first < count; first += kScanBlockRecords) {
    const size_t wanted = static_cast<size_t>(std::min<int64_t>(count - first, kScanBlockRecords));
    size_t got = 0;
    if (!file_->ReadAt(first * kRecordSize, block_.data(), wanted * kRecordSize, &got)) break;
    for (size_t i = 0; i < got / kRecordSize; ++i) {
      if (ServeRecord(first + static_cast<int64_t>(i), block_.data() + i * kRecordSize, now)) {
        ++served;
      }
    }
    if (got < wanted * kRecordSize) break;
  }
  return served;
}

}  // namespace quillon::tool
