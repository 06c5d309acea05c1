// Windows-1252, the ANSI code page of Western European Windows, as a portable CodePage.
#pragma once

#include "platform/code_page.h"

namespace quillon {

// Bytes 0x80-0x9F map as Windows maps them; the five bytes that have no character there
// map to the control characters of the same number, so every byte survives a round trip.
class Windows1252CodePage final : public CodePage {
 public:
  Text ToText(std::string_view bytes) override;
  std::string ToAnsi(TextView text) override;
  bool ToAnsiExact(TextView text, std::string* bytes) override;
  bool IsSingleByte() override { return true; }
  const ByteTable* Characters() override;
};

}  // namespace quillon
