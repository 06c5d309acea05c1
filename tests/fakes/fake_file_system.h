// An in-memory file system that counts the operations made on its files.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace quillon::testing {

struct FileOps {
  int opens = 0;
  int lengths = 0;
  int reads = 0;
  int writes = 0;
  int locks = 0;  // attempts, taken or not
  int unlocks = 0;
  int appends = 0;
  // Every call made on an open file.
  int FileCalls() const { return lengths + reads + writes + locks + unlocks; }
};

class FakeFileSystem final : public FileSystem {
 public:
  FakeFileSystem() = default;

  std::unique_ptr<RandomAccessFile> OpenShared(const Text& path) override;
  std::unique_ptr<RandomAccessFile> OpenReadOnly(const Text& path) override;
  FileStatus Append(const Text& path, std::string_view bytes) override;
  Text ModulePath() override { return module_path_; }

  // Folders in which files may be created; a path outside them fails to open. Empty: any.
  void AddFolder(const Text& folder) { folders_.push_back(folder); }
  void SetModulePath(const Text& path) { module_path_ = path; }
  // Closes every handle handed out, as when the platform invalidates them.
  void InvalidateHandles() { ++generation_; }

  // A peer process holds (true) or releases (false) every byte lock of a file.
  void HoldLocksElsewhere(const Text& path, bool held);
  // Runs once, at the next lock attempt, before it: what a peer does just before.
  void BeforeNextLock(std::function<void()> peer) { before_lock_ = std::move(peer); }

  bool Exists(const Text& path) const { return files_.count(path) != 0; }
  std::string& Contents(const Text& path) { return files_[path]; }
  FileOps& ops() { return ops_; }

 private:
  friend class FakeFile;
  bool Allowed(const Text& path) const;

  std::map<Text, std::string> files_;
  std::map<Text, const void*> lock_owners_;
  std::function<void()> before_lock_;  // path -> handle holding its byte lock
  std::vector<Text> folders_;
  Text module_path_ = u"/opt/quillon/HN_Quillon_PD.ocx";
  FileOps ops_;
  int generation_ = 0;
};

}  // namespace quillon::testing
