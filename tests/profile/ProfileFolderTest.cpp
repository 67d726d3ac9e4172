// Where profiles live: beside the program when it may write there, else in the user's
// configuration folder for the program.
#include "profile/ProfileFolder.h"

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "common/PosixFileSystem.h"
#include "support/TempDir.h"

namespace tandro {
namespace {

namespace fs = std::filesystem;

class ProfileFolderTest : public ::testing::Test {
 protected:
  test::TempDir dir;
  std::string program = dir.subRoot("bin");
  std::string config = dir.subRoot("config");
  PosixFileSystem files;

  void SetUp() override { ::setenv("XDG_CONFIG_HOME", config.c_str(), 1); }
  void TearDown() override { ::unsetenv("XDG_CONFIG_HOME"); }
};

TEST_F(ProfileFolderTest, APortableCopyKeepsItsProfilesBesideItself) {
  EXPECT_EQ(profileFolder(program, files), program);
  EXPECT_TRUE(fs::is_empty(program));  // the test of writing leaves nothing behind
}

// Installed where users cannot write (as root, a read-only mount stands for that).
TEST_F(ProfileFolderTest, AReadOnlyProgramFolderSendsProfilesToTheUsersConfiguration) {
  const bool root = ::geteuid() == 0;
  if (root && ::mount("tandro-test", program.c_str(), "tmpfs", MS_RDONLY, nullptr) != 0) {
    GTEST_SKIP() << "cannot mount a read-only tmpfs here: " << std::strerror(errno);
  }
  if (!root) {
    fs::permissions(program, fs::perms::owner_write, fs::perm_options::remove);
  }
  const std::string folder = profileFolder(program, files);
  if (root) {
    ::umount2(program.c_str(), MNT_DETACH);
  }
  EXPECT_EQ(folder, config + "Velmoro/Tandro/");
  EXPECT_TRUE(fs::is_directory(folder));
}

}  // namespace
}  // namespace tandro
