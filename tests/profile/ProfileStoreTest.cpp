#include "profile/ProfileStore.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>
#include <vector>

#include "common/Failure.h"
#include "profile/CodePage.h"

#include "support/FailureOf.h"
#include "support/FaultyFileSystem.h"
#include "support/TempDir.h"

namespace tandro {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

// The real file system, failing one chosen call the way a full disk does.
class DiskFullFileSystem : public test::FaultyFileSystem {
 public:
  std::string failingCall;

  void writeFile(const std::string& path, const std::string& data) override {
    if (failingCall == "writeFile") {
      FaultyFileSystem::writeFile(path, data.substr(0, data.size() / 2));
      throw Failure::ofNumber(failure_number::kDiskFull);
    }
    FaultyFileSystem::writeFile(path, data);
  }
  void renameFile(const std::string& from, const std::string& to) override {
    if (failingCall == "renameFile") {
      throw Failure::ofNumber(failure_number::kDiskFull);
    }
    FaultyFileSystem::renameFile(from, to);
  }
};

class ProfileStoreTest : public ::testing::Test {
 protected:
  TempDir dir;
  DiskFullFileSystem files;
  std::string name = "work";
  ProfileStore store{files, dir.root(), [this] { return name; }};

  fs::path profile() const { return dir.path() / (name + ".ini"); }
  // The file's text in UTF-8, whatever the profile code page is.
  void putProfile(const std::string& content) const {
    test::writeFile(profile(), toProfileCodePage(content));
  }
  std::string profileText() const { return fromProfileCodePage(test::readFile(profile())); }
  std::vector<std::string> folderContent() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.path())) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
};

using test::failureOf;

TEST_F(ProfileStoreTest, ReadsValuesTheWayThePlatformDoes) {
  const std::string longValue(1000, 'x');
  putProfile(
      "top=before any section\r\n"
      "  [Path]  \r\n"
      "  Local \t=\t C:\\work\\  \r\n"
      "dq=\"  quoted  \"\r\n"
      "sq='single'\r\n"
      "odd=\"half'\r\n"
      "eq=a=b\r\n"
      "dup=first\r\n"
      "DUP=second\r\n"
      "; comment=no comment to the platform\r\n"
      "no equals here\r\n"
      "long=" +
      longValue +
      "\r\n"
      "[path]\n"
      "second=in a duplicate section\n"
      "[ Other ] ; text after the bracket\r"
      "cr=lone CR line ends\r"
      "[draft].txt=a record, not a section\r\n"
      "after=still in Other\r\n"
      "[日本語]\n"
      "キー=値\n"
      "last=no line break");
  const struct {
    std::string section, key, expected;
  } cases[] = {
      {"Path", "Local", "C:\\work\\"},
      {"PATH", "local", "C:\\work\\"},
      {"Path", "dq", "  quoted  "},
      {"Path", "sq", "single"},
      {"Path", "odd", "\"half'"},
      {"Path", "eq", "a=b"},
      {"Path", "eq=a", "(default)"},
      {"Path", "dup", "first"},
      {"Path", "; comment", "no comment to the platform"},
      {"Path", "no equals here", "(default)"},
      {"Path", "long", longValue},
      {"Path", "second", "(default)"},
      {"Path", "top", "(default)"},
      {" Path ", " Local\t", "C:\\work\\"},
      {"Other", "cr", "lone CR line ends"},
      {"other", "[draft].txt", "a record, not a section"},
      {"Other", "after", "still in Other"},
      {"日本語", "キー", "値"},
      {"日本語", "last", "no line break"},
      {"Missing", "Local", "(default)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.section + "/" + c.key);
    EXPECT_EQ(store.ReadIni(c.section, c.key, "(default)"), c.expected);
  }
  EXPECT_EQ(store.ReadIni("Missing", "Local", " 0  "), " 0");
}

TEST_F(ProfileStoreTest, WritesChangeOnlyTheirOwnLines) {
  putProfile(
      "; written by hand\n"
      "\n"
      "[Path]\r\n"
      "  Local = old  \r\n"
      "Remove=R:\\\r\n"
      "\r\n"
      "\t\r\n"
      "[Other]\n"
      "x = 1\r"
      "; end");
  store.WriteIni("path", "LOCAL", "new");
  store.WriteIni("Path", " Added ", "  a  ");
  store.WriteIni(" Tandro", "k", "v");
  EXPECT_EQ(profileText(),
            "; written by hand\n"
            "\n"
            "[Path]\r\n"
            "Local=new\r\n"
            "Remove=R:\\\r\n"
            "Added=a  \r\n"
            "\r\n"
            "\t\r\n"
            "[Other]\n"
            "x = 1\r"
            "; end\r\n"
            "[Tandro]\r\n"
            "k=v\r\n");
  EXPECT_EQ(folderContent(), std::vector<std::string>{"work.ini"});
}

// A file that an editor saved as "UTF-8 with BOM" is UTF-8 whatever the code page, as the
// platform reads and rewrites it; the mark stays, and a file without one gains none.
TEST_F(ProfileStoreTest, KeepsAUtf8ByteOrderMarkAndTheUtf8AfterIt) {
  const std::string mark = "\xEF\xBB\xBF";
  const auto bytes = [&](bool marked, const std::string& text) {
    return marked ? mark + text : toProfileCodePage(text);
  };
  const std::string byHand = "[Path]\r\nLocal=C:\\資料\\\r\n; by hand\n[Tandro]\r\nx = 1 \r\n";
  const std::string record = "資料\\報告書.txt=2008/02/19 9:05:03\r\n";
  const struct {
    std::string name;
    bool marked;
    std::string before, local, after;
  } cases[] = {
      {"marked", true, byHand, "C:\\資料\\", byHand + record},
      {"the mark alone", true, "", "", "[Tandro]\r\n" + record},
      {"no mark", false, byHand, "C:\\資料\\", byHand + record},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::writeFile(profile(), bytes(c.marked, c.before));
    EXPECT_EQ(store.ReadIni("Path", "Local", ""), c.local);
    store.WriteIni(kRecordSection, "資料\\報告書.txt", "2008/02/19 9:05:03");
    EXPECT_EQ(test::readFile(profile()), bytes(c.marked, c.after));
  }
}

// A profile much larger than one piece of a rewrite: the pieces meet between lines and line
// ends of every kind, and the bytes come out as they would whole.
TEST_F(ProfileStoreTest, RewritesALargeProfileByteForByte) {
  const std::string mark = "\xEF\xBB\xBF";
  std::string records;
  for (int i = 0; i < 6000; ++i) {
    const char* ends[] = {"\r\n", "\n", "\r"};
    records += "資料\\" + std::to_string(i) + ".txt=2008/02/19 9:05:03" + ends[i % 3];
  }
  const std::string before = "[Path]\r\nLocal=L\r\n[Tandro]\r\n" + records;
  const std::string after = before + "新しい.txt=2008/02/19 9:05:04\r\n";
  for (const bool marked : {false, true}) {
    SCOPED_TRACE(marked ? "marked" : "no mark");
    test::writeFile(profile(), marked ? mark + before : toProfileCodePage(before));
    store.WriteIni(kRecordSection, "新しい.txt", "2008/02/19 9:05:04");
    EXPECT_EQ(test::readFile(profile()), marked ? mark + after : toProfileCodePage(after));
  }
}

TEST_F(ProfileStoreTest, MissingFileReadsAsDefaultsUntilAWriteCreatesIt) {
  EXPECT_EQ(store.ReadIni("Path", "Local", "none"), "none");
  EXPECT_EQ(store.readRecord("資料\\報告書.txt"), "");
  EXPECT_FALSE(fs::exists(profile()));

  store.WriteIni(kRecordSection, "資料\\報告書.txt", "2008/02/19 9:05:03");
  EXPECT_EQ(profileText(), "[Tandro]\r\n資料\\報告書.txt=2008/02/19 9:05:03\r\n");
  ProfileStore another(files, dir.root(), [this] { return name; });
  EXPECT_EQ(another.readRecord("資料\\報告書.txt"), "2008/02/19 9:05:03");
}

TEST_F(ProfileStoreTest, RefusesValuesOf260CharactersOrMore) {
  putProfile("[Path]\r\n");
  auto repeated = [](const std::string& character, std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
      text += character;
    }
    return text;
  };
  for (const auto& character : {std::string("a"), std::string("字")}) {
    const auto longest = repeated(character, 259);
    store.WriteIni("Path", "Local", longest);
    EXPECT_EQ(store.ReadIni("Path", "Local", ""), longest);

    const auto before = profileText();
    const auto failure =
        failureOf([&] { store.WriteIni("Path", "Local", repeated(character, 260)); });
    EXPECT_EQ(failure.number(), -2147221504);
    EXPECT_EQ(failure.source(), "Tandro");
    EXPECT_EQ(failure.description(), "長いパスには対応していません。");
    EXPECT_EQ(profileText(), before);
  }
  const std::string longKey(300, 'k');
  store.WriteIni("Path", longKey, "v");
  EXPECT_EQ(store.ReadIni("Path", longKey, ""), "v");
}

TEST_F(ProfileStoreTest, RefusesLinesThatWouldAddLinesOrSections) {
  putProfile("[Path]\r\nLocal=L\r\n");
  const struct {
    std::string key, value;
  } cases[] = {{"a\nb", "v"},
               {"k", "v\r"},
               {"k", "v\r\n[Path]\r\nLocal=injected"},
               {"[", "]"},  // "[=]" reads as a section header
               {" [a", "b] c"}};
  for (const auto& c : cases) {
    EXPECT_EQ(failureOf([&] { store.WriteIni("Path", c.key, c.value); }).number(), 75);
    EXPECT_EQ(failureOf([&] { store.writeDeferred("Path", c.key, c.value); }).number(), 75);
  }
  EXPECT_FALSE(store.hasPendingWrites());
  EXPECT_EQ(profileText(), "[Path]\r\nLocal=L\r\n");
}

TEST_F(ProfileStoreTest, KeyHoldingEqualsIsWrittenButNeverFound) {
  store.WriteIni(kRecordSection, "a=b.txt", "2008/02/19 15:00:59");
  EXPECT_EQ(profileText(), "[Tandro]\r\na=b.txt=2008/02/19 15:00:59\r\n");
  EXPECT_EQ(store.readRecord("a=b.txt"), "");
  EXPECT_EQ(store.readRecord("a"), "b.txt=2008/02/19 15:00:59");
}

TEST_F(ProfileStoreTest, RecordKeysMatchWithoutLetterCaseAndBlanksAroundThem) {
  putProfile("[Tandro]\r\nDir\\A.txt=1\r\n b.txt =2\r\n");
  for (const auto& [path, record] : {std::pair{"dir\\a.TXT", "1"},
                                     {"b.txt", "2"},
                                     {" b.txt", "2"},
                                     {"b.txt ", "2"},
                                     {"b.txt.", ""}}) {
    EXPECT_EQ(store.readRecord(path), record) << path;
  }
}

TEST_F(ProfileStoreTest, FailedRewriteLeavesTheOldFile) {
  putProfile("[Path]\r\nLocal=old\r\n");
  for (const std::string call : {"writeFile", "renameFile"}) {
    SCOPED_TRACE(call);
    files.failingCall = call;
    store.writeDeferred(kRecordSection, "a.txt", "1");  // stays pending behind the failed write
    EXPECT_EQ(failureOf([&] { store.WriteIni("Path", "Local", "new"); }).number(), 61);
    store.writeDeferred(kRecordSection, "a.txt", "1");
    EXPECT_EQ(failureOf([&] { store.flush(); }).number(), 61);
    EXPECT_EQ(profileText(), "[Path]\r\nLocal=old\r\n");
    EXPECT_EQ(folderContent(), std::vector<std::string>{"work.ini"});
    EXPECT_EQ(store.ReadIni("Path", "Local", ""), "old");
    EXPECT_TRUE(store.hasPendingWrites());

    files.failingCall.clear();
    store.flush();
    EXPECT_EQ(profileText(), "[Path]\r\nLocal=old\r\n[Tandro]\r\na.txt=1\r\n");
    putProfile("[Path]\r\nLocal=old\r\n");
  }
}

TEST_F(ProfileStoreTest, UnreadableFileThrows) {
  fs::create_directory(profile());
  EXPECT_NE(failureOf([&] { store.ReadIni("Path", "Local", ""); }).number(), 0);
}

TEST_F(ProfileStoreTest, SeesEditsByAnotherProgram) {
  std::int64_t time = 1'200'000'000;
  const struct {
    std::string name;
    std::function<void()> edit;
  } edits[] = {
      {"in place, same size, later time",
       [&] {
         putProfile("[Path]\r\nLocal=new\r\n");
         test::setModificationTime(profile(), time + 1);
       }},
      {"replaced by another file, same size, same time",
       [&] {
         const auto other = dir.path() / "other";
         test::writeFile(other, "[Path]\r\nLocal=new\r\n");
         test::setModificationTime(other, time);
         fs::rename(other, profile());
       }},
  };
  for (const bool heldAfterTheEdit : {false, true}) {
    for (const auto& edit : edits) {
      SCOPED_TRACE(edit.name + (heldAfterTheEdit ? ", then held for a run" : ""));
      putProfile("[Path]\r\nLocal=old\r\n");
      test::setModificationTime(profile(), time);
      EXPECT_EQ(store.ReadIni("Path", "Local", ""), "old");
      edit.edit();
      store.holdProfileName(heldAfterTheEdit);
      EXPECT_EQ(store.ReadIni("Path", "Local", ""), "new");
      store.holdProfileName(false);
      time += 10;  // an edit of the same size and time would go unseen
    }
  }
}

TEST_F(ProfileStoreTest, DeferredChangesAreReadAndWrittenWhenDue) {
  putProfile("[Tandro]\r\nold.txt=1\r\nOLD.TXT=2\r\n");
  const auto start = std::chrono::steady_clock::now();
  store.writeDeferred(kRecordSection, "a.txt", "2008/02/19 15:00:59");
  store.removeDeferred(kRecordSection, "old.txt");
  store.flushIfDue();
  if (std::chrono::steady_clock::now() - start < std::chrono::seconds(1)) {
    EXPECT_TRUE(store.hasPendingWrites());
    EXPECT_EQ(profileText(), "[Tandro]\r\nold.txt=1\r\nOLD.TXT=2\r\n");
  }
  EXPECT_EQ(store.readRecord("a.txt"), "2008/02/19 15:00:59");
  EXPECT_EQ(store.readRecord("old.txt"), "2");

  std::this_thread::sleep_for(std::chrono::seconds(1));
  store.flushIfDue();
  EXPECT_FALSE(store.hasPendingWrites());
  EXPECT_EQ(profileText(), "[Tandro]\r\nOLD.TXT=2\r\na.txt=2008/02/19 15:00:59\r\n");
}

TEST_F(ProfileStoreTest, DeferredChangesGoOnTopOfAnotherProgramsEdit) {
  putProfile("[Path]\r\nLocal=L\r\n");
  store.writeDeferred(kRecordSection, "a.txt", "1");
  store.writeDeferred(kRecordSection, "b.txt", "1");
  store.removeDeferred(kRecordSection, "a.txt");
  store.writeDeferred(kRecordSection, "c.txt", "");  // an empty value is no removal
  putProfile("[Path]\r\nLocal=edited elsewhere\r\n[Tandro]\r\na.txt=0\r\n");
  store.flush();
  EXPECT_EQ(profileText(), "[Path]\r\nLocal=edited elsewhere\r\n[Tandro]\r\nb.txt=1\r\nc.txt=\r\n");
  EXPECT_EQ(store.ReadIni("Path", "Local", ""), "edited elsewhere");
}

TEST_F(ProfileStoreTest, EveryCallAddressesTheCurrentProfileName) {
  name = "a";
  store.WriteIni("Path", "Local", "A");
  store.writeDeferred(kRecordSection, "x.txt", "1");
  name = "b";
  EXPECT_EQ(store.ReadIni("Path", "Local", "none"), "none");
  EXPECT_FALSE(store.hasPendingWrites());
  store.WriteIni("Path", "Local", "B");
  name = "";
  EXPECT_EQ(store.profilePath(), dir.root() + ".ini");
  store.WriteIni("Path", "Local", "empty");
  EXPECT_EQ(test::readFile(dir.path() / "a.ini"), "[Path]\r\nLocal=A\r\n[Tandro]\r\nx.txt=1\r\n");
  EXPECT_EQ(test::readFile(dir.path() / "b.ini"), "[Path]\r\nLocal=B\r\n");
  EXPECT_EQ(test::readFile(dir.path() / ".ini"), "[Path]\r\nLocal=empty\r\n");
}

TEST_F(ProfileStoreTest, ARewriteLeftByAKilledProgramGoesWhenTheProfileIsLoaded) {
  putProfile("[Path]\r\nLocal=C:\\\r\n");
  test::writeFile(dir.path() / ".work.ini.tmp", "[Path]\r\nLoc");
  test::writeFile(dir.path() / ".other.ini.tmp", "another profile's");
  EXPECT_EQ(store.ReadIni("Path", "Local", ""), "C:\\");
  EXPECT_EQ(folderContent(), (std::vector<std::string>{".other.ini.tmp", "work.ini"}));
}

}  // namespace
}  // namespace tandro
