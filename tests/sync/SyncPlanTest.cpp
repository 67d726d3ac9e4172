// The planner from tables: listings and records in, every file's case out, no files.
#include "sync/SyncPlan.h"

#include <gtest/gtest.h>

#include <map>

#include "sync/RunGuards.h"

namespace tandro {
namespace {

constexpr std::int64_t kBase = 1203400859;  // 2008/02/19 15:00:59 JST
constexpr const char* kBaseText = "2008/02/19 15:00:59";

using Records = std::map<std::string, std::string, std::less<>>;

std::function<void(const HashedName&, std::string&)> recordsFrom(const Records& records) {
  return [records](const HashedName& path, std::string& record) {
    const auto found = records.find(path.text);
    record = found == records.end() ? std::string() : found->second;
  };
}

// One file, as each side lists it (nothing: absent there) with its record.
struct FileRow {
  const char* name;
  const char* record;                    // nullptr: no record
  std::optional<std::int64_t> localAge;  // seconds after kBase
  std::optional<std::int64_t> removableAge;
  std::optional<FileCase> expected;  // nothing: unchanged or excluded, so not in the plan
  Pass pass = Pass::First;
};

class PlanRowTest : public ::testing::TestWithParam<FileRow> {};

TEST_P(PlanRowTest, GivesTheFileItsCase) {
  const auto& row = GetParam();
  FileList local;
  FileList removable;
  if (row.localAge) {
    local.add("d\\a.txt", kBase + *row.localAge, 5);
  }
  if (row.removableAge) {
    removable.add("d\\a.txt", kBase + *row.removableAge, 7);
  }
  Records records;
  if (row.record) {
    records["d\\a.txt"] = row.record;
  }
  const Plan plan = makePlan({local, removable, recordsFrom(records), {}});
  ASSERT_FALSE(plan.failure);
  if (!row.expected) {
    EXPECT_TRUE(plan.files.empty());
    return;
  }
  ASSERT_EQ(plan.files.size(), 1u);
  EXPECT_EQ(plan.files[0].fileCase, *row.expected);
  EXPECT_EQ(plan.files[0].pass, row.pass);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PlanRowTest,
    ::testing::Values(
        // First pass: the file is on the local side.
        FileRow{"Excluded", "1", 100, 0, std::nullopt},
        FileRow{"ExcludedByItsDate", "1899/12/31 0:00:00", 100, std::nullopt, std::nullopt},
        FileRow{"DeletedOnRemovable", kBaseText, 100, std::nullopt, FileCase::DeletedOnRemovable},
        FileRow{"ChangedOnBoth", kBaseText, 3, 3, FileCase::ChangedOnBoth},
        FileRow{"ChangedLocally", kBaseText, 3, 2, FileCase::ChangedLocally},
        FileRow{"ChangedOnRemovable", kBaseText, 2, 3, FileCase::ChangedOnRemovable},
        FileRow{"TwoSecondsIsTheTolerance", kBaseText, 2, 2, std::nullopt},
        FileRow{"OlderIsUnchanged", kBaseText, -100, -100, std::nullopt},
        FileRow{"OneOlderOfAnotherSize", kBaseText, 0, -3600, FileCase::ChangedOnBoth},
        FileRow{"OtherSizeWithinTheTolerance", kBaseText, -100, -98, std::nullopt},
        FileRow{"NewLocally", nullptr, 0, std::nullopt, FileCase::NewLocally},
        FileRow{"NewOnBoth", nullptr, 0, 0, FileCase::NewOnBoth},
        FileRow{"ZeroIsNoRecord", "0", 0, 0, FileCase::NewOnBoth},
        FileRow{"EmptyIsNoRecord", "", 0, std::nullopt, FileCase::NewLocally},
        FileRow{"ADaySerialIsARecord", "39497.625", 60, -59, FileCase::ChangedLocally},
        FileRow{"ISOFormIsARecord", "2008-02-19T15:00:59", 2, 3, FileCase::ChangedOnRemovable},
        // Second pass: the file is only on the removable side.
        FileRow{"DeletedLocally", kBaseText, std::nullopt, 2, FileCase::DeletedLocally,
                Pass::Second},
        FileRow{"AnEditOutweighsTheDeletion", kBaseText, std::nullopt, 3,
                FileCase::ChangedOnRemovable, Pass::Second},
        FileRow{"NewOnRemovable", nullptr, std::nullopt, 0, FileCase::NewOnRemovable, Pass::Second},
        FileRow{"ExcludedOnRemovable", "1", std::nullopt, 0, std::nullopt, Pass::Second}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ClassifyTest, AFileGoneFromBothSidesIsLeftAlone) {
  EXPECT_EQ(classify(kBase, std::nullopt, std::nullopt), FileCase::Unchanged);
  EXPECT_EQ(classify(kNoRecord, std::nullopt, std::nullopt), FileCase::Unchanged);
}

TEST(MakePlanTest, ActsFirstPassInLocalOrderThenTheRemovableOnlyFiles) {
  FileList local;
  local.add("s\\new.txt", kBase, 10);
  local.add("same.txt", kBase, 1);
  local.add("Case.txt", kBase, 1);
  FileList removable;
  removable.add("only.txt", kBase, 20);
  removable.add("same.txt", kBase, 1);
  removable.add("CASE.TXT", kBase, 1);  // one key with Case.txt: met in the first pass
  const Records records = {{"same.txt", kBaseText}};
  const Plan plan = makePlan({local, removable, recordsFrom(records), {}});
  ASSERT_EQ(plan.files.size(), 3u);
  EXPECT_EQ(plannedPath(plan.files[0], local, removable), "s\\new.txt");
  EXPECT_EQ(plannedPath(plan.files[1], local, removable), "Case.txt");
  EXPECT_EQ(plannedRemovablePath(plan.files[1], local, removable), "CASE.TXT");
  EXPECT_EQ(plan.files[1].fileCase, FileCase::NewOnBoth);
  EXPECT_EQ(plannedPath(plan.files[2], local, removable), "only.txt");
  EXPECT_EQ(plannedRemovableFacts(plan.files[2], removable), (FileFacts{kBase, 20}));
  EXPECT_EQ(plan.totals.transfers, 3u);
  EXPECT_EQ(plan.totals.bytes, 31u);
}

// Local "Notes\\A.txt" and the removable copy under another spelling: one file, whose
// record's key spelling tells which side's file name is the newer one.
struct SpellingRow {
  const char* name;
  const char* keySpelling;  // nullptr: no record
  std::int64_t localAge;
  std::optional<FileCase> expected;
  const char* removablePath = "notes\\a.txt";
};

class SpellingTest : public ::testing::TestWithParam<SpellingRow> {};

TEST_P(SpellingTest, OneFileUnderTwoSpellings) {
  const auto& row = GetParam();
  FileList local;
  local.add("Notes\\A.txt", kBase + row.localAge, 1);
  FileList removable;
  removable.add(row.removablePath, kBase, 1);
  const auto record = [&](const HashedName&, std::string& text) {
    text = row.keySpelling ? kBaseText : "";
  };
  const auto keySpelling = [&](std::string_view) {
    return std::string(row.keySpelling ? row.keySpelling : "");
  };
  const Plan plan = makePlan({local, removable, record, keySpelling});
  if (!row.expected) {
    EXPECT_TRUE(plan.files.empty());
    return;
  }
  ASSERT_EQ(plan.files.size(), 1u);
  EXPECT_EQ(plan.files[0].fileCase, *row.expected);
  EXPECT_EQ(plannedRemovablePath(plan.files[0], local, removable), row.removablePath);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SpellingTest,
    ::testing::Values(
        SpellingRow{"RenamedLocally", "notes\\a.txt", 0, FileCase::RenamedLocally},
        SpellingRow{"RenamedOnRemovable", "notes\\A.txt", 0, FileCase::RenamedOnRemovable},
        SpellingRow{"KeySpellingNeitherTakesTheLocalName", "NOTES\\A.TXT", 0,
                    FileCase::RenamedLocally},
        SpellingRow{"AnEditIsATransfer", "notes\\a.txt", 60, FileCase::ChangedLocally},
        SpellingRow{"NoRecordIsAConflict", nullptr, 0, FileCase::NewOnBoth},
        SpellingRow{"AFolderInOtherCaseIsNoRename", "notes\\A.txt", 0, std::nullopt,
                    "notes\\A.txt"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MakePlanTest, ARecordThatIsNoTimeStopsThePlanThere) {
  FileList local;
  local.add("first.txt", kBase, 1);
  local.add("bad.txt", kBase, 1);
  local.add("after.txt", kBase, 1);
  FileList removable;
  removable.add("second-pass.txt", kBase, 1);
  const Plan plan = makePlan({local, removable, recordsFrom({{"bad.txt", "yesterday"}}), {}});
  ASSERT_EQ(plan.files.size(), 1u);
  EXPECT_EQ(plannedPath(plan.files[0], local, removable), "first.txt");
  ASSERT_TRUE(plan.failure);
  EXPECT_EQ(plan.failure->number(), 13);
}

// The local list is judged in two halves at once: wherever the bad record stands, the plan
// holds the files before it in order and nothing after it.
TEST(MakePlanTest, APlanStoppedAtAFileHoldsTheFilesBeforeItWhereverItStands) {
  const std::vector<std::string> names = {"a", "b", "c", "d", "e"};
  for (std::size_t bad = 0; bad < names.size(); ++bad) {
    FileList local;
    for (const auto& name : names) {
      local.add(name, kBase, 1);
    }
    FileList removable;
    removable.add("second-pass.txt", kBase, 1);
    const Plan plan = makePlan({local, removable, recordsFrom({{names[bad], "yesterday"}}), {}});
    ASSERT_TRUE(plan.failure) << bad;
    ASSERT_EQ(plan.files.size(), bad);
    for (std::size_t i = 0; i < bad; ++i) {
      EXPECT_EQ(plannedPath(plan.files[i], local, removable), names[i]);
    }
    EXPECT_EQ(plan.totals.transfers, bad);
  }
}

TEST(MakePlanTest, IgnoredRecordsLeaveOnlyTheExclusions) {
  FileList local;
  local.add("kept.txt", kBase, 1);
  local.add("excluded.txt", kBase, 1);
  FileList removable;
  removable.add("other.txt", kBase, 1);
  const Records records = {
      {"kept.txt", kBaseText}, {"excluded.txt", "1"}, {"other.txt", kBaseText}};
  PlanInput input{local, removable, recordsFrom(records), {}};
  input.recordsIgnored = true;
  const Plan plan = makePlan(input);
  ASSERT_EQ(plan.files.size(), 2u);
  EXPECT_EQ(plan.files[0].fileCase, FileCase::NewLocally);
  EXPECT_EQ(plan.files[1].fileCase, FileCase::NewOnRemovable);
  EXPECT_EQ(plan.totals.localDeletions + plan.totals.removableDeletions, 0u);
}

// n files deleted on one side out of `recorded` with a record there.
struct BrakeRow {
  const char* name;
  std::size_t removableDeletions;
  std::size_t removableRecorded;
  std::size_t localDeletions;
  std::size_t localRecorded;
  std::vector<std::string> questions;
};

class BrakeTest : public ::testing::TestWithParam<BrakeRow> {};

TEST_P(BrakeTest, AsksOnlyWhenMostOfASideGoes) {
  const auto& row = GetParam();
  PlanTotals totals;
  totals.removableDeletions = row.removableDeletions;
  totals.removableRecorded = row.removableRecorded;
  totals.localDeletions = row.localDeletions;
  totals.localRecorded = row.localRecorded;
  EXPECT_EQ(deletionBrakeQuestions(totals), row.questions);
}

const std::string kElevenRemovable =
    "11 個のファイルをリムーバブルから削除します。\r\n削除してよろしいですか？";
const std::string kTwelveLocal =
    "12 個のファイルをローカルから削除します。\r\n削除してよろしいですか？";

INSTANTIATE_TEST_SUITE_P(
    Rows, BrakeTest,
    ::testing::Values(
        BrakeRow{"TenIsNotMany", 10, 10, 0, 0, {}},
        BrakeRow{"ElevenOfTwentyTwoIsHalf", 11, 22, 0, 0, {}},
        BrakeRow{"ElevenOfTwentyOne", 11, 21, 0, 0, {kElevenRemovable}},
        BrakeRow{"LocalSide", 0, 30, 12, 12, {kTwelveLocal}},
        BrakeRow{"BothSidesRemovableFirst", 11, 11, 12, 20, {kElevenRemovable, kTwelveLocal}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MakePlanTest, CountsDeletionsAndRecordedFilesPerSide) {
  FileList local;
  FileList removable;
  Records records;
  for (int n = 0; n < 4; ++n) {
    const std::string both = "both" + std::to_string(n);
    local.add(both, kBase, 1);
    removable.add(both, kBase, 1);
    const std::string gone = "gone" + std::to_string(n);
    removable.add(gone, kBase, 1);
    records[both] = records[gone] = kBaseText;
  }
  local.add("onlyLocal", kBase, 1);
  records["onlyLocal"] = kBaseText;
  const Plan plan = makePlan({local, removable, recordsFrom(records), {}});
  EXPECT_EQ(plan.totals.removableDeletions, 4u);
  EXPECT_EQ(plan.totals.removableRecorded, 8u);
  EXPECT_EQ(plan.totals.localDeletions, 1u);
  EXPECT_EQ(plan.totals.localRecorded, 5u);
  EXPECT_EQ(plan.totals.transfers, 0u);
}

}  // namespace
}  // namespace tandro
