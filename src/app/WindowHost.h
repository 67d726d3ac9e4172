// The main window as host of a synchronisation run.
#pragma once

#include "app/UiHeartbeat.h"
#include "dialogs/MessageBoxes.h"
#include "sync/SyncHost.h"

namespace tandro {

class FrmTandro;

class WindowHost : public SyncHost {
 public:
  WindowHost(FrmTandro& window, MessageBoxes& messageBoxes, EventLog& eventLog);

  void addLog(const std::string& line) override;
  void prependToLog(const std::string& text) override;
  void clearLog() override;
  Answer confirm(const std::string& text) override;
  bool confirmWarning(const std::string& text) override;
  bool previewEnabled() override;
  void showMessage(const std::string& text, MessageIcon icon) override;
  EventLog& eventLog() override { return eventLog_; }
  void progress(std::size_t done, std::size_t total) override;

 private:
  FrmTandro& window_;
  MessageBoxes& messageBoxes_;
  EventLog& eventLog_;
  UiHeartbeat heartbeat_;
};

// The box icon that shows a core message icon.
MessageBoxes::Icon boxIcon(MessageIcon icon);

}  // namespace tandro
