// What the window's commands need from outside the window; tests pass their own.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

#include "common/Clock.h"
#include "common/EventLog.h"

namespace tandro {

class MessageBoxes;

struct AppServices {
  // The folder of the profile files (see ProfileFolder.h).
  QString profileFolder;
  MessageBoxes& messageBoxes;
  EventLog& eventLog;
  Clock& clock;
  // Opens a file in the system's text editor; failures are the editor's business.
  std::function<void(const QString& filePath)> openInEditor;
  // The drives of the folder picker, as they are when it opens.
  std::function<QStringList()> driveRoots;
};

}  // namespace tandro
