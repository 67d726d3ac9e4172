// The key that excludes a file's folder.
#include "sync/FolderKeys.h"

#include <gtest/gtest.h>

namespace tandro {
namespace {

TEST(FolderKeysTest, TheKeyIsTheFilesRelativeFolderWithASeparatorAtItsEnd) {
  const struct {
    const char* file;
    const char* key;
  } cases[] = {
      {"a.txt", "\\"},
      {"Docs\\b.txt", "Docs\\"},
      {"Docs\\Old\\c.txt", "Docs\\Old\\"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(folderKeyOf(c.file), c.key) << c.file;
  }
}

}  // namespace
}  // namespace tandro
