// Which drives the folder picker offers and which of them a path belongs to.
#include <QDir>
#include <QFileInfo>
#include <QtTest>

#include "dialogs/DriveRoots.h"

namespace tandro {

class DriveRootsTest : public QObject {
  Q_OBJECT

 private slots:
  void driveOfPath_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("drive");
    const auto row = [](const char* name, const QString& path, const QString& drive) {
      QTest::newRow(name) << path << drive;
    };
    row("system root", "/", "/");
    row("folder on the system root", "/home/user", "/");
    row("volume root itself", "/media/usb", "/media/usb");
    row("folder on a volume", "/media/usb/docs", "/media/usb");
    row("innermost of nested volumes", "/media/usb/inner/x", "/media/usb/inner");
    row("name that only starts like a volume", "/media/usb2/docs", "/");
    row("relative path has no drive", "media/usb", "");
    row("empty path has no drive", "", "");
  }

  void driveOfPath() {
    QFETCH(QString, path);
    QFETCH(QString, drive);
    const QStringList roots{"/", "/media/usb", "/media/usb/inner"};
    QCOMPARE(driveOf(roots, path), drive);
  }

  void mountedRootsStartWithSystemRootOnceEach() {
    const QStringList roots = mountedDriveRoots();
    QVERIFY(!roots.isEmpty());
    QCOMPARE(roots.first(), QDir::rootPath());
    QStringList unique = roots;
    unique.removeDuplicates();
    QCOMPARE(unique, roots);
    for (const QString& root : roots) {
      QVERIFY2(QFileInfo(root).isDir(), qPrintable(root));
    }
  }
};

}  // namespace tandro

QTEST_GUILESS_MAIN(tandro::DriveRootsTest)
#include "DriveRootsTest.moc"
