// Where the profiles live, one rule for the window and for tandro-sync.
#pragma once

#include <string>

#include "common/FileSystem.h"

namespace tandro {

// Beside the program when its folder takes a new file (a portable copy, on the drive itself
// or in a build folder); otherwise the user's configuration folder for the program
// ("Velmoro/Tandro" in $XDG_CONFIG_HOME or ~/.config, in %APPDATA% on Windows), made when
// missing. `programFolder` and the result end with the native separator.
std::string profileFolder(const std::string& programFolder, FileSystem& fileSystem);

// The user's configuration folder of all programs, with its separator at the end; empty
// when the environment names none.
std::string userConfigFolder();

}  // namespace tandro
