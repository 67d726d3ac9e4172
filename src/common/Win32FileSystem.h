// The file system of Windows: hidden and system files are not normal files, and reparse
// points (symbolic links, junctions, mount points) are neither folders nor normal files, so
// that enumeration never leaves the tree. Paths are UTF-8 and go to the wide functions.
#pragma once

#include "common/FileSystem.h"

namespace tandro {

// What the program makes of an entry with these file attributes.
EntryKind kindOfAttributes(std::uint32_t attributes);

class Win32FileSystem : public FileSystem {
 public:
  std::vector<FolderEntry> listFolder(const std::string& path) override;
  std::optional<FileFacts> normalFile(const std::string& path) override;
  // The copy is hidden until its content and time are complete, and flushed to the disk
  // before it can be renamed into place. Windows keeps no permission bits to carry.
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
  void hideFile(const std::string& path) override;
  // Nothing to do: each copy is flushed before its rename, and flushing a whole volume
  // needs administrator rights.
  void syncFileSystemOf(const std::string& path) override;
};

}  // namespace tandro
