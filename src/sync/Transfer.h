// Moving one file into the other tree, and creating the folders it needs.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "common/FileSystem.h"
#include "common/MessageHost.h"
#include "sync/CopyAhead.h"

namespace tandro {

// What a copy may replace: the file the run last saw at its destination, or nothing.
struct Replacing {
  std::optional<FileFacts> seen;
};

// Makes `destination` a copy of `source` (content, modification time and, where kept,
// permission bits), replacing what was there in one step: the copy goes into a hidden
// temporary file in the destination's folder first and is renamed over the destination. A
// source that changes while it is copied is copied once more; when it changes again, that is
// failure 75 naming the source. On failure the destination is as it was, the temporary file
// is gone, and the failure is raised with "Crypt>" in front of its source (76 when the
// destination's folder is missing). `progress`, when given, hears of every piece copied.
// A copy made ahead is put in place when the source is still what it was made from, and
// its failure is this one's; otherwise it is removed and the copy made now.
// `replacing`, when given, is what the copy may replace: the destination must still be that
// when the copy goes in place, so that an edit made there while the copy was made is never
// overwritten. When it is not, the copy is removed and Crypt returns false.
bool Crypt(const std::string& source, const std::string& destination, FileSystem& fileSystem,
           const CopyProgress& progress = {}, std::optional<PreparedCopy> prepared = {},
           const std::optional<Replacing>& replacing = {});

// Renames the file or folder `from` to `to`, which may name `from` itself in other letter
// case on a file system that ignores case (a visible intermediate name is used then, so that
// an interrupted rename loses nothing from view). False, with `from` as it was, when another
// file or folder holds `to`: nothing is replaced. `to`'s folder is listed, so a missing one
// fails with 76.
bool renameUnlessTaken(const std::string& from, const std::string& to, FileSystem& fileSystem);

// Creates the folder part of `path` (up to its last separator) and any missing parents.
// True when it exists afterwards; false after a failure, which it has shown to the user
// itself as "number:description" (a folder that exists already is such a failure).
bool MakeFolders(const std::string& path, FileSystem& fileSystem, MessageHost& host);

// The prefix of the temporary files that Crypt leaves only when it is killed mid-copy.
inline constexpr const char* kTemporaryPrefix = ".tandro-";

// A new temporary file's path in the folder of `destination`, unique among the running
// programs: the prefix, process id, "-", counter, ".tmp".
std::string temporaryPathBeside(const std::string& destination);

// True for a name Crypt gives its temporary files (the prefix, process id, "-", counter,
// ".tmp") whose process no longer runs: what a killed run left. A temporary
// file of a running process is a copy in progress.
bool isLeftoverTemporary(std::string_view name);

}  // namespace tandro
