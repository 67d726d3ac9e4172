// The listing of one tree: relative file paths in the order they were found, each held once
// whatever its letter case, with the modification time the listing saw.
#pragma once

#include <cstdint>
#include <optional>
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
  void add(std::string_view relativePath, std::int64_t modified = 0);

  std::size_t size() const { return modified_.size(); }
  std::string_view path(std::size_t index) const;
  // Seconds since 1970-01-01 UTC, as the listing saw the file.
  std::int64_t modified(std::size_t index) const { return modified_[index]; }
  // Every path, in order (a copy: for callers that want them all at once).
  std::vector<std::string> paths() const;

  // The position of exactly this path, letter case included.
  std::optional<std::size_t> find(std::string_view relativePath) const;
  bool contains(std::string_view relativePath) const { return find(relativePath).has_value(); }
  // True when this path or one differing only in letter case is held: the same profile key.
  bool containsIgnoringCase(std::string_view relativePath) const;

 private:
  // Hashes and compares paths without regard to letter case. The set holds positions (or the
  // probe slot), and the paths live end to end in one buffer: a tree of a million files
  // costs its path lengths and a few words per file.
  struct FoldedHash {
    const FileList* list;
    std::size_t operator()(std::uint32_t index) const;
  };
  struct FoldedEqual {
    const FileList* list;
    bool operator()(std::uint32_t a, std::uint32_t b) const;
  };
  using Index = std::unordered_set<std::uint32_t, FoldedHash, FoldedEqual>;
  static constexpr std::uint32_t kProbe = static_cast<std::uint32_t>(-1);

  std::string_view at(std::uint32_t index) const { return index == kProbe ? probe_ : path(index); }
  std::optional<std::uint32_t> findIgnoringCase(std::string_view relativePath) const;
  Index makeIndex();
  void takeIndexOf(FileList& other);

  std::string text_;
  std::vector<std::uint32_t> ends_;
  std::vector<std::int64_t> modified_;
  mutable std::string_view probe_;
  Index index_;
};

}  // namespace tandro
