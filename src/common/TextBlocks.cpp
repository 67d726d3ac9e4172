#include "common/TextBlocks.h"

#include <algorithm>
#include <stdexcept>

namespace tandro {

bool TextBlocks::fits(const std::string& block, std::size_t size) {
  return block.size() < kBlockSize && block.size() + size <= kBlockSize;
}

std::uint32_t TextBlocks::add(std::string_view text, std::string_view tail) {
  const auto size = text.size() + tail.size();
  if (blocks_.empty() || !fits(blocks_.back(), size)) {
    if (blocks_.size() >= (std::size_t{1} << 32) / kBlockSize) {
      throw std::length_error("text store of 4 GiB or more");
    }
    blocks_.emplace_back().reserve(std::max(size, kBlockSize));
  }
  std::string& block = blocks_.back();
  const auto position = (blocks_.size() - 1) * kBlockSize + block.size();
  block.append(text).append(tail);
  size_ += size;
  return static_cast<std::uint32_t>(position);
}

}  // namespace tandro
