// Text format sections: @ (a character or a space), & (a character or nothing), < (lower
// case), > (upper case), ! (fill placeholders from the left rather than the right), and
// literal characters.
#pragma once

#include <vector>

#include "common/text.h"

namespace quillon {

struct TextItem {
  enum class Kind { kLiteral, kCharOrSpace, kCharOrNothing };
  Kind kind = Kind::kLiteral;
  Text literal;
};

struct TextSection {
  std::vector<TextItem> items;
  size_t placeholders = 0;
  bool upper = false;
  bool lower = false;
  bool left_to_right = false;
};

TextSection ParseTextSection(TextView raw);

// Writes `text` with the section. A text shorter than the placeholders fills them from the
// right (from the left with !); a longer one gives its first characters to the placeholders
// in order and the rest follows the whole section.
Text RenderText(const TextSection& section, TextView text);

// Letter case of Latin letters (ASCII, Latin-1, Latin Extended-A); other characters unchanged.
char16_t UpperCase(char16_t c);
char16_t LowerCase(char16_t c);

}  // namespace quillon
