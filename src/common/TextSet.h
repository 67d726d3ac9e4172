// A set of texts, matched exactly, held end to end in one buffer under a hash index: a few
// bytes a text beside its own, where a node set spends a heap block on each text and often
// a second on its characters.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/HashIndex.h"

namespace tandro {

class TextSet {
 public:
  bool contains(std::string_view text) const;
  // False when the set held it already.
  bool insert(std::string_view text);

 private:
  std::size_t slotOf(std::string_view text, std::uint32_t hash) const;
  std::string_view textAt(std::uint32_t item) const;

  std::string texts_;
  std::vector<std::size_t> ends_;
  HashIndex index_;
};

}  // namespace tandro
