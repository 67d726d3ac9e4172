#include "common/TextSet.h"

#include "common/Text.h"

namespace tandro {

bool TextSet::contains(std::string_view text) const {
  return index_.item(slotOf(text, hashIgnoringCase(text))) != HashIndex::kNoItem;
}

bool TextSet::insert(std::string_view text) {
  // Texts that differ only in letter case share a hash and are told apart by the match.
  const auto hash = hashIgnoringCase(text);
  const auto slot = slotOf(text, hash);
  if (index_.item(slot) != HashIndex::kNoItem) {
    return false;
  }
  texts_.append(text);
  ends_.push_back(texts_.size());
  index_.insert(slot, static_cast<std::uint32_t>(ends_.size() - 1), hash);
  return true;
}

std::size_t TextSet::slotOf(std::string_view text, std::uint32_t hash) const {
  return index_.find(hash, [&](std::uint32_t item) { return textAt(item) == text; });
}

std::string_view TextSet::textAt(std::uint32_t item) const {
  const std::size_t begin = item == 0 ? 0 : ends_[item - 1];
  return std::string_view(texts_).substr(begin, ends_[item] - begin);
}

}  // namespace tandro
