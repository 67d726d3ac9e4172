// The check of the two roots a run is given, as written and as the system resolves them.
#include "sync/RootCheck.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/TempDir.h"

namespace tandro {
namespace {

namespace fs = std::filesystem;

struct RootsRow {
  const char* name;
  std::string local;  // "%" stands for a temporary folder holding data/ and ln -> data
  std::string removable;
  const char* message;  // nullptr: safe
};

class RootCheckTest : public ::testing::TestWithParam<RootsRow> {};

TEST_P(RootCheckTest, RefusesWhatIsNotTwoSeparateFolders) {
  const auto& row = GetParam();
  test::TempDir dir;
  fs::create_directories(dir.path() / "data" / "inner");
  fs::create_directories(dir.path() / "usb");
  fs::create_directory_symlink(dir.path() / "data", dir.path() / "ln");
  const auto expand = [&](std::string root) {
    if (const auto at = root.find('%'); at != std::string::npos) {
      root.replace(at, 1, dir.path().string());
    }
    return root;
  };
  const auto message = unsafeRootsMessage(expand(row.local), expand(row.removable));
  if (row.message == nullptr) {
    EXPECT_FALSE(message) << *message;
  } else {
    EXPECT_EQ(message, std::string(row.message));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, RootCheckTest,
    ::testing::Values(
        RootsRow{"Separate", "%/data", "%/usb/", nullptr},
        RootsRow{"Missing", "%/data", "%/media/STICK", nullptr},
        RootsRow{"Empty", "", "%/usb", kEmptyRootMessage},
        RootsRow{"Relative", "data", "%/usb", kRelativeRootMessage},
        RootsRow{"Nul", std::string("%/da\0ta", 7), "%/usb", kControlCharacterRootMessage},
        RootsRow{"LineBreak", "%/data", "%/u\nsb", kControlCharacterRootMessage},
        RootsRow{"Delete", "%/data\x7f", "%/usb", kControlCharacterRootMessage},
        RootsRow{"SameText", "%/data/", "%/data", kOverlappingRootsMessage},
        RootsRow{"Dots", "%/usb/../data", "%/data/inner", kOverlappingRootsMessage},
        RootsRow{"SameThroughALink", "%/data/", "%/ln/", kOverlappingRootsMessage},
        RootsRow{"InsideThroughALink", "%/ln/inner", "%/data", kOverlappingRootsMessage}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tandro
