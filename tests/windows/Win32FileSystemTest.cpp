#include "common/Win32FileSystem.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "common/Win32Text.h"
#include "sync/RootMarker.h"

#include "support/FailureOf.h"
#include "support/TempDir.h"

namespace tandro {
namespace {

using test::TempDir;

class Win32FileSystemTest : public ::testing::Test {
 protected:
  TempDir dir;
  Win32FileSystem files;
  std::string at(const std::string& name) const { return dir.root() + name; }
  void put(const std::string& name, const std::string& content = "x") {
    files.writeFile(at(name), content);
  }
  void setAttributes(const std::string& name, DWORD attributes) {
    ASSERT_NE(::SetFileAttributesW(widened(at(name)).c_str(), attributes), 0) << name;
  }
  std::vector<std::pair<std::string, EntryKind>> listing() {
    std::vector<std::pair<std::string, EntryKind>> seen;
    for (const auto& entry : files.listFolder(dir.root())) {
      seen.emplace_back(entry.name, entry.kind);
    }
    std::sort(seen.begin(), seen.end());
    return seen;
  }
};

struct AttributeRow {
  const char* name;
  DWORD attributes;
  EntryKind kind;
};

class KindOfAttributesTest : public ::testing::TestWithParam<AttributeRow> {};

TEST_P(KindOfAttributesTest, LeavesOutHiddenSystemAndLinkedEntries) {
  EXPECT_EQ(kindOfAttributes(GetParam().attributes), GetParam().kind);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, KindOfAttributesTest,
    ::testing::Values(AttributeRow{"Archive", FILE_ATTRIBUTE_ARCHIVE, EntryKind::NormalFile},
                      AttributeRow{"Normal", FILE_ATTRIBUTE_NORMAL, EntryKind::NormalFile},
                      AttributeRow{"ReadOnly", FILE_ATTRIBUTE_READONLY, EntryKind::NormalFile},
                      AttributeRow{"Hidden", FILE_ATTRIBUTE_HIDDEN, EntryKind::Other},
                      AttributeRow{"System", FILE_ATTRIBUTE_SYSTEM, EntryKind::Other},
                      AttributeRow{"Folder", FILE_ATTRIBUTE_DIRECTORY, EntryKind::Folder},
                      AttributeRow{"HiddenFolder", FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN,
                                   EntryKind::Folder},
                      AttributeRow{"FileLink", FILE_ATTRIBUTE_REPARSE_POINT, EntryKind::Other},
                      AttributeRow{"Junction",
                                   FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT,
                                   EntryKind::Other},
                      AttributeRow{"Device", FILE_ATTRIBUTE_DEVICE, EntryKind::Other}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Win32FileSystemTest, ListsKindsFromTheAttributesAndNamesInUtf8) {
  put("a.txt");
  put("hidden.txt");
  setAttributes("hidden.txt", FILE_ATTRIBUTE_HIDDEN);
  put("system.txt");
  setAttributes("system.txt", FILE_ATTRIBUTE_SYSTEM);
  files.createFolder(at("資料"));
  files.writeFile(at("資料\\報告書.txt"), "x");
  files.createFolder(at("secret"));
  setAttributes("secret", FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN);
  const std::vector<std::pair<std::string, EntryKind>> expected = {{"a.txt", EntryKind::NormalFile},
                                                                   {"hidden.txt", EntryKind::Other},
                                                                   {"secret", EntryKind::Folder},
                                                                   {"system.txt", EntryKind::Other},
                                                                   {"資料", EntryKind::Folder}};
  EXPECT_EQ(listing(), expected);
  EXPECT_EQ(files.listFolder(at("資料")).at(0).name, "報告書.txt");
  EXPECT_TRUE(files.normalFile(at("資料\\報告書.txt")).has_value());
  EXPECT_FALSE(files.normalFile(at("hidden.txt")).has_value());
  EXPECT_FALSE(files.normalFile(at("資料")).has_value());
  EXPECT_FALSE(files.normalFile(at("missing\\a.txt")).has_value());
}

TEST_F(Win32FileSystemTest, MapsSystemErrorsToTheirNumbers) {
  put("a.txt");
  files.createFolder(at("exists"));
  put("locked.txt");
  HANDLE locked = ::CreateFileW(widened(at("locked.txt")).c_str(), GENERIC_READ, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(locked, INVALID_HANDLE_VALUE);
  const struct {
    const char* name;
    std::function<void()> call;
    std::int32_t number;
  } cases[] = {
      {"list a missing folder", [&] { files.listFolder(at("missing")); }, 76},
      {"remove a missing file", [&] { files.removeFile(at("missing")); }, 53},
      {"remove in a missing folder", [&] { files.removeFile(at("missing\\a.txt")); }, 53},
      {"folder in a missing folder", [&] { files.createFolder(at("missing\\sub")); }, 76},
      {"folder that exists", [&] { files.createFolder(at("exists")); }, 75},
      {"copy into a missing folder", [&] { files.copyFile(at("a.txt"), at("missing\\a.txt"), {}); },
       76},
      {"copy of a missing file", [&] { files.copyFile(at("gone.txt"), at("b.txt"), {}); }, 53},
      {"copy over a file", [&] { files.copyFile(at("a.txt"), at("locked.txt"), {}); }, 75},
      {"copy of a folder", [&] { files.copyFile(at("exists"), at("c.txt"), {}); }, 70},
      {"remove a file in use", [&] { files.removeFile(at("locked.txt")); }, 70},
      {"write a file in use", [&] { files.writeFile(at("locked.txt"), "y"); }, 70},
      {"copy a file in use", [&] { files.copyFile(at("locked.txt"), at("d.txt"), {}); }, 70},
  };
  for (const auto& c : cases) {
    const Failure failure = test::failureOf(c.call);
    EXPECT_EQ(failure.number(), c.number) << c.name;
    EXPECT_EQ(failure.source(), "Tandro") << c.name;
  }
  ::CloseHandle(locked);
}

TEST_F(Win32FileSystemTest, CopiesContentAndTimeIntoAFileThatIsNotHidden) {
  const std::string content = std::string(3 << 20, 'x') + "end";  // more than one chunk
  put("a.txt", content);
  test::setModificationTime(dir.path() / "a.txt", 1200000000);
  files.copyFile(at("a.txt"), at("b.txt"), {});
  EXPECT_EQ(files.readFile(at("b.txt")), content);
  EXPECT_EQ(files.normalFile(at("b.txt")),
            (FileFacts{1200000000, static_cast<std::int64_t>(content.size())}));
  const auto entries = files.listFolder(dir.root());
  const auto copy = std::find_if(entries.begin(), entries.end(),
                                 [](const FolderEntry& entry) { return entry.name == "b.txt"; });
  ASSERT_NE(copy, entries.end());
  EXPECT_EQ(copy->facts.modified, 1200000000);
  EXPECT_EQ(files.stamp(at("b.txt"))->modifiedNs, 1200000000 * 1'000'000'000LL);
}

// Each copy is flushed before its rename instead.
TEST_F(Win32FileSystemTest, SyncingAFileSystemDoesNothing) {
  files.syncFileSystemOf(dir.root());
  files.syncFileSystemOf(at("missing\\"));
}

TEST_F(Win32FileSystemTest, RenameReplacesTheDestination) {
  put("new.txt", "new");
  put("old.txt", "old");
  files.renameFile(at("new.txt"), at("old.txt"));
  EXPECT_EQ(files.readFile(at("old.txt")), "new");
  EXPECT_FALSE(files.stamp(at("new.txt")).has_value());
}

TEST_F(Win32FileSystemTest, RenamesIfFreeOnlyWhereNothingIs) {
  put("copy.tmp", "copy");
  put("Taken.txt", "made meanwhile");
  EXPECT_FALSE(files.renameIfFree(at("copy.tmp"), at("taken.txt")));  // in any letter case
  EXPECT_EQ(files.readFile(at("Taken.txt")), "made meanwhile");
  EXPECT_TRUE(files.renameIfFree(at("copy.tmp"), at("free.txt")));
  EXPECT_EQ(files.readFile(at("free.txt")), "copy");
}

TEST_F(Win32FileSystemTest, WritesWholeFilesOverShorterAndHiddenOnes) {
  EXPECT_FALSE(files.readFile(at("p.ini")).has_value());
  EXPECT_FALSE(files.stamp(at("missing\\p.ini")).has_value());
  put("p.ini", "[Path]\r\nLocal=a long value\r\n");
  setAttributes("p.ini", FILE_ATTRIBUTE_HIDDEN);
  put("p.ini", "[Path]\r\n");
  EXPECT_EQ(files.readFile(at("p.ini")), "[Path]\r\n");
  EXPECT_EQ(files.stamp(at("p.ini"))->size, 8);
}

TEST_F(Win32FileSystemTest, StampsTellAReplacedFileOfTheSameSizeAndTime) {
  put("p.ini", "[Path]\r\n");
  put("other.ini", "[Other]\r\n");
  test::setModificationTime(dir.path() / "p.ini", 1200000000);
  test::setModificationTime(dir.path() / "other.ini", 1200000000);
  const auto before = files.stamp(at("p.ini"));
  ASSERT_TRUE(before.has_value());
  put("copy.ini", "[Path]\r\n");
  test::setModificationTime(dir.path() / "copy.ini", 1200000000);
  files.renameFile(at("copy.ini"), at("p.ini"));
  const auto after = files.stamp(at("p.ini"));
  EXPECT_EQ(after->size, before->size);
  EXPECT_EQ(after->modifiedNs, before->modifiedNs);
  EXPECT_NE(after, before);
}

// The marker must be left out of listings, which on Windows takes the hidden attribute.
TEST_F(Win32FileSystemTest, TheRootMarkerIsHiddenAndKeepsOneIdentifierALine) {
  const std::string first = "0123456789abcdef0123456789abcdef";
  const std::string second = "fedcba9876543210fedcba9876543210";
  addToMarker(files, dir.root(), first);
  const DWORD attributes = ::GetFileAttributesW(widened(at(".tandro")).c_str());
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(attributes & FILE_ATTRIBUTE_HIDDEN, 0u);
  EXPECT_EQ(readMarker(files, dir.root()), std::vector<std::string>{first});
  // The second write replaces a hidden file.
  addToMarker(files, dir.root(), second);
  EXPECT_EQ(files.readFile(at(".tandro")), first + "\n" + second + "\n");
  EXPECT_EQ(readMarker(files, dir.root()), (std::vector<std::string>{first, second}));
  EXPECT_NE(::GetFileAttributesW(widened(at(".tandro")).c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
  const std::vector<std::pair<std::string, EntryKind>> expected = {{".tandro", EntryKind::Other}};
  EXPECT_EQ(listing(), expected);
  EXPECT_FALSE(files.normalFile(at(".tandro")).has_value());
}

}  // namespace
}  // namespace tandro
