#include "app/SingleInstance.h"

#include <QGuiApplication>
#include <QLocalSocket>
#include <QWidget>

#include "app/MessageBoxes.h"
#include "common/Failure.h"

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

}  // namespace

SingleInstance::SingleInstance(QString serverName) : serverName_(std::move(serverName)) {
  server_.setSocketOptions(QLocalServer::UserAccessOption);
  connect(&server_, &QLocalServer::newConnection, this, &SingleInstance::onConnection);
}

QString SingleInstance::defaultServerName() {
  const QString user = qEnvironmentVariable("USER", qEnvironmentVariable("USERNAME"));
  return QStringLiteral("Tandro-") + user;
}

bool SingleInstance::anotherCopyRuns() {
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
