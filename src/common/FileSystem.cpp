#include "common/FileSystem.h"

#include "common/Failure.h"

namespace tandro {

void removeTemporaryQuietly(FileSystem& fileSystem, const std::string& path) {
  try {
    fileSystem.removeFile(path);
  } catch (const Failure&) {
    // Never made, already gone, or a drive that refuses: nothing more to do about it.
  }
}

}  // namespace tandro
