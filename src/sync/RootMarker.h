// Who has synchronised with a removable root: the root holds a hidden marker file with the
// identifier of every profile that completed a run with it, so that an absent, another or an
// emptied drive is never taken for one whose files were deleted.
#pragma once

#include <string>
#include <vector>

#include "common/FileSystem.h"

namespace tandro {

// The profile's identifier: key `Id` in section `Path`.
inline constexpr const char* kProfileIdKey = "Id";
// The marker's name in the removable root.
inline constexpr const char* kMarkerName = ".tandro";
// The marker keeps this many identifiers, the newest last.
inline constexpr std::size_t kMarkerCapacity = 64;

// A new random identifier: 32 hexadecimal digits.
std::string newProfileId();

// The identifiers in the marker of `root` (native, ending with its separator), oldest
// first; none when there is no marker. Throws the file system's failure when it cannot be
// read.
std::vector<std::string> readMarker(FileSystem& fileSystem, const std::string& root);

// Adds `id` to the marker of `root` unless it holds it, dropping the oldest beyond the
// capacity. The marker is replaced in one step and hidden; a failure leaves it as it was.
void addToMarker(FileSystem& fileSystem, const std::string& root, const std::string& id);

}  // namespace tandro
