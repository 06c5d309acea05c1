#include "fakes/fake_file_system.h"

#include <algorithm>
#include <cstring>

namespace quillon::testing {

class FakeFile final : public RandomAccessFile {
 public:
  FakeFile(FakeFileSystem* fs, Text path)
      : fs_(fs), path_(std::move(path)), gen_(fs->generation_) {}

  bool Length(int64_t* length) override {
    ++fs_->ops_.lengths;
    if (!Valid()) return false;
    *length = static_cast<int64_t>(Data().size());
    return true;
  }

  bool ReadAt(int64_t offset, uint8_t* buffer, size_t n, size_t* got) override {
    ++fs_->ops_.reads;
    *got = 0;
    if (!Valid() || offset < 0) return false;
    const std::string& d = Data();
    if (static_cast<size_t>(offset) >= d.size()) return true;
    *got = std::min(n, d.size() - static_cast<size_t>(offset));
    std::memcpy(buffer, d.data() + offset, *got);
    return true;
  }

  bool WriteAt(int64_t offset, const uint8_t* data, size_t n) override {
    ++fs_->ops_.writes;
    if (!Valid() || offset < 0) return false;
    std::string& d = Data();
    if (d.size() < static_cast<size_t>(offset) + n) d.resize(static_cast<size_t>(offset) + n, '\0');
    std::memcpy(d.data() + offset, data, n);
    return true;
  }

  bool LockByte(int64_t) override {
    ++fs_->ops_.locks;
    return Valid();
  }
  bool UnlockByte(int64_t) override { return Valid(); }

 private:
  bool Valid() const { return gen_ == fs_->generation_; }
  std::string& Data() { return fs_->files_[path_]; }

  FakeFileSystem* fs_;
  Text path_;
  int gen_;
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
  return std::make_unique<FakeFile>(this, path);
}

bool FakeFileSystem::Append(const Text& path, std::string_view bytes) {
  ++ops_.appends;
  if (!Exists(path) && !Allowed(path)) return false;
  files_[path].append(bytes);
  return true;
}

}  // namespace quillon::testing
