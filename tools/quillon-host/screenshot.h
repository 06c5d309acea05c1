// What a window shows, read back from the screen's surface, children included.
#pragma once

#include <windows.h>

#include <string>

#include "image_file.h"

namespace quillon::host {

// The client area of `window` after every pending paint of it and its children has run.
bool CaptureClient(HWND window, Image* image);

// Writes the image as PNG when the path ends in ".png" (any case), otherwise as BMP.
bool WriteImageFile(const Image& image, const std::string& utf8_path, std::string* error);

// Writes bytes to a file named in UTF-8; false with *error on failure.
bool WriteFileBytes(const std::string& utf8_path, const std::string& bytes, std::string* error);
bool ReadFileBytes(const std::string& utf8_path, std::string* bytes, std::string* error);

}  // namespace quillon::host
