// The cache's trace lines: built only while the trace is on. A text that comes from outside
// (a reference of a control or of the file) is traced escaped and cut; the routines' own
// words as they are.
#pragma once

#include <cstdint>

#include "common/text.h"
#include "services/trace_log.h"

namespace quillon {
namespace cache_trace {

inline void AppendPart(Text& line, TextView part) { line += TracedText(part); }
inline void AppendPart(Text& line, const Text& part) { line += TracedText(part); }
inline void AppendPart(Text& line, const char16_t* part) { line.append(part); }
inline void AppendPart(Text& line, int32_t number) { line += NumberText(number); }

}  // namespace cache_trace

// One trace line made of `parts`; nothing is built while the trace is off.
template <typename... Parts>
void CacheTrace(TraceLogConditionnel& trace, const Parts&... parts) {
  if (!trace.blnTraceActive()) return;
  Text line;
  (cache_trace::AppendPart(line, parts), ...);
  trace.fctEcrireTrace(line);
}

}  // namespace quillon
