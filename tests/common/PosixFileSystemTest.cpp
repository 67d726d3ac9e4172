#include "common/PosixFileSystem.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "common/Failure.h"

#include "support/TempDir.h"

namespace tandro {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

std::int32_t failureNumberOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.source(), "Tandro");
    return failure.number();
  }
  return 0;
}

class PosixFileSystemTest : public ::testing::Test {
 protected:
  TempDir dir;
  PosixFileSystem files;
  std::string at(const std::string& name) const { return (dir.path() / name).string(); }
};

TEST_F(PosixFileSystemTest, ListsKindsAsTheProgramSeesThem) {
  test::writeFile(dir.path() / "a.txt", "a");
  test::writeFile(dir.path() / ".hidden", "h");
  test::writeFile(dir.path() / ".hiddenFolder/b.txt", "b");
  fs::create_directory(dir.path() / "sub");
  fs::create_directory_symlink(dir.path() / "sub", dir.path() / "link");
  fs::create_symlink(dir.path() / "a.txt", dir.path() / "fileLink");
  ASSERT_EQ(::mkfifo(at("fifo").c_str(), 0600), 0);

  auto entries = files.listFolder(dir.root());
  std::sort(entries.begin(), entries.end(),
            [](const auto& a, const auto& b) { return a.name < b.name; });
  std::vector<std::pair<std::string, EntryKind>> seen;
  for (const auto& entry : entries) {
    seen.emplace_back(entry.name, entry.kind);
  }
  const std::vector<std::pair<std::string, EntryKind>> expected = {
      {".hidden", EntryKind::Other},    {".hiddenFolder", EntryKind::Folder},
      {"a.txt", EntryKind::NormalFile}, {"fifo", EntryKind::Other},
      {"fileLink", EntryKind::Other},   {"link", EntryKind::Other},
      {"sub", EntryKind::Folder}};
  EXPECT_EQ(seen, expected);
  EXPECT_TRUE(files.normalFile(at("a.txt")).has_value());
  EXPECT_FALSE(files.normalFile(at("sub")).has_value());
  EXPECT_FALSE(files.normalFile(at(".hidden")).has_value());
  EXPECT_FALSE(files.normalFile(at("fileLink")).has_value());
  EXPECT_FALSE(files.normalFile(at("missing/a.txt")).has_value());
}

TEST_F(PosixFileSystemTest, MapsMissingThingsToTheirNumbers) {
  EXPECT_EQ(failureNumberOf([&] { files.listFolder(at("missing")); }), 76);
  EXPECT_EQ(failureNumberOf([&] { files.removeFile(at("missing")); }), 53);
  EXPECT_EQ(failureNumberOf([&] { files.createFolder(at("missing/sub")); }), 76);
  fs::create_directory(dir.path() / "exists");
  EXPECT_EQ(failureNumberOf([&] { files.createFolder(at("exists")); }), 75);
  test::writeFile(dir.path() / "a.txt", "a");
  EXPECT_EQ(failureNumberOf([&] { files.copyFile(at("a.txt"), at("missing/a.txt"), {}); }), 76);
  EXPECT_EQ(failureNumberOf([&] { files.copyFile(at("gone.txt"), at("b.txt"), {}); }), 53);
}

TEST_F(PosixFileSystemTest, CopiesContentAndModificationTime) {
  test::writeFile(dir.path() / "a.txt", std::string(300000, 'x') + "end");
  test::setModificationTime(dir.path() / "a.txt", 1200000000);
  files.copyFile(at("a.txt"), at("b.txt"), {});
  EXPECT_EQ(test::readFile(dir.path() / "b.txt"), test::readFile(dir.path() / "a.txt"));
  EXPECT_EQ(files.normalFile(at("b.txt")), (FileFacts{1200000000, 300003}));
  // The copy never overwrites: replacing is the rename's job.
  EXPECT_EQ(failureNumberOf([&] { files.copyFile(at("a.txt"), at("b.txt"), {}); }), 75);
}

struct ModeRow {
  const char* name;
  mode_t source;
  mode_t copy;
};

class CopiedModeTest : public PosixFileSystemTest, public ::testing::WithParamInterface<ModeRow> {};

TEST_P(CopiedModeTest, ACopyCarriesThePermissionBitsOnly) {
  test::writeFile(dir.path() / "a.txt", "a");
  ASSERT_EQ(::chmod(at("a.txt").c_str(), GetParam().source), 0);
  files.copyFile(at("a.txt"), at("b.txt"), {});
  struct stat status {};
  ASSERT_EQ(::stat(at("b.txt").c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, GetParam().copy);
  EXPECT_EQ(test::readFile(dir.path() / "b.txt"), "a");
}

INSTANTIATE_TEST_SUITE_P(Modes, CopiedModeTest,
                         ::testing::Values(ModeRow{"Private", 0600, 0600},
                                           ModeRow{"Executable", 0755, 0755},
                                           ModeRow{"ReadOnly", 0444, 0444},
                                           ModeRow{"SetUserId", 04755, 0755},
                                           ModeRow{"SetGroupIdAndSticky", 03775, 0775}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(PosixFileSystemTest, SyncsTheFileSystemOfARootOrAFileInIt) {
  test::writeFile(dir.path() / "a.txt", "a");
  files.syncFileSystemOf(dir.root());
  files.syncFileSystemOf(at("a.txt"));
  EXPECT_EQ(failureNumberOf([&] { files.syncFileSystemOf(at("missing/")); }), 76);
}

TEST_F(PosixFileSystemTest, RefusedAccessIsNumber70) {
  if (::geteuid() == 0) {
    GTEST_SKIP() << "root ignores permissions";
  }
  fs::create_directory(dir.path() / "locked");
  fs::permissions(dir.path() / "locked", fs::perms::owner_read | fs::perms::owner_exec);
  test::writeFile(dir.path() / "a.txt", "a");
  EXPECT_EQ(failureNumberOf([&] { files.copyFile(at("a.txt"), at("locked/a.txt"), {}); }), 70);
}

TEST_F(PosixFileSystemTest, RenamesIfFreeOnlyWhereNothingIs) {
  test::writeFile(dir.path() / "copy.tmp", "copy");
  test::writeFile(dir.path() / "taken.txt", "made meanwhile");
  EXPECT_FALSE(files.renameIfFree(at("copy.tmp"), at("taken.txt")));
  EXPECT_EQ(files.readFile(at("taken.txt")), "made meanwhile");
  EXPECT_TRUE(files.renameIfFree(at("copy.tmp"), at("free.txt")));
  EXPECT_EQ(files.readFile(at("free.txt")), "copy");
  EXPECT_FALSE(files.stamp(at("copy.tmp")).has_value());
}

TEST_F(PosixFileSystemTest, WritesReadsAndStampsWholeFiles) {
  EXPECT_FALSE(files.readFile(at("p.ini")).has_value());
  EXPECT_FALSE(files.stamp(at("p.ini")).has_value());
  files.writeFile(at("p.ini"), "[Path]\r\n");
  EXPECT_EQ(files.readFile(at("p.ini")), "[Path]\r\n");
  const auto first = files.stamp(at("p.ini"));
  ASSERT_TRUE(first.has_value());
  EXPECT_EQ(first->size, 8);
  files.writeFile(at("p.ini"), "[Path]\r\nLocal=x\r\n");
  EXPECT_NE(files.stamp(at("p.ini")), first);
}

TEST_F(PosixFileSystemTest, WritesAFileInPiecesAndFailsOnAFullDisk) {
  const auto pieces = [](const PieceWriter& put) {
    for (const char* piece : {"[Path]\r\n", "", "Local=x\r\n"}) {
      put(piece);
    }
  };
  files.writeFileInPieces(at("p.ini"), pieces);
  EXPECT_EQ(files.readFile(at("p.ini")), "[Path]\r\nLocal=x\r\n");
  EXPECT_EQ(failureNumberOf([&] { files.writeFileInPieces("/dev/full", pieces); }), 61);
}

}  // namespace
}  // namespace tandro
