// Kills tandro-sync with SIGKILL at seeded random moments of a first copy and of re-syncs of
// change sets. After every kill each file on either side is a whole version it had before,
// the profile is whole and records only transfers that finished, and a re-run completes
// with both trees alike and every temporary file gone.
//
// TANDRO_CRASH_FILES, TANDRO_CRASH_KILLS and TANDRO_CRASH_SEED scale it up (bench/crash.sh).
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <optional>
#include <random>
#include <thread>

#include "common/DateTime.h"
#include "common/PosixFileSystem.h"
#include "profile/ProfileStore.h"
#include "safety/SyncProcess.h"
#include "support/TempDir.h"
#include "support/TreeSnapshot.h"

namespace tandro {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using test::Tree;

// Before each change set every file is this old and every record says this: a change
// made "later" is then newer than its record whatever the real clock says.
constexpr std::int64_t kOldTime = 1561939200;  // 2019-07-01
constexpr const char* kOldRecord = "2020/01/01 9:00:00";
constexpr std::int64_t kChangeTime = 1609459200;  // 2021-01-01

int fromEnvironment(const char* name, int fallback) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::atoi(value) : fallback;
}

struct Scale {
  int files = fromEnvironment("TANDRO_CRASH_FILES", 2000);
  int kills = fromEnvironment("TANDRO_CRASH_KILLS", 25);
  unsigned seed = static_cast<unsigned>(fromEnvironment("TANDRO_CRASH_SEED", 20080219));
};

// What the kills found, for the log of the run.
struct Tally {
  int kills = 0;
  int killsBeforeEnd = 0;  // the others came after the run had ended by itself
  int killsLeavingTemporaries = 0;
};

class CrashTest : public ::testing::Test {
 protected:
  Scale scale;
  std::mt19937_64 random{scale.seed};
  test::TempDir dir;
  std::string local = dir.subRoot("local");
  std::string removable = dir.subRoot("removable");
  std::string profiles = dir.subRoot("profiles");
  test::SyncProcess sync{profiles, "Work", dir.path()};
  Tally tally;

  ~CrashTest() override {
    std::cout << "kills " << tally.kills << ", before the run's end " << tally.killsBeforeEnd
              << ", leaving temporary files " << tally.killsLeavingTemporaries << std::endl;
  }

  std::size_t pick(std::size_t below) {
    return std::uniform_int_distribution<std::size_t>(0, below - 1)(random);
  }
  bool chance(double probability) { return std::bernoulli_distribution(probability)(random); }

  // Mostly small files, some of a few hundred KiB, and a few of some MiB, so that kills
  // also land in the middle of a copy.
  std::size_t sizeOfFile(int index) {
    if (index % 700 == 0) {
      return 4 << 20;
    }
    if (index % 97 == 0) {
      return 256 * 1024 + pick(768 * 1024);
    }
    return chance(0.7) ? pick(2048) : 2048 + pick(14 * 1024);
  }

  // A version of a file that no other version and no part of one can pass for.
  std::string contentOf(const std::string& path, const std::string& version, std::size_t size) {
    std::string content = version + " " + path + "\n";
    const char letter = static_cast<char>('a' + pick(26));
    content.resize(std::max(size, content.size()), letter);
    return content;
  }

  void put(const std::string& root, const std::string& path, const std::string& content) {
    test::writeFile(fs::path(root) / path, content);
    test::setModificationTime(fs::path(root) / path, kChangeTime);
  }

  std::string newPath(int index) {
    return "d" + std::to_string(pick(8)) + "/e" + std::to_string(pick(6)) + "/f" +
           std::to_string(index) + ".txt";
  }

  Tree makeLocalTree() {
    Tree tree;
    for (int i = 0; i < scale.files; ++i) {
      const std::string path = i % 10 == 0 ? "top" + std::to_string(i) + ".txt" : newPath(i);
      tree[path] = contentOf(path, "v0", sizeOfFile(i));
      put(local, path, tree[path]);
    }
    return tree;
  }

  void writeProfile(const std::string& records) {
    test::writeFile(fs::path(profiles) / "Work.ini", "[Path]\r\nLocal=" + local + "\r\nRemove=" +
                                                         removable + "\r\n[Tandro]\r\n" + records);
  }

  // Every file old and every record old: the two trees are in step.
  void ageEverything(const Tree& tree) {
    std::string records;
    for (const auto& [path, content] : tree) {
      records += test::keyOf(path) + "=" + kOldRecord + "\r\n";
      test::setModificationTime(fs::path(local) / path, kOldTime);
      test::setModificationTime(fs::path(removable) / path, kOldTime);
    }
    writeProfile(records);
  }

  // Changes on both sides, deletions on both sides, new files on both sides, and files
  // changed on both sides; returns what both trees hold once the change set is synchronised
  // with every question answered Yes (the local side wins, deletions are carried out).
  Tree applyChangeSet(const Tree& inStep, int round) {
    Tree expected;
    const std::string version = "v" + std::to_string(round);
    for (const auto& [path, content] : inStep) {
      const double roll = std::uniform_real_distribution<double>(0, 1)(random);
      const std::size_t size = content.size() / 2 + pick(4096);
      if (roll < 0.06) {
        expected[path] = contentOf(path, version + "L", size);
        put(local, path, expected[path]);
      } else if (roll < 0.10) {
        expected[path] = contentOf(path, version + "R", size);
        put(removable, path, expected[path]);
      } else if (roll < 0.11) {
        expected[path] = contentOf(path, version + "L", size);
        put(local, path, expected[path]);
        put(removable, path, contentOf(path, version + "R", size));
      } else if (roll < 0.13) {
        fs::remove(fs::path(local) / path);
      } else if (roll < 0.15) {
        fs::remove(fs::path(removable) / path);
      } else {
        expected[path] = content;
      }
    }
    for (int i = 0; i < scale.files / 50; ++i) {
      const std::string path = newPath(round * 100000 + i);
      expected[path] = contentOf(path, version + "N", pick(8192));
      put(i % 2 == 0 ? local : removable, path, expected[path]);
    }
    return expected;
  }

  // Starts a run and kills it after a random part of `span`; true when it was still running.
  bool runAndKill(Clock::duration span) {
    const auto delay = std::chrono::duration_cast<std::chrono::microseconds>(span) *
                       std::uniform_real_distribution<double>(0, 1)(random);
    sync.start(test::yesToEverything());
    std::this_thread::sleep_for(delay);
    sync.kill();
    ++tally.kills;
    return sync.wait().killed;
  }

  // Starts a run and kills it the moment the profile has been rewritten `rewrites` times
  // (the rewrite renames a new file onto it), or after twice `span` when it never is.
  void runAndKillAfterRewrite(int rewrites, Clock::duration span) {
    const int watch = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    ASSERT_GE(::inotify_add_watch(watch, profiles.c_str(), IN_MOVED_TO), 0);
    sync.start(test::yesToEverything());
    const auto deadline = Clock::now() + 2 * span;
    for (int seen = 0; seen < rewrites && Clock::now() < deadline;) {
      pollfd ready{watch, POLLIN, 0};
      ::poll(&ready, 1, 10);
      alignas(inotify_event) char events[4096];
      for (ssize_t size = 0; (size = ::read(watch, events, sizeof events)) > 0;) {
        for (const char* at = events; at < events + size;) {
          const auto* event = reinterpret_cast<const inotify_event*>(at);
          seen += event->len > 0 && std::string_view(event->name) == "Work.ini" ? 1 : 0;
          at += sizeof(inotify_event) + event->len;
        }
      }
    }
    sync.kill();
    ::close(watch);
    ++tally.kills;
    tally.killsBeforeEnd += sync.wait().killed ? 1 : 0;
  }

  // A whole run, to see how long one takes: the kills land within that span.
  Clock::duration timedRun(const Tree& expected) {
    const auto start = Clock::now();
    const auto result = sync.run(test::yesToEverything());
    const auto span = Clock::now() - start;
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_TRUE(test::filesBelow(removable) == expected);
    return span;
  }

  struct Sides {
    Tree local;
    Tree removable;
  };
  Sides readSides() const { return {test::filesBelow(local), test::filesBelow(removable)}; }

  // Every file is a whole version that one side had before the run; a file goes only
  // where the other side had already lost it.
  void expectOnlyWholeFiles(const Sides& before, const Sides& after) {
    expectOnlyWholeFilesOn("local ", after.local, before.local, before.removable);
    expectOnlyWholeFilesOn("removable ", after.removable, before.removable, before.local);
  }

  static void expectOnlyWholeFilesOn(const std::string& side, const Tree& now, const Tree& before,
                                     const Tree& other) {
    for (const auto& [path, content] : now) {
      if (test::isTemporaryName(fs::path(path).filename().string())) {
        continue;
      }
      const bool known = (before.contains(path) && before.at(path) == content) ||
                         (other.contains(path) && other.at(path) == content);
      EXPECT_TRUE(known) << side << path << " is no whole version (" << content.size() << " bytes)";
    }
    for (const auto& [path, content] : before) {
      if (!now.contains(path)) {
        EXPECT_FALSE(other.contains(path)) << side << path << " went, yet the other side had it";
      }
    }
  }

  // The profile reads whole, every record is a time, and every record this run wrote is
  // for a file whose two copies are alike.
  void expectProfileWhole(const Sides& now) {
    PosixFileSystem files;
    ProfileStore store(files, profiles, [] { return std::string("Work"); });
    EXPECT_EQ(store.ReadIni("Path", "Remove", ""), removable);
    for (const auto& [key, value] : test::recordsIn(fs::path(profiles) / "Work.ini")) {
      EXPECT_TRUE(parseDateTime(value)) << key << "=" << value;
      if (value != kOldRecord) {
        std::string path = key;
        std::replace(path.begin(), path.end(), '\\', '/');
        EXPECT_EQ(contentIn(now.local, path), contentIn(now.removable, path))
            << key << " has a record of this run but differing copies";
      }
    }
  }

  static std::optional<std::string> contentIn(const Tree& tree, const std::string& path) {
    const auto found = tree.find(path);
    return found != tree.end() ? std::optional(found->second) : std::nullopt;
  }

  void countTemporaries() {
    if (!test::temporariesBelow(dir.path()).empty()) {
      ++tally.killsLeavingTemporaries;
    }
  }

  // A run that is not killed finishes the work, lists no temporary file, and removes them.
  void expectRerunCompletes(const Tree& expected) {
    const auto result = sync.run(test::yesToEverything());
    EXPECT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.out.find(".tandro-"), std::string::npos) << result.out;
    EXPECT_TRUE(test::temporariesBelow(dir.path()).empty());
    EXPECT_TRUE(test::filesBelow(local) == expected) << "local tree differs";
    EXPECT_TRUE(test::filesBelow(removable) == expected) << "removable tree differs";
  }

  // One kill at a random moment of a run from the state on disk, the checks, the re-run.
  // One kill at a random moment of a run from the state on disk, the checks, the re-run.
  void killOnce(Clock::duration span, const Tree& expected) {
    const Sides before = readSides();
    if (runAndKill(span)) {
      ++tally.killsBeforeEnd;
    }
    const Sides after = readSides();
    expectOnlyWholeFiles(before, after);
    expectProfileWhole(after);
    countTemporaries();
    expectRerunCompletes(expected);
  }
};

TEST_F(CrashTest, AFirstCopyKilledAtRandomMoments) {
  const Tree tree = makeLocalTree();
  writeProfile("");
  const auto span = timedRun(tree);
  for (int kill = 0; kill < scale.kills && !HasFailure(); ++kill) {
    fs::remove_all(removable);
    fs::create_directory(removable);
    writeProfile("");
    killOnce(span, tree);
  }
}

// The moment records reach the profile, the copies they speak of are whole.
TEST_F(CrashTest, AFirstCopyKilledRightAfterARewriteOfTheProfile) {
  const Tree tree = makeLocalTree();
  writeProfile("");
  const auto span = timedRun(tree);
  for (int rewrites = 1; rewrites <= 3 && !HasFailure(); ++rewrites) {
    fs::remove_all(removable);
    fs::create_directory(removable);
    writeProfile("");
    const Sides before = readSides();
    runAndKillAfterRewrite(rewrites, span);
    const Sides after = readSides();
    expectOnlyWholeFiles(before, after);
    expectProfileWhole(after);
    expectRerunCompletes(tree);
  }
}

TEST_F(CrashTest, ChangeSetResyncsKilledAtRandomMoments) {
  Tree tree = makeLocalTree();
  writeProfile("");
  timedRun(tree);
  ageEverything(tree);
  tree = applyChangeSet(tree, 1);
  const auto span = timedRun(tree);
  for (int kill = 0; kill < scale.kills && !HasFailure(); ++kill) {
    ageEverything(tree);
    tree = applyChangeSet(tree, kill + 2);
    killOnce(span, tree);
  }
}

}  // namespace
}  // namespace tandro
