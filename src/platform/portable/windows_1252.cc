#include "platform/windows_1252.h"

#include <array>

namespace quillon {
namespace {

constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

constexpr CodePage::ByteTable kCharacters = [] {
  CodePage::ByteTable table{};
  for (int b = 0; b < 256; ++b) {
    table[b] = (b >= 0x80 && b < 0xA0) ? kHighControls[b - 0x80] : static_cast<char16_t>(b);
  }
  return table;
}();

// The byte of a character; false when the code page has none for it.
bool ToByte(char16_t c, char* byte) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
    *byte = static_cast<char>(c);
    return true;
  }
  for (size_t i = 0; i < kHighControls.size(); ++i) {
    if (kHighControls[i] == c) {
      *byte = static_cast<char>(0x80 + i);
      return true;
    }
  }
  return false;
}

}  // namespace

Text Windows1252CodePage::ToText(std::string_view bytes) {
  Text out(bytes.size(), u'\0');
  for (size_t i = 0; i < bytes.size(); ++i) out[i] = kCharacters[static_cast<uint8_t>(bytes[i])];
  return out;
}

const CodePage::ByteTable* Windows1252CodePage::Characters() { return &kCharacters; }

std::string Windows1252CodePage::ToAnsi(TextView text) {
  std::string out(text.size(), '\0');
  for (size_t i = 0; i < text.size(); ++i) {
    if (!ToByte(text[i], &out[i])) out[i] = '?';
  }
  return out;
}

// No best-fit: a character is exact only with a byte of its own (A with macron is not A).
bool Windows1252CodePage::ToAnsiExact(TextView text, std::string* bytes) {
  bytes->assign(text.size(), '\0');
  for (size_t i = 0; i < text.size(); ++i) {
    if (!ToByte(text[i], &(*bytes)[i])) return false;
  }
  return true;
}

}  // namespace quillon
