// The run's decisions, made before anything is done: from the two listings, the records and
// the tolerance, every file gets its case. Pure: no file system, no host, so that it can be
// tested from tables and the guards can see the whole plan before the first action.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/DateTime.h"
#include "common/Failure.h"
#include "common/FileSystem.h"
#include "sync/FileList.h"

namespace tandro {

// A sync record as the run compares it: the instant of the file's last transfer (seconds
// since 1970-01-01 UTC), or one of these two.
inline constexpr std::int64_t kNoRecord = INT64_MIN;
inline constexpr std::int64_t kExcludedRecord = INT64_MIN + 1;  // the value "1" (day serial 1)
// A time is newer than the record only beyond this tolerance.
inline constexpr std::int64_t kToleranceSeconds = 2;

// The record a profile's text names: records are written at the profile's fixed offset from
// UTC; a profile without one (an older version's) has them in local time.
std::int64_t recordOf(LocalSeconds written, const std::optional<std::int64_t>& offset);

enum class FileCase : std::uint8_t {
  Unchanged,
  Excluded,
  ChangedLocally,
  ChangedOnRemovable,
  NewLocally,
  NewOnRemovable,
  DeletedOnRemovable,
  DeletedLocally,
  ChangedOnBoth,
  NewOnBoth,
  // The content is in step, and the file's name on one side differs from the other's in
  // letter case only: the name given on that side is carried to the other.
  RenamedLocally,
  RenamedOnRemovable,
};

// The case of a file from its record and what each side holds (nothing: no normal file
// there). A file gone from both sides is unchanged: there is nothing to do.
FileCase classify(std::int64_t record, const std::optional<FileFacts>& local,
                  const std::optional<FileFacts>& removable,
                  std::int64_t tolerance = kToleranceSeconds);

// The pass that meets a file: the first walks the local list, the second the files that
// are only on the removable side.
enum class Pass : std::uint8_t { First, Second };

struct PlannedFile {
  static constexpr std::uint32_t kNotListed = UINT32_MAX;

  Pass pass;
  FileCase fileCase;
  std::uint32_t index;  // in the local list, or the removable one
  // First pass: the removable copy's position; its name may differ in letter case.
  std::uint32_t removableIndex = kNotListed;
  std::int64_t record = kNoRecord;  // as the plan took it
};

struct PlanTotals {
  std::size_t transfers = 0;
  std::uint64_t bytes = 0;  // of the sources; a conflict counts its larger copy
  // Deletions on each side, and the listed files of that side that have a record.
  std::size_t localDeletions = 0;
  std::size_t removableDeletions = 0;
  std::size_t localRecorded = 0;
  std::size_t removableRecorded = 0;
};

struct Plan {
  // In the order of acting; unchanged and excluded files are left out.
  std::vector<PlannedFile> files;
  // Planning stopped at a file it could not judge (a record that is no time); acting
  // raises this after `files`, where the file stands in the passes.
  std::optional<Failure> failure;
  PlanTotals totals;
};

struct PlanInput {
  const FileList& local;
  const FileList& removable;
  // Puts the record text of a relative path into its second argument, emptied for none; may
  // throw a Failure. Both are called from two threads at once.
  std::function<void(const HashedName&, std::string&)> recordOf;
  // The record's key as the profile spells it, empty for none: of the two spellings of a
  // file name, the one that differs from it is the newer. Asked only when the sides differ.
  std::function<std::string(std::string_view)> recordKeySpelling;
  // After a root was made, or a drive taken for new, no record speaks of the trees: only
  // the exclusion mark still counts.
  bool recordsIgnored = false;
  // The profile's fixed offset of the records; nothing for local time.
  std::optional<std::int64_t> recordOffset = std::nullopt;
  std::int64_t tolerance = kToleranceSeconds;
  // Told of a path a few files before its record is asked for, so that the record can be
  // fetched meanwhile; may be empty. Called from two threads at once.
  std::function<void(const HashedName&)> recordSoon = nullptr;
};

Plan makePlan(const PlanInput& input);

class RecordReader;
// The input of a plan whose records `records` reads; it holds `records` by reference.
PlanInput planInputOf(const FileList& local, const FileList& removable,
                      const RecordReader& records);

// The relative path (the local spelling where the file is listed there) and the facts on
// each side that a planned file was judged by.
std::string_view plannedPath(const PlannedFile& file, const FileList& local,
                             const FileList& removable);
// The relative path as the removable side spells it, or plannedPath() where it is not listed.
std::string_view plannedRemovablePath(const PlannedFile& file, const FileList& local,
                                      const FileList& removable);
std::optional<FileFacts> plannedLocalFacts(const PlannedFile& file, const FileList& local);
std::optional<FileFacts> plannedRemovableFacts(const PlannedFile& file, const FileList& removable);

}  // namespace tandro
