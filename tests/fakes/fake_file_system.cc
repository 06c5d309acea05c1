#include "fakes/fake_file_system.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace quillon::testing {

class FakeFile final : public RandomAccessFile {
 public:
  FakeFile(FakeFileSystem* fs, Text path, bool read_only)
      : fs_(fs), path_(std::move(path)), gen_(fs->generation_), read_only_(read_only) {}
  ~FakeFile() override { Release(); }

  FileStatus Length(int64_t* length) override {
    ++fs_->ops_.lengths;
    if (!Valid()) return FileError::kIo;
    *length = static_cast<int64_t>(Data().size());
    return {};
  }

  FileStatus ReadAt(int64_t offset, uint8_t* buffer, size_t n, size_t* got) override {
    ++fs_->ops_.reads;
    *got = 0;
    if (!Valid() || offset < 0) return FileError::kIo;
    const std::string& d = Data();
    if (static_cast<size_t>(offset) >= d.size()) return {};
    *got = std::min(n, d.size() - static_cast<size_t>(offset));
    std::memcpy(buffer, d.data() + offset, *got);
    return {};
  }

  FileStatus WriteAt(int64_t offset, const uint8_t* data, size_t n) override {
    ++fs_->ops_.writes;
    if (read_only_) return FileError::kAccessDenied;
    if (!Valid() || offset < 0) return FileError::kIo;
    std::string& d = Data();
    if (d.size() < static_cast<size_t>(offset) + n) d.resize(static_cast<size_t>(offset) + n, '\0');
    std::memcpy(d.data() + offset, data, n);
    return {};
  }

  FileStatus TryLockByte(int64_t) override {
    ++fs_->ops_.locks;
    if (auto peer = std::exchange(fs_->before_lock_, nullptr)) peer();
    if (read_only_) return FileError::kAccessDenied;
    if (!Valid()) return FileError::kIo;
    const void*& owner = fs_->lock_owners_[path_];
    if (owner != nullptr && owner != this) return FileError::kLockHeld;
    owner = this;
    return {};
  }
  FileStatus UnlockByte(int64_t) override {
    ++fs_->ops_.unlocks;
    return Valid() && Release() ? FileStatus() : FileError::kIo;
  }

 private:
  bool Release() {
    const auto it = fs_->lock_owners_.find(path_);
    if (it == fs_->lock_owners_.end() || it->second != this) return false;
    fs_->lock_owners_.erase(it);
    return true;
  }
  bool Valid() const { return gen_ == fs_->generation_; }
  std::string& Data() { return fs_->files_[path_]; }

  FakeFileSystem* fs_;
  Text path_;
  int gen_;
  bool read_only_;
};

bool FakeFileSystem::Allowed(const Text& path) const {
  if (folders_.empty()) return true;
  return std::any_of(folders_.begin(), folders_.end(), [&](const Text& folder) {
    return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
           path.find_first_of(u"\\/", folder.size()) == Text::npos;
  });
}

std::unique_ptr<RandomAccessFile> FakeFileSystem::OpenShared(const Text& path) {
  ++ops_.opens;
  if (!Exists(path) && !Allowed(path)) return nullptr;
  files_[path];
  return std::make_unique<FakeFile>(this, path, false);
}

std::unique_ptr<RandomAccessFile> FakeFileSystem::OpenReadOnly(const Text& path) {
  ++ops_.opens;
  if (!Exists(path)) return nullptr;
  return std::make_unique<FakeFile>(this, path, true);
}

void FakeFileSystem::HoldLocksElsewhere(const Text& path, bool held) {
  static const int kPeer = 0;
  if (held) {
    lock_owners_[path] = &kPeer;
  } else {
    lock_owners_.erase(path);
  }
}

FileStatus FakeFileSystem::Append(const Text& path, std::string_view bytes) {
  ++ops_.appends;
  if (!Exists(path) && !Allowed(path)) return FileError::kNotFound;
  files_[path].append(bytes);
  return {};
}

}  // namespace quillon::testing
