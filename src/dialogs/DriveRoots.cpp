#include "dialogs/DriveRoots.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

namespace tandro {

namespace {

bool holds(const QString& root, const QString& path) {
  const QString prefix = root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/');
  return path == root || path.startsWith(prefix);
}

}  // namespace

QStringList mountedDriveRoots() {
  QStringList volumes;
  for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
    // Containers bind-mount single files (/etc/hosts); only folders can be browsed.
    if (volume.isValid() && volume.isReady() && QFileInfo(volume.rootPath()).isDir()) {
      volumes << volume.rootPath();
    }
  }
  volumes.removeDuplicates();
  volumes.removeAll(QDir::rootPath());
  volumes.sort();
  return QStringList{QDir::rootPath()} + volumes;
}

QString driveOf(const QStringList& roots, const QString& path) {
  QString drive;
  for (const QString& root : roots) {
    if (root.size() > drive.size() && holds(root, path)) {
      drive = root;
    }
  }
  return drive;
}

}  // namespace tandro
