// Trees the user did not make: odd names, deep trees, links, pipes and unreadable files.
// For each the run ends (no crash, no hang), writes nothing outside its two roots, and
// either transfers correctly or ends with a clear report.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "common/Failure.h"
#include "common/PosixFileSystem.h"
#include "support/SyncFixture.h"
#include "support/TreeSnapshot.h"

namespace tandro {
namespace {

namespace fs = std::filesystem;

using test::kBase;

class HostileTreeTest : public test::SyncFixture<PosixFileSystem> {
 protected:
  std::string outside = dir.subRoot("outside");

  void SetUp() override { put(outside, "keep.txt", "outside"); }

  // A run with a host of its own.
  SyncOutcome run() {
    host = test::ScriptedHost();
    return SyncFixture::run();
  }

  // Nothing appeared beside the roots (but the profile and its lock) or in the folder
  // outside them, and nothing there changed.
  void expectNothingOutsideTheRoots() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.path())) {
      if (entry.path().filename() != "Work.ini" && entry.path().filename() != ".Work.ini.lock") {
        names.push_back(entry.path().filename().string());
      }
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"local", "outside", "removable"}));
    EXPECT_EQ(test::filesBelow(outside), (test::Tree{{"keep.txt", "outside"}}));
  }

  // The files were carried over and a second run finds nothing to do: every record was found.
  void expectInStepAndQuiet() {
    EXPECT_EQ(test::filesBelow(local), test::filesBelow(removable));
    EXPECT_EQ(run(), SyncOutcome::Completed);
    EXPECT_EQ(host.log.find("\r\n"), host.log.size() - 2) << host.log;
  }
};

// Names that reach the lists, and names whose record the profile could not hold.
struct NameRow {
  const char* name;
  std::string path;
  bool listed;
};

class HostileNameTest : public HostileTreeTest, public ::testing::WithParamInterface<NameRow> {};

TEST_P(HostileNameTest, IsCarriedOverWithItsRecordOrLeftOut) {
  const auto& row = GetParam();
  put(local, row.path, "content");
  EXPECT_EQ(run(), SyncOutcome::Completed);
  EXPECT_EQ(fs::exists(fs::path(removable) / row.path), row.listed);
  if (row.listed) {
    expectInStepAndQuiet();
  } else {
    EXPECT_TRUE(test::filesBelow(removable).empty());
  }
  expectNothingOutsideTheRoots();
}

INSTANTIATE_TEST_SUITE_P(Names, HostileNameTest,
                         ::testing::Values(NameRow{"InvalidUtf8", "bad\xff\xfe.txt", false},
                                           NameRow{"Bracketed", "[Path]", true},
                                           NameRow{"BracketedSectionName", "[Tandro]", true},
                                           NameRow{"SemicolonBelowTheRoot", "sub/;x.txt", true},
                                           NameRow{"BlankBelowTheRoot", "sub/ x.txt", true},
                                           NameRow{"LongestName", std::string(255, 'n'), true},
                                           NameRow{"Backslash", "a\\b.txt", false},
                                           NameRow{"BackslashFolder", "a\\b/c.txt", false},
                                           NameRow{"Newline", "line\nbreak.txt", false},
                                           NameRow{"CarriageReturn", "cr\r.txt", false},
                                           NameRow{"Equals", "a=b.txt", false},
                                           NameRow{"EqualsFolder", "x=y/c.txt", false},
                                           NameRow{"SemicolonAtTheRoot", ";x.txt", false},
                                           NameRow{"SemicolonFolderAtTheRoot", ";x/c.txt", false},
                                           NameRow{"LeadingBlankAtTheRoot", " x.txt", false},
                                           NameRow{"TrailingBlank", "sub/x.txt ", false},
                                           NameRow{"TrailingTab", "x.txt\t", false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(HostileTreeTest, ANameThatClimbsOutOfTheRootIsNeverFollowed) {
  put(removable, "..\\..\\x", "climber");
  put(local, "..\\..\\y", "climber");
  EXPECT_EQ(run(), SyncOutcome::Completed);
  EXPECT_FALSE(fs::exists(dir.path().parent_path() / "x"));
  EXPECT_FALSE(fs::exists(fs::path(local) / "..\\..\\x"));
  EXPECT_FALSE(fs::exists(fs::path(removable) / "..\\..\\y"));
  expectNothingOutsideTheRoots();
}

TEST_F(HostileTreeTest, ATreeTwoHundredFoldersDeepIsCarriedOver) {
  std::string path;
  for (int level = 0; level < 200; ++level) {
    path += "d/";
  }
  put(local, path + "deep.txt", "deep");
  EXPECT_EQ(run(), SyncOutcome::Completed);
  EXPECT_EQ(test::readFile(fs::path(removable) / (path + "deep.txt")), "deep");
  expectInStepAndQuiet();
  expectNothingOutsideTheRoots();
}

TEST_F(HostileTreeTest, ALinkToAFolderOutsideIsNotFollowed) {
  fs::create_directory_symlink(outside, fs::path(local) / "linked");
  put(local, "a.txt", "a");
  EXPECT_EQ(run(), SyncOutcome::Completed);
  EXPECT_EQ(test::filesBelow(removable), (test::Tree{{"a.txt", "a"}}));
  expectNothingOutsideTheRoots();
}

// A destination folder that is a link would let a transfer write (or a time query read)
// outside the root: the transfer is refused with a report naming the link.
struct LinkRow {
  const char* name;
  const char* linkedFolder;  // below the removable root
  const char* fileName;      // "keep.txt" is in the folder the link leads to
  bool recorded;
};

class LinkedDestinationTest : public HostileTreeTest,
                              public ::testing::WithParamInterface<LinkRow> {};

TEST_P(LinkedDestinationTest, IsNeverWrittenThrough) {
  const auto& row = GetParam();
  const fs::path link = fs::path(removable) / row.linkedFolder;
  fs::create_directories(link.parent_path());
  fs::create_directory_symlink(outside, link);
  const std::string path = std::string(row.linkedFolder) + "/" + row.fileName;
  put(local, path, "from the local side");
  if (row.recorded) {
    test::setModificationTime(fs::path(outside) / "keep.txt", kBase - 7200);
    profile.WriteIni("Tandro", test::keyOf(path), "2008/02/19 14:00:00");
  }
  EXPECT_EQ(run(), SyncOutcome::Failed);
  expectReport("  [75] パス名が無効です。 " + link.string() + " (ELOOP)");
  EXPECT_TRUE(fs::is_symlink(link));
  expectNothingOutsideTheRoots();
}

INSTANTIATE_TEST_SUITE_P(Links, LinkedDestinationTest,
                         ::testing::Values(LinkRow{"NewFile", "docs", "new.txt", false},
                                           LinkRow{"NewFileDeeper", "a/docs", "new.txt", false},
                                           LinkRow{"ChangedFile", "docs", "keep.txt", true}),
                         [](const auto& info) { return std::string(info.param.name); });

// Only folders below a root are checked: a root may itself be a link, as mount points are.
TEST_F(HostileTreeTest, ARootThatIsALinkIsUsedAsItIs) {
  const fs::path linkedRoot = dir.path() / "outside" / "drive";
  fs::create_directory_symlink(removable, linkedRoot);
  put(local, "docs/a.txt", "a");
  EXPECT_EQ(SyncFolders({files, profile, host, clock, local, linkedRoot.string() + "/"}),
            SyncOutcome::Completed);
  EXPECT_EQ(test::filesBelow(removable), (test::Tree{{"docs/a.txt", "a"}}));
}

// Letter case: two spellings of one name are one file on every drive, as a drive that
// ignores case sees them.
TEST_F(HostileTreeTest, TwoSpellingsOfANameAreOneFileAskedAboutOnce) {
  put(local, "Readme.txt", "local");
  put(removable, "README.txt", "removable");
  host.answers = {Answer::Yes};
  SyncFixture::run();
  EXPECT_EQ(host.questions.size(), 1u);
  EXPECT_EQ(test::filesBelow(removable), (test::Tree{{"Readme.txt", "local"}}));
  expectInStepAndQuiet();
}

// A file renamed in letter case only is renamed on the other side: no question, no copy,
// and an edit made with a rename is kept. A folder's letter case stays as each side has it.
TEST_F(HostileTreeTest, ACaseOnlyRenameIsCarriedAsARename) {
  put(local, "Docs/Notes.txt", "notes");
  put(local, "Docs/B.txt", "edited");
  test::setModificationTime(fs::path(local) / "Docs/B.txt", kBase + 60);
  put(removable, "docs/notes.txt", "notes");
  put(removable, "docs/b.txt", "b");
  profile.WriteIni("Tandro", "docs\\notes.txt", "2008/02/19 15:00:59");
  profile.WriteIni("Tandro", "docs\\b.txt", "2008/02/19 15:00:59");
  struct stat before {
  }, after{};
  ASSERT_EQ(::stat((fs::path(removable) / "docs/notes.txt").c_str(), &before), 0);
  EXPECT_EQ(run(), SyncOutcome::Completed);
  EXPECT_TRUE(host.questions.empty());
  EXPECT_NE(host.log.find("Docs\\Notes.txt  リムーバブルへ名前変更\r\n"), std::string::npos);
  EXPECT_EQ(test::filesBelow(removable),
            (test::Tree{{"docs/B.txt", "edited"}, {"docs/Notes.txt", "notes"}}));
  ASSERT_EQ(::stat((fs::path(removable) / "docs/Notes.txt").c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(run(), SyncOutcome::Completed);
  EXPECT_EQ(host.log.find("\r\n"), host.log.size() - 2) << host.log;
}

TEST_F(HostileTreeTest, APipeIsNeverOpenedAndTheRunDoesNotHang) {
  ASSERT_EQ(::mkfifo((fs::path(local) / "pipe").c_str(), 0666), 0);
  ASSERT_EQ(::mkfifo((fs::path(removable) / "other").c_str(), 0666), 0);
  put(local, "other", "a file where the drive has a pipe");
  EXPECT_EQ(run(), SyncOutcome::Completed);
  EXPECT_TRUE(fs::is_fifo(fs::path(local) / "pipe"));
  EXPECT_FALSE(fs::exists(fs::path(removable) / "pipe"));
  EXPECT_EQ(test::readFile(fs::path(removable) / "other"), "a file where the drive has a pipe");
  expectNothingOutsideTheRoots();
}

TEST_F(HostileTreeTest, APipeGivenAsASourceIsRefusedWithoutWaiting) {
  const fs::path pipe = fs::path(local) / "pipe";
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0666), 0);
  try {
    files.copyFile(pipe, fs::path(removable) / "copy", {});
    FAIL() << "no failure";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.number(), failure_number::kPathFileAccess);
  }
}

void openToEveryone(const fs::path& folder) {
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    fs::permissions(entry.path(), fs::perms::all, fs::perm_options::add);
  }
  fs::permissions(folder, fs::perms::all, fs::perm_options::add);
}

// Root reads every file whatever its mode: the run then goes as another user.
class AsNobody {
 public:
  AsNobody() {
    if (::geteuid() == 0) {
      switched_ = ::seteuid(kNobody) == 0;
    }
  }
  ~AsNobody() {
    if (switched_) {
      (void)!::seteuid(0);
    }
  }

 private:
  static constexpr uid_t kNobody = 65534;
  bool switched_ = false;
};

TEST_F(HostileTreeTest, AnUnreadableFileEndsTheRunWithAReportNamingIt) {
  const fs::path secret = fs::path(local) / "secret.txt";
  put(local, "secret.txt", "secret");
  profile.WriteIni("Path", "Local", local);  // the profile exists before the user changes
  openToEveryone(dir.path());
  fs::permissions(secret, fs::perms::none);
  {
    AsNobody nobody;
    EXPECT_EQ(run(), SyncOutcome::Failed);
  }
  expectReport("  [70] 書き込みできません。 " + secret.string() + " (EACCES)");
  EXPECT_TRUE(test::filesBelow(removable).empty());
  expectNothingOutsideTheRoots();
}

}  // namespace
}  // namespace tandro
