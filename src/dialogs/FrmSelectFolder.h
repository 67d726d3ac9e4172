// frmSelectFolder: the modal dialog in which the user picks a folder with a drive list and a
// folder list. The caller sets Path to the start folder, runs exec() and reads Path back.
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <memory>

#include "common/FileSystem.h"
#include "dialogs/DriveRoots.h"

class QComboBox;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace tandro {

class Failure;
class MessageBoxes;

class FrmSelectFolder : public QDialog {
  Q_OBJECT

 public:
  // `driveRoots` fill the drive list (see DriveRoots.h); tests pass drives of their own.
  explicit FrmSelectFolder(MessageBoxes& messageBoxes, QStringList driveRoots = mountedDriveRoots(),
                           QWidget* parent = nullptr);

  // In: the start folder, may be empty (the executable's folder). Out: the chosen folder
  // ending with one separator after OK; empty after Cancel. Closing the window any other way
  // leaves it as the caller set it.
  QString Path;
  // Set once OK has been pressed.
  bool ReturnOK = false;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  struct Controls {
    QPushButton* OKButton;
    QPushButton* CancelButton;
    QTreeWidget* Dir1;
    QComboBox* Drive1;
  };

  Controls createControls();
  void chainTabOrder();
  void connectControls();
  void showWorkingFolder();
  void load();

  // Makes `folder` current and lists it; throws a Failure and changes nothing when it has no
  // drive or cannot be listed.
  void openFolder(const QString& folder);
  void fillFolderList(const QString& drive, const QStringList& subFolderNames);
  QTreeWidgetItem* addLine(QTreeWidgetItem* parent, const QString& folder, const QString& text,
                           bool open);
  // Selects the drive that holds `folder`; a different drive raises a drive change.
  void showDriveOf(const QString& folder);
  void reportFailure(const Failure& failure);

  void onDriveChanged(int index);
  void onLineDoubleClicked(QTreeWidgetItem* line);
  void onOkClicked();
  void onCancelClicked();

  MessageBoxes& messageBoxes_;
  std::unique_ptr<FileSystem> fileSystem_;
  QStringList driveRoots_;
  Controls ui_;
  // Dir1's value: the folder the list is opened on, not the highlighted line.
  QString currentFolder_;
  bool loaded_ = false;
};

}  // namespace tandro
