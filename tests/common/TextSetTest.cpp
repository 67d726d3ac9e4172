// The exact-match set of texts: letter case tells texts apart although their hashes agree,
// and every text stays found as the index grows.
#include "common/TextSet.h"

#include <gtest/gtest.h>

#include <string>

namespace tandro {
namespace {

TEST(TextSetTest, HoldsEachTextOnceWithItsLetterCase) {
  TextSet set;
  EXPECT_TRUE(set.insert("Rphotos\\2024\\"));
  EXPECT_FALSE(set.insert("Rphotos\\2024\\"));
  EXPECT_TRUE(set.contains("Rphotos\\2024\\"));
  EXPECT_FALSE(set.contains("RPhotos\\2024\\"));
  EXPECT_FALSE(set.contains("Rphotos\\"));
  EXPECT_TRUE(set.insert("RPhotos\\2024\\"));
  EXPECT_TRUE(set.contains("RPhotos\\2024\\"));
}

TEST(TextSetTest, FindsEveryTextAfterGrowing) {
  TextSet set;
  constexpr int kTexts = 10000;
  for (int i = 0; i < kTexts; ++i) {
    ASSERT_TRUE(set.insert("L" + std::to_string(i) + "\\"));
  }
  for (int i = 0; i < kTexts; ++i) {
    EXPECT_TRUE(set.contains("L" + std::to_string(i) + "\\")) << i;
    EXPECT_FALSE(set.contains("R" + std::to_string(i) + "\\")) << i;
  }
}

}  // namespace
}  // namespace tandro
