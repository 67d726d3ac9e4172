// Starts the desktop program: its identity, the single-instance check, then the main window.
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QUrl>

#include "app/AppIcon.h"
#include "app/FrmTandro.h"
#include "app/MainController.h"
#include "app/SingleInstance.h"
#include "common/ProductInfo.h"
#include "dialogs/DriveRoots.h"
#include "dialogs/MessageBoxes.h"
#include "profile/ProfileFolder.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  // The display name follows the name; set on its own, Qt would append it to every caption.
  QApplication::setApplicationName(QString::fromUtf8(tandro::kProductName));
  QApplication::setOrganizationName(QString::fromUtf8(tandro::kTrademarks));
  QApplication::setApplicationVersion(QString::fromUtf8(tandro::kVersionText));
  QApplication::setWindowIcon(tandro::appIcon());

  tandro::DesktopMessageBoxes messageBoxes;
  tandro::SystemEventLog eventLog;
  tandro::SystemClock clock;
  tandro::FrmTandro window;
  QString profiles = QString::fromStdString(tandro::profileFolder(
      QDir::toNativeSeparators(QApplication::applicationDirPath()).toStdString(),
      window.fileSystem()));
  profiles.chop(1);  // the controller adds the separator itself
  tandro::MainController controller(
      window, {profiles, messageBoxes, eventLog, clock,
               [](const QString& path) { QDesktopServices::openUrl(QUrl::fromLocalFile(path)); },
               &tandro::mountedDriveRoots});
  tandro::SingleInstance instance;
  if (!controller.load(instance)) {
    return 0;
  }
  window.show();
  return QApplication::exec();
}
