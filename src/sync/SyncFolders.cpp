#include "sync/SyncFolders.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <exception>
#include <functional>
#include <future>
#include <optional>
#include <set>
#include <thread>
#include <utility>

#include "common/DateTime.h"
#include "common/Failure.h"
#include "common/Paths.h"
#include "common/ReportError.h"
#include "common/TextSet.h"
#include "sync/CopyAhead.h"
#include "sync/GetFileList.h"
#include "sync/RootMarker.h"
#include "sync/RunGuards.h"
#include "sync/SyncPlan.h"
#include "sync/SyncTexts.h"
#include "sync/Transfer.h"

namespace tandro {

namespace {

namespace text = sync_text;

// A copy this large is preceded by a rewrite of the records still due.
constexpr std::int64_t kLongCopyBytes = 64 << 20;
// How long the records of finished copies wait, at most, before a sync makes them good.
constexpr auto kSyncInterval = std::chrono::seconds(1);
// How often the host hears from a run that waits.
constexpr auto kHostBeat = std::chrono::milliseconds(40);
// How far copying runs ahead of the run, at most.
constexpr std::size_t kAheadFiles = 32;
constexpr std::int64_t kAheadBytes = 16 << 20;

// A file as the run acts on it: its case, the facts of both sides that gave it, and its
// relative path as each side's listing spells it (the two differ in letter case at most).
struct Situation {
  FileCase fileCase;
  std::int64_t record;
  std::optional<FileFacts> local;
  std::optional<FileFacts> removable;
  std::string localPath;
  std::string removablePath;

  const std::string& pathOn(bool removableSide) const {
    return removableSide ? removablePath : localPath;
  }
  const std::optional<FileFacts>& factsOn(bool removableSide) const {
    return removableSide ? removable : local;
  }
};

// The record of a finished copy, or of a rename, until the sync after it is done.
struct PendingRecord {
  std::string path;
  std::int64_t instant;
  bool respelt;  // the sides spelt the file differently
};

// The side a planned transfer copies to, or nothing for any other case.
std::optional<bool> transferTowardsRemovable(FileCase fileCase) {
  switch (fileCase) {
    case FileCase::NewLocally:
    case FileCase::ChangedLocally:
      return true;
    case FileCase::NewOnRemovable:
    case FileCase::ChangedOnRemovable:
      return false;
    default:
      return std::nullopt;
  }
}

std::string_view folderOf(std::string_view relativePath) {
  const auto separator = relativePath.rfind(kRelativeSeparator);
  return relativePath.substr(0, separator == std::string_view::npos ? 0 : separator + 1);
}

bool isRename(FileCase fileCase) {
  return fileCase == FileCase::RenamedLocally || fileCase == FileCase::RenamedOnRemovable;
}

// Keeps the run's profile name for as long as it lives.
class ProfileNameHold {
 public:
  explicit ProfileNameHold(ProfileStore& profile) : profile_(profile) {
    profile_.holdProfileName(true);
  }
  ~ProfileNameHold() { profile_.holdProfileName(false); }
  ProfileNameHold(const ProfileNameHold&) = delete;
  ProfileNameHold& operator=(const ProfileNameHold&) = delete;

 private:
  ProfileStore& profile_;
};

// Thrown inside the run to end it early.
struct RunEnded {
  SyncOutcome outcome;
};

class Run {
 public:
  explicit Run(const SyncContext& context) : context_(context) {}

  SyncOutcome execute() {
    // The inputs are locked during a run, so the name cannot change; holding it spares asking
    // the host at every record and keeps the listing thread away from the host.
    const ProfileNameHold hold(context_.profile);
    return outcomeOfSteps();
  }

 private:
  SyncOutcome outcomeOfSteps() {
    try {
      try {
        const auto lock = lockProfile();
        runSteps();
        return SyncOutcome::Completed;
      } catch (const std::exception& failure) {
        // A failure of no step's own (memory, a thread that cannot start) ends the run the
        // same way.
        report(asFailure(failure));
      }
    } catch (const RunEnded& ended) {
      return ended.outcome;
    }
  }

  void runSteps() {
    context_.host.clearLog();
    checkRootIdentity();
    auto [localList, removableList] = listTrees();
    removeLeftovers();
    const Plan plan = planRun(localList, removableList);
    localList.releaseIndex();
    removableList.releaseIndex();
    askBeforeMassDeletion(plan.totals);
    if (!context_.host.previewEnabled()) {
      reportingFailures([&] { fixRecordOffset(); });
    }
    context_.host.planned(plan.totals.transfers, plan.totals.bytes);
    act(plan, localList, removableList);
    if (!context_.host.previewEnabled()) {
      reportingFailures([&] { recordRootIdentity(); });
    }
    flushAll();
    context_.host.prependToLog(text::completionLine(formatDateTime(now())));
  }

  // A record reaches the profile only once the copy it speaks of is on the device, so that a
  // drive pulled without eject never keeps a record of a copy it lost. The file systems
  // written to are synced on a second thread about once a second while copying goes on; the
  // records of the copies made before a sync began follow it into the profile.
  void recordWhenDurable(std::string path, std::int64_t instant, bool respelt) {
    if (syncFailure_) {
      return;  // after a failed sync a later success proves nothing: no record of this run
    }
    if (awaitingSync_.empty()) {
      oldestAwaiting_ = std::chrono::steady_clock::now();
    }
    awaitingSync_.push_back({std::move(path), instant, respelt});
    if (syncing_.valid() &&
        syncing_.wait_for(std::chrono::seconds(0)) == std::future_status::ready) {
      finishSync();
    }
    if (!syncing_.valid() && std::chrono::steady_clock::now() - oldestAwaiting_ >= kSyncInterval) {
      startSync();
    }
  }

  void startSync() {
    inSync_ = std::exchange(awaitingSync_, {});
    std::vector<std::string> roots;
    for (const std::string* root : written_) {
      roots.push_back(*root);
    }
    written_.clear();
    syncing_ = std::async(std::launch::async, [this, roots = std::move(roots)] {
      for (const auto& root : roots) {
        context_.fileSystem.syncFileSystemOf(root);
      }
    });
  }

  // Waits for the sync under way; its records go to the profile, or stay back for good when
  // it failed. The failure, if any.
  std::optional<Failure> settleSync() {
    // The host stays drawn while the device catches up, which may take long after a large copy.
    waitDrawn(syncing_, [&] { context_.host.progress(done_, total_); });
    try {
      syncing_.get();
    } catch (const Failure& failure) {
      syncFailure_ = failure;
      inSync_.clear();
      awaitingSync_.clear();
      return failure;
    }
    for (const auto& record : std::exchange(inSync_, {})) {
      putRecord(record);
    }
    return std::nullopt;
  }

  // Waits for work on another thread, keeping the host drawn with `beat` meanwhile.
  static void waitDrawn(std::future<void>& running, const std::function<void()>& beat) {
    while (running.wait_for(kHostBeat) != std::future_status::ready) {
      beat();
    }
  }

  // Work that may wait long for the device goes on a second thread: a write the system holds
  // back until the device catches up never freezes a window. What it throws comes here.
  template <typename Work>
  void keepingHostDrawn(Work&& work, const std::function<void()>& beat) {
    auto running = std::async(std::launch::async, std::forward<Work>(work));
    waitDrawn(running, beat);
    running.get();
  }

  void finishSync() {
    if (const auto failure = settleSync()) {
      report(*failure);
    }
    attempt([&] { context_.profile.flushIfDue(); });
  }

  // Every record of what is done so far reaches the profile now: before a question, a long
  // copy and the end of the run. The failure of a sync, if any.
  std::optional<Failure> settleAllRecords() {
    if (syncing_.valid()) {
      if (auto failure = settleSync()) {
        return failure;
      }
    }
    if (!awaitingSync_.empty()) {
      startSync();
      return settleSync();
    }
    return std::nullopt;
  }

  void flushAll() {
    if (const auto failure = settleAllRecords()) {
      report(*failure);
    }
    attempt([&] { context_.profile.flush(); });
  }

  // The record under the name both sides now give it: after a respelling, a key spelt
  // otherwise (keys ignore letter case) is replaced.
  void putRecord(const PendingRecord& record) {
    fixRecordOffset();
    if (record.respelt && context_.profile.recordKeySpelling(record.path) != record.path) {
      context_.profile.removeDeferred(kRecordSection, record.path);
    }
    context_.profile.writeDeferred(kRecordSection, record.path,
                                   formatDateTime(wallAtOffset(record.instant, *recordOffset_)));
  }

  // One run per profile: a second one touches nothing.
  std::unique_ptr<FileLock> lockProfile() {
    std::unique_ptr<FileLock> lock;
    reportingFailures([&] { lock = context_.profile.tryLock(); });
    if (!lock) {
      context_.host.showMessage(text::kProfileInUse, MessageIcon::Exclamation);
      throw RunEnded{SyncOutcome::Refused};
    }
    return lock;
  }

  // A profile that has synchronised before knows its drive: a missing root is not made
  // anew, and a removable root without the profile's identifier is put to the user. Taken
  // for new, it is synchronised as a root the run has just made.
  void checkRootIdentity() {
    reportingFailures(
        [&] { profileId_ = context_.profile.ReadIni(kPathSection, kProfileIdKey, ""); });
    if (profileId_.empty()) {
      return;
    }
    refuseIfMissing(context_.localRoot);
    refuseIfMissing(context_.removableRoot);
    std::vector<std::string> ids;
    reportingFailures([&] { ids = readMarker(context_.fileSystem, context_.removableRoot); });
    if (std::find(ids.begin(), ids.end(), profileId_) != ids.end()) {
      return;
    }
    if (!context_.host.confirmWarning(text::otherDriveQuestion(context_.removableRoot))) {
      throw RunEnded{SyncOutcome::Cancelled};
    }
    recordsIgnored_ = true;
  }

  void refuseIfMissing(const std::string& root) {
    bool exists = false;
    reportingFailures([&] { exists = context_.fileSystem.stamp(root).has_value(); });
    if (!exists) {
      context_.host.showMessage(text::missingRootMessage(root), MessageIcon::Exclamation);
      throw RunEnded{SyncOutcome::Refused};
    }
  }

  // A complete acting run leaves its identifier in the removable root and in the profile,
  // in this order: a profile never names a drive that does not carry its identifier.
  void recordRootIdentity() {
    const bool isNew = profileId_.empty();
    if (isNew) {
      profileId_ = newProfileId();
    }
    // The marker is flushed, which waits for whatever the last copies left unwritten.
    keepingHostDrawn([&] { addToMarker(context_.fileSystem, context_.removableRoot, profileId_); },
                     [&] { context_.host.progress(done_, total_); });
    if (isNew) {
      context_.profile.writeDeferred(kPathSection, kProfileIdKey, profileId_);
    }
  }

  // A listing made ahead on another thread: its list, or the failure it ended with.
  struct Prefetched {
    FileList list;
    std::vector<std::string> leftovers;
    std::exception_ptr failure;
  };

  // Both trees are listed at once, the removable one on a second thread; failures are then
  // handled in the usual order, local first. Only this thread talks to the host.
  std::pair<FileList, FileList> listTrees() {
    Prefetched removable;
    std::atomic<std::size_t> removableFound = 0;
    FileList local;
    {
      const std::jthread worker([&] {
        try {
          GetFileList(
              removable.list, context_.removableRoot, "", context_.fileSystem, context_.profile,
              [&](std::size_t found) { removableFound = found; }, &removable.leftovers);
        } catch (...) {
          removable.failure = std::current_exception();
        }
      });
      local = listTree(context_.localRoot, nullptr, [&](std::size_t found) {
        context_.host.progress(found + removableFound, 0);
      });
    }
    return {std::move(local), listTree(context_.removableRoot, &removable, {})};
  }

  FileList listTree(const std::string& root, Prefetched* prefetched,
                    const ListingProgress& progress) {
    targetPath_ = root;
    targetRoot_ = nullptr;
    FileList list;
    const auto listing = [&] {
      if (Prefetched* first = std::exchange(prefetched, nullptr)) {
        if (first->failure) {
          std::rethrow_exception(first->failure);
        }
        list = std::move(first->list);
        leftovers_.insert(leftovers_.end(), first->leftovers.begin(), first->leftovers.end());
        return;
      }
      list = FileList();
      GetFileList(list, root, "", context_.fileSystem, context_.profile, progress, &leftovers_);
    };
    if (profileId_.empty()) {
      attempt(listing, [&] { recordsIgnored_ = true; });
    } else {
      // A root that went away since it was checked is not made anew either.
      reportingFailures([&] {
        try {
          listing();
        } catch (const Failure&) {
          refuseIfMissing(root);
          throw;
        }
      });
    }
    attempt([&] { listedIdentity(root) = rootIdentity(root); });
    return list;
  }

  // What killed transfers left: an acting run clears it away, a preview changes nothing.
  void removeLeftovers() {
    if (!context_.host.previewEnabled()) {
      for (const auto& leftover : leftovers_) {
        removeTemporaryQuietly(context_.fileSystem, leftover);
      }
    }
  }

  Plan planRun(const FileList& localList, const FileList& removableList) {
    reportingFailures([&] {
      recordOffset_ = parseUtcOffset(context_.profile.ReadIni(kPathSection, kRecordOffsetKey, ""));
    });
    Plan plan;
    context_.profile.readRecords([&](const RecordReader& records) {
      PlanInput input = planInputOf(localList, removableList, records);
      input.recordsIgnored = recordsIgnored_;
      input.recordOffset = recordOffset_;
      plan = makePlan(input);
    });
    return plan;
  }

  // Records are instants: written at one fixed offset from UTC that the profile keeps, so
  // that summer time and travel never shift them. A profile of an older version, whose
  // records are local time, gets the current offset, and each record that would name
  // another instant under it is written anew, in the same rewrite.
  void fixRecordOffset() {
    if (recordOffset_) {
      return;
    }
    const std::int64_t offset = utcOffsetAt(context_.clock.now());
    for (const auto& [key, value] : context_.profile.entries(kRecordSection)) {
      const auto written = parseDateTime(value);
      if (!written) {
        continue;  // a record that is no time is reported when its file comes
      }
      const std::int64_t record = recordOf(*written, std::nullopt);
      if (record != kNoRecord && record != kExcludedRecord &&
          recordOf(*written, offset) != record) {
        context_.profile.writeDeferred(kRecordSection, key,
                                       formatDateTime(wallAtOffset(record, offset)));
      }
    }
    context_.profile.writeDeferred(kPathSection, kRecordOffsetKey, formatUtcOffset(offset));
    recordOffset_ = offset;
  }

  void askBeforeMassDeletion(const PlanTotals& totals) {
    if (context_.host.previewEnabled()) {
      return;
    }
    for (const auto& question : deletionBrakeQuestions(totals)) {
      if (!context_.host.confirmWarning(question)) {
        throw RunEnded{SyncOutcome::Cancelled};
      }
    }
  }

  void act(const Plan& plan, const FileList& localList, const FileList& removableList) {
    total_ = plan.files.size();
    if (!context_.host.previewEnabled()) {
      ahead_.emplace(context_.fileSystem);
    }
    for (std::size_t i = 0; i < plan.files.size(); ++i) {
      const PlannedFile& file = plan.files[i];
      if (ahead_) {
        offerCopiesAhead(plan, i + 1, localList, removableList);
      }
      carryOut({file.fileCase, file.record, plannedLocalFacts(file, localList),
                plannedRemovableFacts(file, removableList),
                std::string(plannedPath(file, localList, removableList)),
                std::string(plannedRemovablePath(file, localList, removableList))});
      reportProgress();
    }
    ahead_.reset();
    if (plan.failure) {
      report(*plan.failure);
    }
  }

  // The copies of the files after `from` start on a second thread, a few at a time, when
  // they go into a folder this run has copied into already, or replace a file listed there:
  // the folder exists then, and both folders are checked for links before the offer. The run
  // stops offering at the first new file whose folder it has not met yet.
  void offerCopiesAhead(const Plan& plan, std::size_t from, const FileList& localList,
                        const FileList& removableList) {
    nextOffer_ = std::max(nextOffer_, from);
    for (; nextOffer_ < plan.files.size() && ahead_->files() < kAheadFiles &&
           ahead_->bytes() < kAheadBytes;
         ++nextOffer_) {
      const PlannedFile& file = plan.files[nextOffer_];
      const auto towardsRemovable = transferTowardsRemovable(file.fileCase);
      const std::string_view path = plannedPath(file, localList, removableList);
      if (!towardsRemovable || path != plannedRemovablePath(file, localList, removableList)) {
        continue;
      }
      const auto local = plannedLocalFacts(file, localList);
      const auto removable = plannedRemovableFacts(file, removableList);
      const auto& source = *towardsRemovable ? local : removable;
      const auto& destination = *towardsRemovable ? removable : local;
      if (!source || source->size >= kLongCopyBytes) {
        continue;
      }
      const bool folderMet = copiedFolders_.contains(folderKey(*towardsRemovable, path));
      if (!folderMet && !destination) {
        return;
      }
      const CopyEnds ends = copyEnds(*towardsRemovable, std::string(path));
      if (!folderMet && (!linkFree(*ends.sourceRoot, ends.source) ||
                         !linkFree(*ends.destinationRoot, ends.destination))) {
        continue;  // the run meets the link again when it comes to the file, and says so
      }
      ahead_->offer(ends.source, ends.destination, source->size);
    }
  }

  // Where a copy of the file at `relative` reads and writes, each with its root.
  struct CopyEnds {
    const std::string* sourceRoot;
    const std::string* destinationRoot;
    std::string source;
    std::string destination;
  };
  CopyEnds copyEnds(bool towardsRemovable, const std::string& relative) const {
    const std::string& sourceRoot = towardsRemovable ? context_.localRoot : context_.removableRoot;
    const std::string& destinationRoot =
        towardsRemovable ? context_.removableRoot : context_.localRoot;
    return {&sourceRoot, &destinationRoot, fullPath(sourceRoot, relative),
            fullPath(destinationRoot, relative)};
  }

  // True when no folder below `root` on the way to `file` is a link; one that cannot be
  // looked at counts as one.
  bool linkFree(const std::string& root, const std::string& file) {
    try {
      refuseLinkedFolders(root, file);
      return true;
    } catch (const Failure&) {
      return false;
    }
  }

  static std::string folderKey(bool towardsRemovable, std::string_view path) {
    std::string key(1, towardsRemovable ? '>' : '<');
    return key.append(folderOf(path));
  }

  // Reads both sides of the file again when the run is about to act on it. When either
  // differs from what `situation` was judged by, it is judged again by what is there now:
  // nothing is overwritten or deleted on the strength of a stale listing. True then.
  bool judgedAgain(Situation& situation) {
    std::optional<FileFacts> local;
    std::optional<FileFacts> removable;
    reportingFailures([&] {
      local = factsNow(false, situation);
      removable = factsNow(true, situation);
    });
    if (local == situation.local && removable == situation.removable) {
      return false;
    }
    FileCase again = classify(situation.record, local, removable);
    if (again == FileCase::Unchanged && isRename(situation.fileCase)) {
      again = situation.fileCase;  // the names still differ
    }
    situation.fileCase = again;
    situation.local = local;
    situation.removable = removable;
    return true;
  }

  // True for a copy of a file new on one side whose source is still as listed. Its
  // destination, missing when listed, is looked for when the copy is ready to take its
  // place: a look before the copy as well would tell nothing more.
  bool newFileWithSourceAsListed(const Situation& situation) {
    const auto towardsRemovable = transferTowardsRemovable(situation.fileCase);
    if (!towardsRemovable || situation.factsOn(*towardsRemovable)) {
      return false;
    }
    std::optional<FileFacts> source;
    reportingFailures([&] { source = factsNow(!*towardsRemovable, situation); });
    return source == situation.factsOn(!*towardsRemovable);
  }

  // The facts of the file on one side as they are now.
  std::optional<FileFacts> factsNow(bool removableSide, const Situation& situation) {
    return context_.fileSystem.normalFile(
        fullPath(removableSide ? context_.removableRoot : context_.localRoot,
                 situation.pathOn(removableSide)));
  }

  void carryOut(Situation situation) {
    const FileCase planned = situation.fileCase;
    if (!context_.host.previewEnabled() && !newFileWithSourceAsListed(situation)) {
      judgedAgain(situation);
    }
    if (ahead_ && situation.fileCase != planned) {
      forgetCopyAhead(planned, situation);
    }
    actOn(situation);
  }

  // A copy offered ahead for the file as planned is not what the run does with it now.
  void forgetCopyAhead(FileCase planned, const Situation& situation) {
    const auto towardsRemovable = transferTowardsRemovable(planned);
    if (!towardsRemovable || situation.localPath != situation.removablePath) {
      return;  // none was offered
    }
    const CopyEnds ends = copyEnds(*towardsRemovable, situation.localPath);
    ahead_->forget(ends.source, ends.destination);
  }

  // Carries out what `situation` was judged to need, as it stands.
  void actOn(const Situation& situation) {
    switch (situation.fileCase) {
      case FileCase::Unchanged:
      case FileCase::Excluded:
        return;
      case FileCase::ChangedLocally:
        return logAndTransfer(text::kToRemovableUpdate, true, situation);
      case FileCase::ChangedOnRemovable:
        return logAndTransfer(text::kToLocalUpdate, false, situation);
      case FileCase::NewLocally:
        return logAndTransfer(text::kToRemovableCopy, true, situation);
      case FileCase::NewOnRemovable:
        return logAndTransfer(text::kToLocalCopy, false, situation);
      case FileCase::DeletedOnRemovable:
        return deleteLocalAfterAsking(situation);
      case FileCase::DeletedLocally:
        return deleteRemovable(situation.removablePath);
      case FileCase::ChangedOnBoth:
      case FileCase::NewOnBoth:
        return resolveConflict(situation);
      case FileCase::RenamedLocally:
        return logAndRename(text::kToRemovableRename, true, situation);
      case FileCase::RenamedOnRemovable:
        return logAndRename(text::kToLocalRename, false, situation);
    }
  }

  void logAndTransfer(const char* label, bool towardsRemovable, const Situation& situation) {
    context_.host.addLog(situation.pathOn(!towardsRemovable) + label);
    if (!context_.host.previewEnabled() && !transfer(towardsRemovable, situation)) {
      skipAndJudgeAgain(situation);
    }
  }

  // What the copy was to replace changed while it was made: the copy is gone, the line of
  // the transfer is marked skipped, and the file is judged by what is there now.
  void skipAndJudgeAgain(Situation situation) {
    context_.host.prependToLog(text::kSkipMark);
    judgedAgain(situation);
    actOn(situation);
  }

  // The name is carried, the content stays: no copy.
  void logAndRename(const char* label, bool towardsRemovable, const Situation& situation) {
    const std::string& path = situation.pathOn(!towardsRemovable);
    context_.host.addLog(path + label);
    if (!context_.host.previewEnabled()) {
      const std::string& root = towardsRemovable ? context_.removableRoot : context_.localRoot;
      const std::string renamed = fullPath(root, respelt(towardsRemovable, situation));
      // Some drives date a renamed file anew: the record keeps it in step.
      std::optional<FileFacts> facts;
      reportingFailures([&] { facts = context_.fileSystem.normalFile(renamed); });
      recordWhenDurable(
          path, std::max(situation.record, facts ? facts->modified : situation.record), true);
    }
  }

  void deleteLocalAfterAsking(Situation situation) {
    const std::string& path = situation.localPath;
    attempt([&] { requireListedRoot(context_.removableRoot); });
    context_.host.addLog(path + text::kDeleteLocal);
    if (context_.host.previewEnabled()) {
      return;
    }
    switch (ask(text::deleteQuestion(path))) {
      case Answer::Yes:
        // What changed while the question was open counts, not the answer to the old state.
        if (judgedAgain(situation)) {
          context_.host.prependToLog(text::kSkipMark);
          return actOn(situation);
        }
        return removeFileAndRecord(context_.localRoot, path);
      case Answer::No:
        return context_.host.prependToLog(text::kSkipMark);
      case Answer::Cancel:
        throw RunEnded{SyncOutcome::Cancelled};
    }
  }

  void deleteRemovable(const std::string& path) {
    attempt([&] { requireListedRoot(context_.localRoot); });
    context_.host.addLog(path + text::kDeleteRemovable);
    if (!context_.host.previewEnabled()) {
      removeFileAndRecord(context_.removableRoot, path);
    }
  }

  void resolveConflict(Situation situation) {
    const bool createdOnBoth = situation.fileCase == FileCase::NewOnBoth;
    const std::string& path = situation.localPath;
    if (context_.host.previewEnabled()) {
      context_.host.addLog(path + (createdOnBoth ? text::kNewOnBoth : text::kChangedOnBoth));
      return;
    }
    const auto question = text::conflictQuestion(createdOnBoth, path, timeText(situation.local),
                                                 timeText(situation.removable));
    const Answer answer = ask(question);
    if (answer == Answer::Cancel) {
      throw RunEnded{SyncOutcome::Cancelled};
    }
    // The answer chose between the copies the question showed.
    if (judgedAgain(situation)) {
      return actOn(situation);
    }
    const bool towardsRemovable = answer == Answer::Yes;
    context_.host.addLog(situation.pathOn(!towardsRemovable) +
                         (towardsRemovable ? text::kToRemovableUpdate : text::kToLocalUpdate));
    if (!transfer(towardsRemovable, situation)) {
      skipAndJudgeAgain(situation);
    }
  }

  static std::string timeText(const std::optional<FileFacts>& facts) {
    return formatDateTime(facts ? localSecondsFromUnix(facts->modified) : 0);
  }

  // The copy takes the source's file name: a destination spelt otherwise is renamed first.
  // False when the destination changed while the copy was made: nothing was replaced then.
  [[nodiscard]] bool transfer(bool towardsRemovable, const Situation& situation) {
    const std::string& sourceRoot = towardsRemovable ? context_.localRoot : context_.removableRoot;
    const std::string& destinationRoot =
        towardsRemovable ? context_.removableRoot : context_.localRoot;
    const std::string& path = situation.pathOn(!towardsRemovable);
    auto destination = situation.factsOn(towardsRemovable);
    const std::string destinationPath = destination ? respelt(towardsRemovable, situation) : path;
    targetPath_ = fullPath(destinationRoot, destinationPath);
    targetRoot_ = &destinationRoot;
    if (destinationPath != situation.pathOn(towardsRemovable)) {
      // Some drives date a renamed file anew.
      reportingFailures([&] { destination = context_.fileSystem.normalFile(targetPath_); });
    }
    const auto& source = situation.factsOn(!towardsRemovable);
    const bool longCopy = source && source->size >= kLongCopyBytes;
    if (longCopy) {
      // Records of what is done already are not kept waiting through a long copy.
      flushAll();
    }
    written_.insert(&destinationRoot);
    bool placed = false;
    attempt([&] {
      const std::string sourcePath = fullPath(sourceRoot, path);
      refuseLinkedFolders(sourceRoot, sourcePath);
      refuseLinkedFolders(destinationRoot, targetPath_);
      auto prepared = ahead_ ? ahead_->take(sourcePath, targetPath_) : std::nullopt;
      const auto copy = [&](const CopyProgress& progress) {
        placed = Crypt(sourcePath, targetPath_, context_.fileSystem, progress, std::move(prepared),
                       Replacing{destination});
      };
      if (!longCopy) {
        copy([&](std::int64_t copied) { context_.host.copied(bytesCopied_ + copied); });
        return;
      }
      std::atomic<std::int64_t> copied = 0;
      const auto tellHost = [&] { context_.host.copied(bytesCopied_ + copied); };
      keepingHostDrawn([&] { copy([&](std::int64_t bytes) { copied = bytes; }); }, tellHost);
      tellHost();  // the last piece, which came after the last beat
    });
    if (!placed) {
      return false;
    }
    copiedFolders_.insert(folderKey(towardsRemovable, path));
    bytesCopied_ += static_cast<std::uint64_t>(source ? source->size : 0);
    // A file dated in the future is newer than "now" for as long as it is in the future:
    // its record is its own time, so that it is in step afterwards.
    recordWhenDurable(path, std::max(context_.clock.now(), source ? source->modified : 0),
                      path != situation.pathOn(towardsRemovable));
    return true;
  }

  // Gives the file on one side the other side's file name where the two differ in letter
  // case, in its own folder; its relative path then. A folder's letter case stays as each
  // side has it: a rename of a folder moves all below it, and lookups ignore case anyway.
  std::string respelt(bool onRemovable, const Situation& situation) {
    const std::string& current = situation.pathOn(onRemovable);
    const std::string& other = situation.pathOn(!onRemovable);
    if (current == other) {
      return current;
    }
    const std::string folder = current.substr(0, current.rfind(kRelativeSeparator) + 1);
    std::string wanted = folder + other.substr(other.rfind(kRelativeSeparator) + 1);
    if (wanted == current) {
      return wanted;
    }
    const std::string& root = onRemovable ? context_.removableRoot : context_.localRoot;
    targetPath_ = fullPath(root, wanted);
    targetRoot_ = &root;
    written_.insert(&root);
    attempt([&] {
      refuseLinkedFolders(root, targetPath_);
      if (!renameUnlessTaken(fullPath(root, current), targetPath_, context_.fileSystem)) {
        throw Failure::ofNumber(failure_number::kPathFileAccess, targetPath_ + " (EEXIST)");
      }
    });
    return wanted;
  }

  // The record goes with the file, so that a file made again under this name later is new.
  void removeFileAndRecord(const std::string& root, const std::string& path) {
    attempt([&] {
      const std::string file = fullPath(root, path);
      refuseLinkedFolders(root, file);
      context_.fileSystem.removeFile(file);
    });
    attempt([&] {
      context_.profile.removeDeferred(kRecordSection, path);
      context_.profile.flushIfDue();
    });
  }

  // A folder is checked for links with the first file the run acts on in or below it: once
  // the run has met it as a folder, it was one when listed and again when acted in.
  void refuseLinkedFolders(const std::string& root, const std::string& file) {
    const std::string folder = folderPart(file);
    std::string_view checked = folder;  // the deepest folder met already, else the root
    while (checked.size() > root.size() && !checkedFolders_.contains(checkedKey(root, checked))) {
      checked = checked.substr(0, checked.find_last_of(kNativeSeparators, checked.size() - 2) + 1);
    }
    if (checked.size() == folder.size()) {
      return;
    }
    context_.fileSystem.refuseLinkedFolders(std::string(checked), file);
    for (auto end = folder.size(); end > checked.size();
         end = folder.find_last_of(kNativeSeparators, end - 2) + 1) {
      checkedFolders_.insert(checkedKey(root, std::string_view(folder).substr(0, end)));
    }
  }

  // Below the root, with a mark for the side: short keys, most held without a heap block.
  std::string checkedKey(const std::string& root, std::string_view folder) const {
    std::string key(1, &root == &context_.localRoot ? 'L' : 'R');
    return key.append(folder.substr(root.size()));
  }

  Answer ask(const std::string& question) {
    flushAll();
    return context_.host.confirm(question);
  }

  LocalSeconds now() { return localSecondsFromUnix(context_.clock.now()); }

  // `root` is one of the context's two root texts itself, not a copy.
  std::optional<FileStamp>& listedIdentity(const std::string& root) {
    return &root == &context_.localRoot ? listedLocalRoot_ : listedRemovableRoot_;
  }

  std::optional<FileStamp> rootIdentity(const std::string& root) {
    auto identity = context_.fileSystem.stamp(root);
    if (identity) {
      identity->size = identity->modifiedNs = 0;  // a folder's own time changes as files come
    }
    return identity;
  }

  // A drive pulled or swapped mid-run must not pass for files deleted on it, nor get its
  // folders made again where it was mounted: only the folder that was listed will do.
  void requireListedRoot(const std::string& root) {
    if (rootIdentity(root) != listedIdentity(root)) {
      throw Failure::ofNumber(failure_number::kDiskNotReady, root);
    }
  }

  // Runs one step of the run under its failure path: a missing folder is created and the
  // step done again; any other failure is reported and ends the run.
  void attempt(const std::function<void()>& step,
               const std::function<void()>& afterFoldersMade = {}) {
    for (;;) {
      try {
        step();
        return;
      } catch (const Failure& failure) {
        if (failure.number() != failure_number::kPathNotFound) {
          report(failure);
        }
        makeTargetFolders();
        if (afterFoldersMade) {
          afterFoldersMade();
        }
      }
    }
  }

  void makeTargetFolders() {
    if (targetRoot_ != nullptr) {
      try {
        requireListedRoot(*targetRoot_);
      } catch (const Failure& failure) {
        report(failure);
      }
    }
    FlushingMessages messages(*this);
    if (!MakeFolders(targetPath_, context_.fileSystem, messages)) {
      throw RunEnded{SyncOutcome::Failed};
    }
  }

  // The host for MakeFolders: records written so far reach the profile before its message.
  class FlushingMessages : public MessageHost {
   public:
    explicit FlushingMessages(Run& run) : run_(run) {}
    void showMessage(const std::string& text, MessageIcon icon) override {
      run_.flushBeforeMessage();
      run_.context_.host.showMessage(text, icon);
    }
    EventLog& eventLog() override { return run_.context_.host.eventLog(); }

   private:
    Run& run_;
  };

  // Runs a step whose failures, a missing folder too, are reported and end the run: the
  // step must not make folders.
  void reportingFailures(const std::function<void()>& step) {
    try {
      step();
    } catch (const Failure& failure) {
      report(failure);
    }
  }

  [[noreturn]] void report(const Failure& failure) {
    ahead_.reset();  // nothing more is copied, and no copy made ahead is left behind
    flushBeforeMessage();
    ReportError(failure, text::kReportLabel, true, context_.host);
    throw RunEnded{SyncOutcome::Failed};
  }

  void flushBeforeMessage() {
    try {
      settleAllRecords();  // a failed sync keeps its records back; the failure at hand comes first
      context_.profile.flush();
    } catch (const Failure&) {
      // The changes stay pending for the next flush; the failure at hand is told first.
    }
  }

  void reportProgress() { context_.host.progress(++done_, total_); }

  const SyncContext& context_;
  std::string targetPath_;
  const std::string* targetRoot_ = nullptr;  // none while listing, where a root may be made
  std::optional<FileStamp> listedLocalRoot_;
  std::optional<FileStamp> listedRemovableRoot_;
  TextSet checkedFolders_;       // for links, by checkedKey()
  bool recordsIgnored_ = false;  // a root was made, or the drive taken for new
  std::optional<std::int64_t> recordOffset_;
  std::string profileId_;
  std::vector<std::string> leftovers_;
  std::set<const std::string*> written_;  // roots written to since the last sync began
  std::vector<PendingRecord> awaitingSync_;
  std::chrono::steady_clock::time_point oldestAwaiting_;
  std::vector<PendingRecord> inSync_;  // the records the sync under way makes good
  std::future<void> syncing_;
  std::optional<Failure> syncFailure_;
  std::size_t done_ = 0;
  std::size_t total_ = 0;
  std::uint64_t bytesCopied_ = 0;   // by the copies done
  TextSet copiedFolders_;           // by folderKey()
  std::size_t nextOffer_ = 0;       // the next planned file to copy ahead
  std::optional<CopyAhead> ahead_;  // while the run acts
};

}  // namespace

SyncOutcome SyncFolders(const SyncContext& context) {
  return Run(context).execute();
}

}  // namespace tandro
