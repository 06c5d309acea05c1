// File access seam: the shared cache file and the appended trace files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "common/text.h"

namespace quillon {

// Why a file call failed. The control itself only tells success from failure; a tool, a log
// or a waiting caller can tell which failure it met.
enum class FileError : uint8_t {
  kNone,            // success
  kNotFound,        // no such file or folder
  kAccessDenied,    // refused: permissions, a read-only handle, another handle's sharing
  kLockHeld,        // TryLockByte: another handle holds the byte
  kNotRegularFile,  // a link, a pipe or a device where a plain file was expected
  kIo,              // any other failure of the platform call
};

// The outcome of a file call: true on success, the reason otherwise.
class FileStatus {
 public:
  constexpr FileStatus(FileError error = FileError::kNone) : error_(error) {}
  constexpr bool ok() const { return error_ == FileError::kNone; }
  constexpr FileError error() const { return error_; }
  constexpr explicit operator bool() const { return ok(); }

 private:
  FileError error_;
};

// One open file, read and written at explicit offsets. One thread at a time per file; the
// byte lock belongs to the handle, not to the thread.
class RandomAccessFile {
 public:
  RandomAccessFile() = default;
  RandomAccessFile(const RandomAccessFile&) = delete;
  RandomAccessFile& operator=(const RandomAccessFile&) = delete;
  virtual ~RandomAccessFile() = default;

  // Current length in bytes; fails when the handle is no longer usable.
  virtual FileStatus Length(int64_t* length) = 0;
  // Reads up to n bytes at offset; *got receives the bytes read (fewer at the end of the file).
  virtual FileStatus ReadAt(int64_t offset, uint8_t* buffer, size_t n, size_t* got) = 0;
  // Writes n bytes at offset, growing the file when needed.
  virtual FileStatus WriteAt(int64_t offset, const uint8_t* data, size_t n) = 0;
  // Takes an exclusive lock on one byte at offset without waiting: kLockHeld when another
  // handle holds it. Other processes may still open, read and write the file (the byte may lie
  // beyond its end).
  virtual FileStatus TryLockByte(int64_t offset) = 0;
  // Releases the lock taken by TryLockByte.
  virtual FileStatus UnlockByte(int64_t offset) = 0;
};

// The file system itself keeps no state: any thread, at the same time as others.
class FileSystem {
 public:
  FileSystem() = default;
  FileSystem(const FileSystem&) = delete;
  FileSystem& operator=(const FileSystem&) = delete;
  virtual ~FileSystem() = default;

  // Opens path for reading and writing without sharing restriction, creating it empty when
  // missing; nullptr when it cannot be opened (its callers only report the cache missing).
  virtual std::unique_ptr<RandomAccessFile> OpenShared(const Text& path) = 0;
  // Opens an existing path for reading only, without sharing restriction and never creating
  // it; nullptr when it cannot be opened.
  virtual std::unique_ptr<RandomAccessFile> OpenReadOnly(const Text& path) = 0;
  // Appends bytes to path, creating the file when missing; fails when not every byte was
  // written. Only a regular file is written: never through a symbolic link (or another
  // reparse point) in the file's place, nor into a pipe or a device (kNotRegularFile).
  virtual FileStatus Append(const Text& path, std::string_view bytes) = 0;
  // Full path of the library or program file that holds this code; empty when unknown.
  virtual Text ModulePath() = 0;
};

// The platform's file system.
std::unique_ptr<FileSystem> NewPlatformFileSystem();

}  // namespace quillon
