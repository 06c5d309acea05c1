// The reasons this platform's file system gives for its failures: a byte held by another
// handle, a missing folder, a write through a read-only handle.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "platform/file_system.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;

class FileStatusTest : public ::testing::Test {
 protected:
  FileStatusTest() {
    dir_ = fs::temp_directory_path() /
           ("quillon-status-" + std::to_string(reinterpret_cast<uintptr_t>(this)));
    fs::create_directories(dir_);
  }
  ~FileStatusTest() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  Text PathOf(const std::string& name) const {
    const auto utf8 = (dir_ / name).u8string();
    return FromUtf8(std::string(utf8.begin(), utf8.end()));
  }

  fs::path dir_;
  std::unique_ptr<FileSystem> files_ = NewPlatformFileSystem();
};

TEST_F(FileStatusTest, AByteHeldElsewhereIsTold) {
  auto first = files_->OpenShared(PathOf("cache.dat"));
  auto second = files_->OpenShared(PathOf("cache.dat"));
  ASSERT_TRUE(first && second);
  ASSERT_TRUE(first->TryLockByte(100).ok());
  const FileStatus held = second->TryLockByte(100);
  EXPECT_FALSE(held);
  EXPECT_EQ(held.error(), FileError::kLockHeld);
  EXPECT_TRUE(first->UnlockByte(100));
  EXPECT_TRUE(second->TryLockByte(100));
}

TEST_F(FileStatusTest, AMissingFolderIsNotFound) {
  const FileStatus appended = files_->Append(PathOf("missing/day.log"), "line\r\n");
  EXPECT_FALSE(appended);
  EXPECT_EQ(appended.error(), FileError::kNotFound);
  EXPECT_EQ(files_->OpenReadOnly(PathOf("missing.dat")), nullptr);
}

TEST_F(FileStatusTest, AWriteThroughAReadOnlyHandleIsRefused) {
  ASSERT_TRUE(files_->Append(PathOf("cache.dat"), "abcd"));
  auto file = files_->OpenReadOnly(PathOf("cache.dat"));
  ASSERT_NE(file, nullptr);
  const uint8_t byte = 0;
  const FileStatus written = file->WriteAt(0, &byte, 1);
  EXPECT_FALSE(written);
  EXPECT_EQ(written.error(), FileError::kAccessDenied);
  int64_t length = 0;
  EXPECT_TRUE(file->Length(&length));
  EXPECT_EQ(length, 4);
}

}  // namespace
}  // namespace quillon
