#include "platform/file_system.h"

#include <windows.h>

namespace quillon {
namespace {

std::wstring Wide(const Text& text) { return std::wstring(text.begin(), text.end()); }

OVERLAPPED At(int64_t offset) {
  OVERLAPPED ov{};
  ov.Offset = static_cast<DWORD>(offset & 0xFFFFFFFF);
  ov.OffsetHigh = static_cast<DWORD>(static_cast<uint64_t>(offset) >> 32);
  return ov;
}

class Win32File final : public RandomAccessFile {
 public:
  explicit Win32File(HANDLE handle) : handle_(handle) {}
  ~Win32File() override { CloseHandle(handle_); }

  bool Length(int64_t* length) override {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(handle_, &size)) return false;
    *length = size.QuadPart;
    return true;
  }

  bool ReadAt(int64_t offset, uint8_t* buffer, size_t n, size_t* got) override {
    *got = 0;
    while (*got < n) {
      OVERLAPPED ov = At(offset + static_cast<int64_t>(*got));
      DWORD read = 0;
      if (!ReadFile(handle_, buffer + *got, static_cast<DWORD>(n - *got), &read, &ov)) {
        return GetLastError() == ERROR_HANDLE_EOF;
      }
      if (read == 0) break;
      *got += read;
    }
    return true;
  }

  bool WriteAt(int64_t offset, const uint8_t* data, size_t n) override {
    size_t done = 0;
    while (done < n) {
      OVERLAPPED ov = At(offset + static_cast<int64_t>(done));
      DWORD written = 0;
      if (!WriteFile(handle_, data + done, static_cast<DWORD>(n - done), &written, &ov) ||
          written == 0) {
        return false;
      }
      done += written;
    }
    return true;
  }

  bool OnDisk() const { return GetFileType(handle_) == FILE_TYPE_DISK; }

  bool TryLockByte(int64_t offset) override {
    OVERLAPPED ov = At(offset);
    return LockFileEx(handle_, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &ov) !=
           0;
  }

  bool UnlockByte(int64_t offset) override {
    OVERLAPPED ov = At(offset);
    return UnlockFileEx(handle_, 0, 1, 0, &ov) != 0;
  }

 private:
  HANDLE handle_;
};

class Win32FileSystem final : public FileSystem {
 public:
  std::unique_ptr<RandomAccessFile> OpenShared(const Text& path) override {
    return Open(path, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS);
  }

  // Only a file on disk is kept (not a pipe or a device).
  std::unique_ptr<RandomAccessFile> OpenReadOnly(const Text& path) override {
    auto file = Open(path, GENERIC_READ, OPEN_EXISTING);
    if (file && !static_cast<Win32File&>(*file).OnDisk()) return nullptr;
    return file;
  }

  // FILE_FLAG_OPEN_REPARSE_POINT opens a link planted in the file's place as itself, which is
  // then refused, as is anything but a file on disk.
  bool Append(const Text& path, std::string_view bytes) override {
    HANDLE h =
        CreateFileW(Wide(path).c_str(), FILE_APPEND_DATA,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool plain_file = GetFileType(h) == FILE_TYPE_DISK &&
                            GetFileInformationByHandle(h, &info) &&
                            (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
    DWORD written = 0;
    const BOOL ok = plain_file &&
                    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(h);
    return ok && written == bytes.size();
  }

  Text ModulePath() override {
    // The module that holds this code: the control library, or the program it is linked into.
    HMODULE module = nullptr;
    GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(&NewPlatformFileSystem), &module);
    wchar_t buffer[MAX_PATH * 4];
    const DWORD n = GetModuleFileNameW(module, buffer, static_cast<DWORD>(std::size(buffer)));
    return Text(buffer, buffer + n);
  }

 private:
  static std::unique_ptr<RandomAccessFile> Open(const Text& path, DWORD access, DWORD how) {
    HANDLE h = CreateFileW(Wide(path).c_str(), access,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, how,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    return std::make_unique<Win32File>(h);
  }
};

}  // namespace

std::unique_ptr<FileSystem> NewPlatformFileSystem() { return std::make_unique<Win32FileSystem>(); }

}  // namespace quillon
