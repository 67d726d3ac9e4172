// Our profile store against the platform's own profile functions: one seeded random sequence
// of reads and writes goes to our file through ProfileStore and to a twin file through
// GetPrivateProfileStringA / WritePrivateProfileStringA. Every read must give the same value
// and every write leave the same bytes, except where we differ on purpose:
// - the platform cuts a value at the caller's buffer; we return it whole, so the platform
//   gets a buffer larger than any value here;
// - we refuse values of 260 characters or more and values with line breaks, and we rewrite
//   the file atomically; a refused write is not made on the twin;
// - a line that begins with "[" but has "=" after the "]" is a key to us, a section header to
//   the platform, so no key here begins with "[" (IniDocument says why).
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "common/Failure.h"
#include "common/Win32FileSystem.h"
#include "profile/CodePage.h"
#include "profile/ProfileStore.h"

#include "support/TempDir.h"

namespace tandro {
namespace {

namespace fs = std::filesystem;

constexpr unsigned kSeed = 20080219;
constexpr int kSteps = 2000;
constexpr DWORD kWholeValueBuffer = 4096;

const std::vector<std::string> kProfiles = {"Work", "Other"};

const std::vector<std::string> kSections = {
    "Path",   "PATH",   "path",   " Path ",  "Tandro", "TANDRO",
    "tandro", "日本語", "ゾーン", "Missing", "Ω",      "ω",
};

const std::vector<std::string> kKeys = {
    "Local",  "LOCAL",    "local",       "Remove", "docs\\a.txt", "Docs\\A.TXT", "資料\\報告書.txt",
    "資料\\", "a=b.txt",  "Ａ.txt",      "ａ.txt", "Ω.txt",       "ω.txt",       "ゾーン\\",
    "表.txt", "ｶﾀｶﾅ.txt", "; not a key", "#hash",  "\"quoted\"",  " lead.txt",   "trail.txt ",
    "한.txt", "x",        "y",
};

const std::vector<std::string> kValues = {
    "",
    "1",
    "0",
    "2008/02/19 15:00:59",
    "2008/02/19 9:05:03",
    "C:\\work\\",
    "\"quoted\"",
    "'single'",
    "\"half",
    "'mixed\"",
    "a=b=c",
    "日本語の値",
    "ソ表能",
    "; semicolon",
    "#hash",
    "[bracketed]",
    "tab\there",
    "ｶﾀｶﾅ",
    "한국어",
    "  padded  ",
    "two\r\nlines",
    std::string(200, 'v'),
    std::string(259, 'w'),
    std::string(260, 'x'),
    std::string(150, 'j') + "日本語",
};

const std::vector<std::string> kDefaults = {"",       "0",      "(default)", "default  ",
                                            "tab\t ", "日本語", "한국어"};

// Lines that are neither sections nor keys of the program, as Wine writes them back ...
const std::vector<std::string> kForeignLines = {
    "; comment", "; Local=commented out", "no equals here", "# hash=not a comment", "[unclosed",
};
// ... and as only Windows and we keep them.
const std::vector<std::string> kLooseForeignLines = {"[Other] ; with a comment", "=no key"};

std::string withoutBlanksAround(const std::string& text) {
  const auto first = text.find_first_not_of(" \t");
  return first == std::string::npos ? ""
                                    : text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool endsWithBlank(const std::string& text) {
  return !text.empty() && (text.back() == ' ' || text.back() == '\t');
}

class ProfileConformanceTest : public ::testing::Test {
 protected:
  test::TempDir dir;
  Win32FileSystem files;
  std::size_t profile = 0;
  ProfileStore store{files, dir.root(), [this] { return kProfiles[profile]; }};
  std::mt19937 random{kSeed};
  // Whether a file holds lines as a user formats them, which Wine's rewrite normalises.
  std::vector<bool> loose = std::vector<bool>(kProfiles.size(), false);
  int scratchFiles = 0;

  template <typename T>
  const T& pick(const std::vector<T>& from) {
    return from[std::uniform_int_distribution<std::size_t>(0, from.size() - 1)(random)];
  }
  bool chance(int percent) { return std::uniform_int_distribution<int>(1, 100)(random) <= percent; }

  fs::path ours() const { return dir.path() / (kProfiles[profile] + ".ini"); }
  fs::path twin() const { return dir.path() / (kProfiles[profile] + "-twin.ini"); }
  static std::string ansi(const fs::path& path) { return toProfileCodePage(path.string()); }

  std::string platformRead(const std::string& section, const std::string& key,
                           const std::string& defaultValue) const {
    std::string buffer(kWholeValueBuffer, '\0');
    const DWORD count = ::GetPrivateProfileStringA(
        toProfileCodePage(section).c_str(), toProfileCodePage(key).c_str(),
        toProfileCodePage(defaultValue).c_str(), buffer.data(), kWholeValueBuffer,
        ansi(twin()).c_str());
    buffer.resize(count);
    return fromProfileCodePage(buffer);
  }

  void platformWrite(const std::string& section, const std::string& key,
                     const std::string& value) const {
    ::WritePrivateProfileStringA(toProfileCodePage(section).c_str(), toProfileCodePage(key).c_str(),
                                 toProfileCodePage(value).c_str(), ansi(twin()).c_str());
  }

  // False when our store refuses the write on purpose; then it must leave the file as it was.
  bool writeOurs(const std::string& section, const std::string& key, const std::string& value) {
    const auto before = test::readFile(ours());
    try {
      store.WriteIni(section, key, value);
      return true;
    } catch (const Failure& failure) {
      EXPECT_TRUE(failure.number() == failure_number::kValueTooLong ||
                  failure.number() == failure_number::kPathFileAccess);
      EXPECT_EQ(test::readFile(ours()), before);
      return false;
    }
  }

  // The file as Wine writes it back once it has loaded it: blanks around names and values
  // and blank lines dropped, CR LF after every line. Wine itself does it, through a change
  // that it takes back at once.
  std::string winesForm(const fs::path& path) {
    const auto scratch = dir.path() / ("scratch-" + std::to_string(scratchFiles++) + ".ini");
    fs::copy_file(path, scratch);
    ::WritePrivateProfileStringA("~", "k", "v", ansi(scratch).c_str());
    ::WritePrivateProfileStringA("~", nullptr, nullptr, ansi(scratch).c_str());
    auto bytes = test::readFile(scratch);
    fs::remove(scratch);
    return bytes;
  }

  // Wine rewrites every line of a file it loaded where Windows and we keep the lines that no
  // write touched; a loosely formatted file is compared the way Wine writes it back.
  void expectSameBytes(const std::string& step) {
    if (!fs::exists(ours()) || !fs::exists(twin())) {
      EXPECT_EQ(fs::exists(ours()), fs::exists(twin())) << step;
    } else if (loose[profile]) {
      EXPECT_EQ(winesForm(ours()), winesForm(twin())) << step;
    } else {
      EXPECT_EQ(test::readFile(ours()), test::readFile(twin())) << step;
    }
  }

  std::string randomLine(bool asUserWrites) {
    switch (std::uniform_int_distribution<int>(0, 3)(random)) {
      case 0:
        return asUserWrites ? "  [" + pick(kSections) + "]  "
                            : "[" + withoutBlanksAround(pick(kSections)) + "]";
      case 1:
        return pick(asUserWrites && chance(30) ? kLooseForeignLines : kForeignLines);
      default:
        // Wine drops blanks around names and values it loads: only a loose file has them.
        return asUserWrites
                   ? " " + pick(kKeys) + " \t= " + pick(kValues)
                   : withoutBlanksAround(pick(kKeys)) + "=" + withoutBlanksAround(pick(kValues));
    }
  }

  std::string randomLineEnd(bool asUserWrites) {
    if (!asUserWrites || chance(50)) {
      return "\r\n";
    }
    return chance(80) ? "\n" : "\r";
  }

  // A file made by hand: sections, keys, comments, foreign lines, duplicates, lines before
  // the first section and, when `asUserWrites`, blanks, blank lines and other line ends.
  std::string randomFile(bool asUserWrites) {
    std::string text;
    const int lines = std::uniform_int_distribution<int>(0, 30)(random);
    for (int i = 0; i < lines; ++i) {
      const bool blank = asUserWrites && chance(10);
      const std::string line = blank ? "" : randomLine(asUserWrites);
      if (line.find_first_of("\r\n") == std::string::npos) {
        text += line + randomLineEnd(asUserWrites);
      }
    }
    return text;
  }

  void removeBoth() {
    store.flush();
    fs::remove(ours());
    fs::remove(twin());
    loose[profile] = false;
  }

  void replaceBoth() {
    loose[profile] = chance(30);
    const auto content = toProfileCodePage(randomFile(loose[profile]));
    test::writeFile(ours(), content);
    test::writeFile(twin(), content);
  }

  void compareRead(const std::string& section, const std::string& key, const std::string& step) {
    const std::string defaultValue = pick(kDefaults);
    EXPECT_EQ(store.ReadIni(section, key, defaultValue), platformRead(section, key, defaultValue))
        << step << " default " << defaultValue;
  }

  void compareWrite(const std::string& section, const std::string& key, const std::string& step) {
    const std::string value = pick(kValues);
    if (writeOurs(section, key, value)) {
      platformWrite(section, key, value);
      // Wine keeps blanks after a new name or value until it next loads the file.
      loose[profile] =
          loose[profile] || endsWithBlank(section) || endsWithBlank(key) || endsWithBlank(value);
    }
    expectSameBytes(step + "=" + value);
  }
};

TEST_F(ProfileConformanceTest, OneSeededSequenceGivesTheSameValuesAndBytes) {
  ASSERT_EQ(::GetACP(), 932u) << "runs under a Japanese locale";
  for (int step = 0; step < kSteps && !HasFailure(); ++step) {
    profile = std::uniform_int_distribution<std::size_t>(0, kProfiles.size() - 1)(random);
    const std::string section = pick(kSections);
    const std::string key = pick(kKeys);
    const std::string trace = "step " + std::to_string(step) + " [" + section + "] " + key;
    const int kind = std::uniform_int_distribution<int>(1, 100)(random);
    if (kind <= 3) {
      removeBoth();
    } else if (kind <= 6) {
      replaceBoth();
    } else if (kind <= 55) {
      compareRead(section, key, trace);
    } else {
      compareWrite(section, key, trace);
    }
  }
}

// A profile saved by an editor as "UTF-8 with BOM": the mark, then UTF-8 text, whatever the
// code page.
TEST_F(ProfileConformanceTest, ProfileWithAUtf8ByteOrderMark) {
  ASSERT_EQ(::GetACP(), 932u) << "runs under a Japanese locale";
  const std::string mark = "\xEF\xBB\xBF";
  const struct {
    std::string name, content;
  } cases[] = {
      {"ASCII", mark + "[Path]\r\nLocal=C:\\a\\\r\n[Tandro]\r\nx=1\r\n"},
      {"Japanese", mark + "[Path]\r\nLocal=C:\\資料\\\r\n[日本語]\r\nキー=値\r\nk=한국어\r\n"},
      {"key before any section", mark + "x=0\r\n[Path]\r\nLocal=C:\\\r\n"},
      {"the mark alone", mark},
  };
  const struct {
    std::string section, key;
  } reads[] = {
      {"Path", "Local"}, {"Tandro", "x"}, {"日本語", "キー"}, {"日本語", "k"}, {"Path", "x"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    store.flush();
    test::writeFile(ours(), c.content);
    test::writeFile(twin(), c.content);
    for (const auto& read : reads) {
      compareRead(read.section, read.key, "read [" + read.section + "] " + read.key);
    }
    for (const auto& [section, key, value] :
         {std::tuple<std::string, std::string, std::string>{"Tandro", "y", "2"},
          {"Path", "Local", "D:\\"},
          {"日本語", "キー", "新しい値"}}) {
      if (writeOurs(section, key, value)) {
        platformWrite(section, key, value);
      }
      expectSameBytes("write [" + section + "] " + key + "=" + value);
      compareRead(section, key, "read back [" + section + "] " + key);
    }
  }
}

}  // namespace
}  // namespace tandro
