#include "cache/record_codec.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <string_view>

namespace quillon {
namespace {

void WriteUint32(uint32_t value, uint8_t* out) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t ReadUint32(const uint8_t* bytes) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | bytes[i];
  return value;
}

void WriteDouble(double value, uint8_t* out) {
  const auto bits = std::bit_cast<uint64_t>(value);
  for (int i = 0; i < 8; ++i) out[i] = static_cast<uint8_t>(bits >> (8 * i));
}

double ReadDouble(const uint8_t* bytes) {
  uint64_t bits = 0;
  for (int i = 7; i >= 0; --i) bits = (bits << 8) | bytes[i];
  return std::bit_cast<double>(bits);
}

void WriteText(const Text& text, size_t width, CodePage& code_page, uint8_t* out) {
  std::string bytes = code_page.ToAnsi(text);
  bytes.resize(width, ' ');
  std::memcpy(out, bytes.data(), width);
}

Text ReadText(const uint8_t* bytes, size_t width, CodePage& code_page) {
  Text text = code_page.ToText(std::string_view(reinterpret_cast<const char*>(bytes), width));
  text.resize(width, u'\0');
  return text;
}

}  // namespace

int32_t ReadInt32(const uint8_t* bytes) { return static_cast<int32_t>(ReadUint32(bytes)); }

void MarkRequested(uint8_t* bytes, int32_t poll_time, double now) {
  if (ReadInt32(bytes + kOffEtat) == 0 || ReadInt32(bytes + kOffPollTime) < poll_time) {
    WriteUint32(static_cast<uint32_t>(poll_time), bytes + kOffPollTime);
  }
  WriteUint32(1, bytes + kOffEtat);
  WriteDouble(0, bytes + kOffLecture);
  WriteDouble(now, bytes + kOffDemande);
}

void EncodeRecord(const EnregCache& record, CodePage& code_page, uint8_t* out) {
  WriteUint32(static_cast<uint32_t>(record.lngEtat), out + kOffEtat);
  WriteText(record.strRefNTF, kRefNTFLength, code_page, out + kOffRefNTF);
  WriteDouble(record.dtmLecture, out + kOffLecture);
  WriteDouble(record.dtmDemande, out + kOffDemande);
  WriteUint32(static_cast<uint32_t>(record.lngPollTime), out + kOffPollTime);
  WriteText(record.strValeurLue, kValeurLength, code_page, out + kOffValeurLue);
  WriteText(record.strValeurFormateeLue, kValeurLength, code_page, out + kOffValeurFormateeLue);
  std::copy(record.lngComplement.begin(), record.lngComplement.end(), out + kOffComplement);
  std::copy(record.strComplement.begin(), record.strComplement.end(), out + kOffStrComplement);
}

EnregCache DecodeRecord(const uint8_t* bytes, CodePage& code_page) {
  EnregCache record;
  record.lngEtat = ReadInt32(bytes + kOffEtat);
  record.strRefNTF = ReadText(bytes + kOffRefNTF, kRefNTFLength, code_page);
  record.dtmLecture = ReadDouble(bytes + kOffLecture);
  record.dtmDemande = ReadDouble(bytes + kOffDemande);
  record.lngPollTime = ReadInt32(bytes + kOffPollTime);
  record.strValeurLue = ReadText(bytes + kOffValeurLue, kValeurLength, code_page);
  record.strValeurFormateeLue = ReadText(bytes + kOffValeurFormateeLue, kValeurLength, code_page);
  std::copy_n(bytes + kOffComplement, record.lngComplement.size(), record.lngComplement.begin());
  std::copy_n(bytes + kOffStrComplement, record.strComplement.size(), record.strComplement.begin());
  return record;
}

Text DecodeTrimmedReference(const uint8_t* bytes, CodePage& code_page) {
  return TrimSpaces(ReadText(bytes + kOffRefNTF, kRefNTFLength, code_page));
}

}  // namespace quillon
