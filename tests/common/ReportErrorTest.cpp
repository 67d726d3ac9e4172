#include "common/ReportError.h"

#include <gtest/gtest.h>

#include <vector>

namespace tandro {
namespace {

struct RecordingHost : MessageHost, EventLog {
  std::vector<std::pair<std::string, MessageIcon>> messages;
  std::vector<std::string> entries;
  void showMessage(const std::string& text, MessageIcon icon) override {
    messages.emplace_back(text, icon);
  }
  EventLog& eventLog() override { return *this; }
  void writeError(const std::string& text) override { entries.push_back(text); }
};

struct ChainCase {
  std::string source;
  std::string expectedChain;
};

class ReportErrorChainTest : public ::testing::TestWithParam<ChainCase> {};

TEST_P(ReportErrorChainTest, MarksTheOriginAndPutsTheLabelInFront) {
  RecordingHost host;
  const Failure failure(76, GetParam().source, "パスが見つかりません。");
  const std::string report = ReportError(failure, "同期処理", false, host);
  EXPECT_EQ(report, GetParam().expectedChain + "  [76] パスが見つかりません。");
  ASSERT_EQ(host.entries.size(), 1u);
  EXPECT_EQ(host.entries[0], report);
  EXPECT_TRUE(host.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Chains, ReportErrorChainTest,
    ::testing::Values(ChainCase{"Tandro", "同期処理<=Tandro"},
                      ChainCase{"Crypt>Tandro", "同期処理>Crypt<=Tandro"},
                      ChainCase{"GetFileList>GetFileList>X", "同期処理>GetFileList>GetFileList<=X"},
                      ChainCase{"Crypt>Origin>Inner", "同期処理>Crypt>Origin<=Inner"},
                      ChainCase{"", "同期処理<="}));

TEST(ReportErrorTest, ShowsOnlyTheHeadWithTheStopIcon) {
  RecordingHost host;
  const Failure failure(-2147221504, "Tandro", "長いパスには対応していません。");
  ReportError(failure, "同期処理", true, host);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].first, "  [-2147221504] 長いパスには対応していません。");
  EXPECT_EQ(host.messages[0].second, MessageIcon::Stop);
  EXPECT_EQ(host.entries[0], "同期処理<=Tandro  [-2147221504] 長いパスには対応していません。");
}

TEST(FailureTest, PassingOnPrependsTheLabelEachTime) {
  try {
    passingFailuresAs("GetFileList>", [] {
      passingFailuresAs("GetFileList>", [] { throw Failure::ofNumber(76); });
    });
    FAIL() << "no failure";
  } catch (const Failure& failure) {
    EXPECT_EQ(failure.source(), "GetFileList>GetFileList>Tandro");
    EXPECT_EQ(failure.numberAndDescription(), "76:パスが見つかりません。");
  }
}

}  // namespace
}  // namespace tandro
