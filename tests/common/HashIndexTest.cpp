// The hash index on its own: every item is found by its hash and its key, also when hashes
// collide, after the index has grown, and after others were erased around it.
#include "common/HashIndex.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "common/Text.h"

namespace tandro {
namespace {

// Keys kept as the index's users keep their lines and paths: numbered in a vector beside the
// index, each with a hash the test chooses.
class Keys {
 public:
  void add(const std::string& key, std::uint32_t hash) {
    index_.insert(slotOf(key, hash), static_cast<std::uint32_t>(keys_.size()), hash);
    keys_.push_back(key);
  }
  // The key's number, nothing when the index does not hold it.
  std::optional<std::uint32_t> find(const std::string& key, std::uint32_t hash) const {
    const std::uint32_t item = index_.item(slotOf(key, hash));
    return item == HashIndex::kNoItem ? std::nullopt : std::optional(item);
  }
  void erase(const std::string& key, std::uint32_t hash) { index_.erase(slotOf(key, hash)); }
  void reserve(std::size_t items) { index_.reserve(items); }
  // The key's slot takes a new copy of it, as a key's chain gets a new last line.
  void replace(const std::string& key, std::uint32_t hash) {
    const std::size_t slot = slotOf(key, hash);
    index_.replaceItem(slot, static_cast<std::uint32_t>(keys_.size()));
    keys_.push_back(key);
  }

 private:
  std::size_t slotOf(const std::string& key, std::uint32_t hash) const {
    return index_.find(hash, [&](std::uint32_t item) { return keys_[item] == key; });
  }

  HashIndex index_;
  std::vector<std::string> keys_;
};

// Keys "k0", "k1", ... with the hashes of a row; one of them erased again, or none.
struct IndexRow {
  const char* name;
  std::vector<std::uint32_t> hashes;
  std::optional<std::size_t> erased;
};

class HashIndexTest : public ::testing::TestWithParam<IndexRow> {};

std::string keyAt(std::size_t n) {
  return "k" + std::to_string(n);
}

TEST_P(HashIndexTest, FindsEveryKeyItHoldsAndNoOther) {
  const IndexRow& row = GetParam();
  Keys keys;
  for (std::size_t n = 0; n < row.hashes.size(); ++n) {
    keys.add(keyAt(n), row.hashes[n]);
  }
  if (row.erased) {
    keys.erase(keyAt(*row.erased), row.hashes[*row.erased]);
  }
  for (std::size_t n = 0; n < row.hashes.size(); ++n) {
    const auto expected = n == row.erased ? std::nullopt : std::optional(std::uint32_t(n));
    EXPECT_EQ(keys.find(keyAt(n), row.hashes[n]), expected) << keyAt(n);
    EXPECT_EQ(keys.find("other", row.hashes[n]), std::nullopt);
  }
}

// Hashes that are multiples of 8 share their first slot while the index has 8 slots, and
// those of a larger index too: a long chain of one home that has to move when it grows.
std::vector<std::uint32_t> multiplesOf(std::uint32_t step, std::uint32_t count) {
  std::vector<std::uint32_t> hashes;
  for (std::uint32_t n = 0; n < count; ++n) {
    hashes.push_back(n * step);
  }
  return hashes;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, HashIndexTest,
    ::testing::Values(IndexRow{"Distinct", {1, 2, 3}, std::nullopt},
                      IndexRow{"SameHash", {42, 42, 42}, std::nullopt},
                      IndexRow{"SameFirstSlot", {7, 15, 23}, std::nullopt},
                      IndexRow{"UpToTheThreshold", multiplesOf(1, 6), std::nullopt},
                      IndexRow{"AcrossTheThreshold", multiplesOf(8, 7), std::nullopt},
                      IndexRow{"AcrossManyThresholds", multiplesOf(8, 100), std::nullopt},
                      IndexRow{"EraseTheFirstOfACollidingChain", {42, 42, 42}, 0},
                      IndexRow{"EraseWhereTheChainWrapsAround", {7, 15, 23, 1}, 0},
                      IndexRow{"EraseTheLastOfAChain", {7, 15, 23}, 2},
                      IndexRow{"EraseAfterGrowing", multiplesOf(8, 20), 3}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HashIndexReplaceTest, AReplacedItemIsFoundInstead) {
  Keys keys;
  keys.add("a", 5);
  keys.add("b", 5);
  keys.replace("a", 5);
  EXPECT_EQ(keys.find("a", 5), 2u);
  EXPECT_EQ(keys.find("b", 5), 1u);
}

TEST(HashIndexReserveTest, ItemsHeldBeforeAndAddedAfterAreFound) {
  Keys keys;
  const auto hashes = multiplesOf(8, 100);
  for (std::size_t n = 0; n < hashes.size(); ++n) {
    if (n == 5) {
      keys.reserve(1000);
    }
    keys.add(keyAt(n), hashes[n]);
  }
  for (std::size_t n = 0; n < hashes.size(); ++n) {
    EXPECT_EQ(keys.find(keyAt(n), hashes[n]), std::uint32_t(n)) << keyAt(n);
  }
}

// The index's users key it by these two, a word at a time: at every length around a word's,
// texts match and hash alike exactly when they differ only in ASCII letter case. Bytes with
// the top bit set that would be capitals without it are other characters.
TEST(TextKeyTest, LetterCaseAloneIsIgnoredAtEveryLength) {
  const std::string pool =
      "aZ@[`{\xC1\xDA"
      "b0";
  for (std::size_t length = 0; length <= 20; ++length) {
    for (std::size_t shift = 0; shift < pool.size(); ++shift) {
      std::string lower;
      for (std::size_t i = 0; i < length; ++i) {
        lower += pool[(i + shift) % pool.size()];
      }
      std::string upper = lower;
      for (char& c : upper) {
        c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
      }
      EXPECT_TRUE(equalIgnoringCase(lower, upper)) << lower;
      EXPECT_EQ(hashIgnoringCase(lower), hashIgnoringCase(upper)) << lower;
      for (std::size_t at = 0; at < length; ++at) {
        for (const char other : {'@', '[', '`', '{', '\xE1', '\xFA'}) {
          std::string changed = upper;
          changed[at] = other;
          if (foldCase(changed) != foldCase(lower)) {
            EXPECT_FALSE(equalIgnoringCase(lower, changed)) << lower << " " << changed;
          }
        }
      }
      EXPECT_FALSE(equalIgnoringCase(lower, lower + "a"));
    }
  }
}

}  // namespace
}  // namespace tandro
