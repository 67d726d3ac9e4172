#include "sync/SyncFolders.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <optional>
#include <thread>

#include "common/DateTime.h"
#include "common/ProcessInfo.h"
#include "support/FaultyFileSystem.h"
#include "support/SyncFixture.h"
#include "support/TempDir.h"
#include "support/TreeSnapshot.h"
#include "support/ZoneScope.h"
#include "sync/RootMarker.h"

namespace tandro {
namespace {

namespace fs = std::filesystem;
using test::Call;

using test::kBase;
using test::kBaseText;
using test::kNow;
using test::kNowText;

class SyncFoldersTest : public test::SyncFixture<test::FaultyFileSystem> {
 protected:
  static std::optional<std::string> contentOf(const std::string& root,
                                              const std::string& relative) {
    const fs::path path = fs::path(root) / relative;
    if (!fs::exists(path)) {
      return std::nullopt;
    }
    return test::readFile(path);
  }
  void record(const std::string& key, const std::string& value) {
    profile.WriteIni("Tandro", key, value);
  }
  std::string recordOf(const std::string& key) { return profile.readRecord(key); }
  std::string completion() const { return std::string("  同期完了!! ") + kNowText + "\r\n"; }
  // The names directly in a folder that a listing would give, the marker left out.
  static std::vector<std::string> listed(const std::string& root) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(root)) {
      if (entry.path().filename() != ".tandro") {
        names.push_back(entry.path().filename().string());
      }
    }
    std::sort(names.begin(), names.end());
    return names;
  }
};

// One file, seen in preview: what the first pass makes of it.
struct FirstPassRow {
  const char* name;
  std::optional<std::string> record;
  std::int64_t localOffset;
  std::optional<std::int64_t> removableOffset;  // nothing: absent on the removable side
  const char* label;                            // empty: nothing to do
};

class FirstPassTest : public SyncFoldersTest, public ::testing::WithParamInterface<FirstPassRow> {};

TEST_P(FirstPassTest, ClassifiesByRecordAndTimes) {
  const auto& row = GetParam();
  put(local, "docs/a.txt", "local", kBase + row.localOffset);
  if (row.removableOffset) {
    put(removable, "docs/a.txt", "removable", kBase + *row.removableOffset);
  }
  if (row.record) {
    record("docs\\a.txt", *row.record);
  }
  host.preview = true;
  EXPECT_EQ(run(), SyncOutcome::Completed);
  const std::string expected =
      std::string(*row.label ? std::string("docs\\a.txt") + row.label + "\r\n" : "");
  EXPECT_EQ(host.log, completion() + expected);
  EXPECT_TRUE(host.questions.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FirstPassTest,
    ::testing::Values(
        FirstPassRow{"ExcludedByOne", "1", 100, 100, ""},
        FirstPassRow{"ExcludedByDate", "1899/12/31", 100, std::nullopt, ""},
        FirstPassRow{"DeletedOnRemovable", kBaseText, 100, std::nullopt, "  削除"},
        FirstPassRow{"ChangedOnBoth", kBaseText, 3, 3, "  両方更新"},
        FirstPassRow{"ChangedLocally", kBaseText, 3, 0, "  リムーバブルへ更新"},
        FirstPassRow{"TwoSecondsIsNotNewer", kBaseText, 2, 2, ""},
        FirstPassRow{"ChangedOnRemovable", kBaseText, 0, 3, "  ローカルへ更新"},
        FirstPassRow{"OlderCountsAsUnchanged", kBaseText, -100, -100, ""},
        FirstPassRow{"NewLocally", std::nullopt, 0, std::nullopt, "  リムーバブルへコピー"},
        FirstPassRow{"NewOnBoth", std::nullopt, 0, 0, "  両方で新規に作成"},
        FirstPassRow{"ZeroIsNoRecord", "0", 0, 0, "  両方で新規に作成"},
        FirstPassRow{"EmptyIsNoRecord", "", 0, std::nullopt, "  リムーバブルへコピー"}),
    [](const auto& info) { return std::string(info.param.name); });

struct SecondPassRow {
  const char* name;
  std::optional<std::string> record;
  std::int64_t removableOffset;
  const char* label;
};

class SecondPassTest : public SyncFoldersTest,
                       public ::testing::WithParamInterface<SecondPassRow> {};

TEST_P(SecondPassTest, ClassifiesFilesOnlyOnTheRemovableSide) {
  const auto& row = GetParam();
  put(removable, "b.txt", "removable", kBase + row.removableOffset);
  if (row.record) {
    record("b.txt", *row.record);
  }
  host.preview = true;
  EXPECT_EQ(run(), SyncOutcome::Completed);
  const std::string expected = *row.label ? std::string("b.txt") + row.label + "\r\n" : "";
  EXPECT_EQ(host.log, completion() + expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SecondPassTest,
    ::testing::Values(SecondPassRow{"NewOnRemovable", std::nullopt, 0, "  ローカルへコピー"},
                      SecondPassRow{"DeletedLocally", kBaseText, 0, "  リムーバブル削除"},
                      SecondPassRow{"DeletedLocallyAtTheTolerance", kBaseText, 2,
                                    "  リムーバブル削除"},
                      SecondPassRow{"EditOutweighsDeletion", kBaseText, 3, "  ローカルへ更新"},
                      SecondPassRow{"Excluded", "1", 100, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SyncFoldersTest, PreviewChangesNothingAndAsksNothing) {
  // Nested so that the listing order is fixed: sub-folders come before a folder's files.
  put(local, "1/2/3/new.txt", "n");
  put(local, "1/2/both.txt", "l", kBase + 10);
  put(removable, "1/2/both.txt", "r", kBase + 10);
  put(local, "1/gone.txt", "g");
  put(removable, "x/only.txt", "o");
  put(removable, "deleted.txt", "d");
  for (const char* key : {"1\\2\\both.txt", "1\\gone.txt", "deleted.txt"}) {
    record(key, kBaseText);
  }
  const auto profileBefore = test::readFile(dir.path() / "Work.ini");
  host.preview = true;
  EXPECT_EQ(run(), SyncOutcome::Completed);
  EXPECT_TRUE(host.questions.empty());
  EXPECT_EQ(test::readFile(dir.path() / "Work.ini"), profileBefore);
  EXPECT_FALSE(contentOf(removable, "1/2/3/new.txt"));
  EXPECT_FALSE(contentOf(local, "x/only.txt"));
  EXPECT_EQ(contentOf(local, "1/gone.txt"), "g");
  EXPECT_EQ(contentOf(removable, "deleted.txt"), "d");
  EXPECT_EQ(host.log, completion() +
                          "deleted.txt  リムーバブル削除\r\n"
                          "x\\only.txt  ローカルへコピー\r\n"
                          "1\\gone.txt  削除\r\n"
                          "1\\2\\both.txt  両方更新\r\n"
                          "1\\2\\3\\new.txt  リムーバブルへコピー\r\n");
}

TEST_F(SyncFoldersTest, TransfersCopyBothWaysAndRecordTheTransferTime) {
  put(local, "docs/new.txt", "new local");
  put(local, "changed.txt", "changed local", kBase + 60);
  put(removable, "changed.txt", "old");
  put(local, "stale.txt", "old");
  put(removable, "stale.txt", "changed removable", kBase + 60);
  put(removable, "deep/er/only.txt", "only removable");
  record("changed.txt", kBaseText);
  record("stale.txt", kBaseText);
  EXPECT_EQ(run(), SyncOutcome::Completed);
  EXPECT_EQ(contentOf(removable, "docs/new.txt"), "new local");
  EXPECT_EQ(contentOf(removable, "changed.txt"), "changed local");
  EXPECT_EQ(contentOf(local, "stale.txt"), "changed removable");
  EXPECT_EQ(contentOf(local, "deep/er/only.txt"), "only removable");
  EXPECT_EQ(test::modificationTime(fs::path(removable) / "docs/new.txt"), kBase);
  for (const char* key : {"docs\\new.txt", "changed.txt", "stale.txt", "deep\\er\\only.txt"}) {
    EXPECT_EQ(recordOf(key), kNowText) << key;
  }
  EXPECT_TRUE(host.messages.empty());

  // A second run finds nothing to do and logs only its completion line.
  host.log.clear();
  EXPECT_EQ(run(), SyncOutcome::Completed);
  EXPECT_EQ(host.log, completion());
}

TEST_F(SyncFoldersTest, DeletingLocallyAsksAndTheAnswersDecide) {
  put(local, "yes.txt", "y");
  put(local, "n/no.txt", "n");
  for (const char* key : {"n\\no.txt", "yes.txt"}) {
    record(key, kBaseText);
  }
  host.answers = {Answer::No, Answer::Yes};
  EXPECT_EQ(run(), SyncOutcome::Completed);
  ASSERT_EQ(host.questions.size(), 2u);
  EXPECT_EQ(host.questions[0],
            "リムーバブルで削除されています。\rローカルファイルを削除しますか？\rn\\no.txt");
  EXPECT_EQ(contentOf(local, "n/no.txt"), "n");
  EXPECT_FALSE(contentOf(local, "yes.txt"));
  EXPECT_EQ(recordOf("n\\no.txt"), kBaseText);  // declined: the record stays
  EXPECT_EQ(recordOf("yes.txt"), "");           // deleted: the record goes with the file
  EXPECT_EQ(host.log, completion() + "yes.txt  削除\r\nスキップ:n\\no.txt  削除\r\n");
}

TEST_F(SyncFoldersTest, ARemovedRecordMakesARecreatedFileNewInsteadOfDeleted) {
  put(removable, "a.txt", "a");
  record("a.txt", kBaseText);
  EXPECT_EQ(run(), SyncOutcome::Completed);
  EXPECT_FALSE(contentOf(removable, "a.txt"));
  EXPECT_EQ(recordOf("a.txt"), "");
  put(removable, "a.txt", "made again");
  host.log.clear();
  EXPECT_EQ(run(), SyncOutcome::Completed);
  EXPECT_EQ(host.log, completion() + "a.txt  ローカルへコピー\r\n");
  EXPECT_EQ(contentOf(local, "a.txt"), "made again");
}

TEST_F(SyncFoldersTest, AnEditOnTheRemovableSideSurvivesTheLocalDeletion) {
  put(removable, "a.txt", "edited", kBase + 3);
  record("a.txt", kBaseText);
  EXPECT_EQ(run(), SyncOutcome::Completed);
  EXPECT_EQ(contentOf(removable, "a.txt"), "edited");
  EXPECT_EQ(contentOf(local, "a.txt"), "edited");
  EXPECT_EQ(host.log, completion() + "a.txt  ローカルへ更新\r\n");
}

struct ConflictRow {
  const char* name;
  bool withRecord;
  Answer answer;
  const char* winner;  // content both sides hold afterwards; nothing on Cancel
  const char* label;
};

class ConflictTest : public SyncFoldersTest, public ::testing::WithParamInterface<ConflictRow> {};

TEST_P(ConflictTest, AsksWhichSideWins) {
  const auto& row = GetParam();
  put(local, "s/c.txt", "local", kBase + 10);
  put(removable, "s/c.txt", "removable", kBase + 20);
  put(local, "z.txt", "after");
  if (row.withRecord) {
    record("s\\c.txt", kBaseText);
  }
  host.answers = {row.answer, Answer::Yes};
  const SyncOutcome outcome = run();
  ASSERT_FALSE(host.questions.empty());
  const std::string head = row.withRecord ? "両方更新されているファイルです。"
                                          : "両方で新規に作成されているファイルです。";
  EXPECT_EQ(host.questions[0], head +
                                   "\r\nどちらを優先しますか？\rs\\c.txt"
                                   "\rはい\uFF1A ローカル -> リムーバブル\u30002008/02/19 "
                                   "15:01:09\rいいえ\uFF1A リムーバブル -> ローカル2008/02/19 "
                                   "15:01:19");
  if (row.answer == Answer::Cancel) {
    EXPECT_EQ(outcome, SyncOutcome::Cancelled);
    EXPECT_EQ(host.log, "");
    EXPECT_EQ(contentOf(local, "s/c.txt"), "local");
    EXPECT_EQ(contentOf(removable, "s/c.txt"), "removable");
    EXPECT_FALSE(contentOf(removable, "z.txt"));
    return;
  }
  EXPECT_EQ(outcome, SyncOutcome::Completed);
  EXPECT_EQ(contentOf(local, "s/c.txt"), row.winner);
  EXPECT_EQ(contentOf(removable, "s/c.txt"), row.winner);
  EXPECT_EQ(recordOf("s\\c.txt"), kNowText);
  EXPECT_EQ(host.log,
            completion() + "z.txt  リムーバブルへコピー\r\ns\\c.txt" + row.label + "\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    Answers, ConflictTest,
    ::testing::Values(ConflictRow{"ChangedYes", true, Answer::Yes, "local", "  リムーバブルへ更新"},
                      ConflictRow{"ChangedNo", true, Answer::No, "removable", "  ローカルへ更新"},
                      ConflictRow{"ChangedCancel", true, Answer::Cancel, "", ""},
                      ConflictRow{"NewYes", false, Answer::Yes, "local", "  リムーバブルへ更新"},
                      ConflictRow{"NewNo", false, Answer::No, "removable", "  ローカルへ更新"},
                      ConflictRow{"NewCancel", false, Answer::Cancel, "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SyncFoldersTest, CancelInTheDeleteQuestionEndsTheRunWithoutCompletion) {
  put(local, "a.txt", "a");
  put(local, "b/z.txt", "z");
  record("a.txt", kBaseText);
  host.answers = {Answer::Cancel};
  EXPECT_EQ(run(), SyncOutcome::Cancelled);
  EXPECT_EQ(contentOf(local, "a.txt"), "a");
  EXPECT_EQ(host.log, "a.txt  削除\r\nb\\z.txt  リムーバブルへコピー\r\n");
}

TEST_F(SyncFoldersTest, TheFourLineExample) {
  put(local, "docs/a.txt", "changed", kBase + 60);
  put(removable, "docs/a.txt", "old");
  put(local, "c.txt", "c");
  put(removable, "b.txt", "b");
  record("docs\\a.txt", kBaseText);
  record("c.txt", kBaseText);
  host.answers = {Answer::No};
  EXPECT_EQ(run(), SyncOutcome::Completed);
  EXPECT_EQ(host.log, completion() +
                          "b.txt  ローカルへコピー\r\n"
                          "スキップ:c.txt  削除\r\n"
                          "docs\\a.txt  リムーバブルへ更新\r\n");
}

TEST_F(SyncFoldersTest, ACreatedRootMeansNoRecordCanDeleteAnything) {
  const std::string missingRemovable = dir.root() + "drive/Sync/";
  removable = missingRemovable;
  put(local, "a.txt", "a");
  put(local, "sub/b.txt", "b");
  record("a.txt", kBaseText);
  record("sub\\b.txt", "1");
  EXPECT_EQ(run(), SyncOutcome::Completed);
  EXPECT_TRUE(host.questions.empty());
  EXPECT_EQ(contentOf(missingRemovable, "a.txt"), "a");
  EXPECT_FALSE(contentOf(missingRemovable, "sub/b.txt"));  // "1" still excludes
  EXPECT_EQ(host.log, completion() + "a.txt  リムーバブルへコピー\r\n");
}

TEST_F(SyncFoldersTest, AMissingLocalRootGetsTheRemovableFilesInsteadOfDeletingThem) {
  local = dir.root() + "renamed/";
  put(removable, "a.txt", "keep me");
  record("a.txt", kBaseText);
  EXPECT_EQ(run(), SyncOutcome::Completed);
  EXPECT_EQ(contentOf(removable, "a.txt"), "keep me");
  EXPECT_EQ(contentOf(local, "a.txt"), "keep me");
}

TEST_F(SyncFoldersTest, ARecordThatIsNoTimeEndsTheRunWithAReport) {
  put(local, "a/first.txt", "1");
  put(local, "bad.txt", "b");
  record("bad.txt", "yesterday");
  EXPECT_EQ(run(), SyncOutcome::Failed);
  ASSERT_EQ(host.eventEntries.size(), 1u);
  EXPECT_EQ(host.eventEntries[0], "同期処理<=Tandro  [13] 型が一致しません。");
  EXPECT_EQ(host.messages, std::vector<std::string>{"  [13] 型が一致しません。"});
  EXPECT_EQ(host.messageIcons[0], MessageIcon::Stop);
  EXPECT_EQ(contentOf(removable, "a/first.txt"), "1");
  EXPECT_EQ(recordOf("a\\first.txt"), kNowText);  // flushed before the message
  EXPECT_FALSE(contentOf(removable, "bad.txt"));
}

struct FaultRow {
  const char* name;
  Call call;
  std::int32_t number;
  const char* chain;
};

class InjectedFaultTest : public SyncFoldersTest, public ::testing::WithParamInterface<FaultRow> {};

TEST_P(InjectedFaultTest, EndsTheRunWithTheOldDestinationAndNoRecord) {
  const auto& row = GetParam();
  put(local, "a.txt", "new", kBase + 60);
  put(removable, "a.txt", "old");
  record("a.txt", kBaseText);
  files.failOn(row.call, row.number, "a.txt");
  EXPECT_EQ(run(), SyncOutcome::Failed);
  ASSERT_EQ(host.eventEntries.size(), 1u);
  EXPECT_TRUE(host.eventEntries[0].starts_with(std::string(row.chain) + "  [" +
                                               std::to_string(row.number) + "] "))
      << host.eventEntries[0];
  EXPECT_EQ(contentOf(removable, "a.txt"), "old");
  EXPECT_EQ(recordOf("a.txt"), kBaseText);
  EXPECT_EQ(fs::directory_iterator(removable)->path().filename(), "a.txt");

  // Once the fault is gone, a run completes.
  host.log.clear();
  EXPECT_EQ(run(), SyncOutcome::Completed);
  EXPECT_EQ(contentOf(removable, "a.txt"), "new");
}

INSTANTIATE_TEST_SUITE_P(
    Faults, InjectedFaultTest,
    ::testing::Values(FaultRow{"DiskFull", Call::CopyFile, 61, "同期処理>Crypt<=Tandro"},
                      FaultRow{"AccessDenied", Call::RenameFile, 70, "同期処理>Crypt<=Tandro"},
                      FaultRow{"IoError", Call::CopyFile, 57, "同期処理>Crypt<=Tandro"},
                      FaultRow{"VanishedFile", Call::CopyFile, 53, "同期処理>Crypt<=Tandro"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SyncFoldersTest, AFailedProfileFlushIsReported) {
  put(local, "a.txt", "a");
  files.failOn(Call::WriteFile, 61, ".ini", 1, true);
  EXPECT_EQ(run(), SyncOutcome::Failed);
  ASSERT_EQ(host.eventEntries.size(), 1u);
  EXPECT_TRUE(host.eventEntries[0].starts_with("同期処理<=Tandro  [61] "));
}

TEST_F(SyncFoldersTest, AFolderThatCannotBeCreatedEndsTheRunWithItsOwnMessage) {
  put(local, "sub/a.txt", "a");
  files.failOn(Call::CreateFolder, 70, "sub");
  EXPECT_EQ(run(), SyncOutcome::Failed);
  EXPECT_TRUE(host.eventEntries.empty());
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_TRUE(host.messages[0].starts_with("70:書き込みできません。"));
}

TEST_F(SyncFoldersTest, ASecondRunOnTheSameProfileTouchesNothing) {
  put(local, "a.txt", "a");
  ProfileStore other{files, dir.root(), [] { return std::string("Work"); }};
  const auto lock = other.tryLock();
  ASSERT_TRUE(lock);
  host.log = "the last run's log\r\n";
  EXPECT_EQ(run(), SyncOutcome::Refused);
  EXPECT_EQ(host.messages, std::vector<std::string>{"このプロファイルは別の同期で使用中です。"});
  EXPECT_EQ(host.messageIcons[0], MessageIcon::Exclamation);
  EXPECT_EQ(host.log, "the last run's log\r\n");
  EXPECT_FALSE(contentOf(removable, "a.txt"));
  EXPECT_FALSE(fs::exists(dir.path() / "Work.ini"));
}

TEST_F(SyncFoldersTest, AFailureOfNoStepsOwnIsReportedLikeTheOthers) {
  put(local, "a.txt", "a");
  files.beforeCall(Call::CopyFile, [] { throw std::bad_alloc(); });
  EXPECT_EQ(run(), SyncOutcome::Failed);
  EXPECT_EQ(host.eventEntries,
            std::vector<std::string>{"同期処理<=Tandro  [7] メモリが不足しています。"});
  EXPECT_FALSE(contentOf(removable, "a.txt"));
  host.log.clear();
  EXPECT_EQ(run(), SyncOutcome::Completed);  // and the profile is free again
}

// A transfer killed midway leaves a hidden temporary file; one whose process still runs is
// a copy in progress, and a preview touches neither.
TEST_F(SyncFoldersTest, LeftoversOfDeadProcessesGoWhenTheRunActs) {
  const std::string dead = ".tandro-2147483647-1.tmp";
  const std::string running = ".tandro-" + std::to_string(currentProcessId()) + "-999.tmp";
  put(removable, "sub/" + dead, "half");
  put(local, running, "copying");
  host.preview = true;
  EXPECT_EQ(run(), SyncOutcome::Completed);
  EXPECT_TRUE(contentOf(removable, "sub/" + dead));
  host.preview = false;
  EXPECT_EQ(run(), SyncOutcome::Completed);
  EXPECT_FALSE(contentOf(removable, "sub/" + dead));
  EXPECT_EQ(contentOf(local, running), "copying");
}

TEST_F(SyncFoldersTest, AFileDatedInTheFutureIsAskedAboutOnceThenQuiet) {
  const std::int64_t tomorrow = kNow + 86400;
  put(local, "future.txt", "same", tomorrow);
  put(removable, "future.txt", "same", tomorrow);
  host.answers = {Answer::Yes};
  EXPECT_EQ(run(), SyncOutcome::Completed);
  EXPECT_EQ(host.questions.size(), 1u);
  EXPECT_EQ(recordOf("future.txt"), "2008/02/20 16:00:59");
  host.log.clear();
  EXPECT_EQ(run(), SyncOutcome::Completed);
  EXPECT_EQ(host.questions.size(), 1u);
  EXPECT_EQ(host.log, completion());
}

// Records are instants at the profile's fixed offset: a run in another zone sees each edit
// for what it is, and what a person reads is the current local time.
TEST_F(SyncFoldersTest, RecordsKeepTheirMeaningWhenTheLaptopTravels) {
  put(local, "a.txt", "first");
  EXPECT_EQ(run(), SyncOutcome::Completed);  // in Tokyo, the tests' own zone
  EXPECT_EQ(profile.ReadIni("Path", "Offset", ""), "+09:00");
  EXPECT_EQ(recordOf("a.txt"), kNowText);

  const test::ZoneScope utc(test::kUtc);
  put(local, "a.txt", "edited an hour later", kNow + 3600);
  clock.time = kNow + 7200;
  host.log.clear();
  EXPECT_EQ(run(), SyncOutcome::Completed);
  EXPECT_EQ(host.log, "  同期完了!! 2008/02/19 9:00:59\r\na.txt  リムーバブルへ更新\r\n");
  EXPECT_EQ(recordOf("a.txt"), "2008/02/19 18:00:59");  // still at +09:00

  put(local, "a.txt", "local", kNow + 9000);
  put(removable, "a.txt", "drive", kNow + 9100);
  clock.time = kNow + 10000;
  host.answers = {Answer::Cancel};
  EXPECT_EQ(run(), SyncOutcome::Cancelled);
  ASSERT_EQ(host.questions.size(), 1u);
  EXPECT_TRUE(
      host.questions[0].ends_with("\u30002008/02/19 9:30:59\rいいえ\uFF1A リムーバブル -> "
                                  "ローカル2008/02/19 9:32:39"))
      << host.questions[0];
}

// 2023/10/29 in Berlin: 2:00 to 3:00 happens twice, in summer time and then in winter time.
TEST_F(SyncFoldersTest, AnEditInTheRepeatedHourIsNotOverwritten) {
  const test::ZoneScope berlin(test::kBerlin);
  record("a.txt", "2023/10/29 2:30:00");  // an older profile's record: the first 2:30
  put(local, "a.txt", "edited at 2:10 of the second hour", 1698541800);
  put(removable, "a.txt", "edited on the drive at 3:30", 1698546600);
  clock.time = 1698548400;
  host.answers = {Answer::Cancel};
  EXPECT_EQ(run(), SyncOutcome::Cancelled);
  ASSERT_EQ(host.questions.size(), 1u);
  EXPECT_TRUE(host.questions[0].starts_with("両方更新されているファイルです。"));
  EXPECT_EQ(contentOf(local, "a.txt"), "edited at 2:10 of the second hour");
}

TEST_F(SyncFoldersTest, AnOlderProfilesRecordsAreConvertedOnce) {
  const test::ZoneScope berlin(test::kBerlin);
  const std::string records =
      "[Tandro]\r\nsummer.txt=2023/07/10 12:00:00\r\nwinter.txt=2023/01/10 12:00:00\r\n"
      "excluded.txt=1\r\nDocs\\=1\r\n";
  test::writeFile(dir.path() / "Work.ini", "[Path]\r\nLocal=x\r\n; note\r\n" + records);
  clock.time = 1688205600;  // 2023/07/01 12:00 summer time
  host.preview = true;
  EXPECT_EQ(run(), SyncOutcome::Completed);
  EXPECT_EQ(test::readFile(dir.path() / "Work.ini"), "[Path]\r\nLocal=x\r\n; note\r\n" + records);
  host.preview = false;
  EXPECT_EQ(run(), SyncOutcome::Completed);
  const std::string converted = test::readFile(dir.path() / "Work.ini");
  EXPECT_TRUE(converted.starts_with("[Path]\r\nLocal=x\r\n; note\r\nOffset=+02:00\r\nId="))
      << converted;
  EXPECT_TRUE(converted.ends_with(
      "[Tandro]\r\nsummer.txt=2023/07/10 12:00:00\r\nwinter.txt=2023/01/10 13:00:00\r\n"
      "excluded.txt=1\r\nDocs\\=1\r\n"))
      << converted;
  clock.time = 1704110400;  // 2024/01/01 in winter time
  EXPECT_EQ(run(), SyncOutcome::Completed);
  EXPECT_EQ(test::readFile(dir.path() / "Work.ini"), converted);
}

// A pull without eject may lose what the system had not written yet: never a record of it.
TEST_F(SyncFoldersTest, RecordsReachTheProfileOnlyAfterTheirCopiesAreOnTheDevice) {
  put(local, "a.txt", "a");
  put(removable, "b.txt", "b");
  EXPECT_EQ(run(), SyncOutcome::Completed);
  EXPECT_EQ(files.callCount(Call::SyncFileSystem), 2);  // both trees were written to

  put(local, "c.txt", "c");
  files.failOn(Call::SyncFileSystem, 57, removable);
  EXPECT_EQ(run(), SyncOutcome::Failed);
  EXPECT_EQ(contentOf(removable, "c.txt"), "c");
  EXPECT_EQ(test::recordsIn(dir.path() / "Work.ini").count("c.txt"), 0u);
  EXPECT_FALSE(profile.hasPendingWrites());
}

TEST_F(SyncFoldersTest, RecordsDueAreWrittenBeforeALongCopy) {
  put(local, "a/small.txt", "small");
  test::writeFile(fs::path(local) / "large.bin", "");
  fs::resize_file(fs::path(local) / "large.bin", 64 << 20);
  std::string profileAfterTheLongCopy;
  files.afterCall(
      Call::CopyFile,
      [&] {
        std::error_code missing;
        if (fs::exists(dir.path() / "Work.ini", missing)) {
          profileAfterTheLongCopy = test::readFile(dir.path() / "Work.ini");
        }
      },
      2);
  EXPECT_EQ(run(), SyncOutcome::Completed);
  EXPECT_NE(profileAfterTheLongCopy.find("a\\small.txt="), std::string::npos);
}

// A long copy runs beside the run's thread, which keeps telling the host how far it is.
TEST_F(SyncFoldersTest, ALongCopyIsToldOnTheRunsThreadAndItsFailureEndsTheRun) {
  constexpr std::uint64_t kSize = 64 << 20;
  test::writeFile(fs::path(local) / "large.bin", "");
  fs::resize_file(fs::path(local) / "large.bin", kSize);
  files.failOn(Call::CopyFile, 61, "large.bin");
  EXPECT_EQ(run(), SyncOutcome::Failed);
  ASSERT_EQ(host.eventEntries.size(), 1u);
  EXPECT_TRUE(host.eventEntries[0].starts_with("同期処理>Crypt<=Tandro  [61] "));
  EXPECT_FALSE(fs::exists(fs::path(removable) / "large.bin"));
  EXPECT_EQ(recordOf("large.bin"), "");

  EXPECT_EQ(run(), SyncOutcome::Completed);
  EXPECT_EQ(fs::file_size(fs::path(removable) / "large.bin"), kSize);
  EXPECT_EQ(host.copiedBytes, kSize);
  EXPECT_FALSE(host.toldOffItsThread);
}

TEST_F(SyncFoldersTest, BothTreesEmptyGiveOnlyTheCompletionLine) {
  EXPECT_EQ(run(), SyncOutcome::Completed);
  EXPECT_EQ(host.log, completion());
}

// What a run finds has changed since its listing, when it is about to act.
TEST_F(SyncFoldersTest, AnEditDuringAQuestionMakesALaterFileAConflict) {
  put(local, "a/ask.txt", "asked");
  record("a\\ask.txt", kBaseText);
  put(local, "z.txt", "changed locally", kBase + 60);
  put(removable, "z.txt", "old");
  record("z.txt", kBaseText);
  host.whileAsked = [&] { put(removable, "z.txt", "edited on the drive", kBase + 120); };
  host.answers = {Answer::No, Answer::No};
  EXPECT_EQ(run(), SyncOutcome::Completed);
  ASSERT_EQ(host.questions.size(), 2u);
  EXPECT_TRUE(host.questions[1].starts_with("両方更新されているファイルです。"))
      << host.questions[1];
  EXPECT_NE(host.questions[1].find("2008/02/19 15:02:59"), std::string::npos);
  EXPECT_EQ(contentOf(removable, "z.txt"), "edited on the drive");
  EXPECT_EQ(contentOf(local, "z.txt"), "edited on the drive");
  EXPECT_EQ(host.log, completion() + "z.txt  ローカルへ更新\r\nスキップ:a\\ask.txt  削除\r\n");
}

TEST_F(SyncFoldersTest, AnEditOnTheDriveWhileItsCopyIsMadeIsNotOverwritten) {
  put(local, "z.txt", "changed locally", kBase + 60);
  put(removable, "z.txt", "old");
  record("z.txt", kBaseText);
  files.afterCall(Call::CopyFile,
                  [&] { put(removable, "z.txt", "edited on the drive", kBase + 120); });
  host.answers = {Answer::No};
  EXPECT_EQ(run(), SyncOutcome::Completed);
  ASSERT_EQ(host.questions.size(), 1u);
  EXPECT_TRUE(host.questions[0].starts_with("両方更新されているファイルです。"))
      << host.questions[0];
  EXPECT_EQ(contentOf(removable, "z.txt"), "edited on the drive");
  EXPECT_EQ(contentOf(local, "z.txt"), "edited on the drive");
  EXPECT_EQ(host.log,
            completion() + "z.txt  ローカルへ更新\r\nスキップ:z.txt  リムーバブルへ更新\r\n");
}

TEST_F(SyncFoldersTest, AFileMadeOnTheDriveWhileANewFilesCopyIsMadeIsNotOverwritten) {
  put(local, "n.txt", "new locally");
  files.afterCall(Call::CopyFile, [&] { put(removable, "n.txt", "made on the drive"); });
  host.answers = {Answer::No};
  EXPECT_EQ(run(), SyncOutcome::Completed);
  ASSERT_EQ(host.questions.size(), 1u);
  EXPECT_TRUE(host.questions[0].starts_with("両方で新規に作成されているファイルです。"))
      << host.questions[0];
  EXPECT_EQ(contentOf(local, "n.txt"), "made on the drive");
}

// Copies of replaced files start ahead in folders the run has not acted in yet, once those
// are checked for links: a folder made a link after the listing gets none.
TEST_F(SyncFoldersTest, NoCopyGoesAheadIntoAFolderMadeALinkAfterTheListing) {
  put(local, "d/sub/q.txt", "asked first: a deeper folder is listed first");
  record("d\\sub\\q.txt", kBaseText);
  for (const std::string name : {"a.txt", "b.txt"}) {
    put(local, "d/" + name, "changed locally", kBase + 60);
    put(removable, "d/" + name, "old");
    record("d\\" + name, kBaseText);
  }
  std::error_code noLinks;
  fs::create_directory_symlink(local, dir.path() / "probe", noLinks);
  if (noLinks) {
    GTEST_SKIP() << "no folder links here: " << noLinks.message();
  }
  host.whenPlanned = [&] {
    fs::rename(fs::path(removable) / "d", dir.path() / "moved");
    fs::create_directory_symlink(dir.path() / "moved", fs::path(removable) / "d");
  };
  std::atomic<bool> copied = false;
  files.afterCall(Call::CopyFile, [&] { copied = true; });
  host.whileAsked = [&] {
    // Time for a copy offered before the question to be made.
    for (int i = 0; i < 50 && !copied; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  };
  host.answers = {Answer::No};
  EXPECT_EQ(run(), SyncOutcome::Failed);
  EXPECT_FALSE(copied);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_NE(host.messages[0].find("(ELOOP)"), std::string::npos) << host.messages[0];
}

TEST_F(SyncFoldersTest, FilesGoneOrBackDuringTheRunAreNeitherFailuresNorDeleted) {
  put(local, "a/ask.txt", "asked");
  record("a\\ask.txt", kBaseText);
  put(local, "z.txt", "new, then deleted");
  put(removable, "back.txt", "back");
  record("back.txt", kBaseText);
  host.whileAsked = [&] {
    fs::remove(fs::path(local) / "z.txt");
    put(local, "back.txt", "back");
  };
  host.answers = {Answer::No};
  EXPECT_EQ(run(), SyncOutcome::Completed);
  EXPECT_TRUE(host.messages.empty());
  EXPECT_FALSE(contentOf(removable, "z.txt"));
  EXPECT_EQ(contentOf(removable, "back.txt"), "back");
  EXPECT_EQ(host.log, completion() + "スキップ:a\\ask.txt  削除\r\n");
}

TEST_F(SyncFoldersTest, TheHostLearnsWhatIsToBeCopiedBeforeTheFirstAction) {
  put(local, "a.txt", "12345");
  put(removable, "b.txt", "1234567");
  host.preview = true;
  EXPECT_EQ(run(), SyncOutcome::Completed);
  EXPECT_EQ(host.plannedTransfers, 2u);
  EXPECT_EQ(host.plannedBytes, 12u);
}

// The identity of the removable root: a profile that has synchronised knows its drive.
class DriveIdentityTest : public SyncFoldersTest {
 protected:
  static constexpr const char* kId = "0123456789abcdef0123456789abcdef";
  void knownProfile() { profile.WriteIni("Path", "Id", kId); }
  void marker(const std::string& text) { test::writeFile(fs::path(removable) / ".tandro", text); }
  std::optional<std::string> markerText() { return contentOf(removable, ".tandro"); }
  std::string profileText() { return test::readFile(dir.path() / "Work.ini"); }
};

TEST_F(DriveIdentityTest, TheFirstCompleteRunNamesTheProfileAndMarksTheDrive) {
  put(local, "a.txt", "a");
  EXPECT_EQ(run(), SyncOutcome::Completed);
  const std::string id = profile.ReadIni("Path", "Id", "");
  EXPECT_EQ(id.size(), 32u);
  EXPECT_EQ(id.find_first_not_of("0123456789abcdef"), std::string::npos);
  EXPECT_EQ(markerText(), id + "\n");
  EXPECT_EQ(listed(removable), std::vector<std::string>{"a.txt"});
  host.log.clear();
  EXPECT_EQ(run(), SyncOutcome::Completed);
  EXPECT_TRUE(host.warnings.empty());
  EXPECT_EQ(host.log, completion());
}

TEST_F(DriveIdentityTest, PreviewAndUnfinishedRunsNameNothing) {
  put(local, "a.txt", "a");
  host.preview = true;
  EXPECT_EQ(run(), SyncOutcome::Completed);
  host.preview = false;
  files.failOn(test::Call::CopyFile, 61);
  EXPECT_EQ(run(), SyncOutcome::Failed);
  files.failOn(test::Call::RenameFile, 70, ".tandro");  // the marker cannot be written
  EXPECT_EQ(run(), SyncOutcome::Failed);
  EXPECT_EQ(profile.ReadIni("Path", "Id", ""), "");
  EXPECT_FALSE(markerText());
}

// A root that is missing is a drive not plugged in, or a folder moved away: nothing is made.
class MissingRootTest : public DriveIdentityTest, public ::testing::WithParamInterface<bool> {};

TEST_P(MissingRootTest, EndsTheRunWithNothingMade) {
  knownProfile();
  std::string& root = GetParam() ? removable : local;
  root = dir.root() + "media/STICK/Sync/";
  put(GetParam() ? local : removable, "a.txt", "a");
  const std::string before = profileText();
  EXPECT_EQ(run(), SyncOutcome::Refused);
  EXPECT_EQ(host.messages,
            std::vector<std::string>{"フォルダーが見つかりません。ドライブが接続されて"
                                     "いるか確認してください。\r\n" +
                                     root});
  EXPECT_EQ(host.messageIcons[0], MessageIcon::Exclamation);
  EXPECT_FALSE(fs::exists(dir.path() / "media"));
  EXPECT_EQ(profileText(), before);
  EXPECT_EQ(host.log, "");
}

TEST_F(DriveIdentityTest, ADrivePulledBeforeItsListingIsNotMadeAnew) {
  knownProfile();
  marker(std::string(kId) + "\n");
  put(local, "a.txt", "a");
  files.beforeCall(test::Call::ListFolder, [&] { fs::rename(removable, dir.path() / "pulled"); });
  EXPECT_EQ(run(), SyncOutcome::Refused);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_TRUE(host.messages[0].ends_with("\r\n" + removable));
  EXPECT_FALSE(fs::exists(removable));
}

INSTANTIATE_TEST_SUITE_P(Roots, MissingRootTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Removable" : "Local"; });

// A drive without the profile's identifier: missing marker, or another profile's only.
class OtherDriveTest : public DriveIdentityTest, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    knownProfile();
    if (GetParam()) {
      marker("fedcba9876543210fedcba9876543210\n");
    }
    put(local, "kept.txt", "local");
    put(local, "both.txt", "local both", kBase + 10);
    put(removable, "both.txt", "removable both", kBase + 20);
    record("kept.txt", kBaseText);
    record("both.txt", kBaseText);
  }
  std::string question() const {
    return "このフォルダーは前回同期したフォルダーと違うようです。\r\n" + removable +
           "\r\n同期を続けますか？";
  }
};

TEST_P(OtherDriveTest, NoLeavesEverythingAsItWas) {
  const std::string before = profileText();
  const auto markerBefore = markerText();
  EXPECT_EQ(run(), SyncOutcome::Cancelled);
  EXPECT_EQ(host.warnings, std::vector<std::string>{question()});
  EXPECT_EQ(profileText(), before);
  EXPECT_EQ(markerText(), markerBefore);
  EXPECT_EQ(listed(removable), std::vector<std::string>{"both.txt"});
  EXPECT_EQ(host.log, "");
}

TEST_P(OtherDriveTest, YesTakesTheDriveForNewAndDeletesNothing) {
  host.warningAnswers = {true};
  host.answers = {Answer::Yes};
  EXPECT_EQ(run(), SyncOutcome::Completed);
  ASSERT_EQ(host.questions.size(), 1u);
  EXPECT_TRUE(host.questions[0].starts_with("両方で新規に作成されているファイルです。"));
  EXPECT_EQ(contentOf(removable, "kept.txt"), "local");
  EXPECT_EQ(contentOf(removable, "both.txt"), "local both");
  const std::string previous = GetParam() ? "fedcba9876543210fedcba9876543210\n" : "";
  EXPECT_EQ(markerText(), previous + kId + "\n");
}

INSTANTIATE_TEST_SUITE_P(Markers, OtherDriveTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Foreign" : "Missing"; });

TEST_F(DriveIdentityTest, TwoProfilesShareOneDriveWithoutQuestions) {
  const std::string homeLocal = dir.subRoot("home");
  ProfileStore home{files, dir.root(), [] { return std::string("Home"); }};
  put(local, "work.txt", "w");
  put(homeLocal, "home.txt", "h");
  const auto runHome = [&] {
    return SyncFolders({files, home, host, clock, homeLocal, removable});
  };
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(run(), SyncOutcome::Completed);
    EXPECT_EQ(runHome(), SyncOutcome::Completed);
  }
  EXPECT_TRUE(host.warnings.empty());
  EXPECT_TRUE(host.questions.empty());
  EXPECT_EQ(markerText(),
            profile.ReadIni("Path", "Id", "") + "\n" + home.ReadIni("Path", "Id", "") + "\n");
}

TEST(RootMarkerTest, KeepsTheNewestIdentifiers) {
  test::TempDir dir;
  auto files = createPlatformFileSystem();
  std::string text;
  for (int n = 0; n < 64; ++n) {
    text += "id" + std::to_string(n) + "\r\n";  // written elsewhere with CR LF
  }
  test::writeFile(dir.path() / ".tandro", text);
  addToMarker(*files, dir.root(), "id5");
  EXPECT_EQ(readMarker(*files, dir.root()).size(), 64u);
  addToMarker(*files, dir.root(), "new");
  const auto ids = readMarker(*files, dir.root());
  ASSERT_EQ(ids.size(), 64u);
  EXPECT_EQ(ids.front(), "id1");
  EXPECT_EQ(ids.back(), "new");
  EXPECT_TRUE(test::temporariesBelow(dir.path()).empty());
}

// Deleting most of one side is asked once before anything is done.
class DeletionBrakeTest : public DriveIdentityTest, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    for (int n = 0; n < 11; ++n) {
      const std::string name = "f" + std::to_string(n) + ".txt";
      put(removable, name, "r");
      record(name, kBaseText);
    }
  }
};

TEST_P(DeletionBrakeTest, AsksOnceAndNoChangesNothing) {
  const bool yes = GetParam();
  host.warningAnswers = {yes};
  EXPECT_EQ(run(), yes ? SyncOutcome::Completed : SyncOutcome::Cancelled);
  EXPECT_EQ(host.warnings, std::vector<std::string>{"11 個のファイルをリムーバブルから削除します。"
                                                    "\r\n削除してよろしいですか？"});
  EXPECT_EQ(listed(removable).size(), yes ? 0u : 11u);
  EXPECT_EQ(host.log.empty(), !yes);
}

INSTANTIATE_TEST_SUITE_P(Answers, DeletionBrakeTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Yes" : "No"; });

TEST_F(DeletionBrakeTest, APreviewAsksNothing) {
  host.preview = true;
  EXPECT_EQ(run(), SyncOutcome::Completed);
  EXPECT_TRUE(host.warnings.empty());
  EXPECT_EQ(listed(removable).size(), 11u);
}

TEST_F(DeletionBrakeTest, TheLocalSideIsAskedToo) {
  fs::remove_all(removable);
  fs::create_directory(removable);
  for (int n = 0; n < 11; ++n) {
    put(local, "f" + std::to_string(n) + ".txt", "l");
  }
  host.warningAnswers = {false};
  EXPECT_EQ(run(), SyncOutcome::Cancelled);
  EXPECT_EQ(host.warnings, std::vector<std::string>{"11 個のファイルをローカルから削除します。"
                                                    "\r\n削除してよろしいですか？"});
  EXPECT_TRUE(host.questions.empty());
}

}  // namespace
}  // namespace tandro
