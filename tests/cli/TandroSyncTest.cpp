// Runs the built tandro-sync on real trees, answering its questions through stdin.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>
#include <vector>

#include "support/TempDir.h"

namespace tandro {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::writeFile;

struct Result {
  int status;
  std::string out;
  std::string err;
};

class TandroSyncTest : public ::testing::Test {
 protected:
  test::TempDir dir;
  std::string local = dir.subRoot("local");
  std::string removable = dir.subRoot("removable");
  std::string profiles = dir.subRoot("profiles");

  void writeProfile(const std::string& localRoot, const std::string& removableRoot,
                    const std::string& extra = "") {
    writeFile(profiles + "Work.ini",
              "[Path]\r\nLocal=" + localRoot + "\r\nRemove=" + removableRoot + "\r\n" + extra);
  }

  Result run(const std::vector<std::string>& arguments, const std::string& input = "") {
    writeFile(dir.path() / "in.txt", input);
    std::string command = TANDRO_SYNC_PATH;
    for (const auto& argument : arguments) {
      command += " '" + argument + "'";
    }
    command += " <" + (dir.path() / "in.txt").string() + " >" + (dir.path() / "out.txt").string() +
               " 2>" + (dir.path() / "err.txt").string();
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readFile(dir.path() / "out.txt"),
            readFile(dir.path() / "err.txt")};
  }

  Result sync(const std::string& input = "", bool preview = false) {
    std::vector<std::string> arguments = {"--profile-dir", profiles, "--log-file",
                                          (dir.path() / "log.txt").string()};
    if (preview) {
      arguments.push_back("--preview");
    }
    arguments.push_back("Work");
    return run(arguments, input);
  }

  Result disableAll(const std::string& input) {
    return run({"--profile-dir", profiles, "--disable-all", "Work"}, input);
  }
};

TEST_F(TandroSyncTest, FirstCopyThenAQuietSecondRun) {
  writeFile(local + "docs/a.txt", "a");
  writeFile(local + "b.txt", "b");
  writeProfile(local, removable);
  const Result first = sync();
  EXPECT_EQ(first.status, 0) << first.err;
  EXPECT_EQ(readFile(removable + "docs/a.txt"), "a");
  EXPECT_EQ(readFile(removable + "b.txt"), "b");
  EXPECT_TRUE(
      first.out.starts_with("docs\\a.txt  リムーバブルへコピー\nb.txt  リムーバブルへコピー\n"))
      << first.out;
  EXPECT_NE(first.out.find("  同期完了!! "), std::string::npos);
  const std::string profile = readFile(profiles + "Work.ini");
  EXPECT_NE(profile.find("[Tandro]\r\ndocs\\a.txt="), std::string::npos) << profile;

  const Result second = sync();
  EXPECT_EQ(second.status, 0);
  EXPECT_TRUE(second.out.starts_with("  同期完了!! ")) << second.out;
  const std::string log = readFile(dir.path() / "log.txt");
  EXPECT_TRUE(log.starts_with("  同期完了!! ") && log.ends_with("\r\n")) << log;
  EXPECT_EQ(log.find("\r\n"), log.size() - 2);
}

TEST_F(TandroSyncTest, QuestionsAreAnsweredFromStdin) {
  // Nested so that the conflict comes first: sub-folders are listed before a folder's files.
  writeFile(local + "a/c.txt", "keep me");
  writeFile(local + "a/z/conflict.txt", "local");
  writeFile(removable + "a/z/conflict.txt", "removable");
  writeProfile(local, removable, "[Tandro]\r\na\\c.txt=2008/02/19 15:00:59\r\n");
  // An unknown answer is asked again; "n" lets the removable side win; "No" keeps the file.
  const Result result = sync("maybe\nn\nNo\n");
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(readFile(local + "a/c.txt"), "keep me");
  EXPECT_EQ(readFile(local + "a/z/conflict.txt"), "removable");
  EXPECT_NE(result.err.find("両方で新規に作成されているファイルです。\nどちらを優先しますか？\n"
                            "a\\z\\conflict.txt\n"),
            std::string::npos)
      << result.err;
  EXPECT_NE(result.err.find("リムーバブルで削除されています。\nローカルファイルを削除しますか？\n"
                            "a\\c.txt [y/n/c]: "),
            std::string::npos)
      << result.err;
  EXPECT_NE(result.out.find("a\\z\\conflict.txt  ローカルへ更新\na\\c.txt  削除\n"
                            "スキップ:a\\c.txt  削除\n  同期完了!! "),
            std::string::npos)
      << result.out;
  const std::string log = readFile(dir.path() / "log.txt");
  EXPECT_NE(log.find("\r\nスキップ:a\\c.txt  削除\r\na\\z\\conflict.txt  ローカルへ更新\r\n"),
            std::string::npos)
      << log;
}

// Without a log file the log is not kept, and the terminal shows the same lines.
TEST_F(TandroSyncTest, WithoutALogFileTheTopLineIsStillShownAfterASkip) {
  writeFile(local + "c.txt", "c");
  writeProfile(local, removable, "[Tandro]\r\nc.txt=2008/02/19 15:00:59\r\n");
  const Result result = run({"--profile-dir", profiles, "Work"}, "n\n");
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_TRUE(result.out.starts_with("c.txt  削除\nスキップ:c.txt  削除\n  同期完了!! "))
      << result.out;
}

TEST_F(TandroSyncTest, EndOfInputCancelsAndPreviewTouchesNothing) {
  writeFile(local + "c.txt", "c");
  writeProfile(local, removable, "[Tandro]\r\nc.txt=2008/02/19 15:00:59\r\n");
  const std::string profileBefore = readFile(profiles + "Work.ini");
  EXPECT_EQ(sync("", true).status, 0);
  EXPECT_EQ(readFile(profiles + "Work.ini"), profileBefore);
  const Result cancelled = sync("");
  EXPECT_EQ(cancelled.status, 3);
  EXPECT_EQ(readFile(local + "c.txt"), "c");
  EXPECT_EQ(readFile(dir.path() / "log.txt"), "c.txt  削除\r\n");
}

TEST_F(TandroSyncTest, AReportedFailureExitsWithOne) {
  writeFile(local + "a.txt", "a");
  writeProfile(local, removable, "[Tandro]\r\na.txt=not a time\r\n");
  const Result result = sync();
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("  [13] 型が一致しません。"), std::string::npos) << result.err;
}

TEST_F(TandroSyncTest, UnsafeOrMissingInputIsRefusedAndNothingIsTouched) {
  writeFile(local + "a.txt", "a");
  const struct {
    std::string localRoot, removableRoot;
    std::string expected;
  } cases[] = {
      {"", removable, "フォルダーが指定されていません。"},
      {"relative/path", removable, "フォルダーは絶対パスで指定してください。"},
      {local, local, "同じフォルダー"},
      {local, local + "inner/", "同じフォルダー"},
      {local + "../removable", removable, "同じフォルダー"},
  };
  for (const auto& c : cases) {
    writeProfile(c.localRoot, c.removableRoot);
    const Result result = sync();
    EXPECT_EQ(result.status, 2) << c.localRoot << " " << c.removableRoot;
    EXPECT_NE(result.err.find(c.expected), std::string::npos) << result.err;
    EXPECT_TRUE(result.out.empty());
  }
  EXPECT_TRUE(fs::is_empty(removable));
  EXPECT_FALSE(fs::exists(local + "inner"));
  EXPECT_FALSE(fs::exists(dir.path() / "log.txt"));

  for (const auto& arguments :
       std::vector<std::vector<std::string>>{{"--profile-dir", profiles},
                                             {"--profile-dir", profiles, "--bogus", "Work"},
                                             {"--profile-dir", profiles, "Missing"},
                                             {"--profile-dir"}}) {
    const Result result = run(arguments);
    EXPECT_EQ(result.status, 2) << arguments.back();
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
  }
}

TEST_F(TandroSyncTest, HelpAndVersionSayWhatItIsAndTouchNothing) {
  const Result version = run({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "tandro-sync (Tandro) 1.01.0001\n");
  const Result help = run({"--help"});
  EXPECT_EQ(help.status, 0);
  for (const char* part : {"--profile-dir DIR", "--preview", "--log-file FILE", "--disable-all",
                           "PROFILE", "Velmoro/Tandro", "[y/n/c]", "Exit status: 0 completed"}) {
    EXPECT_NE(help.out.find(part), std::string::npos) << part;
  }
}

TEST_F(TandroSyncTest, ASecondProcessOnTheSameProfileIsRefused) {
  writeFile(local + "a.txt", "local");
  writeFile(removable + "a.txt", "removable");
  writeProfile(local, removable);
  // The first run waits at its conflict question, its input still open.
  const std::string firstErr = (dir.path() / "first-err.txt").string();
  const std::string command = std::string(TANDRO_SYNC_PATH) + " --profile-dir '" + profiles +
                              "' Work >/dev/null 2>'" + firstErr + "'";
  FILE* first = ::popen(command.c_str(), "w");
  ASSERT_NE(first, nullptr);
  const auto asking = [&] {
    return fs::exists(firstErr) && readFile(firstErr).find("[y/n/c]") != std::string::npos;
  };
  for (int wait = 0; wait < 6000 && !asking(); ++wait) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_TRUE(asking());
  const Result second = sync("y\n");
  EXPECT_EQ(second.status, 2);
  EXPECT_EQ(second.err, "このプロファイルは別の同期で使用中です。\n");
  EXPECT_EQ(readFile(removable + "a.txt"), "removable");
  const int firstStatus = ::pclose(first);  // end of input: the question is cancelled
  EXPECT_EQ(WEXITSTATUS(firstStatus), 3);
  EXPECT_EQ(sync("y\n").status, 0);  // the lock went with the first process
}

TEST_F(TandroSyncTest, AProfileThatKnowsItsDriveRefusesAMissingOneAndAsksAboutAnother) {
  writeFile(local + "a.txt", "a");
  const std::string missing = dir.path().string() + "/media/STICK/";
  writeProfile(local, missing, "Id=0123456789abcdef0123456789abcdef\r\n");
  const Result refused = sync();
  EXPECT_EQ(refused.status, 2);
  EXPECT_EQ(
      refused.err,
      "フォルダーが見つかりません。ドライブが接続されているか確認してください。 " + missing + "\n");
  EXPECT_FALSE(fs::exists(dir.path() / "media"));

  writeProfile(local, removable, "Id=0123456789abcdef0123456789abcdef\r\n");
  const Result declined = sync("");
  EXPECT_EQ(declined.status, 3);
  EXPECT_NE(declined.err.find("違うようです。\n" + removable + "\n同期を続けますか？ [y/n]: "),
            std::string::npos)
      << declined.err;
  EXPECT_TRUE(fs::is_empty(removable));

  EXPECT_EQ(sync("y\n").status, 0);
  EXPECT_EQ(readFile(removable + "a.txt"), "a");
  EXPECT_EQ(readFile(removable + ".tandro"), "0123456789abcdef0123456789abcdef\n");
}

TEST_F(TandroSyncTest, DisableAllAsksThenWritesTheKeyOfEveryFolderOnce) {
  writeFile(local + "a.txt", "a");
  writeFile(local + "docs/b.txt", "b");
  writeFile(local + "docs/c.txt", "c");
  writeFile(removable + "pics/d.jpg", "d");
  writeProfile(local, removable);
  const Result result = disableAll("y\n");
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.err, "全フォルダーを同期対象外とします。\nよろしいですか？ [y/n]: ");
  EXPECT_EQ(readFile(profiles + "Work.ini"),
            "[Path]\r\nLocal=" + local + "\r\nRemove=" + removable +
                "\r\n[Tandro]\r\ndocs\\=1\r\n\\=1\r\npics\\=1\r\n");
}

TEST_F(TandroSyncTest, DisableAllDeclinedOrUnansweredChangesNothing) {
  writeFile(local + "docs/b.txt", "b");
  writeProfile(local, removable);
  const std::string profileBefore = readFile(profiles + "Work.ini");
  for (const std::string input : {"n\n", ""}) {
    EXPECT_EQ(disableAll(input).status, 3) << input;
    EXPECT_EQ(readFile(profiles + "Work.ini"), profileBefore);
  }
}

}  // namespace
}  // namespace tandro
