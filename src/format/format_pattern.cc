#include "format/format_pattern.h"

#include <algorithm>

namespace quillon {
namespace {

constexpr size_t kMaxSections = 4;

bool StartsWithFolded(TextView s, TextView word) {
  if (s.size() < word.size()) return false;
  for (size_t i = 0; i < word.size(); ++i) {
    if (LowerAscii(s[i]) != LowerAscii(word[i])) return false;
  }
  return true;
}

PatternKind KindOf(TextView rest) {
  const char16_t c = rest[0];
  if (c == u'0' || c == u'#' || c == u'.') return PatternKind::kNumber;
  if (c == u'@' || c == u'&' || c == u'<' || c == u'>' || c == u'!') return PatternKind::kText;
  if (DesignatorLength(rest) > 0 || IsDateTokenStart(c)) return PatternKind::kDate;
  return PatternKind::kUntyped;
}

}  // namespace

char16_t LowerAscii(char16_t c) {
  return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
}

bool SectionReader::TakeLiteral(Text* literal) {
  const char16_t c = Peek();
  if (c == u'\\') {
    if (i_ + 1 < s_.size()) literal->push_back(s_[i_ + 1]);
    i_ = std::min(i_ + 2, s_.size());
    return true;
  }
  if (c != u'"') return false;
  size_t end = i_ + 1;
  while (end < s_.size() && s_[end] != u'"') ++end;
  literal->append(s_.substr(i_ + 1, end - i_ - 1));
  i_ = std::min(end + 1, s_.size());
  return true;
}

size_t SectionReader::TakeRun(char16_t c, size_t max, bool fold) {
  size_t n = 0;
  while (n < max && i_ < s_.size() &&
         (s_[i_] == c || (fold && LowerAscii(s_[i_]) == LowerAscii(c)))) {
    ++i_;
    ++n;
  }
  return n;
}

size_t DesignatorLength(TextView rest) {
  if (StartsWithFolded(rest, u"AMPM")) return 4;
  if (rest.substr(0, 5) == u"AM/PM" || rest.substr(0, 5) == u"am/pm") return 5;
  if (rest.size() >= 3 && (rest[0] == u'a' || rest[0] == u'A') && rest[1] == u'/' &&
      (rest[2] == u'p' || rest[2] == u'P')) {
    return 3;
  }
  if (StartsWithFolded(rest, u"ttttt")) return 5;
  return 0;
}

bool IsDateTokenStart(char16_t c) {
  return c == u'/' || c == u':' || Text(u"cdhmnqswy").find(LowerAscii(c)) != Text::npos;
}

bool SplitPattern(TextView pattern, PatternSections* out) {
  out->sections.clear();
  out->kind = PatternKind::kUntyped;
  SectionReader reader(pattern);
  size_t start = 0;
  size_t pos = 0;
  Text ignored;
  while (!reader.Done()) {
    pos = pattern.size() - reader.Rest().size();
    if (reader.TakeLiteral(&ignored)) {
      ignored.clear();
      continue;
    }
    const char16_t c = reader.Peek();
    if (c == u';') {
      if (out->sections.size() + 1 == kMaxSections) return false;
      out->sections.push_back(pattern.substr(start, pos - start));
      start = pos + 1;
    } else if (out->kind == PatternKind::kUntyped) {
      out->kind = KindOf(reader.Rest());
    }
    reader.Skip(1);
  }
  out->sections.push_back(pattern.substr(start));
  return true;
}

}  // namespace quillon
