// Byte-exact conversion between EnregCache and its 144 bytes in the cache file.
#pragma once

#include <cstdint>
#include <string>

#include "cache/record.h"
#include "common/coding.h"
#include "platform/code_page.h"

namespace quillon {

// Writes the 144 bytes of `record` into `out`: numbers little-endian, each text converted to
// the ANSI code page and fitted to its field (cut, or padded with spaces when the code page
// gives fewer bytes than characters).
void EncodeRecord(const EnregCache& record, CodePage& code_page, uint8_t* out);

// Reads a record from 144 bytes; texts are converted from the ANSI code page and fitted to
// their field length (cut, or padded with NUL characters).
EnregCache DecodeRecord(const uint8_t* bytes, CodePage& code_page);
// The same into `record`, whose texts keep their storage: a loop over records allocates
// nothing after the first.
void DecodeRecord(const uint8_t* bytes, CodePage& code_page, EnregCache* record);

// The `width` characters of a text field of `width` bytes into out[0, width), as DecodeRecord
// reads them: converted from the ANSI code page, cut or padded with NUL characters.
void DecodeTextField(const uint8_t* field, size_t width, CodePage& code_page, char16_t* out);

// The point reference of 144 record bytes, with leading and trailing spaces removed.
Text DecodeTrimmedReference(const uint8_t* bytes, CodePage& code_page);
// The same into `out`, whose storage is reused.
void DecodeTrimmedReference(const uint8_t* bytes, CodePage& code_page, Text* out);

// The signed 32-bit number stored little-endian at `bytes`.
inline int32_t ReadInt32(const uint8_t* bytes) {
  return static_cast<int32_t>(DecodeFixed32(bytes));
}

// Marks 144 record bytes as requested in place: state 1, time of the last read 0, time of the
// request `now`, and the refresh code `poll_time` when the slot was free or the stored code is
// lower (an occupied slot's code only rises). Every other byte stays as it is.
void MarkRequested(uint8_t* bytes, int32_t poll_time, double now);

}  // namespace quillon
