// The listing of one tree: relative file paths in the order they were found, each held once
// whatever its letter case.
#pragma once

#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace tandro {

class FileList {
 public:
  FileList();
  FileList(FileList&& other) noexcept;
  FileList& operator=(FileList&& other) noexcept;
  FileList(const FileList&) = delete;
  FileList& operator=(const FileList&) = delete;

  // Adds `relativePath`; failure 457 when a path differing only in letter case is held.
  void add(const std::string& relativePath);
  // True when exactly this path, letter case included, is held.
  bool contains(std::string_view relativePath) const;
  // True when this path or one differing only in letter case is held: the same profile key.
  bool containsIgnoringCase(std::string_view relativePath) const;
  const std::vector<std::string>& paths() const { return paths_; }
  std::size_t size() const { return paths_.size(); }

 private:
  // Hashes and compares paths without regard to letter case. The set holds indices into
  // paths_ (or the probe slot), so no path is stored twice.
  struct FoldedHash {
    const FileList* list;
    std::size_t operator()(std::size_t index) const;
  };
  struct FoldedEqual {
    const FileList* list;
    bool operator()(std::size_t a, std::size_t b) const;
  };
  static constexpr std::size_t kProbe = static_cast<std::size_t>(-1);

  std::string_view at(std::size_t index) const {
    return index == kProbe ? probe_ : std::string_view(paths_[index]);
  }
  std::unordered_set<std::size_t, FoldedHash, FoldedEqual> makeIndex();

  std::vector<std::string> paths_;
  mutable std::string_view probe_;
  std::unordered_set<std::size_t, FoldedHash, FoldedEqual> index_;
};

}  // namespace tandro
