#include "platform/file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <string>

namespace quillon {
namespace {

// Paths are built the Windows way ("<install>\Serveur Quillon PD\..."); here a backslash
// separates folders as a slash does.
std::string NativePath(const Text& path) {
  std::string out = ToUtf8(path);
  for (char& c : out) {
    if (c == '\\') c = '/';
  }
  return out;
}

// The reason errno gives for a failed call.
FileError FromErrno(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return FileError::kNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case EBADF:  // a write through a read-only descriptor
      return FileError::kAccessDenied;
    case ELOOP:  // O_NOFOLLOW met a link
      return FileError::kNotRegularFile;
    default:
      return FileError::kIo;
  }
}

FileStatus Failed() { return FromErrno(errno); }

class PosixFile final : public RandomAccessFile {
 public:
  explicit PosixFile(int fd) : fd_(fd) {}
  ~PosixFile() override { ::close(fd_); }

  FileStatus Length(int64_t* length) override {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return Failed();
    *length = st.st_size;
    return {};
  }

  FileStatus ReadAt(int64_t offset, uint8_t* buffer, size_t n, size_t* got) override {
    *got = 0;
    while (*got < n) {
      const ssize_t r = ::pread(fd_, buffer + *got, n - *got, offset + *got);
      if (r < 0) return Failed();
      if (r == 0) break;
      *got += static_cast<size_t>(r);
    }
    return {};
  }

  FileStatus WriteAt(int64_t offset, const uint8_t* data, size_t n) override {
    size_t done = 0;
    while (done < n) {
      const ssize_t w = ::pwrite(fd_, data + done, n - done, offset + done);
      if (w < 0) return Failed();
      if (w == 0) return FileError::kIo;
      done += static_cast<size_t>(w);
    }
    return {};
  }

  FileStatus TryLockByte(int64_t offset) override { return SetLock(offset, F_WRLCK); }
  FileStatus UnlockByte(int64_t offset) override { return SetLock(offset, F_UNLCK); }

 private:
  // Open-file-description locks belong to this handle, not to the whole process; F_OFD_SETLK
  // never waits, and says EAGAIN or EACCES when another handle holds the byte.
  FileStatus SetLock(int64_t offset, short type) {
    struct flock fl {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = offset;
    fl.l_len = 1;
    int rc;
    do {
      rc = ::fcntl(fd_, F_OFD_SETLK, &fl);
    } while (rc != 0 && errno == EINTR);
    if (rc == 0) return {};
    if (type == F_WRLCK && (errno == EAGAIN || errno == EACCES)) return FileError::kLockHeld;
    return Failed();
  }

  int fd_;
};

class PosixFileSystem final : public FileSystem {
 public:
  std::unique_ptr<RandomAccessFile> OpenShared(const Text& path) override {
    const int fd = ::open(NativePath(path).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    return std::make_unique<PosixFile>(fd);
  }

  // Without waiting for a writer (a FIFO would block the open); only a regular file is kept.
  std::unique_ptr<RandomAccessFile> OpenReadOnly(const Text& path) override {
    const int fd = ::open(NativePath(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      ::close(fd);
      return nullptr;
    }
    return std::make_unique<PosixFile>(fd);
  }

  // O_NOFOLLOW refuses a link in the file's place; O_NONBLOCK keeps a FIFO from blocking the
  // open, and the type check then refuses it.
  FileStatus Append(const Text& path, std::string_view bytes) override {
    const int flags = O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;
    const int fd = ::open(NativePath(path).c_str(), flags, 0666);
    if (fd < 0) return errno == ENXIO ? FileError::kNotRegularFile : Failed();  // ENXIO: a FIFO
    struct stat st {};
    FileStatus status;
    if (::fstat(fd, &st) != 0) {
      status = Failed();
    } else if (!S_ISREG(st.st_mode)) {
      status = FileError::kNotRegularFile;
    } else if (const ssize_t w = ::write(fd, bytes.data(), bytes.size()); w < 0) {
      status = Failed();
    } else if (w != static_cast<ssize_t>(bytes.size())) {
      status = FileError::kIo;  // a short write
    }
    ::close(fd);
    return status;
  }

  Text ModulePath() override {
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return Text();
    return FromUtf8(std::string_view(buffer, static_cast<size_t>(n)));
  }
};

}  // namespace

std::unique_ptr<FileSystem> NewPlatformFileSystem() { return std::make_unique<PosixFileSystem>(); }

}  // namespace quillon
