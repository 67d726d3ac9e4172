#include "sync/Transfer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "support/FailureOf.h"
#include "support/FaultyFileSystem.h"
#include "support/ScriptedHost.h"
#include "support/TempDir.h"

namespace tandro {
namespace {

namespace fs = std::filesystem;
using test::Call;
using test::TempDir;

class TransferTest : public ::testing::Test {
 protected:
  TempDir dir;
  test::FaultyFileSystem files;
  test::ScriptedHost host;
  std::string at(const std::string& relative) const { return (dir.path() / relative).string(); }

  // Everything in the folder of `path`, to see that no temporary file was left behind.
  std::vector<std::string> namesBeside(const std::string& path) const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(fs::path(path).parent_path())) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
};

TEST_F(TransferTest, CryptReplacesTheDestinationAndKeepsTheSourceTime) {
  test::writeFile(at("local/a.txt"), "new content");
  test::setModificationTime(at("local/a.txt"), 1300000000);
  test::writeFile(at("removable/a.txt"), "old");
  Crypt(at("local/a.txt"), at("removable/a.txt"), files);
  EXPECT_EQ(test::readFile(at("removable/a.txt")), "new content");
  EXPECT_EQ(test::modificationTime(at("removable/a.txt")), 1300000000);
  EXPECT_EQ(namesBeside(at("removable/a.txt")), std::vector<std::string>{"a.txt"});
}

// Seen missing (a file made there since) or seen as another version.
TEST_F(TransferTest, CryptLeavesADestinationItMayNoLongerReplaceAsItFoundIt) {
  test::writeFile(at("local/a.txt"), "new content");
  test::writeFile(at("removable/a.txt"), "edited meanwhile");
  for (const Replacing& replacing : {Replacing{}, Replacing{FileFacts{1300000000, 3}}}) {
    EXPECT_FALSE(Crypt(at("local/a.txt"), at("removable/a.txt"), files, {}, {}, replacing));
    EXPECT_EQ(test::readFile(at("removable/a.txt")), "edited meanwhile");
    EXPECT_EQ(namesBeside(at("removable/a.txt")), std::vector<std::string>{"a.txt"});
  }
}

TEST_F(TransferTest, CryptIntoAMissingFolderIsPathNotFoundAndWorksAfterMakeFolders) {
  test::writeFile(at("local/a.txt"), "a");
  const std::string destination = at("removable/x/y/a.txt");
  try {
    Crypt(at("local/a.txt"), destination, files);
    FAIL() << "no failure";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.number(), 76);
    EXPECT_EQ(failure.source(), "Crypt>Tandro");
  }
  EXPECT_TRUE(MakeFolders(destination, files, host));
  EXPECT_TRUE(host.messages.empty());
  Crypt(at("local/a.txt"), destination, files);
  EXPECT_EQ(test::readFile(destination), "a");
}

struct CryptFault {
  Call call;
  std::int32_t number;
};

class CryptFaultTest : public TransferTest, public ::testing::WithParamInterface<CryptFault> {};

TEST_P(CryptFaultTest, AFailedCopyLeavesTheOldDestinationAndNoTemporaryFile) {
  test::writeFile(at("local/a.txt"), "new");
  test::writeFile(at("removable/a.txt"), "old");
  files.failOn(GetParam().call, GetParam().number);
  try {
    Crypt(at("local/a.txt"), at("removable/a.txt"), files);
    FAIL() << "no failure";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.number(), GetParam().number);
    EXPECT_EQ(failure.source(), "Crypt>Tandro");
  }
  EXPECT_EQ(test::readFile(at("removable/a.txt")), "old");
  EXPECT_EQ(namesBeside(at("removable/a.txt")), std::vector<std::string>{"a.txt"});
}

INSTANTIATE_TEST_SUITE_P(Faults, CryptFaultTest,
                         ::testing::Values(CryptFault{Call::CopyFile, 61},
                                           CryptFault{Call::CopyFile, 70},
                                           CryptFault{Call::CopyFile, 57},
                                           CryptFault{Call::RenameFile, 61},
                                           CryptFault{Call::RenameFile, 70}));

constexpr std::int64_t kFirstTime = 1300000000;

// A change made to the source right after a copy of it was written.
struct SourceChange {
  const char* name;
  void (*change)(const fs::path& source);
  std::int64_t time;  // the source's time afterwards
};

class SourceChangeTest : public TransferTest, public ::testing::WithParamInterface<SourceChange> {
 protected:
  void SetUp() override {
    test::writeFile(at("local/a.txt"), "version 1");
    test::setModificationTime(at("local/a.txt"), kFirstTime);
    test::writeFile(at("removable/a.txt"), "old");
  }
};

TEST_P(SourceChangeTest, ASourceChangedWhileCopiedOnceIsCopiedAgain) {
  files.afterCall(Call::CopyFile, [&] { GetParam().change(at("local/a.txt")); });
  Crypt(at("local/a.txt"), at("removable/a.txt"), files);
  EXPECT_EQ(files.callCount(Call::CopyFile), 2);
  EXPECT_EQ(test::readFile(at("removable/a.txt")), test::readFile(at("local/a.txt")));
  EXPECT_NE(test::readFile(at("removable/a.txt")), "version 1");
  EXPECT_EQ(test::modificationTime(at("removable/a.txt")), GetParam().time);
  EXPECT_EQ(namesBeside(at("removable/a.txt")), std::vector<std::string>{"a.txt"});
}

TEST_P(SourceChangeTest, ASourceChangedWhileCopiedTwiceIsReportedAndNothingIsReplaced) {
  files.afterCall(
      Call::CopyFile, [&] { GetParam().change(at("local/a.txt")); }, 2);
  const Failure failure =
      test::failureOf([&] { Crypt(at("local/a.txt"), at("removable/a.txt"), files); });
  EXPECT_EQ(failure.number(), 75);
  EXPECT_EQ(failure.source(), "Crypt>Tandro");
  EXPECT_EQ(failure.description(),
            "パス名が無効です。 " + at("local/a.txt") + " (changed while copied)");
  EXPECT_EQ(files.callCount(Call::CopyFile), 2);
  EXPECT_EQ(test::readFile(at("removable/a.txt")), "old");
  EXPECT_EQ(namesBeside(at("removable/a.txt")), std::vector<std::string>{"a.txt"});
}

INSTANTIATE_TEST_SUITE_P(
    Changes, SourceChangeTest,
    ::testing::Values(SourceChange{"Grown",
                                   [](const fs::path& source) {
                                     const auto time = test::modificationTime(source);
                                     test::writeFile(source, test::readFile(source) + "+");
                                     test::setModificationTime(source, time);
                                   },
                                   kFirstTime},
                      SourceChange{"SameSizeNewTime",
                                   [](const fs::path& source) {
                                     const auto time = test::modificationTime(source);
                                     std::string content = test::readFile(source);
                                     ++content.back();
                                     test::writeFile(source, content);
                                     test::setModificationTime(source, time + 10);
                                   },
                                   kFirstTime + 10},
                      // Saved as a new file renamed over the old one, as editors do.
                      SourceChange{"ReplacedBySameSizeAndTime",
                                   [](const fs::path& source) {
                                     const fs::path saved = source.parent_path() / "saved.tmp";
                                     test::writeFile(saved, "version 2");
                                     test::setModificationTime(saved,
                                                               test::modificationTime(source));
                                     fs::rename(saved, source);
                                   },
                                   kFirstTime}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_P(SourceChangeTest, ACopyMadeAheadOfASourceChangedSinceIsMadeAnew) {
  CopyAhead ahead(files);
  ahead.offer(at("local/a.txt"), at("removable/a.txt"), 9);
  auto prepared = ahead.take(at("local/a.txt"), at("removable/a.txt"));
  ASSERT_TRUE(prepared && !prepared->failure);
  GetParam().change(at("local/a.txt"));
  Crypt(at("local/a.txt"), at("removable/a.txt"), files, {}, std::move(prepared));
  EXPECT_EQ(test::readFile(at("removable/a.txt")), test::readFile(at("local/a.txt")));
  EXPECT_EQ(test::modificationTime(at("removable/a.txt")), GetParam().time);
  EXPECT_EQ(namesBeside(at("removable/a.txt")), std::vector<std::string>{"a.txt"});
}

// The run takes copies in the order offered: one it passes by, or never comes to, goes.
TEST_F(TransferTest, CopiesMadeAheadThatAreNotTakenLeaveNothingBehind) {
  fs::create_directories(at("removable"));
  for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
    test::writeFile(at(std::string("local/") + name), name);
  }
  {
    CopyAhead ahead(files);
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
      ahead.offer(at(std::string("local/") + name), at(std::string("removable/") + name), 5);
    }
    Crypt(at("local/b.txt"), at("removable/b.txt"), files, {},
          ahead.take(at("local/b.txt"), at("removable/b.txt")));
    EXPECT_FALSE(ahead.take(at("local/a.txt"), at("removable/a.txt")));
    EXPECT_EQ(ahead.files(), 1u);
  }
  EXPECT_EQ(test::readFile(at("removable/b.txt")), "b.txt");
  EXPECT_EQ(namesBeside(at("removable/b.txt")), std::vector<std::string>{"b.txt"});
}

TEST_F(TransferTest, AFailedCopyMadeAheadIsTheTransfersFailure) {
  test::writeFile(at("local/a.txt"), "a");
  CopyAhead ahead(files);
  ahead.offer(at("local/a.txt"), at("removable/x/a.txt"), 1);
  try {
    Crypt(at("local/a.txt"), at("removable/x/a.txt"), files, {},
          ahead.take(at("local/a.txt"), at("removable/x/a.txt")));
    FAIL() << "no failure";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.number(), 76);
    EXPECT_EQ(failure.source(), "Crypt>Tandro");
  }
  EXPECT_FALSE(fs::exists(at("removable/x")));
}

TEST_F(TransferTest, CryptOfAVanishedSourceIsFileNotFound) {
  fs::create_directories(at("removable"));
  try {
    Crypt(at("local/gone.txt"), at("removable/gone.txt"), files);
    FAIL() << "no failure";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.number(), 53);
  }
  EXPECT_TRUE(fs::is_empty(at("removable")));
}

TEST_F(TransferTest, MakeFoldersCreatesFromTheOutermostMissingFolderInwards) {
  EXPECT_TRUE(MakeFolders(at("a/b/c.txt"), files, host));
  EXPECT_TRUE(fs::is_directory(at("a/b")));
  EXPECT_FALSE(fs::exists(at("a/b/c.txt")));
  EXPECT_EQ(files.callCount(Call::CreateFolder), 3);  // a/b fails, a, then a/b again
}

TEST_F(TransferTest, MakeFoldersOfAMissingRootCreatesTheRootItself) {
  EXPECT_TRUE(MakeFolders(at("E/Sync/"), files, host));
  EXPECT_TRUE(fs::is_directory(at("E/Sync")));
}

TEST_F(TransferTest, MakeFoldersOfAnExistingFolderShowsTheFailureAndAnswersFalse) {
  fs::create_directories(at("a"));
  EXPECT_FALSE(MakeFolders(at("a/c.txt"), files, host));
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_TRUE(host.messages[0].starts_with("75:パス名が無効です。")) << host.messages[0];
  EXPECT_EQ(host.messageIcons[0], MessageIcon::None);
}

TEST_F(TransferTest, MakeFoldersShowsOtherFailuresOnce) {
  files.failOn(Call::CreateFolder, 70, "", 2);  // the parent's creation is refused
  EXPECT_FALSE(MakeFolders(at("a/b/c.txt"), files, host));
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_TRUE(host.messages[0].starts_with("70:書き込みできません。"));
}

TEST_F(TransferTest, MakeFoldersOfAPathWithoutSeparatorEnds) {
  EXPECT_FALSE(MakeFolders("nothing", files, host));
  EXPECT_EQ(host.messages.size(), 1u);
}

}  // namespace
}  // namespace tandro
