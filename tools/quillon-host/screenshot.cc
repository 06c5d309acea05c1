#include "screenshot.h"

#include <algorithm>

#include "common/text.h"

namespace quillon::host {
namespace {

std::wstring WidePath(const std::string& utf8) {
  const Text t = FromUtf8(utf8);
  return std::wstring(t.begin(), t.end());
}

std::string LastError(const std::string& what, const std::string& path) {
  return what + " " + path + " (error " + std::to_string(GetLastError()) + ")";
}

}  // namespace

bool CaptureClient(HWND window, Image* image) {
  RedrawWindow(window, nullptr, nullptr,
               RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_ERASENOW);
  GdiFlush();
  RECT r;
  if (!GetClientRect(window, &r) || r.right <= 0 || r.bottom <= 0) return false;
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = r.right;
  bi.bmiHeader.biHeight = -r.bottom;  // rows from the top
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC screen = GetDC(window);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = false;
  if (memory && bitmap && bits) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    ok = BitBlt(memory, 0, 0, r.right, r.bottom, screen, 0, 0, SRCCOPY) != 0;
    GdiFlush();
    SelectObject(memory, old);
    if (ok) {
      image->width = r.right;
      image->height = r.bottom;
      const auto* p = static_cast<const uint32_t*>(bits);
      image->pixels.assign(p, p + static_cast<size_t>(r.right) * r.bottom);
      for (uint32_t& px : image->pixels) px &= 0xFFFFFF;
    }
  }
  if (bitmap) DeleteObject(bitmap);
  if (memory) DeleteDC(memory);
  ReleaseDC(window, screen);
  return ok;
}

bool WriteImageFile(const Image& image, const std::string& utf8_path, std::string* error) {
  std::string lower = utf8_path;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
  const bool png = lower.size() > 4 && lower.compare(lower.size() - 4, 4, ".png") == 0;
  return WriteFileBytes(utf8_path, png ? EncodePng(image) : EncodeBmp(image), error);
}

bool WriteFileBytes(const std::string& utf8_path, const std::string& bytes, std::string* error) {
  HANDLE f = CreateFileW(WidePath(utf8_path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) {
    *error = LastError("cannot write", utf8_path);
    return false;
  }
  DWORD written = 0;
  const bool ok = WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                  written == bytes.size();
  if (!ok) *error = LastError("cannot write", utf8_path);
  CloseHandle(f);
  return ok;
}

bool ReadFileBytes(const std::string& utf8_path, std::string* bytes, std::string* error) {
  HANDLE f = CreateFileW(WidePath(utf8_path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) {
    *error = LastError("cannot read", utf8_path);
    return false;
  }
  bytes->clear();
  char buf[65536];
  DWORD n = 0;
  bool ok = true;
  while ((ok = ReadFile(f, buf, sizeof buf, &n, nullptr)) && n > 0) bytes->append(buf, n);
  if (!ok) *error = LastError("cannot read", utf8_path);
  CloseHandle(f);
  return ok;
}

}  // namespace quillon::host
