// The real file system with chosen calls failed, to show what the program does when the
// disk fills, access is refused or a file vanishes.
#pragma once

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <type_traits>

#include "common/Failure.h"
#include "support/ForwardingFileSystem.h"

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
  SyncFileSystem,
};
inline constexpr int kCallKinds = static_cast<int>(Call::SyncFileSystem) + 1;

class FaultyFileSystem : public ForwardingFileSystem {
 public:
  FaultyFileSystem() : ForwardingFileSystem(createPlatformFileSystem()) {}

  // Fails the `nth` (1-based) call of kind `call` whose path (either path of a copy or
  // rename) contains `pathPart`, and every
  // later one when `sticky`, with failure `number`.
  void failOn(Call call, std::int32_t number, std::string pathPart = {}, int nth = 1,
              bool sticky = false);
  // Runs `action` once, right before the first call of kind `call`.
  void beforeCall(Call call, std::function<void()> action);
  // Runs `action` right after each of the next `times` calls of kind `call` that succeed:
  // a change at the moment the call has done its work.
  void afterCall(Call call, std::function<void()> action, int times = 1);
  // Forgets every fault not yet thrown and every sticky one: the fault is gone.
  void clearFaults() { faults_.clear(); }
  int callCount(Call call) const { return counts_[static_cast<int>(call)]; }

  std::vector<FolderEntry> listFolder(const std::string& path) override;
  std::optional<FileFacts> normalFile(const std::string& path) override;
  FileStamp copyFile(const std::string& from, const std::string& to,
                     const CopyProgress& progress) override;
  void renameFile(const std::string& from, const std::string& to) override;
  // A rename all the same: faults and actions on RenameFile apply to it.
  bool renameIfFree(const std::string& from, const std::string& to) override;
  void removeFile(const std::string& path) override;
  void createFolder(const std::string& path) override;
  std::optional<FileStamp> stamp(const std::string& path) override;
  std::optional<std::string> readFile(const std::string& path) override;
  void writeFile(const std::string& path, const std::string& data) override;
  // Gathered and handed to writeFile() whole, so that a fault made there, or by a wrapper
  // that overrides writeFile(), fails every kind of write.
  void writeFileInPieces(const std::string& path, const ContentPieces& pieces) override;
  void hideFile(const std::string& path) override;
  void syncFileSystemOf(const std::string& path) override;

 private:
  // The fault check, then `forward` (the call itself), then the action after it.
  template <typename Forward>
  auto instrumented(Call call, const std::string& path, const Forward& forward) {
    check(call, path);
    if constexpr (std::is_void_v<decltype(forward())>) {
      forward();
      done(call);
    } else {
      auto result = forward();
      done(call);
      return result;
    }
  }
  void check(Call call, const std::string& path);
  void done(Call call);

  std::mutex mutex_;  // a run lists both trees at once
  int counts_[kCallKinds] = {};
  struct Fault {
    Call call;
    std::int32_t number;
    std::string pathPart;
    int remaining;
    bool sticky;
  };
  std::vector<Fault> faults_;
  std::optional<std::pair<Call, std::function<void()>>> action_;
  struct AfterAction {
    Call call;
    std::function<void()> action;
    int remaining;
  };
  std::optional<AfterAction> afterAction_;
};

}  // namespace tandro::test
