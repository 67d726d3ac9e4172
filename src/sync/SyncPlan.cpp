#include "sync/SyncPlan.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <future>

#include "common/Paths.h"
#include "profile/ProfileStore.h"

namespace tandro {

namespace {

bool isNewer(std::int64_t time, std::int64_t record, std::int64_t tolerance) {
  return time > record + tolerance;
}

bool isTransfer(FileCase fileCase) {
  switch (fileCase) {
    case FileCase::ChangedLocally:
    case FileCase::ChangedOnRemovable:
    case FileCase::NewLocally:
    case FileCase::NewOnRemovable:
    case FileCase::ChangedOnBoth:
    case FileCase::NewOnBoth:
      return true;
    default:
      return false;
  }
}

std::string_view nameOf(std::string_view relativePath) {
  return relativePath.substr(relativePath.rfind(kRelativeSeparator) + 1);
}

std::int64_t largerSize(const std::optional<FileFacts>& a, const std::optional<FileFacts>& b) {
  return std::max(a ? a->size : 0, b ? b->size : 0);
}

void addTotals(PlanTotals& totals, const PlanTotals& more) {
  totals.transfers += more.transfers;
  totals.bytes += more.bytes;
  totals.localDeletions += more.localDeletions;
  totals.removableDeletions += more.removableDeletions;
  totals.localRecorded += more.localRecorded;
  totals.removableRecorded += more.removableRecorded;
}

class Planner {
 public:
  explicit Planner(const PlanInput& input)
      : in_(input), metOnRemovable_(input.removable.size(), 0) {}

  // The two halves of the local list are judged at once, on two threads: on a large tree
  // with nothing to do, judging is most of what a run does once both trees are listed.
  Plan make() {
    const auto end = static_cast<std::uint32_t>(in_.local.size());
    const auto middle = end / 2;
    Plan plan;
    Plan secondHalf;
    // Room for every file at once: a plan of a million copies is not copied as it grows.
    plan.files.reserve(in_.local.size() + in_.removable.size());
    secondHalf.files.reserve(end - middle);
    {
      auto judged = std::async(std::launch::async, [&] {
        judging(secondHalf, [&] { planLocalFiles(secondHalf, middle, end); });
      });
      judging(plan, [&] { planLocalFiles(plan, 0, middle); });
      judged.get();
    }
    if (plan.failure) {
      return plan;
    }
    plan.files.insert(plan.files.end(), secondHalf.files.begin(), secondHalf.files.end());
    addTotals(plan.totals, secondHalf.totals);
    plan.failure = secondHalf.failure;
    if (!plan.failure) {
      judging(plan, [&] { planRemovableOnlyFiles(plan); });
    }
    return plan;
  }

 private:
  // Planning stops at a file it cannot judge.
  template <typename Judge>
  static void judging(Plan& plan, const Judge& judge) {
    try {
      judge();
    } catch (const Failure& failure) {
      plan.failure = failure;
    }
  }

  // The first pass, over the local files from `begin` to `end`. A path is hashed once, a
  // few files before it is judged, when what its lookups need is asked for.
  void planLocalFiles(Plan& plan, std::uint32_t begin, std::uint32_t end) {
    std::array<std::uint32_t, kLookAhead> hashesAhead{};
    const auto lookAhead = [&](std::uint32_t at) {
      if (at < end) {
        const HashedName path(in_.local.path(at));
        hashesAhead[at % kLookAhead] = path.hash;
        fetchLookupsOf(path);
      }
    };
    for (std::uint32_t i = begin; i < begin + kLookAhead; ++i) {
      lookAhead(i);
    }
    RecordTexts records;
    for (std::uint32_t i = begin; i < end; ++i) {
      const HashedName path(in_.local.path(i), hashesAhead[i % kLookAhead]);
      lookAhead(i + kLookAhead);
      PlannedFile file{Pass::First, FileCase::Unchanged, i, removableCopyOf(path)};
      if (file.removableIndex != PlannedFile::kNotListed) {
        metOnRemovable_[file.removableIndex] = 1;
      }
      file.record = recordOf(path, records);
      const std::optional<FileFacts> local = in_.local.facts(i);
      add(plan, file, local, plannedRemovableFacts(file, in_.removable));
    }
  }

  // The second pass. A file of the removable tree present locally in any letter case was met
  // by the first: each listing holds a name in one letter case only, so it met exactly that
  // file.
  void planRemovableOnlyFiles(Plan& plan) {
    RecordTexts records;
    for (std::uint32_t i = 0; i < in_.removable.size(); ++i) {
      if (metOnRemovable_[i]) {
        continue;
      }
      PlannedFile file{Pass::Second, FileCase::Unchanged, i};
      file.record = recordOf(HashedName(in_.removable.path(i)), records);
      add(plan, file, std::nullopt, in_.removable.facts(i));
    }
  }

  // A large tree's indexes do not fit the processor's caches: what a file a few places on
  // needs is fetched while the files before it are judged.
  static constexpr std::uint32_t kLookAhead = 8;
  void fetchLookupsOf(const HashedName& path) const {
    in_.removable.prefetchIgnoringCase(path);
    if (in_.recordSoon) {
      in_.recordSoon(path);
    }
  }

  // Names are looked up as a drive that ignores letter case sees them, on every drive.
  std::uint32_t removableCopyOf(const HashedName& path) const {
    return in_.removable.findIgnoringCase(path).value_or(PlannedFile::kNotListed);
  }

  // Of two spellings of a file name, the one the record's key does not have is the newer;
  // where the key has neither (or there is none), the local one.
  FileCase renamedCase(std::string_view localPath) const {
    const bool removableIsNewer =
        in_.recordKeySpelling && nameOf(in_.recordKeySpelling(localPath)) == nameOf(localPath);
    return removableIsNewer ? FileCase::RenamedOnRemovable : FileCase::RenamedLocally;
  }

  // Only the file's own name counts: a folder's letter case is left as each side has it.
  bool namesDiffer(const PlannedFile& file) const {
    if (file.pass != Pass::First || file.removableIndex == PlannedFile::kNotListed) {
      return false;
    }
    const auto local = in_.local.path(file.index);
    const auto removable = in_.removable.path(file.removableIndex);
    return local != removable && nameOf(local) != nameOf(removable);
  }

  // A pass's room for record texts, with the last one it read: files judged one after
  // another were mostly copied in the same second, and their records read alike.
  struct RecordTexts {
    std::string text;
    std::string last;
    std::int64_t lastRecord = kNoRecord;
  };

  std::int64_t recordOf(const HashedName& path, RecordTexts& texts) const {
    in_.recordOf(path, texts.text);
    if (texts.text.empty()) {
      return kNoRecord;
    }
    if (texts.text != texts.last) {
      const auto written = parseDateTime(texts.text);
      if (!written) {
        throw Failure::ofNumber(failure_number::kTypeMismatch);
      }
      texts.lastRecord = tandro::recordOf(*written, in_.recordOffset);
      texts.last = texts.text;
    }
    const std::int64_t record = texts.lastRecord;
    return in_.recordsIgnored && record != kExcludedRecord ? kNoRecord : record;
  }

  void add(Plan& plan, PlannedFile file, const std::optional<FileFacts>& local,
           const std::optional<FileFacts>& removable) const {
    PlanTotals& totals = plan.totals;
    if (file.record != kNoRecord && file.record != kExcludedRecord) {
      totals.localRecorded += local ? 1 : 0;
      totals.removableRecorded += removable ? 1 : 0;
    }
    file.fileCase = classify(file.record, local, removable, in_.tolerance);
    if (file.fileCase == FileCase::Unchanged && namesDiffer(file)) {
      file.fileCase = renamedCase(in_.local.path(file.index));
    }
    if (file.fileCase == FileCase::Unchanged || file.fileCase == FileCase::Excluded) {
      return;
    }
    if (isTransfer(file.fileCase)) {
      ++totals.transfers;
      totals.bytes += static_cast<std::uint64_t>(largerSize(local, removable));
    }
    totals.localDeletions += file.fileCase == FileCase::DeletedOnRemovable ? 1 : 0;
    totals.removableDeletions += file.fileCase == FileCase::DeletedLocally ? 1 : 0;
    plan.files.push_back(file);
  }

  const PlanInput& in_;
  // Written by both halves of the first pass, each at the files it met: bytes, not bits, so
  // that the two never write the same word.
  std::vector<std::uint8_t> metOnRemovable_;
};

}  // namespace

PlanInput planInputOf(const FileList& local, const FileList& removable,
                      const RecordReader& records) {
  PlanInput input{local, removable,
                  [&](const HashedName& path, std::string& record) { records.read(path, record); },
                  [&](std::string_view path) { return records.keySpelling(path); }};
  input.recordSoon = [&](const HashedName& path) { records.prefetch(path); };
  return input;
}

std::int64_t recordOf(LocalSeconds written, const std::optional<std::int64_t>& offset) {
  if (written == 0) {
    return kNoRecord;
  }
  if (written == kSecondsPerDay) {
    return kExcludedRecord;
  }
  return offset ? unixAtOffset(written, *offset) : unixFromLocalSeconds(written);
}

FileCase classify(std::int64_t record, const std::optional<FileFacts>& local,
                  const std::optional<FileFacts>& removable, std::int64_t tolerance) {
  if (record == kExcludedRecord) {
    return FileCase::Excluded;
  }
  if (!local && !removable) {
    return FileCase::Unchanged;
  }
  if (record == kNoRecord) {
    if (!local) {
      return FileCase::NewOnRemovable;
    }
    return removable ? FileCase::NewOnBoth : FileCase::NewLocally;
  }
  if (!removable) {
    return FileCase::DeletedOnRemovable;
  }
  const bool removableNewer = isNewer(removable->modified, record, tolerance);
  if (!local) {
    // An edit on the removable side outweighs the local deletion: keep the edit.
    return removableNewer ? FileCase::ChangedOnRemovable : FileCase::DeletedLocally;
  }
  const bool localNewer = isNewer(local->modified, record, tolerance);
  if (localNewer && removableNewer) {
    return FileCase::ChangedOnBoth;
  }
  if (localNewer) {
    return FileCase::ChangedLocally;
  }
  if (removableNewer) {
    return FileCase::ChangedOnRemovable;
  }
  // Neither is newer, yet the copies differ: one was replaced by an older file (a backup
  // restored). Only the user can tell which is right.
  const bool apart =
      local->size != removable->size && std::abs(local->modified - removable->modified) > tolerance;
  return apart ? FileCase::ChangedOnBoth : FileCase::Unchanged;
}

Plan makePlan(const PlanInput& input) {
  return Planner(input).make();
}

std::string_view plannedPath(const PlannedFile& file, const FileList& local,
                             const FileList& removable) {
  return file.pass == Pass::First ? local.path(file.index) : removable.path(file.index);
}

std::string_view plannedRemovablePath(const PlannedFile& file, const FileList& local,
                                      const FileList& removable) {
  if (file.pass == Pass::First && file.removableIndex != PlannedFile::kNotListed) {
    return removable.path(file.removableIndex);
  }
  return plannedPath(file, local, removable);
}

std::optional<FileFacts> plannedLocalFacts(const PlannedFile& file, const FileList& local) {
  if (file.pass == Pass::Second) {
    return std::nullopt;
  }
  return local.facts(file.index);
}

std::optional<FileFacts> plannedRemovableFacts(const PlannedFile& file, const FileList& removable) {
  const auto index = file.pass == Pass::Second ? file.index : file.removableIndex;
  if (index == PlannedFile::kNotListed) {
    return std::nullopt;
  }
  return removable.facts(index);
}

}  // namespace tandro
