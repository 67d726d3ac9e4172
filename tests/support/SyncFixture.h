// What a run in this process needs: two roots in a temporary folder, the profile "Work"
// beside them, a scripted host and a clock, over the file system a test chooses.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <type_traits>

#include "support/FixedClock.h"
#include "support/ScriptedHost.h"
#include "support/TempDir.h"
#include "sync/SyncFolders.h"

namespace tandro::test {

// 2008/02/19 15:00:59 in the tests' time zone (JST): when the tests' files were written.
inline constexpr std::int64_t kBase = 1203400859;
inline constexpr const char* kBaseText = "2008/02/19 15:00:59";
// One hour later: when the runs happen.
inline constexpr std::int64_t kNow = kBase + 3600;
inline constexpr const char* kNowText = "2008/02/19 16:00:59";

// The runs happen at kNow, or on the system's clock when `RunClock` is SystemClock.
template <typename Files, typename RunClock = FixedClock>
class SyncFixture : public ::testing::Test {
 protected:
  TempDir dir;
  std::string local = dir.subRoot("local");
  std::string removable = dir.subRoot("removable");
  Files files;
  ProfileStore profile{files, dir.root(), [] { return std::string("Work"); }};
  ScriptedHost host;
  RunClock clock = startingClock();

  SyncOutcome run() { return SyncFolders({files, profile, host, clock, local, removable}); }

  // Writes `content` to `relative` ("/" between names) below `root`, last written at `time`.
  static void put(const std::string& root, const std::string& relative, const std::string& content,
                  std::int64_t time = kBase) {
    const std::filesystem::path path = std::filesystem::path(root) / relative;
    writeFile(path, content);
    setModificationTime(path, time);
  }

  // The run ended with one message, the report that begins with `shown`.
  void expectReport(const std::string& shown) const {
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_TRUE(host.messages[0].starts_with(shown)) << host.messages[0];
  }

 private:
  static RunClock startingClock() {
    if constexpr (std::is_same_v<RunClock, FixedClock>) {
      return FixedClock(kNow);
    } else {
      return RunClock();
    }
  }
};

}  // namespace tandro::test
