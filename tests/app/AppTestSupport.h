// What the window tests share: message boxes answered from a script, a fixed clock, a
// recording event log, a private settings store, a person's actions on the controls, and a
// desk: the real window and its controller over a temporary profile folder.
#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <QStringList>
#include <QTemporaryDir>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "app/FrmTandro.h"
#include "app/MainController.h"
#include "app/SingleInstance.h"
#include "dialogs/MessageBoxes.h"
#include "support/FixedClock.h"

class QAbstractButton;

namespace tandro::test {

class ScriptedMessageBoxes : public MessageBoxes {
 public:
  struct Shown {
    QString text;
    Buttons buttons;
    Icon icon;
    QString title;
  };

  // The next box gets `result`; `whileOpen` runs first, as if the user looked around.
  void answer(Result result, std::function<void()> whileOpen = {});
  Result show(QWidget* parent, const QString& text, Buttons buttons, Icon icon,
              const QString& title) override;

  // Boxes no answer was scripted for are answered Cancel and counted here.
  int unexpected = 0;
  std::vector<Shown> shown;
  bool allAnswered() const { return answers_.empty(); }

 private:
  struct Answer {
    Result result;
    std::function<void()> whileOpen;
  };
  std::deque<Answer> answers_;
};

// 2008/02/19 15:00:59 local time, the moment of every run.
std::int64_t runMoment();
inline const QString kNowText = QStringLiteral("2008/02/19 15:00:59");

class RecordingEventLog : public EventLog {
 public:
  void writeError(const std::string& text) override { entries.push_back(text); }
  std::vector<std::string> entries;
};

// "PrevActive" as the per-user store holds it; nothing when it is not stored.
std::optional<QString> storedPrevActive();
void storePrevActive(const QString& text);
void forgetPrevActive();

QByteArray readFile(const QString& path);
void writeFile(const QString& path, const QByteArray& content);

// A person at the window.
void click(QAbstractButton* button);
void typeInto(QLineEdit* box, const QString& text);
void typeInto(QComboBox* list, const QString& text);
// Opens the drop-down list and clicks the entry at `position`.
void chooseEntry(QComboBox* list, int position);

// The roots in the trees folder and the moment files are given by default.
struct Trees {
  Trees();
  QString local() const { return folder.path() + QStringLiteral("/local/"); }
  QString removable() const { return folder.path() + QStringLiteral("/usb/"); }
  // `relative` with "/" between names, below `root`; folders are made as needed.
  void put(const QString& root, const QString& relative, const QByteArray& content = "x");
  bool has(const QString& root, const QString& relative) const;
  QTemporaryDir folder;
};

QString uniqueServerName();

// The window and its controller over a temporary profile folder; the window is not loaded.
struct Desk {
  explicit Desk(const QString& serverName = uniqueServerName(), const QStringList& driveRoots = {},
                FrmTandro::FileSystemFactory makeFileSystem = createPlatformFileSystem);

  // Loads and shows the window; false when the load ended this copy.
  bool start();
  const FrmTandro::Controls& ui() const { return window.controls(); }
  QString profilePath(const QString& name) const;
  // A profile file holding the two roots; a null root leaves its key out.
  void writeProfile(const QString& name, const QString& local, const QString& removable);
  // The combo's list, top to bottom.
  QStringList profileList() const;

  const QString serverName;
  QTemporaryDir profiles;
  ScriptedMessageBoxes boxes;
  RecordingEventLog eventLog;
  FixedClock clock{runMoment()};
  QStringList editedFiles;
  FrmTandro window;
  QStringList drives;  // what the folder picker finds when it opens
  MainController controller;
  SingleInstance instance;
};

// Runs the test object with the per-user settings in a folder of its own, so that no test
// reads or writes the user's real settings, and parallel tests do not meet.
int runIsolated(QObject& testObject, int argc, char** argv);

}  // namespace tandro::test

#define TANDRO_APP_TEST_MAIN(TestClass)                       \
  int main(int argc, char** argv) {                           \
    TestClass testObject;                                     \
    return tandro::test::runIsolated(testObject, argc, argv); \
  }
