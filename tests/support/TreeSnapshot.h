// What a test needs to see of two trees after a run that failed or was killed: every file
// with its content, the temporary files left behind, and the sync records of a profile.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace tandro::test {

// Relative path ("/" between names) to content, for every regular file below `root`,
// hidden ones included but for the removable root's marker; links are neither followed
// nor listed.
using Tree = std::map<std::string, std::string>;
Tree filesBelow(const std::filesystem::path& root);

// The files below `root` named like a transfer's or a profile rewrite's temporary file.
std::vector<std::string> temporariesBelow(const std::filesystem::path& root);
bool isTemporaryName(const std::string& name);

// The section "Tandro" of a profile file, key to value, as the lines stand.
std::map<std::string, std::string> recordsIn(const std::filesystem::path& profileFile);

// `relative` ("/" between names) as a profile key ("\" between names).
std::string keyOf(std::string relative);

}  // namespace tandro::test
