// Format patterns: their sections, their kind, and the reading of literal characters.
#pragma once

#include <vector>

#include "common/text.h"

namespace quillon {

// What a pattern formats, decided by its first token of a kind: a digit placeholder or the
// decimal point (number), a date or time token (date), a text placeholder or flag (text).
// Characters of the other kinds are then literal characters.
enum class PatternKind { kUntyped, kNumber, kDate, kText };

struct PatternSections {
  PatternKind kind = PatternKind::kUntyped;
  std::vector<TextView> sections;  // 1 to 4 raw sections, views into the pattern
};

// Splits a pattern at the semicolons outside quotes and escapes; false for more than four
// sections.
bool SplitPattern(TextView pattern, PatternSections* out);

// Reads one section character by character; backslash-escaped characters and double-quoted
// runs come out as literal text.
class SectionReader {
 public:
  explicit SectionReader(TextView section) : s_(section) {}
  bool Done() const { return i_ >= s_.size(); }
  // When at a backslash or a double quote: appends the literal text, moves past it, true.
  bool TakeLiteral(Text* literal);
  char16_t Peek(size_t ahead = 0) const { return i_ + ahead < s_.size() ? s_[i_ + ahead] : u'\0'; }
  TextView Rest() const { return s_.substr(i_); }
  void Skip(size_t n) { i_ += n; }
  // Moves past a run of `c` (either letter case when fold) up to `max`; returns its length.
  size_t TakeRun(char16_t c, size_t max, bool fold);

 private:
  TextView s_;
  size_t i_ = 0;
};

// Length of the AM/PM or system-time token at the start of `rest` ("AMPM", "AM/PM", "am/pm",
// "A/P", "a/p", "ttttt"), 0 when there is none.
size_t DesignatorLength(TextView rest);

// True for the letters and separators that start a date or time token.
bool IsDateTokenStart(char16_t c);

char16_t LowerAscii(char16_t c);

}  // namespace quillon
