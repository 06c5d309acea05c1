#include "services/trace_log.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/oledate.h"

namespace quillon {
namespace {

Text Digits(int value, int width) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%0*d", width, value);
  return Text(buffer, buffer + std::strlen(buffer));
}

Text TraceFilePathFor(const Text& module_path, const DateTimeParts& day) {
  const size_t sep = module_path.find_last_of(u"\\/");
  const size_t name_start = sep == Text::npos ? 0 : sep + 1;
  Text name = module_path.substr(name_start);
  const size_t dot = name.find_last_of(u'.');
  if (dot != Text::npos) name.resize(dot);
  return module_path.substr(0, name_start) + name + u" " + Digits(day.year, 4) +
         Digits(day.month, 2) + Digits(day.day, 2) + u".log";
}

bool IsControl(char16_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

}  // namespace

Text TracedText(TextView text, size_t limit) {
  const TextView kept = text.substr(0, limit);
  Text out;
  out.reserve(kept.size());
  for (const char16_t c : kept) {
    if (!IsControl(c)) {
      out += c;
      continue;
    }
    static constexpr char16_t kHex[] = u"0123456789ABCDEF";
    out += u"\\x";
    out += kHex[(c >> 4) & 0xF];
    out += kHex[c & 0xF];
  }
  if (text.size() > limit) {
    out +=
        u"[... " + NumberText(static_cast<int64_t>(text.size() - limit)) + u" caractères de plus]";
  }
  return out;
}

TraceLogConditionnel::TraceLogConditionnel(FileSystem& files, Clock& clock, CodePage& code_page,
                                           bool blnTraceActive)
    : files_(files), clock_(clock), code_page_(code_page), blnTraceActive_(blnTraceActive) {}

Text TraceLogConditionnel::TraceFilePath(double date) {
  DateTimeParts parts;
  if (!DateToParts(date, &parts)) return Text();
  return TraceFilePathFor(files_.ModulePath(), parts);
}

void TraceLogConditionnel::fctEcrireTrace(TextView message) {
  if (!blnTraceActive_) return;
  try {
    // One clock reading gives both the day of the file and the time of the line, so a line
    // written across midnight lands in its own day's file.
    DateTimeParts now;
    if (!DateToParts(clock_.Now(), &now)) return;
    const Text path = TraceFilePathFor(files_.ModulePath(), now);
    Text line =
        Digits(now.hour, 2) + u":" + Digits(now.minute, 2) + u":" + Digits(now.second, 2) + u" - ";
    line += TracedText(message, kMaxTraceMessage);
    line += u"\r\n";
    files_.Append(path, code_page_.ToAnsi(line));
  } catch (...) {
    // A trace line that cannot be built or written is lost; the caller goes on.
  }
}

bool TraceSwitchFromEnvironment() {
  const char* value = std::getenv("QUILLON_TRACE");
  return value != nullptr && std::strcmp(value, "0") != 0;
}

}  // namespace quillon
