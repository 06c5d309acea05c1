// Byte-exact conversion between EnregCache and its 144 bytes in the cache file.
#pragma once

#include <cstdint>
#include <string>

#include "cache/record.h"
#include "platform/code_page.h"

namespace quillon {

// Writes the 144 bytes of `record` into `out`: numbers little-endian, each text converted to
// the ANSI code page and fitted to its field (cut, or padded with spaces when the code page
// gives fewer bytes than characters).
void EncodeRecord(const EnregCache& record, CodePage& code_page, uint8_t* out);

// Reads a record from 144 bytes; texts are converted from the ANSI code page and fitted to
// their field length (cut, or padded with NUL characters).
EnregCache DecodeRecord(const uint8_t* bytes, CodePage& code_page);

// The point reference of 144 record bytes, with leading and trailing spaces removed.
Text DecodeTrimmedReference(const uint8_t* bytes, CodePage& code_page);

// The signed 32-bit number stored little-endian at `bytes`.
int32_t ReadInt32(const uint8_t* bytes);

}  // namespace quillon
