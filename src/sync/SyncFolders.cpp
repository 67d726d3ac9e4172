#include "sync/SyncFolders.h"

#include <atomic>
#include <exception>
#include <functional>
#include <optional>
#include <thread>
#include <utility>

#include "common/DateTime.h"
#include "common/Failure.h"
#include "common/Paths.h"
#include "common/ReportError.h"
#include "sync/GetFileList.h"
#include "sync/SyncTexts.h"
#include "sync/Transfer.h"

namespace tandro {

namespace {

namespace text = sync_text;

// The record value "1" (day serial 1) excludes one file.
constexpr LocalSeconds kExcludedRecord = kSecondsPerDay;
// A time is newer than the record only beyond this tolerance.
constexpr LocalSeconds kToleranceSeconds = 2;

enum class Case {
  Nothing,  // unchanged or excluded
  ChangedLocally,
  ChangedOnRemovable,
  NewLocally,
  NewOnRemovable,
  DeletedOnRemovable,
  DeletedLocally,
  ChangedOnBoth,
  NewOnBoth,
};

// A file's case, with the times its question shows.
struct Evaluation {
  Case fileCase = Case::Nothing;
  LocalSeconds localTime = 0;
  LocalSeconds removableTime = 0;
};

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
  explicit Run(const SyncContext& context) : c_(context) {}

  SyncOutcome execute() {
    // The inputs are locked during a run, so the name cannot change; holding it spares asking
    // the host at every record and keeps the listing thread away from the host.
    const ProfileNameHold hold(c_.profile);
    try {
      c_.host.clearLog();
      const auto [localList, removableList] = listTrees();
      total_ = localList.size() + removableList.size();
      for (std::size_t i = 0; i < localList.size(); ++i) {
        const std::string path(localList.path(i));
        carryOut(path, classifyLocal(path, localList.modified(i), removableList));
        reportProgress();
      }
      for (std::size_t i = 0; i < removableList.size(); ++i) {
        const std::string path(removableList.path(i));
        carryOut(path, classifyRemovableOnly(path, localList));
        reportProgress();
      }
      // No directory search stays open here: every listing closed its own handle.
      attempt([&] { c_.profile.flush(); });
      c_.host.prependToLog(text::completionLine(formatDateTime(now())));
      return SyncOutcome::Completed;
    } catch (const RunEnded& ended) {
      return ended.outcome;
    }
  }

 private:
  // A listing made ahead on another thread: its list, or the failure it ended with.
  struct Prefetched {
    FileList list;
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
          GetFileList(removable.list, c_.removableRoot, "", c_.fileSystem, c_.profile,
                      [&](std::size_t found) { removableFound = found; });
        } catch (...) {
          removable.failure = std::current_exception();
        }
      });
      local = listTree(c_.localRoot, nullptr,
                       [&](std::size_t found) { c_.host.progress(found + removableFound, 0); });
    }
    return {std::move(local), listTree(c_.removableRoot, &removable, {})};
  }

  FileList listTree(const std::string& root, Prefetched* prefetched,
                    const ListingProgress& progress) {
    targetPath_ = root;
    targetRoot_ = nullptr;
    FileList list;
    attempt(
        [&] {
          if (Prefetched* first = std::exchange(prefetched, nullptr)) {
            if (first->failure) {
              std::rethrow_exception(first->failure);
            }
            list = std::move(first->list);
            return;
          }
          list = FileList();
          GetFileList(list, root, "", c_.fileSystem, c_.profile, progress);
        },
        [&] { rootCreated_ = true; });
    attempt([&] { listedIdentity(root) = rootIdentity(root); });
    return list;
  }

  // The times the listings saw are the times now: nothing of this run has touched the file
  // yet. A file the removable listing does not hold under this exact name is looked up, as
  // a drive that ignores letter case may hold it under another.
  Evaluation classifyLocal(const std::string& path, std::int64_t localModified,
                           const FileList& removableList) {
    const LocalSeconds localTime = localSecondsFromUnix(localModified);
    std::optional<LocalSeconds> removableTime;
    const LocalSeconds record = recordedTime(path);
    if (const auto listed = removableList.find(path)) {
      removableTime = localSecondsFromUnix(removableList.modified(*listed));
    } else {
      attempt([&] {
        removableTime.reset();
        if (const auto time = c_.fileSystem.normalFileTime(fullPath(c_.removableRoot, path))) {
          removableTime = localSecondsFromUnix(*time);
        }
      });
    }
    return {caseOfLocalFile(record, localTime, removableTime), localTime,
            removableTime.value_or(0)};
  }

  static Case caseOfLocalFile(LocalSeconds record, LocalSeconds localTime,
                              std::optional<LocalSeconds> removableTime) {
    if (record == kExcludedRecord) {
      return Case::Nothing;
    }
    if (record == 0) {
      return removableTime ? Case::NewOnBoth : Case::NewLocally;
    }
    if (!removableTime) {
      return Case::DeletedOnRemovable;
    }
    const bool localNewer = isNewer(localTime, record);
    const bool removableNewer = isNewer(*removableTime, record);
    if (localNewer && removableNewer) {
      return Case::ChangedOnBoth;
    }
    if (localNewer) {
      return Case::ChangedLocally;
    }
    return removableNewer ? Case::ChangedOnRemovable : Case::Nothing;
  }

  Evaluation classifyRemovableOnly(const std::string& path, const FileList& localList) {
    if (isPresentLocally(path, localList)) {
      return {};
    }
    const LocalSeconds record = recordedTime(path);
    if (record == kExcludedRecord) {
      return {};
    }
    if (record == 0) {
      return {Case::NewOnRemovable};
    }
    // An edit on the removable side outweighs the local deletion: keep the edit.
    LocalSeconds removableTime = 0;
    attempt([&] { removableTime = modificationTime(c_.removableRoot, path); });
    return {isNewer(removableTime, record) ? Case::ChangedOnRemovable : Case::DeletedLocally};
  }

  // A file of the local list is still there: the first pass deletes local files only when
  // their removable copy is absent, and then they are in no removable list. One listed in
  // other letter case (a drive that ignores case) was handled there under the same record;
  // taking it for deleted locally would delete it on the drive. Only the others need the
  // existence test.
  bool isPresentLocally(const std::string& path, const FileList& localList) {
    if (localList.containsIgnoringCase(path)) {
      return true;
    }
    bool present = false;
    attempt(
        [&] { present = c_.fileSystem.normalFileTime(fullPath(c_.localRoot, path)).has_value(); });
    return present;
  }

  void carryOut(const std::string& path, const Evaluation& evaluation) {
    switch (evaluation.fileCase) {
      case Case::Nothing:
        return;
      case Case::ChangedLocally:
        return logAndTransfer(path, text::kToRemovableUpdate, true);
      case Case::ChangedOnRemovable:
        return logAndTransfer(path, text::kToLocalUpdate, false);
      case Case::NewLocally:
        return logAndTransfer(path, text::kToRemovableCopy, true);
      case Case::NewOnRemovable:
        return logAndTransfer(path, text::kToLocalCopy, false);
      case Case::DeletedOnRemovable:
        return deleteLocalAfterAsking(path);
      case Case::DeletedLocally:
        return deleteRemovable(path);
      case Case::ChangedOnBoth:
        return resolveConflict(path, false, evaluation);
      case Case::NewOnBoth:
        return resolveConflict(path, true, evaluation);
    }
  }

  void logAndTransfer(const std::string& path, const char* label, bool towardsRemovable) {
    c_.host.addLog(path + label);
    if (!c_.host.previewEnabled()) {
      transfer(path, towardsRemovable);
    }
  }

  void deleteLocalAfterAsking(const std::string& path) {
    attempt([&] { requireListedRoot(c_.removableRoot); });
    c_.host.addLog(path + text::kDeleteLocal);
    if (c_.host.previewEnabled()) {
      return;
    }
    switch (ask(text::deleteQuestion(path))) {
      case Answer::Yes:
        return removeFileAndRecord(c_.localRoot, path);
      case Answer::No:
        return c_.host.prependToLog(text::kSkipMark);
      case Answer::Cancel:
        throw RunEnded{SyncOutcome::Cancelled};
    }
  }

  void deleteRemovable(const std::string& path) {
    attempt([&] { requireListedRoot(c_.localRoot); });
    c_.host.addLog(path + text::kDeleteRemovable);
    if (!c_.host.previewEnabled()) {
      removeFileAndRecord(c_.removableRoot, path);
    }
  }

  void resolveConflict(const std::string& path, bool createdOnBoth, const Evaluation& evaluation) {
    if (c_.host.previewEnabled()) {
      c_.host.addLog(path + (createdOnBoth ? text::kNewOnBoth : text::kChangedOnBoth));
      return;
    }
    const auto question =
        text::conflictQuestion(createdOnBoth, path, formatDateTime(evaluation.localTime),
                               formatDateTime(evaluation.removableTime));
    switch (ask(question)) {
      case Answer::Yes:
        c_.host.addLog(path + text::kToRemovableUpdate);
        return transfer(path, true);
      case Answer::No:
        c_.host.addLog(path + text::kToLocalUpdate);
        return transfer(path, false);
      case Answer::Cancel:
        throw RunEnded{SyncOutcome::Cancelled};
    }
  }

  void transfer(const std::string& path, bool towardsRemovable) {
    const std::string& sourceRoot = towardsRemovable ? c_.localRoot : c_.removableRoot;
    const std::string& destinationRoot = towardsRemovable ? c_.removableRoot : c_.localRoot;
    targetPath_ = fullPath(destinationRoot, path);
    targetRoot_ = &destinationRoot;
    attempt([&] {
      const std::string source = fullPath(sourceRoot, path);
      refuseLinkedFolders(sourceRoot, source);
      refuseLinkedFolders(destinationRoot, targetPath_);
      Crypt(source, targetPath_, c_.fileSystem);
    });
    attempt([&] {
      c_.profile.writeDeferred(kRecordSection, path, formatDateTime(now()));
      c_.profile.flushIfDue();
    });
  }

  // The record goes with the file, so that a file made again under this name later is new.
  void removeFileAndRecord(const std::string& root, const std::string& path) {
    attempt([&] {
      const std::string file = fullPath(root, path);
      refuseLinkedFolders(root, file);
      c_.fileSystem.removeFile(file);
    });
    attempt([&] {
      c_.profile.removeDeferred(kRecordSection, path);
      c_.profile.flushIfDue();
    });
  }

  // Files come folder by folder: a folder is checked for links with its first file only.
  void refuseLinkedFolders(const std::string& root, const std::string& file) {
    std::string& checked = &root == &c_.localRoot ? checkedLocalFolder_ : checkedRemovableFolder_;
    auto folder = folderPart(file);
    if (folder != checked) {
      c_.fileSystem.refuseLinkedFolders(root, file);
      checked = std::move(folder);
    }
  }

  Answer ask(const std::string& question) {
    attempt([&] { c_.profile.flush(); });
    return c_.host.confirm(question);
  }

  // The recorded time of a file, 0 for none. After a root had to be created, no record
  // can speak of that tree, so only the exclusion mark still counts.
  LocalSeconds recordedTime(const std::string& path) {
    LocalSeconds record = 0;
    attempt([&] {
      const std::string value = c_.profile.readRecord(path);
      if (value.empty()) {
        record = 0;
        return;
      }
      const auto parsed = parseDateTime(value);
      if (!parsed) {
        throw Failure::ofNumber(failure_number::kTypeMismatch);
      }
      record = *parsed;
    });
    return rootCreated_ && record != kExcludedRecord ? 0 : record;
  }

  LocalSeconds modificationTime(const std::string& root, const std::string& path) {
    return localSecondsFromUnix(c_.fileSystem.modificationTime(fullPath(root, path)));
  }

  LocalSeconds now() { return localSecondsFromUnix(c_.clock.now()); }

  static bool isNewer(LocalSeconds time, LocalSeconds record) {
    return time > record + kToleranceSeconds;
  }

  // `root` is one of the context's two root texts itself, not a copy.
  std::optional<FileStamp>& listedIdentity(const std::string& root) {
    return &root == &c_.localRoot ? listedLocalRoot_ : listedRemovableRoot_;
  }

  std::optional<FileStamp> rootIdentity(const std::string& root) {
    auto identity = c_.fileSystem.stamp(root);
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
    if (!MakeFolders(targetPath_, c_.fileSystem, messages)) {
      throw RunEnded{SyncOutcome::Failed};
    }
  }

  // The host for MakeFolders: records written so far reach the profile before its message.
  class FlushingMessages : public MessageHost {
   public:
    explicit FlushingMessages(Run& run) : run_(run) {}
    void showMessage(const std::string& text, MessageIcon icon) override {
      run_.flushBeforeMessage();
      run_.c_.host.showMessage(text, icon);
    }
    EventLog& eventLog() override { return run_.c_.host.eventLog(); }

   private:
    Run& run_;
  };

  [[noreturn]] void report(const Failure& failure) {
    flushBeforeMessage();
    ReportError(failure, text::kReportLabel, true, c_.host);
    throw RunEnded{SyncOutcome::Failed};
  }

  void flushBeforeMessage() {
    try {
      c_.profile.flush();
    } catch (const Failure&) {
      // The changes stay pending for the next flush; the failure at hand is told first.
    }
  }

  void reportProgress() { c_.host.progress(++done_, total_); }

  const SyncContext& c_;
  std::string targetPath_;
  const std::string* targetRoot_ = nullptr;  // none while listing, where a root may be made
  std::optional<FileStamp> listedLocalRoot_;
  std::optional<FileStamp> listedRemovableRoot_;
  std::string checkedLocalFolder_;
  std::string checkedRemovableFolder_;
  bool rootCreated_ = false;
  std::size_t done_ = 0;
  std::size_t total_ = 0;
};

}  // namespace

SyncOutcome SyncFolders(const SyncContext& context) {
  return Run(context).execute();
}

}  // namespace tandro
