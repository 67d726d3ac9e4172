#include <fcntl.h>
#include <sys/stat.h>

#include <cstdlib>
#include <stdexcept>

#include "support/TempDir.h"

namespace tandro::test {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "tandro-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error("mkdtemp failed");
  }
  path_ = pattern;
}

void setModificationTime(const std::filesystem::path& path, std::int64_t unixSeconds) {
  const timespec times[2] = {{static_cast<time_t>(unixSeconds), 0},
                             {static_cast<time_t>(unixSeconds), 0}};
  if (::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) {
    throw std::runtime_error("cannot set the time of " + path.string());
  }
}

std::int64_t modificationTime(const std::filesystem::path& path) {
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0) {
    throw std::runtime_error("cannot stat " + path.string());
  }
  return status.st_mtim.tv_sec;
}

}  // namespace tandro::test
