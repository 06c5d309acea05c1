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
  // towards the caller (a line that cannot be written is lost).
  void fctEcrireTrace(TextView message);

  // The day's file for a date: "<module folder><sep><module name> YYYYMMDD.log".
  Text TraceFilePath(double date);

 private:
  FileSystem& files_;
  Clock& clock_;
  CodePage& code_page_;
  bool blnTraceActive_;
};

// The trace switch of this process: QUILLON_TRACE set and not "0".
bool TraceSwitchFromEnvironment();

}  // namespace quillon
