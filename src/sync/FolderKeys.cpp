#include "sync/FolderKeys.h"

#include "common/Failure.h"
#include "common/Paths.h"
#include "common/TextSet.h"

namespace tandro {

namespace {

// Defers the key of each file's folder, once a folder.
class FolderExclusions {
 public:
  explicit FolderExclusions(ProfileStore& profile) : profile_(profile) {}

  void add(const std::string& relativeFile) {
    const std::string key = folderKeyOf(relativeFile);
    if (written_.insert(key)) {
      profile_.writeDeferred(kRecordSection, key, "1");
    }
  }

 private:
  ProfileStore& profile_;
  TextSet written_;
};

void collectFolderKeys(const std::string& localRoot, const std::string& removableRoot,
                       FileSystem& fileSystem, ProfileStore& profile,
                       const ListingProgress& progress) {
  FileList local;
  FileList removable;
  // The count goes on from the local files, as for one listing of both trees.
  const ListingProgress found = [&](std::size_t removableFound) {
    if (progress) {
      progress(local.size() + removableFound);
    }
  };
  GetFileList(local, localRoot, "", fileSystem, profile, progress);
  GetFileList(removable, removableRoot, "", fileSystem, profile, found);
  FolderExclusions exclusions(profile);
  for (std::size_t i = 0; i < local.size(); ++i) {
    exclusions.add(std::string(local.path(i)));
  }
  for (std::size_t i = 0; i < removable.size(); ++i) {
    found(removable.size());  // each check asks the file system: the host is kept drawn
    const std::string file(removable.path(i));
    if (!local.contains(file) && !fileSystem.normalFile(fullPath(localRoot, file))) {
      exclusions.add(file);
    }
  }
}

}  // namespace

std::string folderKeyOf(const std::string& relativeFile) {
  const auto separator = relativeFile.rfind(kRelativeSeparator);
  const std::string parent =
      separator == std::string::npos ? std::string() : relativeFile.substr(0, separator);
  return parent + kRelativeSeparator;
}

FolderKeysOutcome writeFolderKeys(const std::string& localRoot, const std::string& removableRoot,
                                  FileSystem& fileSystem, ProfileStore& profile,
                                  const ListingProgress& progress) {
  // It rewrites the profile, so no run may use the profile meanwhile.
  const auto lock = profile.tryLock();
  if (!lock) {
    return FolderKeysOutcome::ProfileInUse;
  }
  try {
    collectFolderKeys(localRoot, removableRoot, fileSystem, profile, progress);
  } catch (const Failure&) {
    profile.flush();
    throw;
  }
  profile.flush();
  return FolderKeysOutcome::Written;
}

}  // namespace tandro
