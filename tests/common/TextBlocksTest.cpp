#include "common/TextBlocks.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace tandro {
namespace {

struct BlocksRow {
  const char* name;
  std::vector<std::size_t> sizes;  // of the texts stored one after another
};

class TextBlocksTest : public ::testing::TestWithParam<BlocksRow> {};

TEST_P(TextBlocksTest, EveryTextIsFoundWholeAtItsPosition) {
  TextBlocks store;
  std::vector<std::pair<std::uint32_t, std::string>> stored;
  std::size_t bytes = 0;
  for (const std::size_t size : GetParam().sizes) {
    std::string text(size, static_cast<char>('a' + stored.size() % 26));
    stored.emplace_back(store.add(text), text);
    bytes += size;
  }
  for (const auto& [position, text] : stored) {
    EXPECT_EQ(store.view(position, text.size()), text);
  }
  EXPECT_EQ(store.size(), bytes);
}

constexpr std::size_t kBlock = TextBlocks::kBlockSize;

INSTANTIATE_TEST_SUITE_P(
    Rows, TextBlocksTest,
    ::testing::Values(BlocksRow{"ManySmallOnesAcrossBlocks", std::vector<std::size_t>(5000, 40)},
                      BlocksRow{"OneThatFillsABlockExactly", {kBlock, 1}},
                      BlocksRow{"OneLongerThanABlockBetweenSmallOnes", {10, 3 * kBlock, 10}},
                      BlocksRow{"EmptyOnesAfterAFullBlock", {kBlock, 0, 0, 5}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TextBlocksOverwriteTest, ATextIsChangedInPlaceAndItsTailStays) {
  TextBlocks store;
  const auto first = store.add("a=2008/02/19 15:00:59", "\r\n");
  const auto second = store.add("b=1", "\r\n");
  store.data(first)[2] = '1';
  EXPECT_EQ(store.view(first, 23), "a=1008/02/19 15:00:59\r\n");
  EXPECT_EQ(store.view(second, 5), "b=1\r\n");
}

}  // namespace
}  // namespace tandro
