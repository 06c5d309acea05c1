// Pictures of a window as files: 24-bit BMP and PNG, written without any outside library.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillon::host {

// Pixels as 0x00RRGGBB, rows from the top.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;

  uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// A bottom-up 24-bit BMP file.
std::string EncodeBmp(const Image& image);
// A PNG file: 8-bit RGB, no filtering, the image data in stored (uncompressed) deflate blocks.
std::string EncodePng(const Image& image);

}  // namespace quillon::host
