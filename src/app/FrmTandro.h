// The main window frmTandro: the profile list, the two root folders, the commands and the log.
// Its thirteen controls stand where the form was designed; the browse buttons follow the right
// edge and the log fills the rest of the window.
#pragma once

#include <QWidget>
#include <functional>
#include <memory>

#include "app/LogBox.h"
#include "common/FileSystem.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace tandro {

class FrmTandro : public QWidget {
  Q_OBJECT

 public:
  using FileSystemFactory = std::function<std::unique_ptr<FileSystem>()>;

  // `makeFileSystem` is called once, at the first use of fileSystem().
  explicit FrmTandro(FileSystemFactory makeFileSystem = createPlatformFileSystem,
                     QWidget* parent = nullptr);

  // Puts `line` and CR LF on top of the log and gets it on the screen soon, even while the
  // caller keeps the event loop waiting. Never fails.
  void AddLog(const QString& line);
  // Puts `text` in front of the whole log text as it stands.
  void prependToLog(const QString& text);
  void clearLog();
  // The whole log, newest line first, each line followed by CR LF.
  QString logText() const;
  // Paints log text that is not on the screen yet; for callers that keep the event loop waiting.
  void flushLog();

  // Locks or unlocks the profile list and both root folders; everything else stays usable.
  void EnableInputs(bool enabled);

  // The window's one file-system object, made at the first call and kept.
  FileSystem& fileSystem();

  // While a run works: the busy pointer, and the window does not close.
  void setRunning(bool running);

  struct Controls {
    QComboBox* cmbEnviron;
    QPushButton* Command3;
    QCheckBox* chkNoCopy;
    QPushButton* Command4;
    QPushButton* Command5;
    QLineEdit* Text1;
    QPushButton* Command1;
    QLineEdit* Text2;
    QPushButton* Command2;
    QPlainTextEdit* Text3;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
  };
  const Controls& controls() const { return ui_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  Controls createControls();
  void chainTabOrder();
  void applyResizeRule();
  void growClientTo(const QSize& size);
  void layOutControls();

  Controls ui_;
  LogBox log_;
  FileSystemFactory makeFileSystem_;
  std::unique_ptr<FileSystem> fileSystem_;
  bool running_ = false;
};

}  // namespace tandro
