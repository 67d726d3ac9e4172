// A temporary folder for one test, removed with everything in it when the test ends,
// with small helpers to lay out real trees.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace tandro::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // The folder's path with a trailing native separator, the form the program keeps roots in.
  std::string root() const { return (path_ / "").string(); }
  // A sub-folder (created) as a root text with a trailing native separator.
  std::string subRoot(const std::string& name) const;

 private:
  std::filesystem::path path_;
};

// Writes `content` to `path`, creating its folders.
void writeFile(const std::filesystem::path& path, const std::string& content);
std::string readFile(const std::filesystem::path& path);
// Sets the last-write time in seconds since 1970-01-01 UTC.
void setModificationTime(const std::filesystem::path& path, std::int64_t unixSeconds);
std::int64_t modificationTime(const std::filesystem::path& path);

}  // namespace tandro::test
