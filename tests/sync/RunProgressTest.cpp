// What a host shows of a run's progress.
#include "sync/RunProgress.h"

#include <gtest/gtest.h>

namespace tandro {
namespace {

TEST(RunProgressTest, FilesAndBytesWeighHalfEach) {
  EXPECT_EQ((RunProgress{}).percent(), 0);                         // no plan yet
  EXPECT_EQ((RunProgress{4, 0, 1 << 30, 0}).percent(), 0);         // nothing done
  EXPECT_EQ((RunProgress{1, 0, 1 << 30, 1 << 29}).percent(), 25);  // half of one large copy
  EXPECT_EQ((RunProgress{4, 2, 0, 0}).percent(), 50);              // nothing to copy: files alone
  EXPECT_EQ((RunProgress{4, 4, 100, 120}).percent(), 100);         // a conflict's copy was larger
  EXPECT_EQ((RunProgress{10, 3, 3 << 20, 1 << 20}).text(), "3 / 10 files, 1.0 / 3.0 MiB");
  EXPECT_EQ((RunProgress{10, 3, 0, 0}).text(), "3 / 10 files");
}

}  // namespace
}  // namespace tandro
