#include "cache/record_codec.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "common/coding.h"

namespace quillon {
namespace {

// A text of ASCII characters that are their own bytes in the code page's table is written
// as it stands; any other goes through the code page's conversion, as a whole.
bool WriteAsciiText(const Text& text, size_t width, CodePage& code_page, uint8_t* out) {
  const CodePage::ByteTable* table = code_page.Characters();
  if (table == nullptr) return false;
  const size_t n = std::min(text.size(), width);
  for (size_t i = 0; i < n; ++i) {
    const char16_t c = text[i];
    if (c >= 0x80 || (*table)[c] != c) return false;
    out[i] = static_cast<uint8_t>(c);
  }
  std::fill(out + n, out + width, static_cast<uint8_t>(' '));
  return true;
}

void WriteText(const Text& text, size_t width, CodePage& code_page, uint8_t* out) {
  if (WriteAsciiText(text, width, code_page, out)) return;
  std::string bytes = code_page.ToAnsi(text);
  bytes.resize(width, ' ');
  std::memcpy(out, bytes.data(), width);
}

// Into `text`, whose storage is reused when it has room.
void ReadText(const uint8_t* bytes, size_t width, CodePage& code_page, Text* text) {
  text->resize(width);
  DecodeTextField(bytes, width, code_page, text->data());
}

}  // namespace

// A single-byte code page converts through its byte table, without a call per text.
void DecodeTextField(const uint8_t* field, size_t width, CodePage& code_page, char16_t* out) {
  if (const CodePage::ByteTable* table = code_page.Characters()) {
    for (size_t i = 0; i < width; ++i) out[i] = (*table)[field[i]];
    return;
  }
  const Text text =
      code_page.ToText(std::string_view(reinterpret_cast<const char*>(field), width));
  const size_t n = std::min(text.size(), width);
  std::copy_n(text.begin(), n, out);
  std::fill(out + n, out + width, u'\0');
}

void MarkRequested(uint8_t* bytes, int32_t poll_time, double now) {
  if (ReadInt32(bytes + kOffEtat) == 0 || ReadInt32(bytes + kOffPollTime) < poll_time) {
    EncodeFixed32(bytes + kOffPollTime, static_cast<uint32_t>(poll_time));
  }
  EncodeFixed32(bytes + kOffEtat, 1);
  EncodeDouble(bytes + kOffLecture, 0);
  EncodeDouble(bytes + kOffDemande, now);
}

void EncodeRecord(const EnregCache& record, CodePage& code_page, uint8_t* out) {
  EncodeFixed32(out + kOffEtat, static_cast<uint32_t>(record.lngEtat));
  WriteText(record.strRefNTF, kRefNTFLength, code_page, out + kOffRefNTF);
  EncodeDouble(out + kOffLecture, record.dtmLecture);
  EncodeDouble(out + kOffDemande, record.dtmDemande);
  EncodeFixed32(out + kOffPollTime, static_cast<uint32_t>(record.lngPollTime));
  WriteText(record.strValeurLue, kValeurLength, code_page, out + kOffValeurLue);
  WriteText(record.strValeurFormateeLue, kValeurLength, code_page, out + kOffValeurFormateeLue);
  std::copy(record.lngComplement.begin(), record.lngComplement.end(), out + kOffComplement);
  std::copy(record.strComplement.begin(), record.strComplement.end(), out + kOffStrComplement);
}

EnregCache DecodeRecord(const uint8_t* bytes, CodePage& code_page) {
  EnregCache record;
  DecodeRecord(bytes, code_page, &record);
  return record;
}

void DecodeRecord(const uint8_t* bytes, CodePage& code_page, EnregCache* record) {
  record->lngEtat = ReadInt32(bytes + kOffEtat);
  ReadText(bytes + kOffRefNTF, kRefNTFLength, code_page, &record->strRefNTF);
  record->dtmLecture = DecodeDouble(bytes + kOffLecture);
  record->dtmDemande = DecodeDouble(bytes + kOffDemande);
  record->lngPollTime = ReadInt32(bytes + kOffPollTime);
  ReadText(bytes + kOffValeurLue, kValeurLength, code_page, &record->strValeurLue);
  ReadText(bytes + kOffValeurFormateeLue, kValeurLength, code_page, &record->strValeurFormateeLue);
  std::copy_n(bytes + kOffComplement, record->lngComplement.size(), record->lngComplement.begin());
  std::copy_n(bytes + kOffStrComplement, record->strComplement.size(),
              record->strComplement.begin());
}

// The spaces are trimmed as bytes: a space is one byte in every ANSI code page, never the
// second byte of a character. Only the bytes between them are converted.
void DecodeTrimmedReference(const uint8_t* bytes, CodePage& code_page, Text* out) {
  const uint8_t* ref = bytes + kOffRefNTF;
  size_t begin = 0, end = kRefNTFLength;
  while (begin < end && ref[begin] == ' ') ++begin;
  while (end > begin && ref[end - 1] == ' ') --end;
  if (code_page.Characters() == nullptr) {
    *out = code_page.ToText(
        std::string_view(reinterpret_cast<const char*>(ref + begin), end - begin));
    return;
  }
  out->resize(end - begin);
  DecodeTextField(ref + begin, end - begin, code_page, out->data());
}

Text DecodeTrimmedReference(const uint8_t* bytes, CodePage& code_page) {
  Text text;
  DecodeTrimmedReference(bytes, code_page, &text);
  return text;
}

}  // namespace quillon
