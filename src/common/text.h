// The program's own text type and the few text helpers shared by every module.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillon {

// Counted UTF-16 text, as Automation strings hold it; NUL characters are ordinary characters.
using Text = std::u16string;
using TextView = std::u16string_view;

// UTF-8 for terminals and files of our own; malformed input becomes U+FFFD.
std::string ToUtf8(TextView text);
Text FromUtf8(std::string_view utf8);

// Removes leading and trailing spaces (U+0020 only; NUL and other characters remain).
Text TrimSpaces(TextView text);

// Left-aligns `text` in a field of `width` characters: cut beyond it, padded with spaces.
Text PadToWidth(TextView text, size_t width);

// Decimal text of a signed number, with a minus sign when negative.
Text NumberText(int64_t value);

// True when two ASCII names are equal but for the letter case of A-Z.
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);

// Case folding for keys compared without regard to letter case: ASCII, Latin-1 and the
// Latin Extended-A pairs; every other character folds to itself.
char16_t FoldCase(char16_t c);
Text FoldCase(TextView text);

}  // namespace quillon
