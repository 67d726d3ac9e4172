#include "sync/GetFileList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>

#include "common/Paths.h"
#include "common/ProcessInfo.h"
#include "common/Text.h"
#include "support/FailureOf.h"
#include "support/FaultyFileSystem.h"
#include "support/TempDir.h"

namespace tandro {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::writeFile;
using Paths = std::vector<std::string>;

class GetFileListTest : public ::testing::Test {
 protected:
  TempDir dir;
  std::string root = dir.subRoot("tree");
  test::FaultyFileSystem files;  // with no faults: the platform's own
  ProfileStore profile{files, dir.root(), [] { return std::string("Work"); }};

  void add(const std::string& relative) { writeFile(fs::path(root) / relative, "x"); }

  Paths list() {
    FileList list;
    GetFileList(list, root, "", files, profile);
    return list.paths();
  }
  Paths sortedList() {
    Paths paths = list();
    std::sort(paths.begin(), paths.end());
    return paths;
  }
};

TEST_F(GetFileListTest, EmptyRootAndBookkeepingOnlyGiveNothing) {
  EXPECT_TRUE(list().empty());
  add("vssver.scc");
  add("MSSCCPRJ.SCC");
  EXPECT_TRUE(list().empty());
}

TEST_F(GetFileListTest, SubFoldersComeBeforeTheFolderOwnFilesWithBackslashes) {
  add("a.txt");
  add("Docs/b.txt");
  add("Docs/Old/c.txt");
  EXPECT_EQ(list(), (Paths{"Docs\\Old\\c.txt", "Docs\\b.txt", "a.txt"}));
}

TEST_F(GetFileListTest, BuiltInExclusionsMatchLetterCaseAndOnlyBelowTheFirstLevel) {
  for (const char* path :
       {"CVS/a.txt", "Debug/a.txt", "Release/a.txt", "Src/CVS/x.txt", "Src/Debug/x.txt",
        "Src/Release/Deep/x.txt", "Src/cvs/a.txt", "Src/debug/a.txt", "Src/VSSVER.SCC",
        "Other/Vssver.scc", "Src/vssver.scc", "Src/DebugLog/a.txt"}) {
    add(path);
  }
  EXPECT_EQ(sortedList(), (Paths{"CVS\\a.txt", "Debug\\a.txt", "Other\\Vssver.scc",
                                 "Release\\a.txt", "Src\\DebugLog\\a.txt", "Src\\VSSVER.SCC",
                                 "Src\\cvs\\a.txt", "Src\\debug\\a.txt"}));
}

TEST_F(GetFileListTest, OnlyTheExactValueOneExcludesAFolder) {
  for (const char* folder : {"One", "Zero", "Yes", "OneX", "Case", "Spaced"}) {
    add(std::string(folder) + "/a.txt");
  }
  add("One/Deeper/b.txt");
  profile.WriteIni("Tandro", "One\\", "1");
  profile.WriteIni("Tandro", "One\\Deeper\\", "0");
  profile.WriteIni("Tandro", "Zero\\", "0");
  profile.WriteIni("Tandro", "Yes\\", "yes");
  profile.WriteIni("Tandro", "OneX\\", "1x");
  profile.WriteIni("Tandro", "case\\", "1");
  profile.WriteIni("Tandro", "Spaced\\", " 1 ");
  profile.WriteIni("Tandro", "\\", "1");  // the root is never tested
  add("root.txt");
  EXPECT_EQ(sortedList(), (Paths{"OneX\\a.txt", "Yes\\a.txt", "Zero\\a.txt", "root.txt"}));
}

TEST_F(GetFileListTest, HiddenFilesStayOutButHiddenFoldersAreListed) {
  add(".hidden.txt");
  add(".config/settings.txt");
  add(".config/.secret");
  EXPECT_EQ(list(), (Paths{".config\\settings.txt"}));
}

TEST_F(GetFileListTest, LinksAreNeitherFollowedNorListed) {
  TempDir outside;
  writeFile(outside.path() / "secret.txt", "s");
  add("a.txt");
  fs::create_directory_symlink(outside.path(), fs::path(root) / "linked");
  fs::create_symlink(fs::path(root) / "a.txt", fs::path(root) / "alias.txt");
  EXPECT_EQ(list(), (Paths{"a.txt"}));
}

TEST_F(GetFileListTest, NamesNoKeyCouldHoldAreLeftOut) {
  add("back\\slash.txt");
  add("line\nbreak.txt");
  add("latin1-\xE9t\xE9.txt");  // not UTF-8
  add("fine.txt");
  EXPECT_EQ(list(), (Paths{"fine.txt"}));
}

// A process number no process has: beyond the largest the system hands out.
constexpr const char* kGoneProcess = "2147483647";

TEST_F(GetFileListTest, TemporariesOfKilledTransfersAreFoundAndLookalikesLeftAlone) {
  add("a.txt");
  add(std::string(".tandro-") + kGoneProcess + "-3.tmp");
  add(std::string("deep/.tandro-") + kGoneProcess + "-20.tmp");
  // A copy in progress: its process (this one) runs.
  add(".tandro-" + std::to_string(currentProcessId()) + "-1.tmp");
  for (const auto& name :
       {".tandro-x-1.tmp", ".tandro-1-2.tmp.bak", "tandro-1-2.tmp", ".tandro-12.tmp"}) {
    add(name);
  }
  EXPECT_EQ(sortedList(), (Paths{"a.txt", "tandro-1-2.tmp"}));
  FileList list;
  std::vector<std::string> leftovers;
  GetFileList(list, root, "", files, profile, {}, &leftovers);
  std::sort(leftovers.begin(), leftovers.end());
  EXPECT_EQ(leftovers,
            (Paths{fullPath(root, std::string(".tandro-") + kGoneProcess + "-3.tmp"),
                   fullPath(root, std::string("deep\\.tandro-") + kGoneProcess + "-20.tmp")}));
}

TEST_F(GetFileListTest, AMissingRootIsPathNotFoundFromTheListing) {
  FileList list;
  try {
    GetFileList(list, dir.root() + "missing/", "", files, profile);
    FAIL() << "no failure";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.number(), 76);
    EXPECT_EQ(failure.source(), "GetFileList>Tandro");
  }
}

TEST_F(GetFileListTest, AFailureDeepDownCarriesOneLabelPerLevel) {
  add("a/b/c.txt");
  test::FaultyFileSystem faulty;
  faulty.failOn(test::Call::ListFolder, 70, fullPath("", "a\\b"));
  FileList list;
  try {
    GetFileList(list, root, "", faulty, profile);
    FAIL() << "no failure";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.number(), 70);
    EXPECT_EQ(failure.source(), "GetFileList>GetFileList>GetFileList>Tandro");
  }
}

// Files are added a folder at a time: the first of the two spellings in the folder's order is
// kept, the second fails, and the files before it are listed.
TEST_F(GetFileListTest, NamesDifferingOnlyInLetterCaseFailAsTheSecondIsAdded) {
  add("Docs/a.txt");
  add("Docs/A.TXT");
  if (std::distance(fs::directory_iterator(fs::path(root) / "Docs"), {}) < 2) {
    GTEST_SKIP() << "this file system ignores letter case";
  }
  FileList list;
  const Failure failure = test::failureOf([&] { GetFileList(list, root, "", files, profile); });
  EXPECT_EQ(failure.number(), 457);
  EXPECT_EQ(failure.source(), "GetFileList>GetFileList>Tandro");
  ASSERT_EQ(list.size(), 1u);
  EXPECT_TRUE(list.path(0) == "Docs\\a.txt" || list.path(0) == "Docs\\A.TXT");
}

TEST(FileListTest, APathInOtherLetterCaseIsADuplicateKey) {
  FileList list;
  list.add("Docs\\a.txt");
  try {
    list.add("docs\\A.TXT");
    FAIL() << "no failure";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.number(), 457);
  }
  EXPECT_EQ(list.paths(), (Paths{"Docs\\a.txt"}));
}

TEST(FileListTest, FindsExactPathsWithTheTimesTheListingSaw) {
  FileList list;
  list.add("Docs\\a.txt", 1200000000);
  list.add("b.txt", 1300000000);
  ASSERT_EQ(list.find("b.txt"), 1u);
  EXPECT_EQ(list.modified(1), 1300000000);
  EXPECT_EQ(list.path(0), "Docs\\a.txt");
  EXPECT_FALSE(list.find("docs\\a.txt").has_value());
  EXPECT_TRUE(list.containsIgnoringCase("docs\\a.txt"));
  FileList moved = std::move(list);
  EXPECT_TRUE(moved.contains("Docs\\a.txt"));
  EXPECT_THROW(moved.add("B.TXT"), Failure);
  EXPECT_EQ(moved.size(), 2u);
}

TEST(FileListTest, EveryPathOfALargeListIsFoundAndItsTwinRefused) {
  FileList list;
  const auto pathOf = [](int n) {
    return "Folder" + std::to_string(n / 20) + "\\File" + std::to_string(n);
  };
  constexpr int kPaths = 20000;
  for (int n = 0; n < kPaths; ++n) {
    list.add(pathOf(n), n);
  }
  for (int n = 0; n < kPaths; ++n) {
    const auto found = list.find(pathOf(n));
    ASSERT_TRUE(found.has_value()) << pathOf(n);
    EXPECT_EQ(list.modified(*found), n);
    EXPECT_TRUE(list.containsIgnoringCase(foldCase(pathOf(n))));
  }
  EXPECT_FALSE(list.containsIgnoringCase(pathOf(kPaths)));
  EXPECT_THROW(list.add(foldCase(pathOf(kPaths / 2))), Failure);
  EXPECT_EQ(list.size(), static_cast<std::size_t>(kPaths));
}

TEST_F(GetFileListTest, RecordsEachFileTime) {
  add("a.txt");
  test::setModificationTime(fs::path(root) / "a.txt", 1234567890);
  FileList list;
  GetFileList(list, root, "", files, profile);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list.modified(0), 1234567890);
}

}  // namespace
}  // namespace tandro
