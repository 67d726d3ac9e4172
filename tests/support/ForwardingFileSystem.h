// A file system that hands every call on to another one. A wrapper derives from it and
// overrides only the calls it changes, so that a new member of FileSystem is forwarded here
// once instead of in every wrapper.
#pragma once

#include <memory>
#include <utility>

#include "common/FileSystem.h"

namespace tandro::test {

class ForwardingFileSystem : public FileSystem {
 public:
  explicit ForwardingFileSystem(std::unique_ptr<FileSystem> target) : target_(std::move(target)) {}

  std::vector<FolderEntry> listFolder(const std::string& path) override {
    return target_->listFolder(path);
  }
  std::optional<FileFacts> normalFile(const std::string& path) override {
    return target_->normalFile(path);
  }
  FileStamp copyFile(const std::string& from, const std::string& to,
                     const CopyProgress& progress) override {
    return target_->copyFile(from, to, progress);
  }
  void renameFile(const std::string& from, const std::string& to) override {
    target_->renameFile(from, to);
  }
  bool renameIfFree(const std::string& from, const std::string& to) override {
    return target_->renameIfFree(from, to);
  }
  void removeFile(const std::string& path) override { target_->removeFile(path); }
  void createFolder(const std::string& path) override { target_->createFolder(path); }
  void refuseLinkedFolders(const std::string& root, const std::string& path) override {
    target_->refuseLinkedFolders(root, path);
  }
  std::optional<FileStamp> stamp(const std::string& path) override { return target_->stamp(path); }
  std::optional<std::string> readFile(const std::string& path) override {
    return target_->readFile(path);
  }
  void writeFile(const std::string& path, const std::string& data) override {
    target_->writeFile(path, data);
  }
  void writeFileInPieces(const std::string& path, const ContentPieces& pieces) override {
    target_->writeFileInPieces(path, pieces);
  }
  std::unique_ptr<FileLock> tryLockExclusive(const std::string& path) override {
    return target_->tryLockExclusive(path);
  }
  void hideFile(const std::string& path) override { target_->hideFile(path); }
  void syncFileSystemOf(const std::string& path) override { target_->syncFileSystemOf(path); }

 private:
  std::unique_ptr<FileSystem> target_;
};

}  // namespace tandro::test
