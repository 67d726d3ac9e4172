// The unsafe-root check with drive-letter roots, where letter case does not tell folders apart.
#include <gtest/gtest.h>

#include "sync/RootCheck.h"

namespace tandro {
namespace {

struct RootRow {
  const char* local;
  const char* removable;
  const char* message;  // nullptr: safe
};

class RootCheckWin32Test : public ::testing::TestWithParam<RootRow> {};

TEST_P(RootCheckWin32Test, RefusesWhatWouldSynchroniseATreeWithItself) {
  const auto message = unsafeRootsMessage(GetParam().local, GetParam().removable);
  if (GetParam().message == nullptr) {
    EXPECT_FALSE(message.has_value()) << *message;
  } else {
    EXPECT_EQ(message, GetParam().message);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, RootCheckWin32Test,
    ::testing::Values(RootRow{"C:\\Work\\", "E:\\", nullptr},
                      RootRow{"C:\\Work\\", "E:\\Sync\\", nullptr},
                      RootRow{"C:\\作業\\", "E:\\作業\\", nullptr},
                      RootRow{"C:\\Workspace\\", "C:\\Work\\", nullptr},
                      RootRow{"E:\\Sync\\", "E:\\", kOverlappingRootsMessage},
                      RootRow{"E:\\", "e:\\sync\\", kOverlappingRootsMessage},
                      RootRow{"e:\\sync\\", "E:\\Sync\\Inner\\", kOverlappingRootsMessage},
                      RootRow{"C:\\Work", "c:\\WORK\\", kOverlappingRootsMessage},
                      RootRow{"C:/Work/", "C:\\Work\\Sub", kOverlappingRootsMessage},
                      RootRow{"C:\\Work\\..\\Sync\\", "c:\\sync", kOverlappingRootsMessage},
                      RootRow{"C:\\作業\\", "c:\\作業\\下\\", kOverlappingRootsMessage},
                      RootRow{"E:", "C:\\Work\\", kRelativeRootMessage},
                      RootRow{"C:\\Work\\", "\\Sync\\", kRelativeRootMessage},
                      RootRow{"Sync\\", "C:\\Work\\", kRelativeRootMessage},
                      RootRow{"", "E:\\", kEmptyRootMessage},
                      RootRow{"C:\\Wo\trk\\", "E:\\", kControlCharacterRootMessage}));

}  // namespace
}  // namespace tandro
