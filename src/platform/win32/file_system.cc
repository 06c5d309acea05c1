#include "platform/file_system.h"

#include <windows.h>

#include "platform/win32/this_module.h"

namespace quillon {
namespace {

std::wstring Wide(const Text& text) { return std::wstring(text.begin(), text.end()); }

OVERLAPPED At(int64_t offset) {
  OVERLAPPED ov{};
  ov.Offset = static_cast<DWORD>(offset & 0xFFFFFFFF);
  ov.OffsetHigh = static_cast<DWORD>(static_cast<uint64_t>(offset) >> 32);
  return ov;
}

// The reason GetLastError gives for a failed call.
FileStatus Failed() {
  switch (GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return FileError::kNotFound;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_WRITE_PROTECT:
      return FileError::kAccessDenied;
    case ERROR_LOCK_VIOLATION:
      return FileError::kLockHeld;
    default:
      return FileError::kIo;
  }
}

class Win32File final : public RandomAccessFile {
 public:
  explicit Win32File(HANDLE handle) : handle_(handle) {}
  ~Win32File() override { CloseHandle(handle_); }

  FileStatus Length(int64_t* length) override {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(handle_, &size)) return Failed();
    *length = size.QuadPart;
    return {};
  }

  FileStatus ReadAt(int64_t offset, uint8_t* buffer, size_t n, size_t* got) override {
    *got = 0;
    while (*got < n) {
      OVERLAPPED ov = At(offset + static_cast<int64_t>(*got));
      DWORD read = 0;
      if (!ReadFile(handle_, buffer + *got, static_cast<DWORD>(n - *got), &read, &ov)) {
        return GetLastError() == ERROR_HANDLE_EOF ? FileStatus() : Failed();
      }
      if (read == 0) break;
      *got += read;
    }
    return {};
  }

  FileStatus WriteAt(int64_t offset, const uint8_t* data, size_t n) override {
    size_t done = 0;
    while (done < n) {
      OVERLAPPED ov = At(offset + static_cast<int64_t>(done));
      DWORD written = 0;
      if (!WriteFile(handle_, data + done, static_cast<DWORD>(n - done), &written, &ov)) {
        return Failed();
      }
      if (written == 0) return FileError::kIo;
      done += written;
    }
    return {};
  }

  bool OnDisk() const { return GetFileType(handle_) == FILE_TYPE_DISK; }

  // A byte held by another handle fails with ERROR_LOCK_VIOLATION.
  FileStatus TryLockByte(int64_t offset) override {
    OVERLAPPED ov = At(offset);
    if (LockFileEx(handle_, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &ov)) {
      return {};
    }
    return Failed();
  }

  FileStatus UnlockByte(int64_t offset) override {
    OVERLAPPED ov = At(offset);
    return UnlockFileEx(handle_, 0, 1, 0, &ov) ? FileStatus() : Failed();
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
  FileStatus Append(const Text& path, std::string_view bytes) override {
    HANDLE h =
        CreateFileW(Wide(path).c_str(), FILE_APPEND_DATA,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return Failed();
    BY_HANDLE_FILE_INFORMATION info{};
    FileStatus status;
    DWORD written = 0;
    if (GetFileType(h) != FILE_TYPE_DISK) {
      status = FileError::kNotRegularFile;
    } else if (!GetFileInformationByHandle(h, &info)) {
      status = Failed();
    } else if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
      status = FileError::kNotRegularFile;
    } else if (!WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
      status = Failed();
    } else if (written != bytes.size()) {
      status = FileError::kIo;
    }
    CloseHandle(h);
    return status;
  }

  Text ModulePath() override {
    const std::wstring path = ThisModulePath();
    return Text(path.begin(), path.end());
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
