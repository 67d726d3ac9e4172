// The listing of one tree: relative file paths in the order they were found, each held once
// whatever its letter case, with the modification time and size the listing saw.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/FileSystem.h"
#include "common/HashIndex.h"
#include "common/Text.h"

namespace tandro {

class FileList {
 public:
  // Adds `relativePath` with the time (seconds since 1970-01-01 UTC) and size the listing
  // saw; failure 457 when a path differing only in letter case is held.
  void add(std::string_view relativePath, std::int64_t modified = 0, std::int64_t size = 0) {
    add(HashedName(relativePath), modified, size);
  }
  void add(const HashedName& relativePath, std::int64_t modified, std::int64_t size);
  // Makes room for about `files` paths of `pathBytes` in all: a list that grows to its size
  // in one step leaves no outgrown copies of its arrays behind in the process's memory.
  void reserve(std::size_t files, std::size_t pathBytes);

  std::size_t size() const { return facts_.size(); }
  std::string_view path(std::size_t index) const;
  const FileFacts& facts(std::size_t index) const { return facts_[index]; }
  std::int64_t modified(std::size_t index) const { return facts_[index].modified; }
  // Every path, in order (a copy: for callers that want them all at once).
  std::vector<std::string> paths() const;

  // The position of exactly this path, letter case included.
  std::optional<std::size_t> find(std::string_view relativePath) const;
  bool contains(std::string_view relativePath) const { return find(relativePath).has_value(); }
  // The position of this path in any letter case.
  std::optional<std::uint32_t> findIgnoringCase(const HashedName& relativePath) const;
  std::optional<std::uint32_t> findIgnoringCase(std::string_view relativePath) const {
    return findIgnoringCase(HashedName(relativePath));
  }
  // Readies a findIgnoringCase() of this path soon after, so that a walk over many paths
  // does not wait for each one's place in the index.
  void prefetchIgnoringCase(const HashedName& relativePath) const {
    index_.prefetch(relativePath.hash);
  }
  // True when this path or one differing only in letter case is held: the same profile key.
  bool containsIgnoringCase(std::string_view relativePath) const;

  // Frees the index after the last lookup and the last add: a run acts on the paths and facts
  // alone, and a tree of a million files spares the index's 16 MiB while it is copied. Finds
  // answer nothing afterwards.
  void releaseIndex() { index_ = HashIndex(); }

 private:
  // The index slot of this path in any letter case, or the free slot where it would go.
  std::size_t slotOf(std::string_view relativePath, std::uint32_t hash) const;

  // The paths end to end in one text: a tree of a million files costs its path lengths and
  // a few words per file.
  std::string text_;
  std::vector<std::uint32_t> ends_;
  std::vector<FileFacts> facts_;
  HashIndex index_;
};

}  // namespace tandro
