// Runs one profile as tandro-sync does, silently, either "checked" (every call goes to the file
// system) or "unchecked": the looks a run takes again before it acts, the link checks and the
// root's identity are answered from what the run saw before, without a call. The difference
// of the two times is what those guards cost a run. "links" answers the looks and the roots
// alone and makes the link checks, which are older than the other guards, so that each part
// can be told apart. Both modes keep the same books, so that
// the bookkeeping of this program weighs on both alike. The time from the end of the listing
// to the first action is the plan's, at most (the profile is read before the run).
// A checked run also times the guards' calls themselves, in the run: the looks before acting
// and before a copy is put in place, the look at a source after its copy and the root checks
// on one side, the link checks on the other. Whole runs scatter by far more than they cost.
//
//   guard_cost checked|unchecked|links PROFILE_DIR PROFILE_NAME
#include <atomic>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <map>
#include <mutex>
#include <string>
#include <unordered_map>

#include "common/Clock.h"
#include "common/EventLog.h"
#include "common/FileSystem.h"
#include "common/Paths.h"
#include "profile/ProfileRoots.h"
#include "profile/ProfileStore.h"
#include "sync/SyncFolders.h"
#include "sync/SyncHost.h"

namespace {

using namespace tandro;
using Steady = std::chrono::steady_clock;

// The calls of one kind of guard, and the time they took.
struct GuardCalls {
  std::atomic<std::size_t> calls = 0;
  std::atomic<Steady::rep> ticks = 0;
  double ms() const {
    return std::chrono::duration<double, std::milli>(Steady::duration(ticks)).count();
  }
};

// Runs `call` and counts its time against `kind`, whether it returns or throws.
template <typename Call>
auto timed(GuardCalls& kind, const Call& call) {
  struct Count {
    GuardCalls& kind;
    Steady::time_point start = Steady::now();
    ~Count() {
      kind.ticks += (Steady::now() - start).count();
      ++kind.calls;
    }
  } count{kind};
  return call();
}

class GuardFreeFileSystem : public FileSystem {
 public:
  GuardFreeFileSystem(FileSystem& real, bool looksChecked, bool linksChecked)
      : real_(real), looksChecked_(looksChecked), linksChecked_(linksChecked) {}

  void setRoots(const std::string& local, const std::string& removable) {
    roots_ = {{local, std::nullopt}, {removable, std::nullopt}};
  }

  std::vector<FolderEntry> listFolder(const std::string& path) override {
    auto entries = real_.listFolder(path);
    listedAt_ = Steady::now();
    const std::lock_guard lock(mutex_);
    listed_.emplace(path.ends_with('/') ? path : path + '/', entries);
    return entries;
  }

  // When the last folder was listed, so far.
  Steady::time_point listedAt() const { return listedAt_; }

  std::optional<FileFacts> normalFile(const std::string& path) override {
    const auto listed = listedFile(path);
    return looksChecked_ ? timed(looks_, [&] { return real_.normalFile(path); }) : listed;
  }

  FileStamp copyFile(const std::string& from, const std::string& to,
                     const CopyProgress& progress) override {
    const FileStamp copied = real_.copyFile(from, to, progress);
    const std::lock_guard lock(mutex_);
    copiedFrom_[from] = copied;
    return copied;
  }

  std::optional<FileStamp> stamp(const std::string& path) override {
    if (const auto copied = copiedFrom(path)) {
      return looksChecked_ ? timed(looks_, [&] { return real_.stamp(path); }) : copied;
    }
    const auto root = roots_.find(path);  // the map itself is never changed
    if (root == roots_.end()) {
      return real_.stamp(path);
    }
    const std::lock_guard lock(mutex_);
    if (looksChecked_ || !root->second) {
      root->second = timed(looks_, [&] { return real_.stamp(path); });
    }
    return root->second;
  }

  void refuseLinkedFolders(const std::string& root, const std::string& path) override {
    if (linksChecked_) {
      timed(linkChecks_, [&] { real_.refuseLinkedFolders(root, path); });
    }
  }

  const GuardCalls& looks() const { return looks_; }
  const GuardCalls& linkChecks() const { return linkChecks_; }

  void renameFile(const std::string& from, const std::string& to) override {
    real_.renameFile(from, to);
  }
  bool renameIfFree(const std::string& from, const std::string& to) override {
    return real_.renameIfFree(from, to);
  }
  void removeFile(const std::string& path) override { real_.removeFile(path); }
  void createFolder(const std::string& path) override { real_.createFolder(path); }
  std::optional<std::string> readFile(const std::string& path) override {
    return real_.readFile(path);
  }
  void writeFile(const std::string& path, const std::string& data) override {
    real_.writeFile(path, data);
  }
  void writeFileInPieces(const std::string& path, const ContentPieces& pieces) override {
    real_.writeFileInPieces(path, pieces);
  }
  std::unique_ptr<FileLock> tryLockExclusive(const std::string& path) override {
    return real_.tryLockExclusive(path);
  }
  void hideFile(const std::string& path) override { real_.hideFile(path); }
  void syncFileSystemOf(const std::string& path) override { real_.syncFileSystemOf(path); }

 private:
  std::optional<FileStamp> copiedFrom(const std::string& source) {
    const std::lock_guard lock(mutex_);
    const auto found = copiedFrom_.find(source);
    return found == copiedFrom_.end() ? std::nullopt : std::optional(found->second);
  }

  std::optional<FileFacts> listedFile(const std::string& path) {
    const auto slash = path.rfind('/') + 1;
    const std::lock_guard lock(mutex_);
    const auto folder = listed_.find(path.substr(0, slash));
    if (folder != listed_.end()) {
      for (const auto& entry : folder->second) {
        if (entry.kind == EntryKind::NormalFile &&
            path.compare(slash, std::string::npos, entry.name) == 0) {
          return entry.facts;
        }
      }
    }
    return std::nullopt;
  }

  FileSystem& real_;
  const bool looksChecked_;  // and the roots
  const bool linksChecked_;
  std::atomic<Steady::time_point> listedAt_;
  std::mutex mutex_;
  std::unordered_map<std::string, std::vector<FolderEntry>> listed_;  // by folder
  std::unordered_map<std::string, FileStamp> copiedFrom_;
  std::map<std::string, std::optional<FileStamp>> roots_;  // each root's first stamp
  GuardCalls looks_;
  GuardCalls linkChecks_;
};

// Answers every question with yes, as a user who lets the run do what it planned.
class SilentHost : public SyncHost {
 public:
  explicit SilentHost(const GuardFreeFileSystem& files) : files_(files) {}

  void addLog(const std::string&) override { ++lines_; }
  void prependToLog(const std::string&) override {}
  void clearLog() override {}
  Answer confirm(const std::string&) override { return Answer::Yes; }
  bool confirmWarning(const std::string&) override { return true; }
  bool previewEnabled() override { return false; }
  void planned(std::size_t, std::uint64_t) override {
    planning_ = Steady::now() - files_.listedAt();
  }
  void showMessage(const std::string& text, MessageIcon) override {
    std::cerr << "guard_cost: " << text << '\n';
  }
  EventLog& eventLog() override { return eventLog_; }

  std::size_t lines() const { return lines_; }
  // From the end of the listing until the plan was made.
  double planningMs() const { return std::chrono::duration<double, std::milli>(planning_).count(); }

 private:
  const GuardFreeFileSystem& files_;
  Steady::duration planning_{};
  std::size_t lines_ = 0;
  SystemEventLog eventLog_;
};

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc == 4 ? argv[1] : "";
  if (mode != "checked" && mode != "unchecked" && mode != "links") {
    std::cerr << "usage: guard_cost checked|unchecked|links PROFILE_DIR PROFILE_NAME\n";
    return 2;
  }
  const auto real = createPlatformFileSystem();
  GuardFreeFileSystem files(*real, mode == "checked", mode != "unchecked");
  ProfileStore profile(files, withTrailingSeparator(argv[2]),
                       [name = std::string(argv[3])] { return name; });
  const ProfileRoots roots = readProfileRoots(profile);
  const std::string local = withTrailingSeparator(roots.local);
  const std::string removable = withTrailingSeparator(roots.removable);
  files.setRoots(local, removable);
  SilentHost host(files);
  SystemClock clock;
  const auto start = Steady::now();
  const SyncOutcome outcome = SyncFolders({files, profile, host, clock, local, removable});
  const std::chrono::duration<double> took = Steady::now() - start;
  std::printf(
      "%s: %.3f s, plan %.1f ms, looks %.1f ms in %zu calls, link checks %.1f ms in %zu calls, "
      "%zu log lines\n",
      argv[1], took.count(), host.planningMs(), files.looks().ms(), files.looks().calls.load(),
      files.linkChecks().ms(), files.linkChecks().calls.load(), host.lines());
  return outcome == SyncOutcome::Completed ? 0 : 1;
}
