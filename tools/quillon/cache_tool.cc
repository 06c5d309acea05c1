#include "cache_tool.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/oledate.h"
#include "control/tables.h"

namespace quillon::tool {

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

std::string ShowCachePath(const FctCache& cache) {
  const Text path = cache.FilePath();
  return path.empty() ? "no cache file (no installation path)" : ToUtf8(path);
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

void TableLayout::Fit(const std::vector<std::string>& row) {
  widths_.resize(std::max(widths_.size(), row.size()));
  for (size_t i = 0; i < row.size(); ++i) widths_[i] = std::max(widths_[i], Width(row[i]));
}

std::string TableLayout::Line(const std::vector<std::string>& row) const {
  std::string line;
  for (size_t i = 0; i < row.size(); ++i) {
    line += row[i];
    const size_t width = i < widths_.size() ? widths_[i] : 0;
    if (i + 1 < row.size()) line += std::string(width - std::min(width, Width(row[i])) + 2, ' ');
  }
  line.erase(line.find_last_not_of(' ') + 1);
  return line + "\n";
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
