// A host for runs under test: keeps the log text exactly as the window would, answers
// questions from a script and records every message and event-log entry.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "sync/SyncHost.h"

namespace tandro::test {

class ScriptedHost : public SyncHost, public EventLog {
 public:
  void addLog(const std::string& line) override { log = line + "\r\n" + log; }
  void prependToLog(const std::string& text) override { log = text + log; }
  void clearLog() override { log.clear(); }
  Answer confirm(const std::string& text) override;
  bool confirmWarning(const std::string& text) override;
  bool previewEnabled() override { return preview; }
  void planned(std::size_t transfers, std::uint64_t bytes) override {
    plannedTransfers = transfers;
    plannedBytes = bytes;
    if (whenPlanned) {
      whenPlanned();
    }
  }
  void copied(std::uint64_t bytes) override {
    copiedBytes = bytes;
    toldOffItsThread |= std::this_thread::get_id() != thread;
  }
  void showMessage(const std::string& text, MessageIcon icon) override;
  EventLog& eventLog() override { return *this; }
  void writeError(const std::string& text) override { eventEntries.push_back(text); }

  std::string log;
  bool preview = false;
  std::deque<Answer> answers;  // Cancel once they run out, like a closed box
  // Runs while the next question is open, as if the user changed files meanwhile.
  std::function<void()> whileAsked;
  std::vector<std::string> questions;
  std::deque<bool> warningAnswers;  // No once they run out, like a closed box
  std::vector<std::string> warnings;
  // Runs once the plan is made, before the first action.
  std::function<void()> whenPlanned;
  std::size_t plannedTransfers = 0;
  std::uint64_t plannedBytes = 0;
  std::vector<std::string> messages;
  std::vector<MessageIcon> messageIcons;
  std::vector<std::string> eventEntries;
  std::uint64_t copiedBytes = 0;  // as last told
  // Runs are made on the thread that made the host; a host is told things on that one only.
  std::thread::id thread = std::this_thread::get_id();
  bool toldOffItsThread = false;
};

}  // namespace tandro::test
