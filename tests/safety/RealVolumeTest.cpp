// Runs on real volumes: a FAT32 drive image mounted with fusefat as the removable side,
// and a tmpfs of one MiB as a full local disk. Skipped only where FUSE (or mounting) is
// not to be had; the tools themselves are installed by scripts/install-deps.sh.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>

#include "common/Clock.h"
#include "common/DateTime.h"
#include "common/PosixFileSystem.h"
#include "safety/SyncProcess.h"
#include "support/SyncFixture.h"
#include "support/TreeSnapshot.h"

namespace tandro {
namespace {

namespace fs = std::filesystem;

constexpr std::int64_t kOddSecond = test::kBase;  // 2008/02/19 15:00:59 JST
constexpr const char* kOddSecondText = test::kBaseText;

bool isMountPoint(const fs::path& folder) {
  struct stat inside {
  }, above{};
  return ::stat(folder.c_str(), &inside) == 0 &&
         ::stat(folder.parent_path().c_str(), &above) == 0 && inside.st_dev != above.st_dev;
}

// Runs in-process against the real clock, as the program does: FAT keeps its own idea of
// a file's time, and the records must agree with it.
class RealVolumeTest : public test::SyncFixture<PosixFileSystem, SystemClock> {
 protected:
  // A run with a host of its own that gives `answers`.
  SyncOutcome run(std::deque<Answer> answers = {}) {
    host = test::ScriptedHost();
    host.answers = std::move(answers);
    return SyncFixture::run();
  }
  bool logHoldsOnlyTheCompletionLine() const {
    return host.log.starts_with("  同期完了!! ") && host.log.find("\r\n") == host.log.size() - 2;
  }
};

// A FAT32 image made with mkfs.vfat and mounted with fusefat at the removable root.
// fusefat writes times as UTC and reads them back as local time: it runs in UTC here, so
// that it keeps times as a FAT driver should (in steps of two seconds).
class FatDriveTest : public RealVolumeTest {
 protected:
  int driveMebibytes = 40;  // FAT32 needs some 33 MiB at least
  fs::path mountPoint = fs::path(removable).parent_path();

  void SetUp() override {
    if (!fs::exists("/dev/fuse")) {
      GTEST_SKIP() << "FUSE is not available here (/dev/fuse is missing): no FAT drive to test";
    }
    const fs::path image = dir.path() / "drive.img";
    test::writeFile(image, "");
    fs::resize_file(image, static_cast<std::uintmax_t>(driveMebibytes) << 20);
    std::string output;
    ASSERT_EQ(test::runCommand({"mkfs.vfat", "-F", "32", image.string()}, output), 0)
        << "mkfs.vfat (dosfstools) is missing or failed; scripts/install-deps.sh installs it\n"
        << output;
    const int status = test::runCommand(
        {"env", "TZ=UTC", "fusefat", "-o", "rw+", image.string(), mountPoint.string()}, output);
    mounted_ = isMountPoint(mountPoint);
    if (!mounted_) {
      GTEST_SKIP() << "fusefat cannot mount here (status " << status << "): " << output;
    }
  }

  void TearDown() override {
    std::string output;
    if (mounted_ && test::runCommand({"fusermount", "-u", mountPoint.string()}, output) != 0) {
      ::umount2(mountPoint.c_str(), MNT_DETACH);
    }
  }

  // Every file and every record as old as can be: what a change is newer than.
  void age(const std::vector<std::string>& paths) {
    for (const auto& path : paths) {
      test::setModificationTime(fs::path(local) / path, kOddSecond - 3600);
      test::setModificationTime(fs::path(removable) / path, kOddSecond - 3600);
      profile.WriteIni("Tandro", test::keyOf(path), kOddSecondText);
    }
  }

 private:
  bool mounted_ = false;
};

class SmallFatDriveTest : public FatDriveTest {
 protected:
  SmallFatDriveTest() { driveMebibytes = 34; }
};

TEST_F(FatDriveTest, AFirstCopyThenAQuietSecondRun) {
  put(local, "odd.txt", "odd second", kOddSecond);
  put(local, "sub/even.txt", "even second", kOddSecond + 1);
  put(removable, "from the drive.txt", "drive", kOddSecond);
  EXPECT_EQ(run(), SyncOutcome::Completed);
  EXPECT_EQ(test::filesBelow(local), test::filesBelow(removable));
  // FAT keeps times in steps of two seconds: the odd second came back one second early.
  EXPECT_EQ(test::modificationTime(fs::path(local) / "from the drive.txt"), kOddSecond - 1);

  EXPECT_EQ(run(), SyncOutcome::Completed);
  EXPECT_TRUE(logHoldsOnlyTheCompletionLine()) << host.log;
}

TEST_F(FatDriveTest, AChangeOnEachSideGoesAcross) {
  put(local, "a.txt", "a", kOddSecond);
  put(local, "b.txt", "b", kOddSecond);
  ASSERT_EQ(run(), SyncOutcome::Completed);
  age({"a.txt", "b.txt"});
  put(local, "a.txt", "a changed locally", kOddSecond + 10);
  put(removable, "b.txt", "b changed on the drive", kOddSecond + 10);
  EXPECT_EQ(run(), SyncOutcome::Completed);
  EXPECT_NE(host.log.find("a.txt  リムーバブルへ更新\r\n"), std::string::npos) << host.log;
  EXPECT_NE(host.log.find("b.txt  ローカルへ更新\r\n"), std::string::npos) << host.log;
  EXPECT_EQ(test::filesBelow(removable),
            (test::Tree{{"a.txt", "a changed locally"}, {"b.txt", "b changed on the drive"}}));
  EXPECT_EQ(test::filesBelow(local), test::filesBelow(removable));

  EXPECT_EQ(run(), SyncOutcome::Completed);
  EXPECT_TRUE(logHoldsOnlyTheCompletionLine()) << host.log;
}

// FAT keeps no permission bits: fusefat refuses to change them, which is no failure.
TEST_F(FatDriveTest, PermissionBitsTheDriveCannotHoldAreNoFailure) {
  put(local, "tool.sh", "#!/bin/sh\n", kOddSecond);
  ASSERT_EQ(::chmod((fs::path(local) / "tool.sh").c_str(), 04755), 0);
  EXPECT_EQ(run(), SyncOutcome::Completed);
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(test::filesBelow(removable), (test::Tree{{"tool.sh", "#!/bin/sh\n"}}));
}

TEST_F(FatDriveTest, LocalNamesDifferingInCaseOnlyAreReportedAndOverwriteNothing) {
  put(local, "a.txt", "lower", kOddSecond);
  put(local, "A.txt", "upper", kOddSecond);
  put(removable, "A.TXT", "the drive's", kOddSecond);
  EXPECT_EQ(run(), SyncOutcome::Failed);
  expectReport("  [457] ");
  EXPECT_EQ(test::filesBelow(removable), (test::Tree{{"A.TXT", "the drive's"}}));
}

// The drive ignores letter case: its A.TXT is the local a.txt, asked about, never deleted,
// and the copy takes the local name.
TEST_F(FatDriveTest, ADriveNameInOtherCaseIsOneFileWithTheLocalOne) {
  put(local, "a.txt", "local", kOddSecond);
  put(removable, "A.TXT", "the drive's", kOddSecond);
  EXPECT_EQ(run({Answer::Yes}), SyncOutcome::Completed);
  EXPECT_EQ(host.questions.size(), 1u);
  EXPECT_EQ(test::filesBelow(removable), (test::Tree{{"a.txt", "local"}}));

  EXPECT_EQ(run(), SyncOutcome::Completed);
  EXPECT_TRUE(logHoldsOnlyTheCompletionLine()) << host.log;
}

// A file renamed in letter case only is renamed on the drive, where a rename in case only
// is no rename to the system.
TEST_F(FatDriveTest, ACaseOnlyRenameReachesTheDrive) {
  put(local, "Docs/ReadMe.txt", "text", kOddSecond);
  put(removable, "docs/readme.txt", "text", kOddSecond);
  profile.WriteIni("Tandro", "docs\\readme.txt", kOddSecondText);
  EXPECT_EQ(run(), SyncOutcome::Completed);
  EXPECT_TRUE(host.questions.empty());
  EXPECT_EQ(test::filesBelow(removable), (test::Tree{{"docs/ReadMe.txt", "text"}}));

  EXPECT_EQ(run(), SyncOutcome::Completed);
  EXPECT_TRUE(logHoldsOnlyTheCompletionLine()) << host.log;
}

TEST_F(SmallFatDriveTest, AFullDriveEndsWithAReportAndNothingHalfWritten) {
  put(removable, "big.bin", "old", kOddSecond - 7200);
  put(local, "big.bin", std::string(40 << 20, 'x'), kOddSecond);
  profile.WriteIni("Tandro", "big.bin", "2008/02/19 14:00:00");
  EXPECT_EQ(run(), SyncOutcome::Failed);
  // fusefat answers a full drive with EPERM (70); a drive that says ENOSPC gives 61.
  ASSERT_EQ(host.messages.size(), 1u);
  const std::string destination = removable + "big.bin";
  EXPECT_TRUE(host.messages[0] ==
                  "  [61] ディスクの空き容量が不足しています。 " + destination + " (ENOSPC)" ||
              host.messages[0] == "  [70] 書き込みできません。 " + destination + " (EPERM)")
      << host.messages[0];
  EXPECT_EQ(test::filesBelow(removable), (test::Tree{{"big.bin", "old"}}));
  EXPECT_EQ(profile.readRecord("big.bin"), "2008/02/19 14:00:00");
}

// A local disk of one MiB, filled by a transfer from the drive.
class FullLocalDiskTest : public RealVolumeTest {
 protected:
  void SetUp() override {
    if (::mount("tandro-test", local.c_str(), "tmpfs", 0, "size=1m") != 0) {
      GTEST_SKIP() << "cannot mount a tmpfs here (mounting needs root): " << std::strerror(errno);
    }
  }
  void TearDown() override { ::umount2(local.c_str(), MNT_DETACH); }
};

TEST_F(FullLocalDiskTest, EndsWithTheDiskFullReportAndNothingHalfWritten) {
  put(local, "big.bin", "old", kOddSecond - 7200);
  put(removable, "big.bin", std::string(2 << 20, 'x'), kOddSecond);
  profile.WriteIni("Tandro", "big.bin", "2008/02/19 14:00:00");
  EXPECT_EQ(run(), SyncOutcome::Failed);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0],
            "  [61] ディスクの空き容量が不足しています。 " + local + "big.bin (ENOSPC)");
  EXPECT_EQ(test::filesBelow(local), (test::Tree{{"big.bin", "old"}}));
  EXPECT_EQ(profile.readRecord("big.bin"), "2008/02/19 14:00:00");
}

}  // namespace
}  // namespace tandro
