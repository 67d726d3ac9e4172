// The file system of POSIX platforms: hidden means a name that begins with "."; symbolic
// links are never followed into folders and never count as normal files.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "common/FileSystem.h"

namespace tandro {

class PosixFileSystem : public FileSystem {
 public:
  std::vector<FolderEntry> listFolder(const std::string& path) override;
  std::optional<FileFacts> normalFile(const std::string& path) override;
  FileStamp copyFile(const std::string& from, const std::string& to,
                     const CopyProgress& progress) override;
  void renameFile(const std::string& from, const std::string& to) override;
  bool renameIfFree(const std::string& from, const std::string& to) override;
  void removeFile(const std::string& path) override;
  void createFolder(const std::string& path) override;
  void refuseLinkedFolders(const std::string& root, const std::string& path) override;
  std::optional<FileStamp> stamp(const std::string& path) override;
  std::optional<std::string> readFile(const std::string& path) override;
  void writeFile(const std::string& path, const std::string& data) override;
  void writeFileInPieces(const std::string& path, const ContentPieces& pieces) override;
  std::unique_ptr<FileLock> tryLockExclusive(const std::string& path) override;
  // Hidden means a name that begins with ".": nothing to do.
  void hideFile(const std::string& path) override;
  // syncfs of the folder's file system.
  void syncFileSystemOf(const std::string& path) override;

 private:
  bool refusesNoReplace(const std::string& path);
  void rememberRefusal(const std::string& path);

  // The tops of the file systems met that refuse a rename that must not replace (FUSE
  // drivers without it, fusefat among them): below them renameIfFree looks first without
  // asking again, as each refusal costs the driver a lookup.
  std::mutex refusingMutex_;
  std::vector<std::string> refusingTops_;
};

}  // namespace tandro
