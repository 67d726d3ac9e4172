// The main window as host of a synchronisation run.
#pragma once

#include "app/UiHeartbeat.h"
#include "dialogs/MessageBoxes.h"
#include "sync/RunProgress.h"
#include "sync/SyncHost.h"

namespace tandro {

class FrmTandro;

class WindowHost : public SyncHost {
 public:
  // For one run: its progress shows in the window's title until the host is gone.
  WindowHost(FrmTandro& window, MessageBoxes& messageBoxes, EventLog& eventLog);
  ~WindowHost() override;
  WindowHost(const WindowHost&) = delete;
  WindowHost& operator=(const WindowHost&) = delete;

  void addLog(const std::string& line) override;
  void prependToLog(const std::string& text) override;
  void clearLog() override;
  Answer confirm(const std::string& text) override;
  bool confirmWarning(const std::string& text) override;
  bool previewEnabled() override;
  void showMessage(const std::string& text, MessageIcon icon) override;
  EventLog& eventLog() override { return eventLog_; }
  void planned(std::size_t transfers, std::uint64_t bytes) override;
  void progress(std::size_t done, std::size_t total) override;
  void copied(std::uint64_t bytes) override;

 private:
  void showProgress();

  FrmTandro& window_;
  MessageBoxes& messageBoxes_;
  EventLog& eventLog_;
  UiHeartbeat heartbeat_;
  const QString idleTitle_;
  RunProgress progress_;
  int shownPercent_ = -1;
};

// The box icon that shows a core message icon.
MessageBoxes::Icon boxIcon(MessageIcon icon);

}  // namespace tandro
