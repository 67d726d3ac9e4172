#include "app/FrmTandro.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QEvent>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <iterator>
#include <utility>

#include "app/AppIcon.h"
#include "app/Twips.h"
#include "dialogs/PlacedControl.h"

namespace tandro {

namespace {

constexpr QSize kDesignClientSize{twipsToPixels(5805), twipsToPixels(3195)};
constexpr int kMinClientWidth = twipsToPixels(5775);
constexpr int kMinClientHeight = twipsToPixels(3285);

template <typename Control>
Control* placeCaptioned(QWidget* window, const char* name, const QRect& geometry,
                        const QString& caption, const QString& toolTip = {}) {
  auto* control = place<Control>(window, name, geometry);
  control->setText(caption);
  control->setToolTip(toolTip);
  return control;
}

// The controls were sized for a 9-point Japanese font with narrow kana; full-width kana at
// 11 px fit the same boxes. The Japanese family goes second, so that Latin text keeps the
// desktop font and the shared CJK characters take their Japanese forms whatever the locale.
QFont designFont(QFont font) {
  font.setPixelSize(11);
  font.setFamilies({font.family(), QStringLiteral("Noto Sans CJK JP")});
  return font;
}

QComboBox* placeProfileList(QWidget* window) {
  auto* list = place<QComboBox>(window, "cmbEnviron", twipsRect(840, 120, 1935, 300));
  list->setEditable(true);
  // The list mirrors the profile files; Enter in the text must not add an entry of its own.
  list->setInsertPolicy(QComboBox::NoInsert);
  // A typed name is a name, never a choice: Qt would complete it into a listed one and, when
  // the text loses focus, choose the entry it matches in any letter case.
  list->setCompleter(nullptr);
  QObject::disconnect(list->lineEdit(), &QLineEdit::editingFinished, list, nullptr);
  return list;
}

QPlainTextEdit* placeLog(QWidget* window) {
  auto* log = place<QPlainTextEdit>(window, "Text3", twipsRect(120, 1200, 5175, 1935));
  // Only the run writes the log; the user may select and copy it.
  log->setReadOnly(true);
  log->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  log->setTabChangesFocus(true);
  log->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  return log;
}

}  // namespace

FrmTandro::FrmTandro(FileSystemFactory makeFileSystem, QWidget* parent)
    : QWidget(parent),
      ui_(createControls()),
      log_(*ui_.Text3),
      makeFileSystem_(std::move(makeFileSystem)) {
  setObjectName(QStringLiteral("frmTandro"));
  setWindowTitle(QStringLiteral("Tandro"));
  setWindowIcon(appIcon());
  setFont(designFont(font()));
  chainTabOrder();
  resize(kDesignClientSize);
}

FrmTandro::Controls FrmTandro::createControls() {
  Controls ui{};
  ui.cmbEnviron = placeProfileList(this);
  ui.Command3 = placeCaptioned<QPushButton>(this, "Command3", twipsRect(2880, 120, 615, 255),
                                            QStringLiteral("同期"));
  ui.chkNoCopy = placeCaptioned<QCheckBox>(
      this, "chkNoCopy", twipsRect(3600, 120, 735, 255), QStringLiteral("確認"),
      QStringLiteral("チェックを入れるとファイルをコピーしません。"));
  ui.Command4 = placeCaptioned<QPushButton>(this, "Command4", twipsRect(4320, 120, 615, 255),
                                            QStringLiteral("編集"),
                                            QStringLiteral("設定ファイルを編集します。"));
  ui.Command5 = placeCaptioned<QPushButton>(this, "Command5", twipsRect(5040, 120, 615, 255),
                                            QStringLiteral("無効"),
                                            QStringLiteral("無効化された設定ファイルを作成します"));
  ui.Text1 = place<QLineEdit>(this, "Text1", twipsRect(1200, 480, 3375, 270));
  ui.Command1 = placeCaptioned<QPushButton>(this, "Command1", twipsRect(4680, 480, 615, 255),
                                            QStringLiteral("参照"));
  ui.Text2 = place<QLineEdit>(this, "Text2", twipsRect(1200, 840, 3375, 270));
  ui.Command2 = placeCaptioned<QPushButton>(this, "Command2", twipsRect(4680, 840, 615, 255),
                                            QStringLiteral("参照"));
  ui.Text3 = placeLog(this);
  ui.Label1 = placeCaptioned<QLabel>(this, "Label1", twipsRect(120, 540, 975, 255),
                                     QStringLiteral("ローカル"));
  ui.Label2 = placeCaptioned<QLabel>(this, "Label2", twipsRect(120, 900, 1095, 255),
                                     QStringLiteral("リムーバブル"));
  ui.Label3 = placeCaptioned<QLabel>(this, "Label3", twipsRect(120, 180, 615, 255),
                                     QStringLiteral("タイトル"));
  return ui;
}

// Labels take no focus, so the chain holds the ten other controls in design order.
void FrmTandro::chainTabOrder() {
  QWidget* const order[] = {ui_.cmbEnviron, ui_.Command3, ui_.chkNoCopy, ui_.Command4, ui_.Command5,
                            ui_.Text1,      ui_.Command1, ui_.Text2,     ui_.Command2, ui_.Text3};
  for (std::size_t i = 1; i < std::size(order); ++i) {
    QWidget::setTabOrder(order[i - 1], order[i]);
  }
}

void FrmTandro::AddLog(const QString& line) {
  log_.addLine(line);
}

void FrmTandro::prependToLog(const QString& text) {
  log_.putInFront(text);
}

void FrmTandro::clearLog() {
  log_.clear();
}

QString FrmTandro::logText() const {
  return log_.text();
}

void FrmTandro::flushLog() {
  log_.paintPending();
}

void FrmTandro::EnableInputs(bool enabled) {
  ui_.cmbEnviron->setEnabled(enabled);
  ui_.Text1->setEnabled(enabled);
  ui_.Text2->setEnabled(enabled);
}

FileSystem& FrmTandro::fileSystem() {
  if (!fileSystem_) {
    fileSystem_ = makeFileSystem_();
  }
  return *fileSystem_;
}

void FrmTandro::setRunning(bool running) {
  running_ = running;
  if (running) {
    setCursor(Qt::WaitCursor);
  } else {
    unsetCursor();
  }
}

// A run answers the desktop while it works; closing the window then would leave it running
// behind a window that is gone.
void FrmTandro::closeEvent(QCloseEvent* event) {
  if (running_) {
    event->ignore();
    return;
  }
  QWidget::closeEvent(event);
}

void FrmTandro::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  applyResizeRule();
}

void FrmTandro::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  // A window restored at the size it had when minimised gets no resize event.
  if (event->type() == QEvent::WindowStateChange) {
    applyResizeRule();
  }
}

// Width is corrected before height; each correction ends its pass, since the resize it causes
// runs the rule again.
void FrmTandro::applyResizeRule() {
  if (isMinimized()) {
    return;
  }
  if (width() < kMinClientWidth) {
    growClientTo({kMinClientWidth, height()});
    return;
  }
  if (height() < kMinClientHeight) {
    growClientTo({width(), kMinClientHeight});
    return;
  }
  layOutControls();
}

void FrmTandro::growClientTo(const QSize& size) {
  resize(size);
  // A visible window gets the resize event for this at once. A window being shown only notes
  // it as pending, and Qt drops that note when the event that brought us here returns.
  if (!isVisible()) {
    applyResizeRule();
  }
}

// The browse buttons keep to the right edge, the path boxes fill the room up to them and the
// log fills the rest; the left edge of the log is the margin everywhere.
void FrmTandro::layOutControls() {
  const int margin = ui_.Text3->x();
  const int buttonLeft = width() - ui_.Command1->width() - margin;
  ui_.Command1->move(buttonLeft, ui_.Command1->y());
  ui_.Command2->move(buttonLeft, ui_.Command2->y());
  const int pathWidth = buttonLeft - margin - ui_.Text1->x();
  ui_.Text1->resize(pathWidth, ui_.Text1->height());
  ui_.Text2->resize(pathWidth, ui_.Text2->height());
  ui_.Text3->resize(width() - 2 * margin, height() - ui_.Text3->y() - margin);
}

}  // namespace tandro
