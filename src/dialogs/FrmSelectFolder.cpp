#include "dialogs/FrmSelectFolder.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>
#include <algorithm>
#include <utility>

#include "common/Failure.h"
#include "dialogs/MessageBoxes.h"
#include "dialogs/PlacedControl.h"

namespace tandro {

namespace {

constexpr Qt::WindowFlags kWindowFlags =
    Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
constexpr QSize kClientSize{400, 213};
constexpr int kPathRole = Qt::UserRole;

QPushButton* placeButton(QWidget* dialog, const char* name, const QRect& geometry,
                         const QString& caption) {
  auto* button = place<QPushButton>(dialog, name, geometry);
  button->setText(caption);
  return button;
}

// Levels are opened by double-click and never folded, so no line gets an expand arrow.
class FolderList : public QTreeWidget {
 public:
  using QTreeWidget::QTreeWidget;

 protected:
  void drawBranches(QPainter*, const QRect&, const QModelIndex&) const override {}
};

QTreeWidget* placeFolderList(QWidget* dialog) {
  auto* list = place<FolderList>(dialog, "Dir1", QRect(8, 32, 297, 174));
  list->setHeaderHidden(true);
  list->setRootIsDecorated(false);
  list->setItemsExpandable(false);
  list->setExpandsOnDoubleClick(false);
  list->setIndentation(12);
  list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  return list;
}

QString childPath(const QString& parent, const QString& name) {
  return parent.endsWith(QLatin1Char('/')) ? parent + name : parent + QLatin1Char('/') + name;
}

// The folders from `drive` down to `folder`, which lies on it.
QStringList levelsBetween(const QString& drive, const QString& folder) {
  QStringList levels{drive};
  for (const QString& name : folder.mid(drive.size()).split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
    levels << childPath(levels.last(), name);
  }
  return levels;
}

// Hidden folders stay out, as in the desktop's own file dialogs: a home folder would
// otherwise open on a screenful of settings folders. Links are not folders (FileSystem.h).
QStringList subFolderNames(FileSystem& fileSystem, const QString& folder) {
  QStringList names;
  for (const FolderEntry& entry : fileSystem.listFolder(QFile::encodeName(folder).toStdString())) {
    if (entry.kind == EntryKind::Folder && !entry.name.starts_with('.')) {
      names << QFile::decodeName(entry.name.c_str());
    }
  }
  std::sort(names.begin(), names.end(), [](const QString& left, const QString& right) {
    const int order = left.compare(right, Qt::CaseInsensitive);
    return order != 0 ? order < 0 : left < right;
  });
  return names;
}

QString withTrailingSeparator(const QString& path) {
  return path.endsWith(QDir::separator()) ? path : path + QDir::separator();
}

}  // namespace

FrmSelectFolder::FrmSelectFolder(MessageBoxes& messageBoxes, QStringList driveRoots,
                                 QWidget* parent)
    : QDialog(parent, kWindowFlags),
      messageBoxes_(messageBoxes),
      fileSystem_(createPlatformFileSystem()),
      driveRoots_(std::move(driveRoots)),
      ui_(createControls()) {
  setObjectName(QStringLiteral("frmSelectFolder"));
  setWindowTitle(QStringLiteral("フォルダー選択"));
  setFixedSize(kClientSize);
  chainTabOrder();
  ui_.OKButton->setDefault(true);
  ui_.OKButton->setFocus();
  showWorkingFolder();
  // Connected last, so that filling the lists raises no drive change of its own.
  connectControls();
}

// The form was laid out in twips; these are its pixels, at 15 twips to a pixel.
FrmSelectFolder::Controls FrmSelectFolder::createControls() {
  Controls ui{};
  ui.OKButton = placeButton(this, "OKButton", QRect(312, 8, 81, 25), QStringLiteral("OK"));
  ui.CancelButton =
      placeButton(this, "CancelButton", QRect(312, 40, 81, 25), QStringLiteral("ｷｬﾝｾﾙ"));
  ui.Dir1 = placeFolderList(this);
  ui.Drive1 = place<QComboBox>(this, "Drive1", QRect(8, 8, 297, 20));
  ui.Drive1->addItems(driveRoots_);
  return ui;
}

void FrmSelectFolder::chainTabOrder() {
  QWidget::setTabOrder(ui_.OKButton, ui_.CancelButton);
  QWidget::setTabOrder(ui_.CancelButton, ui_.Dir1);
  QWidget::setTabOrder(ui_.Dir1, ui_.Drive1);
}

void FrmSelectFolder::connectControls() {
  connect(ui_.OKButton, &QPushButton::clicked, this, &FrmSelectFolder::onOkClicked);
  connect(ui_.CancelButton, &QPushButton::clicked, this, &FrmSelectFolder::onCancelClicked);
  connect(ui_.Dir1, &QTreeWidget::itemDoubleClicked, this, &FrmSelectFolder::onLineDoubleClicked);
  connect(ui_.Drive1, &QComboBox::currentIndexChanged, this, &FrmSelectFolder::onDriveChanged);
}

// Until the load moves it, the dialog shows the program's working folder; the system root
// stands in when that folder is gone.
void FrmSelectFolder::showWorkingFolder() {
  for (const QString& folder : {QDir::currentPath(), QDir::rootPath()}) {
    try {
      openFolder(folder);
      return;
    } catch (const Failure&) {
    }
  }
}

void FrmSelectFolder::showEvent(QShowEvent* event) {
  if (!loaded_) {
    loaded_ = true;
    load();
  }
  QDialog::showEvent(event);
}

// Each step that fails is skipped without a word; a drive change reports its own failure.
void FrmSelectFolder::load() {
  const QString start = Path.isEmpty() ? QCoreApplication::applicationDirPath()
                                       : QDir::cleanPath(QDir::fromNativeSeparators(Path));
  showDriveOf(start);
  try {
    openFolder(start);
  } catch (const Failure&) {
  }
  ReturnOK = false;
}

void FrmSelectFolder::openFolder(const QString& folder) {
  const QString drive = driveOf(driveRoots_, folder);
  if (drive.isEmpty()) {
    throw Failure::ofNumber(failure_number::kPathNotFound, folder.toStdString());
  }
  const QStringList names = subFolderNames(*fileSystem_, folder);
  currentFolder_ = folder;
  fillFolderList(drive, names);
  // Mounts nest on Linux: opening a sub-folder can step onto another drive.
  showDriveOf(folder);
}

void FrmSelectFolder::fillFolderList(const QString& drive, const QStringList& subFolderNames) {
  ui_.Dir1->clear();
  QTreeWidgetItem* current = nullptr;
  for (const QString& level : levelsBetween(drive, currentFolder_)) {
    current = addLine(current, level, current ? level.section(QLatin1Char('/'), -1) : level, true);
  }
  for (const QString& name : subFolderNames) {
    addLine(current, childPath(currentFolder_, name), name, false);
  }
  ui_.Dir1->expandAll();
  ui_.Dir1->setCurrentItem(current);
}

QTreeWidgetItem* FrmSelectFolder::addLine(QTreeWidgetItem* parent, const QString& folder,
                                          const QString& text, bool open) {
  auto* line = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(ui_.Dir1);
  line->setText(0, text);
  line->setData(0, kPathRole, folder);
  line->setIcon(0, style()->standardIcon(open ? QStyle::SP_DirOpenIcon : QStyle::SP_DirClosedIcon));
  return line;
}

void FrmSelectFolder::showDriveOf(const QString& folder) {
  const int index = driveRoots_.indexOf(driveOf(driveRoots_, folder));
  if (index >= 0) {
    ui_.Drive1->setCurrentIndex(index);
  }
}

void FrmSelectFolder::reportFailure(const Failure& failure) {
  messageBoxes_.show(this, QString::fromStdString(failure.description()), MessageBoxes::Buttons::Ok,
                     MessageBoxes::Icon::Stop);
}

// A drive opens on the program's working folder when that lies on it, else on its root.
// Going back to the drive the list is on finds nothing to do, which ends the round after a
// failure.
void FrmSelectFolder::onDriveChanged(int index) {
  const QString drive = driveRoots_.value(index);
  if (driveOf(driveRoots_, currentFolder_) == drive) {
    return;
  }
  const QString working = QDir::currentPath();
  try {
    openFolder(driveOf(driveRoots_, working) == drive ? working : drive);
  } catch (const Failure& failure) {
    reportFailure(failure);
    showDriveOf(currentFolder_);
  }
}

void FrmSelectFolder::onLineDoubleClicked(QTreeWidgetItem* line) {
  try {
    openFolder(line->data(0, kPathRole).toString());
  } catch (const Failure& failure) {
    reportFailure(failure);
  }
}

void FrmSelectFolder::onOkClicked() {
  Path = withTrailingSeparator(QDir::toNativeSeparators(currentFolder_));
  ReturnOK = true;
  accept();
}

void FrmSelectFolder::onCancelClicked() {
  Path.clear();
  reject();
}

}  // namespace tandro
