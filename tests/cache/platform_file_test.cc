// This platform's file system and code page as the cache uses them: the slot lock between two
// handles, the read-only open, and the exact conversion of references.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "cache/fct_cache.h"
#include "platform/code_page.h"
#include "platform/file_system.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;

Text FromPath(const fs::path& path) {
  const auto utf8 = path.u8string();
  return FromUtf8(std::string(utf8.begin(), utf8.end()));
}

class PlatformFileTest : public ::testing::Test {
 protected:
  PlatformFileTest() {
    dir_ = fs::temp_directory_path() /
           ("quillon-platform-" + std::to_string(reinterpret_cast<uintptr_t>(this)));
    fs::create_directories(dir_);
  }
  ~PlatformFileTest() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  Text PathOf(const std::string& name) const { return FromPath(dir_ / name); }

  fs::path dir_;
  std::unique_ptr<FileSystem> files_ = NewPlatformFileSystem();
};

TEST_F(PlatformFileTest, SlotLockIsExclusiveBetweenHandlesAndNeverWaits) {
  auto first = files_->OpenShared(PathOf("cache.dat"));
  auto second = files_->OpenShared(PathOf("cache.dat"));
  ASSERT_TRUE(first && second);
  ASSERT_TRUE(first->TryLockByte(kSlotLockOffset));
  EXPECT_FALSE(second->TryLockByte(kSlotLockOffset));  // busy: false at once
  // The lock covers no record: the other handle still writes and reads the file.
  const uint8_t record[4] = {1, 2, 3, 4};
  EXPECT_TRUE(second->WriteAt(0, record, sizeof record));
  uint8_t back[4] = {};
  size_t got = 0;
  EXPECT_TRUE(first->ReadAt(0, back, sizeof back, &got));
  EXPECT_EQ(got, 4u);
  EXPECT_TRUE(first->UnlockByte(kSlotLockOffset));
  EXPECT_TRUE(second->TryLockByte(kSlotLockOffset));
  second.reset();  // closing the handle releases its lock
  EXPECT_TRUE(first->TryLockByte(kSlotLockOffset));
}

TEST_F(PlatformFileTest, ReadOnlyOpenNeverCreatesAndNeverWrites) {
  EXPECT_EQ(files_->OpenReadOnly(PathOf("missing.dat")), nullptr);
  EXPECT_FALSE(fs::exists(dir_ / "missing.dat"));
  EXPECT_EQ(files_->OpenReadOnly(FromPath(dir_)), nullptr);  // a folder is no cache file
  std::ofstream(dir_ / "cache.dat", std::ios::binary) << std::string(144, 'x');
  auto file = files_->OpenReadOnly(PathOf("cache.dat"));
  ASSERT_NE(file, nullptr);
  int64_t length = 0;
  EXPECT_TRUE(file->Length(&length));
  EXPECT_EQ(length, 144);
  const uint8_t zero = 0;
  EXPECT_FALSE(file->WriteAt(0, &zero, 1));
  EXPECT_EQ(fs::file_size(dir_ / "cache.dat"), 144u);
}

// The trace file is appended to by name in a folder others may write to: a link planted in
// its place must not carry the lines into the file it points to.
TEST_F(PlatformFileTest, AppendWritesARegularFileAndNeverThroughALink) {
  EXPECT_TRUE(files_->Append(PathOf("day.log"), "one\r\n"));
  EXPECT_TRUE(files_->Append(PathOf("day.log"), "two\r\n"));
  std::ifstream in(dir_ / "day.log", std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "one\r\ntwo\r\n");

  std::ofstream(dir_ / "victim.txt", std::ios::binary) << "kept";
  std::error_code ec;
  fs::create_symlink(dir_ / "victim.txt", dir_ / "planted.log", ec);
  if (ec) GTEST_SKIP() << "this platform makes no symbolic link here: " << ec.message();
  EXPECT_FALSE(files_->Append(PathOf("planted.log"), "forged\r\n"));
  std::ifstream victim(dir_ / "victim.txt", std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(victim), {}), "kept");
}

TEST(PlatformCodePageTest, ReferencesConvertExactlyOrNotAtAll) {
  auto cp = NewPlatformCodePage();
  if (cp->ToText("\xE9") != u"é") GTEST_SKIP() << "the ANSI code page is not Windows-1252";
  std::string bytes;
  EXPECT_TRUE(cp->ToAnsiExact(u"A:é.€", &bytes));
  EXPECT_EQ(bytes, "A:\xE9.\x80");
  // No best fit (A with macron is not A), no default character, no lone surrogate.
  for (const TextView lossy :
       {TextView(u"A:Ā.F"), TextView(u"A:Ω.F"), TextView(u"A:😀.F"), TextView(u"\xDC00")}) {
    EXPECT_FALSE(cp->ToAnsiExact(lossy, &bytes)) << ToUtf8(lossy);
  }
}

}  // namespace
}  // namespace quillon
