#include "app/SingleInstance.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLocalSocket>
#include <QWidget>

#include "common/Failure.h"
#include "dialogs/MessageBoxes.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace tandro {

namespace {

constexpr int kWaitMs = 2000;
const QByteArray kActivate = QByteArrayLiteral("activate\n");
const QString kAlreadyRunning =
    QStringLiteral("このプログラムは、すでに起動しています。\rそちらをアクティブにします。");

Failure socketFailure(const QString& detail) {
  return Failure::ofNumber(failure_number::kPathFileAccess, detail.toStdString());
}

void bringForward(QWidget& window) {
  window.setWindowState((window.windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
  window.show();
  window.raise();
  window.activateWindow();
}

#ifndef _WIN32
constexpr QFile::Permissions kOwnerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
constexpr QFile::Permissions kGroupAndOthers = QFile::ReadGroup | QFile::WriteGroup |
                                               QFile::ExeGroup | QFile::ReadOther |
                                               QFile::WriteOther | QFile::ExeOther;

// Only then can nobody else put a socket at the name first or swap the folder under us.
bool isPrivateFolder(const QString& path) {
  const QFileInfo folder(path);
  const QFile::Permissions permissions = folder.permissions();
  return folder.isDir() && !folder.isSymLink() && folder.ownerId() == ::geteuid() &&
         permissions.testFlags(kOwnerOnly) && !permissions.testAnyFlags(kGroupAndOthers);
}

// The session's runtime folder, else a folder of our own in the temporary folder; empty when
// neither is private. The temporary folder's name is predictable, so whoever made it first
// must be checked rather than trusted.
QString privateFolder() {
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (QDir::isAbsolutePath(runtime) && isPrivateFolder(runtime)) {
    return runtime;
  }
  const QString own = QDir::tempPath() + QStringLiteral("/tandro-") + QString::number(::geteuid());
  QDir().mkdir(own, kOwnerOnly);  // fails when it exists; what is there is checked all the same
  if (isPrivateFolder(own)) {
    return own;
  }
  qWarning("Tandro: %s is not this user's alone; starting without the single-instance check",
           qPrintable(QDir::toNativeSeparators(own)));
  return {};
}
#endif

}  // namespace

SingleInstance::SingleInstance(QString serverName) : serverName_(std::move(serverName)) {
  server_.setSocketOptions(QLocalServer::UserAccessOption);
  connect(&server_, &QLocalServer::newConnection, this, &SingleInstance::onConnection);
}

QString SingleInstance::defaultServerName() {
#ifdef _WIN32
  // A named pipe needs no folder; the access option keeps others out of it.
  return QStringLiteral("Tandro-") + qEnvironmentVariable("USER", qEnvironmentVariable("USERNAME"));
#else
  const QString folder = privateFolder();
  return folder.isEmpty() ? QString() : folder + QStringLiteral("/Tandro");
#endif
}

bool SingleInstance::anotherCopyRuns() {
  if (serverName_.isEmpty()) {
    return false;
  }
  QLocalSocket socket;
  socket.connectToServer(serverName_);
  return socket.waitForConnected(kWaitMs);
}

void SingleInstance::activateRunningCopy() {
  QLocalSocket socket;
  socket.connectToServer(serverName_);
  if (!socket.waitForConnected(kWaitMs)) {
    throw socketFailure(socket.errorString());
  }
  socket.write(kActivate);
  if (!socket.waitForBytesWritten(kWaitMs)) {
    throw socketFailure(socket.errorString());
  }
  socket.disconnectFromServer();
}

void SingleInstance::serve(QWidget& window) {
  window_ = &window;
  if (serverName_.isEmpty()) {
    return;
  }
  // With user-only access Qt binds a fresh socket and renames it over the name, so the socket
  // file of a copy that crashed is replaced instead of being in the way.
  if (!server_.listen(serverName_)) {
    throw socketFailure(server_.errorString());
  }
}

void SingleInstance::onConnection() {
  while (QLocalSocket* socket = server_.nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
      if (socket->readAll().contains(kActivate) && window_ != nullptr) {
        bringForward(*window_);
      }
    });
  }
}

bool CheckDuplicateMe(QWidget& form, SingleInstance& instance, MessageBoxes& messageBoxes) {
  QString savedTitle;
  try {
    if (!instance.anotherCopyRuns()) {
      instance.serve(form);
      return false;
    }
    messageBoxes.show(&form, kAlreadyRunning, MessageBoxes::Buttons::Ok,
                      MessageBoxes::Icon::Information, form.windowTitle());
    savedTitle = QGuiApplication::applicationDisplayName();
    // This copy's windows must not be taken for the running one's.
    form.setWindowTitle(QStringLiteral("dummy"));
    QGuiApplication::setApplicationDisplayName(QStringLiteral("dummy"));
    instance.activateRunningCopy();
    form.close();
    return true;
  } catch (Failure& failure) {
    failure.prependSource("CheckDuplicateMe(" + savedTitle.toStdString() + ")>");
    throw;
  }
}

}  // namespace tandro
