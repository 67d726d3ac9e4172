// The profile code page on Windows: the system's ANSI code page, 932 under the tests' locale.
#include <windows.h>

#include <gtest/gtest.h>

#include "profile/CodePage.h"

namespace tandro {
namespace {

TEST(CodePageWin32Test, JapaneseTextIsShiftJisAndOtherScriptsBecomeQuestionMarks) {
  ASSERT_EQ(::GetACP(), 932u) << "runs under a Japanese locale";
  const struct {
    std::string text;
    std::string bytes;
  } cases[] = {
      {"日本語", "\x93\xFA\x96\x7B\x8C\xEA"},
      {"ｶﾀｶﾅ", "\xB6\xC0\xB6\xC5"},
      {"表", "\x95\x5C"},  // its second byte is "\"
      {"a=b", "a=b"},
      {"한국어", "???"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(toProfileCodePage(c.text), c.bytes) << c.text;
  }
  EXPECT_EQ(fromProfileCodePage("\x8E\x91\x97\xBF\\\x95\xF1\x8D\x90\x8F\x91.txt"),
            "資料\\報告書.txt");
  EXPECT_EQ(throughProfileCodePage("資料 한국어"), "資料 ???");
}

// A profile many times longer than a piece of the conversion, whose lines end in CR LF or in
// a lone CR: the pieces end after either.
TEST(CodePageWin32Test, ALongProfileConvertsAsItsLinesDo) {
  std::string bytes;
  std::string text;
  for (int i = 0; i < 20000; ++i) {
    bytes += i % 2 == 0 ? "\x8E\x91\x97\xBF=\x95\x5C\r\n" : "\x95\x5C\r";
    text += i % 2 == 0 ? "資料=表\r\n" : "表\r";
  }
  EXPECT_EQ(fromProfileCodePage(bytes), text);
  EXPECT_EQ(toProfileCodePage(text), bytes);
}

}  // namespace
}  // namespace tandro
