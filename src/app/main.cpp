// Starts the desktop program: its identity, then the main window.
#include <QApplication>

#include "app/AppIcon.h"
#include "app/FrmTandro.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tandro"));
  QApplication::setApplicationDisplayName(QStringLiteral("Tandro"));
  QApplication::setOrganizationName(QStringLiteral("Velmoro"));
  QApplication::setWindowIcon(tandro::appIcon());

  tandro::FrmTandro window;
  window.show();
  return QApplication::exec();
}
