// Runs that the file system fails at every kind of call, or that lose their drive midway:
// each must end with a report, keep the old destination, record nothing it did not finish,
// and leave a state from which the next run completes.
#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "common/DateTime.h"
#include "support/FaultyFileSystem.h"
#include "support/SyncFixture.h"
#include "support/TreeSnapshot.h"

namespace tandro {
namespace {

namespace fs = std::filesystem;
using test::Call;

using test::kBase;
using test::kBaseText;

// One run that makes every kind of call: a file changed locally (copy, rename), a new file
// whose removable folder is missing (create folder), a file deleted locally (remove), and the
// profile flush at the end.
class SyncFaultsTest : public test::SyncFixture<test::FaultyFileSystem> {
 protected:
  void SetUp() override {
    put(local, "a.txt", "new", kBase + 60);
    put(removable, "a.txt", "old", kBase);
    put(local, "sub/new.txt", "fresh", kBase);
    put(removable, "gone.txt", "gone", kBase);
    profile.WriteIni("Tandro", "a.txt", kBaseText);
    profile.WriteIni("Tandro", "gone.txt", kBaseText);
  }

  fs::path profileFile() const { return dir.path() / "Work.ini"; }

  // Runs once, after taking note of what was there.
  SyncOutcome firstRun() {
    localBefore = test::filesBelow(local);
    removableBefore = test::filesBelow(removable);
    recordsBefore = test::recordsIn(profileFile());
    return run();
  }

  // Whatever the first run got to: no partial file, no temporary file, no record for a
  // transfer it did not finish. (This scenario only ever writes to the removable side.)
  void expectNothingHalfDone() {
    const auto localFiles = test::filesBelow(local);
    EXPECT_EQ(localFiles, localBefore);
    for (const auto& [path, content] : test::filesBelow(removable)) {
      const auto before = removableBefore.find(path);
      const bool old = before != removableBefore.end() && before->second == content;
      EXPECT_TRUE(old || localFiles.at(path) == content) << path;
    }
    for (const auto& [key, value] : test::recordsIn(profileFile())) {
      if (recordsBefore[key] != value) {
        const std::string path = key == "sub\\new.txt" ? "sub/new.txt" : key;
        EXPECT_EQ(test::readFile(fs::path(local) / path),
                  test::readFile(fs::path(removable) / path))
            << key;
      }
    }
    EXPECT_TRUE(test::temporariesBelow(dir.path()).empty());
  }

  // With the fault gone, a run completes and the trees end up alike.
  void expectARerunCompletes() {
    files.clearFaults();
    host = test::ScriptedHost();
    host.answers = {Answer::Yes, Answer::Yes};  // a copy whose record was lost is asked about
    EXPECT_EQ(run(), SyncOutcome::Completed) << host.log;
    EXPECT_EQ(test::filesBelow(local), test::filesBelow(removable));
    EXPECT_FALSE(fs::exists(fs::path(removable) / "gone.txt"));
  }

  test::Tree localBefore;
  test::Tree removableBefore;
  std::map<std::string, std::string> recordsBefore;
};

struct CallRow {
  const char* name;
  Call call;
  const char* pathPart;
  bool ownMessage;  // MakeFolders shows its own message instead of the report
};

// Every kind of call the run makes, each with the four faults a drive gives.
class FaultAtEveryCallTest
    : public SyncFaultsTest,
      public ::testing::WithParamInterface<std::tuple<CallRow, std::int32_t>> {};

TEST_P(FaultAtEveryCallTest, EndsWithAReportAndLeavesNothingHalfDone) {
  const auto& [row, number] = GetParam();
  files.failOn(row.call, number, row.pathPart);
  EXPECT_EQ(firstRun(), SyncOutcome::Failed);
  const std::string shown =
      row.ownMessage ? std::to_string(number) + ":" : "  [" + std::to_string(number) + "] ";
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_TRUE(host.messages[0].starts_with(shown)) << host.messages[0];
  EXPECT_EQ(host.eventEntries.size(), row.ownMessage ? 0u : 1u);
  if (!row.ownMessage) {
    EXPECT_TRUE(host.eventEntries[0].starts_with("同期処理")) << host.eventEntries[0];
  }
  expectNothingHalfDone();
  expectARerunCompletes();
}

INSTANTIATE_TEST_SUITE_P(
    Calls, FaultAtEveryCallTest,
    ::testing::Combine(
        ::testing::Values(CallRow{"Listing", Call::ListFolder, "removable", false},
                          CallRow{"TimeQuery", Call::NormalFile, "gone.txt", false},
                          CallRow{"ExistenceTest", Call::NormalFile, "new.txt", false},
                          CallRow{"Copy", Call::CopyFile, "a.txt", false},
                          CallRow{"Rename", Call::RenameFile, "a.txt", false},
                          CallRow{"Remove", Call::RemoveFile, "gone.txt", false},
                          CallRow{"CreateFolder", Call::CreateFolder, "sub", true},
                          CallRow{"ProfileWrite", Call::WriteFile, ".ini", false},
                          CallRow{"ProfileRename", Call::RenameFile, ".ini", false},
                          CallRow{"ProfileStamp", Call::Stamp, ".ini", false}),
        ::testing::Values(failure_number::kDiskFull, failure_number::kPermissionDenied,
                          failure_number::kDeviceIo, failure_number::kFileNotFound)),
    [](const auto& info) {
      return std::string(std::get<0>(info.param).name) + "_" +
             std::to_string(std::get<1>(info.param));
    });

// The drive is pulled right before the first copy: its folder is gone, or an empty mount
// point is left at the same path.
class PulledDriveTest : public SyncFaultsTest, public ::testing::WithParamInterface<bool> {
 protected:
  const fs::path pulled = dir.path() / "pulled";

  void pullBefore(Call call, const std::string& root) {
    files.beforeCall(call, [this, root, emptyFolderLeft = GetParam()] {
      fs::rename(root, pulled);
      if (emptyFolderLeft) {
        fs::create_directory(root);
      }
    });
  }
  void putBack(const std::string& root) {
    fs::remove_all(root);
    fs::rename(pulled, root);
  }
  void expectNotReadyReportOn(const std::string& root) {
    EXPECT_TRUE(host.questions.empty());
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0], "  [71] ディスクが準備されていません。 " + root);
  }
};

TEST_P(PulledDriveTest, ATransferEndsWithTheNotReadyReportAndMakesNoFolders) {
  pullBefore(Call::CopyFile, removable);
  EXPECT_EQ(firstRun(), SyncOutcome::Failed);
  expectNotReadyReportOn(removable);
  EXPECT_TRUE(test::filesBelow(removable).empty());
  EXPECT_EQ(test::readFile(pulled / "a.txt"), "old");
  putBack(removable);
  expectNothingHalfDone();
  expectARerunCompletes();
}

// A file with a record that is absent on one side counts as deleted there: not when that
// side's drive has gone, or the user would be asked to delete the other copy.
TEST_P(PulledDriveTest, AFileOnAPulledDriveIsNotTakenForDeleted) {
  fs::remove_all(local);
  fs::remove_all(removable);
  put(local, "kept.txt", "kept", kBase);
  put(removable, "kept.txt", "kept", kBase);
  profile.WriteIni("Tandro", "kept.txt", kBaseText);
  // A new file in a sub-folder comes first; looking at it again before its copy pulls the
  // drive.
  put(local, "first/new.txt", "new", kBase);
  pullBefore(Call::NormalFile, removable);
  host.answers = {Answer::Yes};
  EXPECT_EQ(firstRun(), SyncOutcome::Failed);
  expectNotReadyReportOn(removable);
  EXPECT_EQ(test::readFile(fs::path(local) / "kept.txt"), "kept");
}

TEST_P(PulledDriveTest, AFileOnlyOnTheDriveIsNotTakenForDeletedLocally) {
  put(removable, "only.txt", "only", kBase);
  profile.WriteIni("Tandro", "only.txt", kBaseText);
  fs::remove(fs::path(local) / "a.txt");
  fs::remove_all(fs::path(local) / "sub");
  pullBefore(Call::NormalFile, local);
  EXPECT_EQ(firstRun(), SyncOutcome::Failed);
  expectNotReadyReportOn(local);
  EXPECT_EQ(test::readFile(fs::path(removable) / "only.txt"), "only");
  EXPECT_EQ(test::readFile(fs::path(removable) / "gone.txt"), "gone");
}

INSTANTIATE_TEST_SUITE_P(Pulls, PulledDriveTest, ::testing::Values(false, true),
                         [](const auto& info) {
                           return std::string(info.param ? "MountPointLeft" : "FolderGone");
                         });

}  // namespace
}  // namespace tandro
