// Texts kept end to end in blocks that never move or grow, for a store that gains a few bytes
// at a time up to many megabytes (the lines a run adds to its profile): adding a text never
// copies those before it, and no outgrown buffer is left behind in the process's memory, as
// one string that doubles its capacity leaves them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tandro {

class TextBlocks {
 public:
  // What a block holds; a longer text gets a block of its own.
  static constexpr std::size_t kBlockSize = 1 << 16;

  // Stores `text` and `tail` after it in one block, and gives the position of `text`.
  // Positions stay below 4 GiB: throws std::length_error when they would reach it.
  std::uint32_t add(std::string_view text, std::string_view tail = {});
  std::string_view view(std::uint32_t position, std::size_t length) const {
    return {at(position), length};
  }
  // The text at `position`, to be overwritten in place by one no longer.
  char* data(std::uint32_t position) { return const_cast<char*>(at(position)); }
  // Bytes stored.
  std::size_t size() const { return size_; }

 private:
  // Whether `size` more bytes go into `block`, each at a position inside it.
  static bool fits(const std::string& block, std::size_t size);
  const char* at(std::uint32_t position) const {
    return blocks_[position / kBlockSize].data() + position % kBlockSize;
  }

  std::vector<std::string> blocks_;
  std::size_t size_ = 0;
};

}  // namespace tandro
