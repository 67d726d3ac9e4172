// The folder picker as a user meets it: its window, the folder and drive lists, OK and Cancel.
// Every case runs on a real tree in a temporary folder; the tree's folder serves as a drive,
// and "%1" in the tables stands for it.
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>
#include <vector>

#include "dialogs/FrmSelectFolder.h"
#include "dialogs/MessageBoxes.h"

namespace tandro {
namespace {

class ScriptedMessageBoxes : public MessageBoxes {
 public:
  struct Shown {
    QWidget* parent;
    QString text;
    Buttons buttons;
    Icon icon;
    QString title;
  };

  Result show(QWidget* parent, const QString& text, Buttons buttons, Icon icon,
              const QString& title) override {
    shown.push_back({parent, text, buttons, icon, title.isEmpty() ? "Tandro" : title});
    return Result::Ok;
  }

  std::vector<Shown> shown;
};

// A dialog with its own scripted boxes, start folder set, not shown yet.
struct Picker {
  Picker(const QString& start, const QStringList& drives) : dialog(boxes, drives) {
    dialog.Path = start;
  }

  ScriptedMessageBoxes boxes;
  FrmSelectFolder dialog;
};

template <typename Control>
Control* control(const FrmSelectFolder& dialog, const char* name) {
  auto* found = dialog.findChild<Control*>(QLatin1String(name), Qt::FindDirectChildrenOnly);
  if (!found) {
    qFatal("no control %s", name);
  }
  return found;
}

QTreeWidget* folderList(const FrmSelectFolder& dialog) {
  return control<QTreeWidget>(dialog, "Dir1");
}

QComboBox* driveList(const FrmSelectFolder& dialog) {
  return control<QComboBox>(dialog, "Drive1");
}

int depthOf(const QTreeWidgetItem* line) {
  int depth = 0;
  for (line = line->parent(); line; line = line->parent()) {
    ++depth;
  }
  return depth;
}

// The lines the folder list shows, top to bottom, indented by two blanks a level.
QStringList lines(const FrmSelectFolder& dialog) {
  const QTreeWidget* list = folderList(dialog);
  QStringList result;
  for (auto* line = list->topLevelItem(0); line; line = list->itemBelow(line)) {
    result << QString(2 * depthOf(line), QLatin1Char(' ')) + line->text(0);
  }
  return result;
}

QPoint centreOfLine(const FrmSelectFolder& dialog, const QString& text) {
  const auto found = folderList(dialog)->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
  if (found.size() != 1) {
    qFatal("no single line %s", qPrintable(text));
  }
  return folderList(dialog)->visualItemRect(found.first()).center();
}

void clickLine(const FrmSelectFolder& dialog, const QString& text) {
  QTest::mouseClick(folderList(dialog)->viewport(), Qt::LeftButton, {}, centreOfLine(dialog, text));
}

// A user's double click: the first click lands before the double-click event.
void doubleClickLine(const FrmSelectFolder& dialog, const QString& text) {
  clickLine(dialog, text);
  QTest::mouseDClick(folderList(dialog)->viewport(), Qt::LeftButton, {},
                     centreOfLine(dialog, text));
}

void click(const FrmSelectFolder& dialog, const char* buttonName) {
  QTest::mouseClick(control<QPushButton>(dialog, buttonName), Qt::LeftButton);
}

// Named controls in the order Tab visits them, starting at OK.
QStringList focusChain(const FrmSelectFolder& dialog) {
  const QStringList names = {"OKButton", "CancelButton", "Dir1", "Drive1"};
  QStringList chain;
  QWidget* first = control<QPushButton>(dialog, "OKButton");
  QWidget* widget = first;
  do {
    if (names.contains(widget->objectName()) && widget->parentWidget() == &dialog) {
      chain << widget->objectName();
    }
    widget = widget->nextInFocusChain();
  } while (widget != first);
  return chain;
}

}  // namespace

class FrmSelectFolderTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  void controlsAsDesigned_data();
  void controlsAsDesigned();
  void fixedDialogStartingOnOk();

  void okReturnsCurrentFolderWithOneSeparator_data();
  void okReturnsCurrentFolderWithOneSeparator();
  void emptyStartOpensExecutableFolder();
  void listShowsLevelsThenVisibleSubFoldersByName();
  void highlightAloneChangesNothing_data();
  void highlightAloneChangesNothing();
  void doubleClickOpensLine_data();
  void doubleClickOpensLine();
  void unusableStartKeepsListSilently_data();
  void unusableStartKeepsListSilently();
  void loadRunsAtFirstShowOnly();

  void startOnVolumeSelectsItsDrive();
  void choosingDriveOpensItsRoot();
  void openingMountPointFollowsInDriveList();
  void unlistableDriveIsReportedAndLeft_data();
  void unlistableDriveIsReportedAndLeft();

  void execReturnsWhenButtonHides_data();
  void execReturnsWhenButtonHides();
  void closeBoxKeepsStartFolder_data();
  void closeBoxKeepsStartFolder();

 private:
  QString inTree(QString pattern) const { return pattern.replace("%1", tree_->path()); }
  QStringList inTree(const QStringList& patterns) const;
  // "/", the tree and its "usb" folder as drives.
  QStringList drives() const { return {"/", tree_->path(), inTree("%1/usb")}; }

  std::unique_ptr<QTemporaryDir> tree_;
  QString workingFolder_;
};

QStringList FrmSelectFolderTest::inTree(const QStringList& patterns) const {
  QStringList result;
  for (const QString& pattern : patterns) {
    result << inTree(pattern);
  }
  return result;
}

// %1/a/b holds Alpha (with deep), beta and Zeta, plus what the list leaves out: a hidden
// folder, a file and a link to a folder. %1/usb holds inside. The working folder is %1/a.
void FrmSelectFolderTest::init() {
  tree_ = std::make_unique<QTemporaryDir>();
  QVERIFY(tree_->isValid());
  QDir root(tree_->path());
  for (const char* folder :
       {"a/b/Alpha/deep", "a/b/beta", "a/b/Zeta", "a/b/.hidden", "usb/inside"}) {
    QVERIFY(root.mkpath(QLatin1String(folder)));
  }
  QFile file(inTree("%1/a/b/file.txt"));
  QVERIFY(file.open(QIODevice::WriteOnly));
  QVERIFY(QFile::link(inTree("%1/a/b/Alpha"), inTree("%1/a/b/link")));
  workingFolder_ = QDir::currentPath();
  QVERIFY(QDir::setCurrent(inTree("%1/a")));
}

void FrmSelectFolderTest::cleanup() {
  QDir::setCurrent(workingFolder_);
  tree_.reset();
}

void FrmSelectFolderTest::controlsAsDesigned_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QString>("kind");
  QTest::addColumn<QRect>("geometry");
  QTest::addColumn<QString>("caption");
  QTest::addColumn<int>("tabIndex");
  const auto row = [](const char* name, const QString& kind, const QRect& geometry,
                      const QString& caption, int tabIndex) {
    QTest::newRow(name) << QString(name) << kind << geometry << caption << tabIndex;
  };
  row("OKButton", "QPushButton", QRect(312, 8, 81, 25), "OK", 0);
  row("CancelButton", "QPushButton", QRect(312, 40, 81, 25), "ｷｬﾝｾﾙ", 1);
  row("Dir1", "QTreeWidget", QRect(8, 32, 297, 174), "", 2);
  row("Drive1", "QComboBox", QRect(8, 8, 297, 20), "", 3);
}

void FrmSelectFolderTest::controlsAsDesigned() {
  QFETCH(QString, name);
  QFETCH(QString, kind);
  QFETCH(QRect, geometry);
  QFETCH(QString, caption);
  QFETCH(int, tabIndex);
  Picker picker("", drives());
  auto* widget = control<QWidget>(picker.dialog, qPrintable(name));
  QCOMPARE(QString(widget->metaObject()->className()), kind);
  QCOMPARE(widget->geometry(), geometry);
  auto* button = qobject_cast<QPushButton*>(widget);
  QCOMPARE(button ? button->text() : QString(), caption);
  QCOMPARE(focusChain(picker.dialog).indexOf(name), tabIndex);
}

void FrmSelectFolderTest::fixedDialogStartingOnOk() {
  Picker picker("", drives());
  picker.dialog.show();
  QCOMPARE(picker.dialog.windowTitle(), "フォルダー選択");
  QCOMPARE(picker.dialog.size(), QSize(400, 213));
  QCOMPARE(picker.dialog.minimumSize(), picker.dialog.maximumSize());
  const Qt::WindowFlags flags = picker.dialog.windowFlags();
  QCOMPARE(flags & Qt::WindowType_Mask, Qt::Dialog);
  QVERIFY(flags & Qt::WindowCloseButtonHint);
  QVERIFY(!(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
  QCOMPARE(picker.dialog.focusWidget(), control<QPushButton>(picker.dialog, "OKButton"));
  QVERIFY(control<QPushButton>(picker.dialog, "OKButton")->isDefault());
}

void FrmSelectFolderTest::okReturnsCurrentFolderWithOneSeparator_data() {
  QTest::addColumn<QString>("start");
  QTest::addColumn<QString>("chosen");
  const auto row = [](const char* name, const QString& start, const QString& chosen) {
    QTest::newRow(name) << start << chosen;
  };
  row("folder below a drive root", "%1/a/b", "%1/a/b/");
  row("start ending in a separator", "%1/a/b/", "%1/a/b/");
  row("start with dot levels", "%1/a/./b/../b", "%1/a/b/");
  row("root of a volume", "%1/usb", "%1/usb/");
  row("system root", "/", "/");
}

void FrmSelectFolderTest::okReturnsCurrentFolderWithOneSeparator() {
  QFETCH(QString, start);
  QFETCH(QString, chosen);
  Picker picker(inTree(start), drives());
  picker.dialog.show();
  click(picker.dialog, "OKButton");
  QCOMPARE(picker.dialog.Path, inTree(chosen));
  QVERIFY(picker.dialog.ReturnOK);
  QVERIFY(picker.dialog.isHidden());
  QCOMPARE(picker.dialog.result(), QDialog::Accepted);
}

void FrmSelectFolderTest::emptyStartOpensExecutableFolder() {
  Picker picker("", {"/"});
  picker.dialog.show();
  QCOMPARE(folderList(picker.dialog)->currentItem()->text(0),
           QDir(QCoreApplication::applicationDirPath()).dirName());
  click(picker.dialog, "OKButton");
  QCOMPARE(picker.dialog.Path, QCoreApplication::applicationDirPath() + "/");
}

void FrmSelectFolderTest::listShowsLevelsThenVisibleSubFoldersByName() {
  Picker picker(inTree("%1/a/b"), drives());
  picker.dialog.show();
  QCOMPARE(lines(picker.dialog),
           inTree({"%1", "  a", "    b", "      Alpha", "      beta", "      Zeta"}));
  QCOMPARE(folderList(picker.dialog)->currentItem()->text(0), "b");
  QVERIFY(picker.boxes.shown.empty());
}

void FrmSelectFolderTest::highlightAloneChangesNothing_data() {
  QTest::addColumn<QString>("clickedLine");
  QTest::addColumn<int>("key");
  QTest::addColumn<QString>("highlighted");
  QTest::newRow("single click on a sub-folder") << "beta" << 0 << "beta";
  QTest::newRow("arrow down") << "" << int(Qt::Key_Down) << "Alpha";
  QTest::newRow("arrow up") << "" << int(Qt::Key_Up) << "a";
}

void FrmSelectFolderTest::highlightAloneChangesNothing() {
  QFETCH(QString, clickedLine);
  QFETCH(int, key);
  QFETCH(QString, highlighted);
  Picker picker(inTree("%1/a/b"), drives());
  picker.dialog.show();
  const QStringList before = lines(picker.dialog);
  if (!clickedLine.isEmpty()) {
    clickLine(picker.dialog, clickedLine);
  }
  if (key != 0) {
    QTest::keyClick(folderList(picker.dialog), Qt::Key(key));
  }
  QCOMPARE(folderList(picker.dialog)->currentItem()->text(0), highlighted);
  QCOMPARE(lines(picker.dialog), before);
  click(picker.dialog, "OKButton");
  QCOMPARE(picker.dialog.Path, inTree("%1/a/b/"));
}

void FrmSelectFolderTest::doubleClickOpensLine_data() {
  QTest::addColumn<QString>("line");
  QTest::addColumn<QStringList>("linesAfter");
  QTest::addColumn<QString>("chosen");
  QTest::newRow("sub-folder") << "Alpha"
                              << QStringList{"%1", "  a", "    b", "      Alpha", "        deep"}
                              << "%1/a/b/Alpha/";
  QTest::newRow("level above") << "a" << QStringList{"%1", "  a", "    b"} << "%1/a/";
  QTest::newRow("drive root") << "%1" << QStringList{"%1", "  a", "  usb"} << "%1/";
}

void FrmSelectFolderTest::doubleClickOpensLine() {
  QFETCH(QString, line);
  QFETCH(QStringList, linesAfter);
  QFETCH(QString, chosen);
  Picker picker(inTree("%1/a/b"), drives());
  picker.dialog.show();
  doubleClickLine(picker.dialog, inTree(line));
  QCOMPARE(lines(picker.dialog), inTree(linesAfter));
  click(picker.dialog, "OKButton");
  QCOMPARE(picker.dialog.Path, inTree(chosen));
}

void FrmSelectFolderTest::unusableStartKeepsListSilently_data() {
  QTest::addColumn<QString>("start");
  QTest::newRow("missing folder") << "%1/missing";
  QTest::newRow("file") << "%1/a/b/file.txt";
  QTest::newRow("relative path") << "b";
}

void FrmSelectFolderTest::unusableStartKeepsListSilently() {
  QFETCH(QString, start);
  Picker picker(inTree(start), drives());
  const QStringList before = lines(picker.dialog);
  QCOMPARE(before, inTree({"%1", "  a", "    b"}));
  picker.dialog.show();
  QCOMPARE(lines(picker.dialog), before);
  QVERIFY(picker.boxes.shown.empty());
  QVERIFY(!picker.dialog.ReturnOK);
  click(picker.dialog, "OKButton");
  QCOMPARE(picker.dialog.Path, inTree("%1/a/"));
}

void FrmSelectFolderTest::loadRunsAtFirstShowOnly() {
  Picker picker(inTree("%1/a/b"), drives());
  picker.dialog.show();
  doubleClickLine(picker.dialog, "Alpha");
  picker.dialog.hide();
  picker.dialog.show();
  click(picker.dialog, "OKButton");
  QCOMPARE(picker.dialog.Path, inTree("%1/a/b/Alpha/"));
}

void FrmSelectFolderTest::startOnVolumeSelectsItsDrive() {
  Picker picker(inTree("%1/usb/inside"), drives());
  picker.dialog.show();
  QCOMPARE(driveList(picker.dialog)->currentText(), inTree("%1/usb"));
  QCOMPARE(lines(picker.dialog), inTree({"%1/usb", "  inside"}));
}

void FrmSelectFolderTest::choosingDriveOpensItsRoot() {
  Picker picker(inTree("%1/a/b"), drives());
  picker.dialog.show();
  QTest::keyClick(driveList(picker.dialog), Qt::Key_Down);
  QCOMPARE(lines(picker.dialog), inTree({"%1/usb", "  inside"}));
  click(picker.dialog, "OKButton");
  QCOMPARE(picker.dialog.Path, inTree("%1/usb/"));
}

void FrmSelectFolderTest::openingMountPointFollowsInDriveList() {
  Picker picker(tree_->path(), drives());
  picker.dialog.show();
  QCOMPARE(driveList(picker.dialog)->currentText(), tree_->path());
  doubleClickLine(picker.dialog, "usb");
  QCOMPARE(driveList(picker.dialog)->currentText(), inTree("%1/usb"));
  // Back on the drive that holds the working folder: that folder, not the root.
  QTest::keyClick(driveList(picker.dialog), Qt::Key_Up);
  QCOMPARE(lines(picker.dialog), inTree({"%1", "  a", "    b"}));
}

void FrmSelectFolderTest::unlistableDriveIsReportedAndLeft_data() {
  QTest::addColumn<QString>("start");
  QTest::addColumn<bool>("userChoosesDrive");
  QTest::newRow("chosen in the drive list") << "%1/a" << true;
  QTest::newRow("holding the start folder") << "%1/gone/x" << false;
}

void FrmSelectFolderTest::unlistableDriveIsReportedAndLeft() {
  QFETCH(QString, start);
  QFETCH(bool, userChoosesDrive);
  Picker picker(inTree(start), {"/", tree_->path(), inTree("%1/gone")});
  picker.dialog.show();
  if (userChoosesDrive) {
    QTest::keyClick(driveList(picker.dialog), Qt::Key_Down);
  }
  QCOMPARE(picker.boxes.shown.size(), std::size_t{1});
  const ScriptedMessageBoxes::Shown& box = picker.boxes.shown.front();
  QVERIFY2(box.text.startsWith("パスが見つかりません。"), qPrintable(box.text));
  QVERIFY2(box.text.contains(inTree("%1/gone")), qPrintable(box.text));
  QCOMPARE(box.buttons, MessageBoxes::Buttons::Ok);
  QCOMPARE(box.icon, MessageBoxes::Icon::Stop);
  QCOMPARE(box.title, "Tandro");
  QCOMPARE(box.parent, &picker.dialog);
  QCOMPARE(driveList(picker.dialog)->currentText(), tree_->path());
  QCOMPARE(lines(picker.dialog), inTree({"%1", "  a", "    b"}));
  click(picker.dialog, "OKButton");
  QCOMPARE(picker.dialog.Path, inTree("%1/a/"));
}

void FrmSelectFolderTest::execReturnsWhenButtonHides_data() {
  QTest::addColumn<QString>("button");
  QTest::addColumn<int>("result");
  QTest::addColumn<QString>("path");
  QTest::addColumn<bool>("returnOk");
  QTest::newRow("OK") << "OKButton" << int(QDialog::Accepted) << "%1/a/b/" << true;
  QTest::newRow("Cancel") << "CancelButton" << int(QDialog::Rejected) << "" << false;
}

// The caller's road: exec() returns once a button has hidden the dialog. The click is queued
// before exec(), so that it arrives from inside the modal loop.
void FrmSelectFolderTest::execReturnsWhenButtonHides() {
  QFETCH(QString, button);
  QFETCH(int, result);
  QFETCH(QString, path);
  QFETCH(bool, returnOk);
  Picker picker(inTree("%1/a/b"), drives());
  QMetaObject::invokeMethod(control<QPushButton>(picker.dialog, qPrintable(button)),
                            &QPushButton::click, Qt::QueuedConnection);
  QCOMPARE(picker.dialog.exec(), result);
  QCOMPARE(picker.dialog.Path, inTree(path));
  QCOMPARE(picker.dialog.ReturnOK, returnOk);
}

void FrmSelectFolderTest::closeBoxKeepsStartFolder_data() {
  QTest::addColumn<QString>("start");
  QTest::newRow("empty") << "";
  QTest::newRow("folder") << "%1/a/b";
}

void FrmSelectFolderTest::closeBoxKeepsStartFolder() {
  QFETCH(QString, start);
  Picker picker(inTree(start), drives());
  picker.dialog.show();
  QVERIFY(picker.dialog.close());
  QCOMPARE(picker.dialog.Path, inTree(start));
  QVERIFY(!picker.dialog.ReturnOK);
}

}  // namespace tandro

QTEST_MAIN(tandro::FrmSelectFolderTest)
#include "FrmSelectFolderTest.moc"
