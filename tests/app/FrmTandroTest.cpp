// The main window as a user meets it: its controls, how it resizes, its log and input lock.
#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QtTest>
#include <map>

#include "app/FrmTandro.h"
#include "app/Twips.h"

namespace tandro {
namespace {

const QStringList kControlNames = {"cmbEnviron", "Command3", "chkNoCopy", "Command4", "Command5",
                                   "Text1",      "Command1", "Text2",     "Command2", "Text3",
                                   "Label1",     "Label2",   "Label3"};
const QStringList kFocusOrder = kControlNames.mid(0, 10);
const QStringList kMovedByResize = {"Command1", "Command2", "Text1", "Text2", "Text3"};

QWidget* control(const FrmTandro& window, const QString& name) {
  auto* found = window.findChild<QWidget*>(name, Qt::FindDirectChildrenOnly);
  if (!found) {
    qFatal("no control %s", qPrintable(name));
  }
  return found;
}

QString captionOf(const QWidget* widget) {
  if (auto* button = qobject_cast<const QAbstractButton*>(widget)) {
    return button->text();
  }
  if (auto* label = qobject_cast<const QLabel*>(widget)) {
    return label->text();
  }
  if (auto* line = qobject_cast<const QLineEdit*>(widget)) {
    return line->text();
  }
  if (auto* list = qobject_cast<const QComboBox*>(widget)) {
    return list->currentText();
  }
  return qobject_cast<const QPlainTextEdit*>(widget)->toPlainText();
}

// The direct child of the window that holds the keyboard focus (an editable combo box hands
// it to its line edit).
QString focusedControlName(const FrmTandro& window) {
  for (QWidget* widget = QApplication::focusWidget(); widget; widget = widget->parentWidget()) {
    if (widget->parentWidget() == &window) {
      return widget->objectName();
    }
  }
  return {};
}

std::map<QString, QRect> geometries(const FrmTandro& window) {
  std::map<QString, QRect> result;
  for (const QString& name : kControlNames) {
    result[name] = control(window, name)->geometry();
  }
  return result;
}

void showAndWait(FrmTandro& window) {
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
}

// What the resize rule promises for the window's current client size.
void verifyLaidOutFor(const FrmTandro& window) {
  const FrmTandro fresh;
  const int margin = twipsToPixels(120);
  const int buttonLeft = window.width() - twipsToPixels(615) - margin;
  QCOMPARE(control(window, "Command1")->x(), buttonLeft);
  QCOMPARE(control(window, "Command2")->x(), buttonLeft);
  QCOMPARE(control(window, "Text1")->width(), buttonLeft - margin - twipsToPixels(1200));
  QCOMPARE(control(window, "Text2")->width(), control(window, "Text1")->width());
  QCOMPARE(control(window, "Text3")->size(),
           QSize(window.width() - 2 * margin, window.height() - twipsToPixels(1200) - margin));
  for (const QString& name : kControlNames) {
    const QRect design = control(fresh, name)->geometry();
    const QRect now = control(window, name)->geometry();
    QCOMPARE(now.y(), design.y());
    if (!kMovedByResize.contains(name)) {
      QCOMPARE(now, design);
    }
  }
}

class PaintCounter : public QObject {
 public:
  int paints = 0;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    paints += event->type() == QEvent::Paint;
    return QObject::eventFilter(watched, event);
  }
};

}  // namespace

class FrmTandroTest : public QObject {
  Q_OBJECT

 private slots:
  void controlsAsDesigned_data();
  void controlsAsDesigned();
  void windowAndInitialState();
  void tabOrderFollowsDesign();
  void resizeRule_data();
  void resizeRule();
  void minimisedWindowKeepsControls();
  void maximisedWindowIsLaidOut();
  void logText_data();
  void logText();
  void logLineIsPaintedWithoutEventLoop();
  void userCannotTypeIntoLog();
  void enableInputsLocksOnlyInputs_data();
  void enableInputsLocksOnlyInputs();
  void fileSystemIsMadeOnceOnFirstUse();
};

void FrmTandroTest::controlsAsDesigned_data() {
  QTest::addColumn<QString>("kind");
  QTest::addColumn<QString>("caption");
  QTest::addColumn<QString>("toolTip");
  QTest::addColumn<QRect>("twips");

  auto row = [](const char* name, const char* kind, const char* caption, const char* toolTip,
                QRect twips) {
    QTest::newRow(name) << kind << QString::fromUtf8(caption) << QString::fromUtf8(toolTip)
                        << twips;
  };
  row("cmbEnviron", "QComboBox", "", "", {840, 120, 1935, 300});
  row("Command3", "QPushButton", "同期", "", {2880, 120, 615, 255});
  row("chkNoCopy", "QCheckBox", "確認", "チェックを入れるとファイルをコピーしません。",
      {3600, 120, 735, 255});
  row("Command4", "QPushButton", "編集", "設定ファイルを編集します。", {4320, 120, 615, 255});
  row("Command5", "QPushButton", "無効", "無効化された設定ファイルを作成します",
      {5040, 120, 615, 255});
  row("Text1", "QLineEdit", "", "", {1200, 480, 3375, 270});
  row("Command1", "QPushButton", "参照", "", {4680, 480, 615, 255});
  row("Text2", "QLineEdit", "", "", {1200, 840, 3375, 270});
  row("Command2", "QPushButton", "参照", "", {4680, 840, 615, 255});
  row("Text3", "QPlainTextEdit", "", "", {120, 1200, 5175, 1935});
  row("Label1", "QLabel", "ローカル", "", {120, 540, 975, 255});
  row("Label2", "QLabel", "リムーバブル", "", {120, 900, 1095, 255});
  row("Label3", "QLabel", "タイトル", "", {120, 180, 615, 255});
}

// Before the first show nothing has been laid out: every control stands where it was designed.
void FrmTandroTest::controlsAsDesigned() {
  QFETCH(QString, kind);
  QFETCH(QString, caption);
  QFETCH(QString, toolTip);
  QFETCH(QRect, twips);

  const FrmTandro window;
  const QWidget* widget = control(window, QTest::currentDataTag());
  QVERIFY(widget->inherits(kind.toLatin1()));
  QCOMPARE(captionOf(widget), caption);
  QCOMPARE(widget->toolTip(), toolTip);
  QCOMPARE(widget->geometry(), twipsRect(twips.x(), twips.y(), twips.width(), twips.height()));
}

void FrmTandroTest::windowAndInitialState() {
  const FrmTandro window;
  QCOMPARE(window.objectName(), QStringLiteral("frmTandro"));
  QCOMPARE(window.windowTitle(), QStringLiteral("Tandro"));
  QVERIFY(window.isWindow());
  QVERIFY(!window.layout());
  QCOMPARE(window.size(), QSize(387, 213));
  const QList<QSize> iconSizes = window.windowIcon().availableSizes();
  QVERIFY(iconSizes.contains(QSize(16, 16)));
  QVERIFY(iconSizes.contains(QSize(32, 32)));

  QVERIFY(qobject_cast<QComboBox*>(control(window, "cmbEnviron"))->isEditable());
  QVERIFY(!qobject_cast<QCheckBox*>(control(window, "chkNoCopy"))->isChecked());
  const auto* log = qobject_cast<QPlainTextEdit*>(control(window, "Text3"));
  QCOMPARE(log->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  QCOMPARE(window.logText(), QString());
}

void FrmTandroTest::tabOrderFollowsDesign() {
  FrmTandro window;
  showAndWait(window);
  window.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&window));
  for (const char* label : {"Label1", "Label2", "Label3"}) {
    QCOMPARE(control(window, label)->focusPolicy(), Qt::NoFocus);
  }

  control(window, "cmbEnviron")->setFocus(Qt::TabFocusReason);
  QStringList visited;
  for (int press = 0; press <= kFocusOrder.size(); ++press) {
    visited << focusedControlName(window);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  }
  QCOMPARE(visited, kFocusOrder + QStringList{"cmbEnviron"});
}

void FrmTandroTest::resizeRule_data() {
  QTest::addColumn<QSize>("requested");
  QTest::addColumn<QSize>("client");
  QTest::addColumn<int>("buttonLeft");
  QTest::addColumn<int>("pathWidth");
  QTest::addColumn<QSize>("logSize");

  // The design height 213 is below the minimum, so the first show grows the window.
  QTest::newRow("first show") << QSize() << QSize(387, 219) << 338 << 250 << QSize(371, 131);
  QTest::newRow("at the minimum") << QSize(385, 219) << QSize(385, 219) << 336 << 248
                                  << QSize(369, 131);
  QTest::newRow("too narrow") << QSize(300, 400) << QSize(385, 400) << 336 << 248
                              << QSize(369, 312);
  QTest::newRow("too low") << QSize(500, 100) << QSize(500, 219) << 451 << 363 << QSize(484, 131);
  QTest::newRow("both too small") << QSize(10, 10) << QSize(385, 219) << 336 << 248
                                  << QSize(369, 131);
  QTest::newRow("zero") << QSize(0, 0) << QSize(385, 219) << 336 << 248 << QSize(369, 131);
  QTest::newRow("large") << QSize(900, 700) << QSize(900, 700) << 851 << 763 << QSize(884, 612);
}

void FrmTandroTest::resizeRule() {
  QFETCH(QSize, requested);
  QFETCH(QSize, client);
  QFETCH(int, buttonLeft);
  QFETCH(int, pathWidth);
  QFETCH(QSize, logSize);

  FrmTandro window;
  showAndWait(window);
  if (requested.isValid()) {
    window.resize(requested);
  }
  QCOMPARE(window.size(), client);
  QCOMPARE(control(window, "Command1")->x(), buttonLeft);
  QCOMPARE(control(window, "Text1")->width(), pathWidth);
  QCOMPARE(control(window, "Text3")->size(), logSize);
  verifyLaidOutFor(window);
}

void FrmTandroTest::minimisedWindowKeepsControls() {
  FrmTandro window;
  showAndWait(window);
  const auto shown = geometries(window);

  window.showMinimized();
  QVERIFY(window.isMinimized());
  window.resize(600, 400);
  QCOMPARE(geometries(window), shown);

  window.showNormal();
  QCOMPARE(window.size(), QSize(600, 400));
  verifyLaidOutFor(window);
}

void FrmTandroTest::maximisedWindowIsLaidOut() {
  FrmTandro window;
  window.showMaximized();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  QTRY_VERIFY(window.width() > 387 && window.height() > 219);
  verifyLaidOutFor(window);
}

void FrmTandroTest::logText_data() {
  QTest::addColumn<QStringList>("steps");
  QTest::addColumn<QString>("expected");

  QTest::newRow("newest line first")
      << QStringList{"add:a", "add:b", "add:c"} << QStringLiteral("c\r\nb\r\na\r\n");
  QTest::newRow("empty line") << QStringList{"add:"} << QStringLiteral("\r\n");
  QTest::newRow("skip mark in front of the top line")
      << QStringList{"add:old.txt  削除", "add:docs\\a.txt  削除", "front:スキップ:"}
      << QStringLiteral("スキップ:docs\\a.txt  削除\r\nold.txt  削除\r\n");
  QTest::newRow("completion line on top")
      << QStringList{"add:a.txt  リムーバブルへ更新", "front:  同期完了!! 2008/02/19 9:05:03\r\n"}
      << QStringLiteral("  同期完了!! 2008/02/19 9:05:03\r\na.txt  リムーバブルへ更新\r\n");
  QTest::newRow("cleared log starts again")
      << QStringList{"add:a", "add:b", "clear", "add:c"} << QStringLiteral("c\r\n");
  QTest::newRow("front of an empty log") << QStringList{"clear", "front:x"} << QStringLiteral("x");
}

void FrmTandroTest::logText() {
  QFETCH(QStringList, steps);
  QFETCH(QString, expected);

  FrmTandro window;
  for (const QString& step : steps) {
    const QString argument = step.section(':', 1);
    if (step.startsWith("add:")) {
      window.AddLog(argument);
    } else if (step.startsWith("front:")) {
      window.prependToLog(argument);
    } else {
      window.clearLog();
    }
  }
  QCOMPARE(window.logText(), expected);
  // The widget takes what came since its last paint in one go, at its next paint.
  window.flushLog();
  const auto* log = qobject_cast<QPlainTextEdit*>(control(window, "Text3"));
  QCOMPARE(log->toPlainText(), QString(expected).replace("\r\n", "\n"));
}

// A run keeps the event loop waiting; the log must reach the screen all the same.
void FrmTandroTest::logLineIsPaintedWithoutEventLoop() {
  FrmTandro window;
  showAndWait(window);
  const auto* log = qobject_cast<QPlainTextEdit*>(control(window, "Text3"));
  PaintCounter counter;
  log->viewport()->installEventFilter(&counter);

  for (int line = 0; line < 50; ++line) {
    window.AddLog(QString::number(line));
  }
  window.flushLog();
  QVERIFY(counter.paints > 0);
  const int afterFlush = counter.paints;
  window.flushLog();
  QCOMPARE(counter.paints, afterFlush);
  QCOMPARE(log->document()->firstBlock().text(), QStringLiteral("49"));
}

void FrmTandroTest::userCannotTypeIntoLog() {
  FrmTandro window;
  showAndWait(window);
  window.AddLog("a");
  auto* log = qobject_cast<QPlainTextEdit*>(control(window, "Text3"));
  log->setFocus();
  QTest::keyClicks(log, "typed");
  QTest::keyClick(log, Qt::Key_Return);
  QCOMPARE(window.logText(), QStringLiteral("a\r\n"));
  QCOMPARE(log->toPlainText(), QStringLiteral("a\n"));
}

void FrmTandroTest::enableInputsLocksOnlyInputs_data() {
  QTest::addColumn<bool>("isInput");
  for (const QString& name : kControlNames) {
    const bool isInput = name == "cmbEnviron" || name == "Text1" || name == "Text2";
    QTest::newRow(qPrintable(name)) << isInput;
  }
}

void FrmTandroTest::enableInputsLocksOnlyInputs() {
  QFETCH(bool, isInput);
  FrmTandro window;
  const QWidget* widget = control(window, QTest::currentDataTag());

  window.EnableInputs(false);
  QCOMPARE(widget->isEnabled(), !isInput);
  window.EnableInputs(true);
  QVERIFY(widget->isEnabled());
}

void FrmTandroTest::fileSystemIsMadeOnceOnFirstUse() {
  int made = 0;
  FrmTandro window([&made] {
    ++made;
    return createPlatformFileSystem();
  });
  QCOMPARE(made, 0);
  FileSystem& first = window.fileSystem();
  FileSystem& second = window.fileSystem();
  QCOMPARE(&first, &second);
  QCOMPARE(made, 1);

  FrmTandro platformWindow;
  QVERIFY(!platformWindow.fileSystem().stamp("/nonexistent/tandro"));
}

}  // namespace tandro

QTEST_MAIN(tandro::FrmTandroTest)
#include "FrmTandroTest.moc"
