#include "format/format_text.h"

#include "format/format_pattern.h"

namespace quillon {
namespace {

using Kind = TextItem::Kind;

void AddLiteral(TextSection* s, TextView text) {
  if (!s->items.empty() && s->items.back().kind == Kind::kLiteral) {
    s->items.back().literal.append(text);
  } else {
    s->items.push_back(TextItem{Kind::kLiteral, Text(text)});
  }
}

// The characters each item receives. A text shorter than the placeholders fills them from
// the right (from the left with !), the unfilled @ showing a space; a longer one gives its
// first characters to the placeholders in order and the rest comes after the section.
std::vector<Text> Distribute(const TextSection& s, TextView text) {
  const size_t n = s.items.size();
  std::vector<Text> parts(n);
  if (text.size() >= s.placeholders) {
    size_t next = 0;
    for (size_t i = 0; i < n; ++i) {
      if (s.items[i].kind != Kind::kLiteral) parts[i] = Text(1, text[next++]);
    }
    parts.emplace_back(text.substr(next));
    return parts;
  }
  size_t taken = 0;
  for (size_t k = 0; k < n; ++k) {
    const size_t i = s.left_to_right ? k : n - 1 - k;
    if (s.items[i].kind == Kind::kLiteral) continue;
    if (taken < text.size()) {
      const size_t at = s.left_to_right ? taken : text.size() - 1 - taken;
      parts[i] = Text(1, text[at]);
      ++taken;
    } else if (s.items[i].kind == Kind::kCharOrSpace) {
      parts[i] = u" ";
    }
  }
  return parts;
}

}  // namespace

char16_t LowerCase(char16_t c) {
  if (c == 0x178) return 0xFF;
  return FoldCase(c);
}

char16_t UpperCase(char16_t c) {
  if (c == 0xFF) return 0x178;
  for (char16_t candidate : {static_cast<char16_t>(c - 0x20), static_cast<char16_t>(c - 1)}) {
    if (candidate != c && candidate < c && LowerCase(candidate) == c) return candidate;
  }
  return c;
}

TextSection ParseTextSection(TextView raw) {
  TextSection s;
  SectionReader r(raw);
  while (!r.Done()) {
    Text literal;
    if (r.TakeLiteral(&literal)) {
      AddLiteral(&s, literal);
      continue;
    }
    const char16_t c = r.Peek();
    if (c == u'@' || c == u'&') {
      s.items.push_back(TextItem{c == u'@' ? Kind::kCharOrSpace : Kind::kCharOrNothing, Text()});
      ++s.placeholders;
    } else if (c == u'<' || c == u'>') {
      (c == u'<' ? s.lower : s.upper) = true;
    } else if (c == u'!') {
      s.left_to_right = true;
    } else {
      AddLiteral(&s, r.Rest().substr(0, 1));
    }
    r.Skip(1);
  }
  return s;
}

Text RenderText(const TextSection& section, TextView text) {
  const std::vector<Text> parts = Distribute(section, text);
  Text out;
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i < section.items.size() && section.items[i].kind == Kind::kLiteral) {
      out += section.items[i].literal;
      continue;
    }
    for (char16_t c : parts[i]) {
      out += section.lower ? LowerCase(c) : (section.upper ? UpperCase(c) : c);
    }
  }
  return out;
}

}  // namespace quillon
