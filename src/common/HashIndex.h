// An open-addressing hash index of items that the caller numbers and keeps (lines of a
// profile, paths of a listing): eight bytes a slot instead of a node per item, and a probe
// compares the stored hashes before it looks at any item.
#pragma once

#include <cstdint>
#include <vector>

namespace tandro {

class HashIndex {
 public:
  static constexpr std::uint32_t kNoItem = UINT32_MAX;

  // The slot of the item with `hash` that `matches`, or the free slot where it would go.
  template <typename Matches>
  std::size_t find(std::uint32_t hash, const Matches& matches) const {
    const auto mask = slots_.size() - 1;
    for (auto at = hash & mask;; at = (at + 1) & mask) {
      const Slot& slot = slots_[at];
      if (slot.item == kNoItem || (slot.hash == hash && matches(slot.item))) {
        return at;
      }
    }
  }

  // Asks the processor for the first slot of `hash` ahead of its find(): a caller that
  // knows its next keys hides the cache miss of a large index behind the work before them.
  void prefetch(std::uint32_t hash) const {
#if defined(__GNUC__)
    __builtin_prefetch(&slots_[hash & (slots_.size() - 1)]);
#else
    static_cast<void>(hash);
#endif
  }

  std::uint32_t item(std::size_t slot) const {
    return slots_[slot].item;
  }
  void replaceItem(std::size_t slot, std::uint32_t item) {
    slots_[slot].item = item;
  }

  // Puts `item` into the free slot that find() gave for its `hash`.
  void insert(std::size_t slot, std::uint32_t item, std::uint32_t hash);
  void erase(std::size_t slot);
  // Makes room for `items` in all, so that inserting them does not grow the index.
  void reserve(std::size_t items);
  // After the caller dropped items: item n becomes `numbers[n]` (every kept item has one).
  void renumber(const std::vector<std::uint32_t>& numbers);

 private:
  struct Slot {
    std::uint32_t item = kNoItem;
    std::uint32_t hash = 0;
  };

  std::size_t freeSlotFor(std::uint32_t hash) const;
  void grow();
  void rehash(std::size_t slotCount);

  std::vector<Slot> slots_ = std::vector<Slot>(8);  // a power of two, at most 3/4 used
  std::size_t count_ = 0;
};

}  // namespace tandro
