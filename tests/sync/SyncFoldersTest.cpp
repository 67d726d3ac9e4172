#include "sync/SyncFolders.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "common/DateTime.h"
#include "support/FaultyFileSystem.h"
#include "support/ScriptedHost.h"
#include "support/TempDir.h"

namespace tandro {
namespace {

namespace fs = std::filesystem;
using test::Call;

// 2008/02/19 15:00:59 in the tests' time zone (JST).
constexpr std::int64_t kBase = 1203400859;
constexpr const char* kBaseText = "2008/02/19 15:00:59";
// The moment the runs happen: one hour later.
constexpr std::int64_t kNow = kBase + 3600;
constexpr const char* kNowText = "2008/02/19 16:00:59";

class SyncFoldersTest : public ::testing::Test {
 protected:
  test::TempDir dir;
  std::string local = dir.subRoot("local");
  std::string removable = dir.subRoot("removable");
  test::FaultyFileSystem files;
  ProfileStore profile{files, dir.root(), [] { return std::string("Work"); }};
  test::ScriptedHost host;
  test::FixedClock clock{kNow};

  SyncOutcome run() { return SyncFolders({files, profile, host, clock, local, removable}); }
  static void put(const std::string& root, const std::string& relative, const std::string& content,
                  std::int64_t time = kBase) {
    const fs::path path = fs::path(root) / relative;
    test::writeFile(path, content);
    test::setModificationTime(path, time);
  }
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

TEST_F(SyncFoldersTest, BothTreesEmptyGiveOnlyTheCompletionLine) {
  EXPECT_EQ(run(), SyncOutcome::Completed);
  EXPECT_EQ(host.log, completion());
}

}  // namespace
}  // namespace tandro
