// Starts the desktop program: its identity, the single-instance check, then the main window.
#include <QApplication>
#include <QDesktopServices>
#include <QUrl>

#include "app/AppIcon.h"
#include "app/FrmTandro.h"
#include "app/MainController.h"
#include "app/SingleInstance.h"
#include "dialogs/DriveRoots.h"
#include "dialogs/MessageBoxes.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  // The display name follows the name; set on its own, Qt would append it to every caption.
  QApplication::setApplicationName(QStringLiteral("Tandro"));
  QApplication::setOrganizationName(QStringLiteral("Velmoro"));
  QApplication::setWindowIcon(tandro::appIcon());

  tandro::DesktopMessageBoxes messageBoxes;
  tandro::SystemEventLog eventLog;
  tandro::SystemClock clock;
  tandro::FrmTandro window;
  tandro::MainController controller(
      window, {QApplication::applicationDirPath(), messageBoxes, eventLog, clock,
               [](const QString& path) { QDesktopServices::openUrl(QUrl::fromLocalFile(path)); },
               tandro::mountedDriveRoots()});
  tandro::SingleInstance instance;
  if (!controller.load(instance)) {
    return 0;
  }
  window.show();
  return QApplication::exec();
}
