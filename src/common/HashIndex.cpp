#include "common/HashIndex.h"

#include <utility>

namespace tandro {

void HashIndex::insert(std::size_t slot, std::uint32_t item, std::uint32_t hash) {
  if ((count_ + 1) * 4 > slots_.size() * 3) {
    grow();
    slot = freeSlotFor(hash);
  }
  slots_[slot] = {item, hash};
  ++count_;
}

// Shifts the slots after it back, so that no probe stops early at the gap.
void HashIndex::erase(std::size_t slot) {
  const auto mask = slots_.size() - 1;
  slots_[slot] = {};
  for (auto next = (slot + 1) & mask; slots_[next].item != kNoItem; next = (next + 1) & mask) {
    const auto home = slots_[next].hash & mask;
    if (((next - home) & mask) >= ((next - slot) & mask)) {
      slots_[slot] = std::exchange(slots_[next], Slot{});
      slot = next;
    }
  }
  --count_;
}

void HashIndex::renumber(const std::vector<std::uint32_t>& numbers) {
  for (Slot& slot : slots_) {
    if (slot.item != kNoItem) {
      slot.item = numbers[slot.item];
    }
  }
}

void HashIndex::reserve(std::size_t items) {
  auto slotCount = slots_.size();
  while (items * 4 > slotCount * 3) {
    slotCount *= 2;
  }
  if (slotCount > slots_.size()) {
    rehash(slotCount);
  }
}

std::size_t HashIndex::freeSlotFor(std::uint32_t hash) const {
  return find(hash, [](std::uint32_t) { return false; });
}

void HashIndex::grow() {
  rehash(slots_.size() * 2);
}

void HashIndex::rehash(std::size_t slotCount) {
  auto old = std::exchange(slots_, std::vector<Slot>(slotCount));
  for (const Slot& slot : old) {
    if (slot.item != kNoItem) {
      slots_[freeSlotFor(slot.hash)] = slot;
    }
  }
}

}  // namespace tandro
