// The disable command of both hosts: every folder that holds a file, on either side, is
// excluded from synchronisation by a folder key in the profile.
#pragma once

#include <string>

#include "common/FileSystem.h"
#include "profile/ProfileStore.h"
#include "sync/GetFileList.h"

namespace tandro {

enum class FolderKeysOutcome {
  Written,
  ProfileInUse,  // another run holds the profile: nothing listed or written
};

// The key that excludes the folder of a file: its relative folder path and "\" ("\" alone for
// a file directly in the root).
std::string folderKeyOf(const std::string& relativeFile);

// Under the profile's lock, lists both trees and writes the key of the folder of every local
// file and of every removable file without a local copy, each once, in one rewrite of the
// profile. The roots end with the native separator. `progress`, when given, is called as the
// listing goes and while the removable files are checked, so that a host can keep itself
// drawn. Throws the failure of the lock, the listing or the rewrite; what was collected
// before it is written.
FolderKeysOutcome writeFolderKeys(const std::string& localRoot, const std::string& removableRoot,
                                  FileSystem& fileSystem, ProfileStore& profile,
                                  const ListingProgress& progress);

}  // namespace tandro
