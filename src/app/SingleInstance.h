// One running copy per user: the first copy serves a local socket; a second one finds it,
// says so, asks the first to bring its window forward, and ends.
#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

class QWidget;

namespace tandro {

class MessageBoxes;

class SingleInstance : public QObject {
  Q_OBJECT

 public:
  // `serverName` is the per-user meeting point; tests pass one of their own. Without one
  // (empty) this copy neither finds nor serves others: it runs unguarded.
  explicit SingleInstance(QString serverName = defaultServerName());

  // True when another copy answers at the meeting point.
  bool anotherCopyRuns();
  // Asks the running copy to restore, raise and activate its window.
  void activateRunningCopy();
  // Starts answering later copies by bringing `window` forward. A meeting point left behind
  // by a copy that crashed is taken over. Throws a Failure when the socket cannot be served.
  void serve(QWidget& window);

  // A socket in a folder only this user can enter; on POSIX the session's runtime folder
  // ($XDG_RUNTIME_DIR) when it is the user's alone, else a folder of mode 0700 this program
  // makes in the temporary folder. Empty when neither can be had.
  static QString defaultServerName();

 private:
  void onConnection();

  QString serverName_;
  QLocalServer server_;
  QWidget* window_ = nullptr;
};

// The start-up check: false when this is the only copy (and it now serves); true when another
// copy runs, after the user was told, that copy activated and `form` closed. Failures are
// raised with "CheckDuplicateMe(<title>)>" in front of their source.
bool CheckDuplicateMe(QWidget& form, SingleInstance& instance, MessageBoxes& messageBoxes);

}  // namespace tandro
