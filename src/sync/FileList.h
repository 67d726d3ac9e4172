// The listing of one tree: relative file paths in the order they were found, each held once
// whatever its letter case.
#pragma once

#include <string>
#include <unordered_set>
#include <vector>

namespace tandro {

class FileList {
 public:
  // Adds `relativePath`; failure 457 when a path differing only in letter case is held.
  void add(const std::string& relativePath);
  const std::vector<std::string>& paths() const { return paths_; }
  std::size_t size() const { return paths_.size(); }

 private:
  std::vector<std::string> paths_;
  std::unordered_set<std::string> foldedKeys_;
};

}  // namespace tandro
