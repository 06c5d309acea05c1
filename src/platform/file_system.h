// File access seam: the shared cache file and the appended trace files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "common/text.h"

namespace quillon {

// One open file, read and written at explicit offsets.
class RandomAccessFile {
 public:
  RandomAccessFile() = default;
  RandomAccessFile(const RandomAccessFile&) = delete;
  RandomAccessFile& operator=(const RandomAccessFile&) = delete;
  virtual ~RandomAccessFile() = default;

  // Current length in bytes; false when the handle is no longer usable.
  virtual bool Length(int64_t* length) = 0;
  // Reads up to n bytes at offset; *got receives the bytes read (fewer at the end of the file).
  virtual bool ReadAt(int64_t offset, uint8_t* buffer, size_t n, size_t* got) = 0;
  // Writes n bytes at offset, growing the file when needed.
  virtual bool WriteAt(int64_t offset, const uint8_t* data, size_t n) = 0;
  // Takes an exclusive lock on one byte at offset without waiting: false when another handle
  // holds it. Other processes may still open, read and write the file (the byte may lie
  // beyond its end).
  virtual bool TryLockByte(int64_t offset) = 0;
  // Releases the lock taken by TryLockByte.
  virtual bool UnlockByte(int64_t offset) = 0;
};

class FileSystem {
 public:
  FileSystem() = default;
  FileSystem(const FileSystem&) = delete;
  FileSystem& operator=(const FileSystem&) = delete;
  virtual ~FileSystem() = default;

  // Opens path for reading and writing without sharing restriction, creating it empty when
  // missing; nullptr when it cannot be opened.
  virtual std::unique_ptr<RandomAccessFile> OpenShared(const Text& path) = 0;
  // Opens an existing path for reading only, without sharing restriction and never creating
  // it; nullptr when it cannot be opened.
  virtual std::unique_ptr<RandomAccessFile> OpenReadOnly(const Text& path) = 0;
  // Appends bytes to path, creating the file when missing; false when nothing was written.
  // Only a regular file is written: never through a symbolic link (or another reparse point)
  // in the file's place, nor into a pipe or a device.
  virtual bool Append(const Text& path, std::string_view bytes) = 0;
  // Full path of the library or program file that holds this code.
  virtual Text ModulePath() = 0;
};

}  // namespace quillon

namespace quillon {
// The platform's file system.
std::unique_ptr<FileSystem> NewPlatformFileSystem();
}  // namespace quillon
