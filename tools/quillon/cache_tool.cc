#include "cache_tool.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cache/record_codec.h"
#include "common/oledate.h"
#include "control/tables.h"
#include "platform/code_page.h"

namespace quillon::tool {

std::optional<std::string> Options::Value(const std::string& name) const {
  const auto it = values.find(name);
  if (it == values.end()) return std::nullopt;
  return it->second;
}

std::optional<Options> ParseOptions(const std::vector<std::string>& args,
                                    const std::set<std::string>& with_value,
                                    const std::set<std::string>& flags, std::string* error) {
  Options out;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a.size() < 2 || a.compare(0, 2, "--") != 0) {
      out.positional.push_back(a);
    } else if (flags.count(a)) {
      out.flags.insert(a);
    } else if (with_value.count(a)) {
      if (i + 1 >= args.size()) {
        *error = "option " + a + " needs a value";
        return std::nullopt;
      }
      out.values[a] = args[++i];
    } else {
      *error = "unknown option '" + a + "'";
      return std::nullopt;
    }
  }
  return out;
}

bool ReadWholeFile(const std::string& path, std::string* bytes, std::string* error) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    *error = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  bytes->clear();
  char buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes->append(buffer, n);
  const bool failed = std::ferror(f) != 0;
  const int err = errno;
  std::fclose(f);
  if (failed) *error = "cannot read " + path + ": " + std::strerror(err);
  return !failed;
}

std::vector<EnregCache> DecodeFile(const std::string& bytes, const std::string& path,
                                   std::string* warning) {
  const int64_t count = RecordCount(static_cast<int64_t>(bytes.size()));
  if (bytes.size() % kRecordSize != 0) {
    *warning = path + " is " + std::to_string(bytes.size()) +
               " bytes, not a multiple of 144: counted as " + std::to_string(count) + " records";
  }
  auto code_page = NewPlatformCodePage();
  std::vector<EnregCache> records;
  records.reserve(static_cast<size_t>(count));
  for (int64_t i = 0; i < count; ++i) {
    uint8_t record[kRecordSize] = {};
    const size_t offset = static_cast<size_t>(i) * kRecordSize;
    if (offset < bytes.size()) {
      std::memcpy(record, bytes.data() + offset,
                  std::min(bytes.size() - offset, size_t{kRecordSize}));
    }
    records.push_back(DecodeRecord(record, *code_page));
  }
  return records;
}

std::string ShowText(const Text& text) {
  size_t begin = 0;
  size_t end = text.size();
  const auto blank = [](char16_t c) { return c == u' ' || c == u'\0'; };
  while (begin < end && blank(text[begin])) ++begin;
  while (end > begin && blank(text[end - 1])) --end;
  Text shown;
  for (size_t i = begin; i < end; ++i) {
    const char16_t c = text[i];
    if (c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F)) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned>(c));
      shown.append(hex, hex + 4);
    } else {
      shown.push_back(c);
    }
  }
  return ToUtf8(shown);
}

std::string ShowDate(double date) {
  if (date == 0) return std::string();
  DateTimeParts p;
  char buffer[48];
  if (!DateToParts(date, &p)) {
    std::snprintf(buffer, sizeof buffer, "invalid(%g)", date);
    return buffer;
  }
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", p.year, p.month, p.day,
                p.hour, p.minute, p.second);
  return buffer;
}

std::vector<std::string> RecordColumns(int64_t slot, const EnregCache& r) {
  return {std::to_string(slot),     std::to_string(r.lngEtat),       ShowText(r.strRefNTF),
          ShowDate(r.dtmLecture),   ShowDate(r.dtmDemande),          std::to_string(r.lngPollTime),
          ShowText(r.strValeurLue), ShowText(r.strValeurFormateeLue)};
}

namespace {
std::string JoinTabs(const std::vector<std::string>& columns) {
  std::string line;
  for (size_t i = 0; i < columns.size(); ++i) line += (i ? "\t" : "") + columns[i];
  return line + "\n";
}

// Characters shown, counting each UTF-8 sequence once.
size_t Width(const std::string& s) {
  size_t n = 0;
  for (unsigned char c : s) n += (c & 0xC0) != 0x80;
  return n;
}
}  // namespace

std::string TsvHeader() {
  return JoinTabs({"slot", "state", "ref", "read", "requested", "poll", "value", "formatted"});
}

std::string TsvLine(int64_t slot, const EnregCache& record) {
  return JoinTabs(RecordColumns(slot, record));
}

std::string AlignedTable(const std::vector<std::vector<std::string>>& rows) {
  std::vector<size_t> widths;
  for (const auto& row : rows) {
    widths.resize(std::max(widths.size(), row.size()));
    for (size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], Width(row[i]));
  }
  std::string out;
  for (const auto& row : rows) {
    std::string line;
    for (size_t i = 0; i < row.size(); ++i) {
      line += row[i];
      if (i + 1 < row.size()) line += std::string(widths[i] - Width(row[i]) + 2, ' ');
    }
    line.erase(line.find_last_not_of(' ') + 1);
    out += line + "\n";
  }
  return out;
}

std::optional<Text> StorableReference(const std::string& utf8, FctCache& cache, CodePage& code_page,
                                      std::string* error) {
  const Text ntf = FromUtf8(utf8);
  if (ToUtf8(ntf) != utf8) {
    *error = "the reference is not valid UTF-8";
    return std::nullopt;
  }
  if (cache.CanStore(ntf)) return ntf;
  std::string bytes;
  *error = "'" + utf8 + "' cannot be stored in the cache file: " +
           (code_page.ToAnsiExact(NormaliseReference(ntf), &bytes)
                ? "it takes more than the 60 bytes of the reference field"
                : "it has a character outside the ANSI code page");
  return std::nullopt;
}

std::optional<int32_t> ParsePollTime(const std::string& text) {
  for (const PollTimeEntry& e : kPollTimes) {
    if (text == e.name) return e.value;
  }
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (*end != '\0' || errno != 0 || value < INT32_MIN || value > INT32_MAX) return std::nullopt;
  if (!FindPollTime(static_cast<int32_t>(value))) return std::nullopt;
  return static_cast<int32_t>(value);
}

}  // namespace quillon::tool
