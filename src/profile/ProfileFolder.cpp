#include "profile/ProfileFolder.h"

#include "common/Failure.h"
#include "common/Paths.h"
#include "common/ProcessInfo.h"
#include "common/ProductInfo.h"

namespace tandro {

namespace {

// Writing is the only test that every platform and file system answers truly (a read-only
// mount, an access list, a locked stick).
bool takesNewFiles(const std::string& folder, FileSystem& fileSystem) {
  const std::string probe = folder + ".tandro-probe-" + std::to_string(currentProcessId()) + ".tmp";
  bool written = true;
  try {
    fileSystem.writeFile(probe, {});
  } catch (const Failure&) {
    written = false;  // a probe made but not written is removed all the same
  }
  removeTemporaryQuietly(fileSystem, probe);
  return written;
}

void makeFolderChain(const std::string& folder, FileSystem& fileSystem) {
  for (auto end = folder.find_first_of(kNativeSeparators, 1); end != std::string::npos;
       end = folder.find_first_of(kNativeSeparators, end + 1)) {
    const std::string part = folder.substr(0, end);
    if (!fileSystem.stamp(part)) {
      fileSystem.createFolder(part);
    }
  }
}

}  // namespace

std::string profileFolder(const std::string& programFolder, FileSystem& fileSystem) {
  const std::string beside = withTrailingSeparator(programFolder);
  const std::string config = userConfigFolder();
  if (config.empty() || takesNewFiles(beside, fileSystem)) {
    return beside;
  }
  const std::string own = config + kTrademarks + kNativeSeparator + kProductName + kNativeSeparator;
  try {
    makeFolderChain(own, fileSystem);
  } catch (const Failure&) {
    // Reading and writing a profile there then says what is wrong, in its own words.
  }
  return own;
}

}  // namespace tandro
