// Code-page seam: the 8-bit ANSI characters of the cache and trace files.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "common/text.h"

namespace quillon {

// Every method may be called from any thread.
class CodePage {
 public:
  // The character of each byte value, for a code page where every byte is one character.
  using ByteTable = std::array<char16_t, 256>;

  CodePage() = default;
  CodePage(const CodePage&) = delete;
  CodePage& operator=(const CodePage&) = delete;
  virtual ~CodePage() = default;

  // ANSI bytes to text.
  virtual Text ToText(std::string_view bytes) = 0;
  // Text to ANSI bytes; a character without a byte of its own becomes '?'.
  virtual std::string ToAnsi(TextView text) = 0;
  // Text to ANSI bytes that read back as the same text: false, with *bytes unspecified, when
  // a character has no byte sequence of its own (no look-alike, no default character).
  virtual bool ToAnsiExact(TextView text, std::string* bytes) = 0;
  // True when every byte is one character and back, so comparing bytes compares texts.
  virtual bool IsSingleByte() = 0;
  // The characters of the 256 bytes, built once, when each byte converts on its own to one
  // character (ToText of a text is then that byte by byte); nullptr for a code page where a
  // character may take several bytes. Valid as long as the object.
  virtual const ByteTable* Characters() = 0;
};

}  // namespace quillon

#include <memory>

namespace quillon {
// The system's ANSI code page (Windows-1252 where the platform has none).
std::unique_ptr<CodePage> NewPlatformCodePage();
}  // namespace quillon
