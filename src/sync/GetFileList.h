// Lists one tree as relative paths, leaving out build and source-control folders, the
// folders the profile excludes, source-control bookkeeping files, and everything hidden.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "common/FileSystem.h"
#include "profile/ProfileStore.h"
#include "sync/FileList.h"

namespace tandro {

// Called after each folder is listed with the number of files listed so far.
using ListingProgress = std::function<void(std::size_t filesFound)>;

// Adds the files below `root` + `relativeFolder` to `list`, the files of every sub-folder
// before the folder's own, and the full paths of the temporary files that killed transfers
// left to `leftovers` when given. `root` ends with the native separator; `relativeFolder` is empty
// or ends with "\". Failures are raised with "GetFileList>" in front of their source once
// per level; a missing root gives 76.
void GetFileList(FileList& list, const std::string& root, const std::string& relativeFolder,
                 FileSystem& fileSystem, ProfileStore& profile,
                 const ListingProgress& progress = {},
                 std::vector<std::string>* leftovers = nullptr);

}  // namespace tandro
