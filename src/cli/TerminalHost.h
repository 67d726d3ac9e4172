// The terminal as host of a run: log lines on stdout as they come, questions and messages
// on stderr (a message on one line), answers from stdin, and progress on one updating line
// when stderr is a terminal.
#pragma once

#include <chrono>
#include <cstdio>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "sync/RunProgress.h"
#include "sync/SyncHost.h"

namespace tandro {

class TerminalHost : public SyncHost {
 public:
  // `keepLog`: the log text is kept for logText(); without it, a run of a million files does
  // not hold a million log lines.
  TerminalHost(bool preview, bool keepLog, EventLog& eventLog);

  void addLog(const std::string& line) override;
  void prependToLog(const std::string& text) override;
  void clearLog() override;
  Answer confirm(const std::string& text) override;
  // y or n; the end of the input is n.
  bool confirmWarning(const std::string& text) override;
  bool previewEnabled() override { return preview_; }
  void showMessage(const std::string& text, MessageIcon icon) override;
  EventLog& eventLog() override { return eventLog_; }
  void planned(std::size_t transfers, std::uint64_t bytes) override;
  void progress(std::size_t done, std::size_t total) override;
  void copied(std::uint64_t bytes) override;

  // The text the window's log box would show: newest first, CR LF after every line. Empty
  // unless the log is kept.
  std::string logText() const;

 private:
  void clearProgressLine();
  bool progressDue();
  void showProgressLine(const std::string& line);
  // Asks until one of `answers` (lower case) is typed; nothing at the end of the input.
  std::optional<std::string> ask(const std::string& text, const char* choices,
                                 std::initializer_list<const char*> answers);
  void putInFront(const std::string& piece);

  bool preview_;
  bool keepLog_;
  EventLog& eventLog_;
  // The pieces of the log text end to end, the one in front last, so that adding on top
  // costs nothing; where each ends.
  std::string pieces_;
  std::vector<std::size_t> pieceEnds_;
  std::string topLine_;  // the log's first line as it stands
  bool showProgress_;
  bool progressShown_ = false;
  std::chrono::steady_clock::time_point nextProgress_{};
  RunProgress runProgress_;
};

// Each CR LF or lone CR of a message as one line break of the terminal.
std::string withTerminalLineBreaks(const std::string& text);

}  // namespace tandro
