// Module TraceLogConditionnel: the cache routines' step messages, written to a daily file next
// to the library (or the program) while the trace switch is on.
#pragma once

#include "common/text.h"
#include "platform/clock.h"
#include "platform/code_page.h"
#include "platform/file_system.h"

namespace quillon {

class TraceLogConditionnel {
 public:
  // The switch is given once, when the process-wide cache state is built; off by default.
  TraceLogConditionnel(FileSystem& files, Clock& clock, CodePage& code_page,
                       bool blnTraceActive = false);
  TraceLogConditionnel(const TraceLogConditionnel&) = delete;
  TraceLogConditionnel& operator=(const TraceLogConditionnel&) = delete;

  // True while lines are written; callers test it before building a message.
  bool blnTraceActive() const { return blnTraceActive_; }

  // Appends "HH:MM:SS - message" CRLF in the ANSI code page to the day's file; never fails
  // towards the caller (a line that cannot be written is lost). The message goes through
  // TracedText with kMaxTraceMessage, so that it stays one line of bounded length. The file is
  // never opened through a link planted in its place (see FileSystem::Append).
  void fctEcrireTrace(TextView message);

  // The day's file for a date: "<module folder><sep><module name> YYYYMMDD.log".
  Text TraceFilePath(double date);

 private:
  FileSystem& files_;
  Clock& clock_;
  CodePage& code_page_;
  bool blnTraceActive_;
};

// Longest text from outside (a point reference, a path) that a trace message keeps whole, and
// longest message.
inline constexpr size_t kMaxTracedText = 256;
inline constexpr size_t kMaxTraceMessage = 2048;

// A text as a trace line shows it: every control character (U+0000 to U+001F, U+007F to
// U+009F) written as \xHH, so that a text can never end a line or start a forged one, and a
// text longer than `limit` cut after `limit` characters and marked
// "[... N caractères de plus]" with the number of characters left out.
Text TracedText(TextView text, size_t limit = kMaxTracedText);

// The trace switch of this process: QUILLON_TRACE set and not "0".
bool TraceSwitchFromEnvironment();

}  // namespace quillon
