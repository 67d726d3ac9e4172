// A forwarding wrapper around the real file system that fails chosen calls, to show what
// the program does when the disk fills, access is refused or a file vanishes.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "common/Failure.h"
#include "common/FileSystem.h"

namespace tandro::test {

enum class Call {
  ListFolder,
  NormalFile,
  CopyFile,
  RenameFile,
  RemoveFile,
  CreateFolder,
  Stamp,
  ReadFile,
  WriteFile,
  HideFile,
};

class FaultyFileSystem : public FileSystem {
 public:
  // Fails the `nth` (1-based) call of kind `call` whose path (either path of a copy or
  // rename) contains `pathPart`, and every
  // later one when `sticky`, with failure `number`.
  void failOn(Call call, std::int32_t number, std::string pathPart = {}, int nth = 1,
              bool sticky = false);
  // Runs `action` once, right before the first call of kind `call`.
  void beforeCall(Call call, std::function<void()> action);
  // Forgets every fault not yet thrown and every sticky one: the fault is gone.
  void clearFaults() { faults_.clear(); }
  int callCount(Call call) const { return counts_[static_cast<int>(call)]; }

  std::vector<FolderEntry> listFolder(const std::string& path) override;
  std::optional<FileFacts> normalFile(const std::string& path) override;
  void copyFile(const std::string& from, const std::string& to) override;
  void renameFile(const std::string& from, const std::string& to) override;
  void removeFile(const std::string& path) override;
  void createFolder(const std::string& path) override;
  void refuseLinkedFolders(const std::string& root, const std::string& path) override;
  std::optional<FileStamp> stamp(const std::string& path) override;
  std::optional<std::string> readFile(const std::string& path) override;
  void writeFile(const std::string& path, const std::string& data) override;
  std::unique_ptr<FileLock> tryLockExclusive(const std::string& path) override;
  void hideFile(const std::string& path) override;

 private:
  void check(Call call, const std::string& path);

  std::unique_ptr<FileSystem> real_ = createPlatformFileSystem();
  std::mutex mutex_;  // a run lists both trees at once
  int counts_[10] = {};
  struct Fault {
    Call call;
    std::int32_t number;
    std::string pathPart;
    int remaining;
    bool sticky;
  };
  std::vector<Fault> faults_;
  std::optional<std::pair<Call, std::function<void()>>> action_;
};

}  // namespace tandro::test
