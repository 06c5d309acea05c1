#include "image_file.h"

#include <algorithm>
#include <array>

namespace quillon::host {
namespace {

void Put16(std::string* out, uint32_t v) {
  out->push_back(static_cast<char>(v & 0xFF));
  out->push_back(static_cast<char>((v >> 8) & 0xFF));
}
void Put32(std::string* out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}
void Put32Big(std::string* out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8)
    out->push_back(static_cast<char>((v >> shift) & 0xFF));
}

uint32_t Crc32(const std::string& bytes, size_t from) {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  uint32_t c = 0xFFFFFFFFu;
  for (size_t i = from; i < bytes.size(); ++i) {
    c = table[(c ^ static_cast<uint8_t>(bytes[i])) & 0xFF] ^ (c >> 8);
  }
  return c ^ 0xFFFFFFFFu;
}

void PutChunk(std::string* out, const char* type, const std::string& data) {
  Put32Big(out, static_cast<uint32_t>(data.size()));
  const size_t start = out->size();
  out->append(type, 4);
  out->append(data);
  Put32Big(out, Crc32(*out, start));
}

// The zlib stream of the raw scanlines: each row is a filter byte 0 and its RGB bytes.
std::string ZlibStored(const Image& image) {
  std::string raw;
  raw.reserve(static_cast<size_t>(image.height) * (image.width * 3 + 1));
  for (int y = 0; y < image.height; ++y) {
    raw.push_back(0);
    for (int x = 0; x < image.width; ++x) {
      const uint32_t p = image.at(x, y);
      raw.push_back(static_cast<char>((p >> 16) & 0xFF));
      raw.push_back(static_cast<char>((p >> 8) & 0xFF));
      raw.push_back(static_cast<char>(p & 0xFF));
    }
  }
  std::string z = "\x78\x01";
  size_t pos = 0;
  do {
    const size_t n = std::min<size_t>(65535, raw.size() - pos);
    z.push_back(pos + n == raw.size() ? 1 : 0);
    Put16(&z, static_cast<uint32_t>(n));
    Put16(&z, static_cast<uint32_t>(~n & 0xFFFF));
    z.append(raw, pos, n);
    pos += n;
  } while (pos < raw.size());
  uint32_t a = 1, b = 0;
  for (char c : raw) {
    a = (a + static_cast<uint8_t>(c)) % 65521;
    b = (b + a) % 65521;
  }
  Put32Big(&z, (b << 16) | a);
  return z;
}

}  // namespace

std::string EncodeBmp(const Image& image) {
  const uint32_t stride = (static_cast<uint32_t>(image.width) * 3 + 3) & ~3u;
  const uint32_t data_size = stride * static_cast<uint32_t>(image.height);
  std::string out = "BM";
  Put32(&out, 54 + data_size);
  Put32(&out, 0);
  Put32(&out, 54);
  Put32(&out, 40);
  Put32(&out, static_cast<uint32_t>(image.width));
  Put32(&out, static_cast<uint32_t>(image.height));
  Put16(&out, 1);
  Put16(&out, 24);
  Put32(&out, 0);
  Put32(&out, data_size);
  Put32(&out, 3780);  // 96 dots per inch
  Put32(&out, 3780);
  Put32(&out, 0);
  Put32(&out, 0);
  for (int y = image.height - 1; y >= 0; --y) {
    for (int x = 0; x < image.width; ++x) {
      const uint32_t p = image.at(x, y);
      out.push_back(static_cast<char>(p & 0xFF));
      out.push_back(static_cast<char>((p >> 8) & 0xFF));
      out.push_back(static_cast<char>((p >> 16) & 0xFF));
    }
    out.append(stride - static_cast<uint32_t>(image.width) * 3, '\0');
  }
  return out;
}

std::string EncodePng(const Image& image) {
  std::string out = "\x89PNG\r\n\x1a\n";
  std::string header;
  Put32Big(&header, static_cast<uint32_t>(image.width));
  Put32Big(&header, static_cast<uint32_t>(image.height));
  header +=
      std::string("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB, deflate, no filter, no interlace
  PutChunk(&out, "IHDR", header);
  PutChunk(&out, "IDAT", ZlibStored(image));
  PutChunk(&out, "IEND", "");
  return out;
}

}  // namespace quillon::host
