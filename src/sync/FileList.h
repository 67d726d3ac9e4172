// The listing of one tree: relative file paths in the order they were found, each held once
// whatever its letter case, with the modification time the listing saw.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/HashIndex.h"

namespace tandro {

class FileList {
 public:
  // Adds `relativePath`; failure 457 when a path differing only in letter case is held.
  void add(std::string_view relativePath, std::int64_t modified = 0);

  std::size_t size() const { return paths_.modified.size(); }
  std::string_view path(std::size_t index) const { return paths_.at(index); }
  // Seconds since 1970-01-01 UTC, as the listing saw the file.
  std::int64_t modified(std::size_t index) const { return paths_.modified[index]; }
  // Every path, in order (a copy: for callers that want them all at once).
  std::vector<std::string> paths() const;

  // The position of exactly this path, letter case included.
  std::optional<std::size_t> find(std::string_view relativePath) const;
  bool contains(std::string_view relativePath) const { return find(relativePath).has_value(); }
  // True when this path or one differing only in letter case is held: the same profile key.
  bool containsIgnoringCase(std::string_view relativePath) const;

 private:
  // The paths end to end in one buffer: a tree of a million files costs its path lengths and
  // a few words per file.
  struct Paths {
    std::string text;
    std::vector<std::uint32_t> ends;
    std::vector<std::int64_t> modified;
    std::string_view at(std::uint32_t index) const;
  };

  // The index slot of this path in any letter case, or the free slot where it would go.
  std::size_t slotOf(std::string_view relativePath, std::uint32_t hash) const;
  std::optional<std::uint32_t> findIgnoringCase(std::string_view relativePath) const;

  Paths paths_;
  HashIndex index_;
};

}  // namespace tandro
