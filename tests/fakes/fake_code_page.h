// Code pages other than the platform's, for the codec and its users: a single-byte one with
// a table of its own that counts its calls, and a double-byte one (no byte table).
#pragma once

#include <string>

#include "platform/code_page.h"

namespace quillon::testing {

// Bytes 0x00-0xBF as Latin-1, 0xC0-0xFF as the Cyrillic capitals and small letters from
// U+0410, like the Cyrillic ANSI code page; other characters become '?'. Counts ToText calls.
class CountingCyrillicCodePage final : public CodePage {
 public:
  CountingCyrillicCodePage() {
    for (int b = 0; b < 256; ++b) {
      table_[b] = b < 0xC0 ? static_cast<char16_t>(b) : static_cast<char16_t>(0x410 + b - 0xC0);
    }
  }
  Text ToText(std::string_view bytes) override {
    ++to_text_calls;
    Text out;
    for (char b : bytes) out += table_[static_cast<uint8_t>(b)];
    return out;
  }
  std::string ToAnsi(TextView text) override {
    std::string out;
    for (char16_t c : text) out += Byte(c);
    return out;
  }
  bool ToAnsiExact(TextView text, std::string* bytes) override {
    *bytes = ToAnsi(text);
    return ToText(*bytes) == Text(text);
  }
  bool IsSingleByte() override { return true; }
  const ByteTable* Characters() override { return &table_; }

  int to_text_calls = 0;

 private:
  char Byte(char16_t c) const {
    for (int b = 0; b < 256; ++b) {
      if (table_[b] == c) return static_cast<char>(b);
    }
    return '?';
  }
  ByteTable table_;
};

// ASCII bytes are one character each; a byte from 0x80 and the byte after it are one
// character, U+4E00 + ((first & 0x7F) << 8 | second). A first byte with nothing after it
// becomes '?'.
class DoubleByteCodePage final : public CodePage {
 public:
  Text ToText(std::string_view bytes) override {
    Text out;
    for (size_t i = 0; i < bytes.size(); ++i) {
      const auto b = static_cast<uint8_t>(bytes[i]);
      if (b < 0x80) {
        out += static_cast<char16_t>(b);
      } else if (i + 1 < bytes.size()) {
        out += static_cast<char16_t>(0x4E00 + ((b & 0x7F) << 8 | static_cast<uint8_t>(bytes[++i])));
      } else {
        out += u'?';
      }
    }
    return out;
  }
  std::string ToAnsi(TextView text) override {
    std::string out;
    ToAnsiExact(text, &out);
    return out;
  }
  bool ToAnsiExact(TextView text, std::string* bytes) override {
    bytes->clear();
    bool exact = true;
    for (char16_t c : text) {
      if (c < 0x80) {
        *bytes += static_cast<char>(c);
      } else if (c >= 0x4E00 && c < 0x4E00 + 0x8000) {
        *bytes += static_cast<char>(0x80 | (c - 0x4E00) >> 8);
        *bytes += static_cast<char>((c - 0x4E00) & 0xFF);
      } else {
        *bytes += '?';
        exact = false;
      }
    }
    return exact;
  }
  bool IsSingleByte() override { return false; }
  const ByteTable* Characters() override { return nullptr; }
};

}  // namespace quillon::testing
