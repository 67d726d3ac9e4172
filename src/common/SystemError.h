// The one place that turns operating-system errors into failure records.
#pragma once

#include <string>

#include "common/Failure.h"

namespace tandro {

// What a failing call was working on: a missing entry means "file not found" for a file
// and "path not found" for a folder or for a file whose folder is missing.
enum class PathRole { File, Folder };

// Failure for the system error `errorNumber` (errno on POSIX, GetLastError() on Windows)
// raised while working on `path`. The description carries the path and the system's name or
// text for the error after the program's own text.
Failure systemFailure(int errorNumber, const std::string& path, PathRole role);

}  // namespace tandro
