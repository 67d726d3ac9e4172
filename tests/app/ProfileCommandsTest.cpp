// The browse, edit and disable buttons of the real window. Browsing opens the real folder
// picker; the person's actions in it are queued before the click, so that they arrive from
// inside its modal loop.
#include <QApplication>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

#include "AppTestSupport.h"
#include "app/ProfileCommands.h"
#include "dialogs/FrmSelectFolder.h"
#include "sync/RootCheck.h"

namespace tandro::test {

namespace {

using Result = MessageBoxes::Result;

const QString kDisableQuestion =
    QStringLiteral("全フォルダーを同期対象外とします。\r\nよろしいですか？");

// What the person does in the picker before it closes.
enum class InPicker { Ok, Cancel, HighlightAlphaThenOk, TreeDriveThenOk, SystemDriveThenOk };

template <typename Control>
Control* control(const QWidget& parent, const char* name) {
  auto* found = parent.findChild<Control*>(QLatin1String(name));
  if (!found) {
    qFatal("no control %s", name);
  }
  return found;
}

void clickLine(QTreeWidget* list, const QString& text) {
  const auto found = list->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
  if (found.size() != 1) {
    qFatal("no single line %s", qPrintable(text));
  }
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                    list->visualItemRect(found.first()).center());
}

// Drives are "/" and the trees folder, in that order.
void act(FrmSelectFolder& picker, InPicker action) {
  auto* drives = control<QComboBox>(picker, "Drive1");
  switch (action) {
    case InPicker::Cancel:
      return click(control<QPushButton>(picker, "CancelButton"));
    case InPicker::HighlightAlphaThenOk:
      clickLine(control<QTreeWidget>(picker, "Dir1"), "Alpha");
      break;
    case InPicker::TreeDriveThenOk:
      QTest::keyClick(drives, Qt::Key_Down);
      break;
    case InPicker::SystemDriveThenOk:
      QTest::keyClick(drives, Qt::Key_Up);
      break;
    case InPicker::Ok:
      break;
  }
  click(control<QPushButton>(picker, "OKButton"));
}

// Queues `action` for the picker that the next click opens.
void whenPickerOpens(InPicker action) {
  QMetaObject::invokeMethod(
      qApp,
      [action] {
        auto* picker = qobject_cast<FrmSelectFolder*>(QApplication::activeModalWidget());
        if (!picker) {
          qFatal("the folder picker is not open");
        }
        act(*picker, action);
      },
      Qt::QueuedConnection);
}

// The profile file's lines below "[Tandro]", sorted.
QStringList folderKeys(const QByteArray& profile) {
  const qsizetype section = profile.indexOf("[Tandro]\r\n");
  if (section < 0) {
    return {};
  }
  QStringList keys = QString::fromUtf8(profile.mid(section + 10)).split("\r\n", Qt::SkipEmptyParts);
  keys.sort();
  return keys;
}

}  // namespace

class ProfileCommandsTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  void profileNameFromRoot_data();
  void profileNameFromRoot();

  void browseWithPicker_data();
  void browseWithPicker();
  void aDriveAddedAfterStartUpOpensOnTheWorkingFolder();

  void editOpensProfileInProfileFolder_data();
  void editOpensProfileInProfileFolder();

  void disableExcludesFolderOfEveryFile();
  void disableAddsRemovableFoldersMissingLocally();
  void disableAnsweredNoWritesNothing();
  void disableRefusesUnsafeRoots_data();
  void disableRefusesUnsafeRoots();
  void disableShowsListingFailure();

 private:
  // `pattern` with "%1" standing for the folder of the trees.
  QString inTrees(QString pattern) const { return pattern.replace("%1", trees_->folder.path()); }
  // Starts a desk on the two trees, a new profile Work typed; the Yes/No answer is queued.
  void startDisable(Desk& desk, Result answer);

  std::unique_ptr<Trees> trees_;
  QString workingFolder_;
};

// The working folder is the trees folder, so that its drive opens on its root.
void ProfileCommandsTest::init() {
  forgetPrevActive();
  trees_ = std::make_unique<Trees>();
  QVERIFY(QDir(trees_->folder.path()).mkpath("Work/Alpha"));
  QVERIFY(QDir(trees_->folder.path()).mkpath("Work/Beta"));
  workingFolder_ = QDir::currentPath();
  QVERIFY(QDir::setCurrent(trees_->folder.path()));
}

void ProfileCommandsTest::cleanup() {
  QDir::setCurrent(workingFolder_);
}

void ProfileCommandsTest::profileNameFromRoot_data() {
  QTest::addColumn<QString>("root");
  QTest::addColumn<QString>("name");
  QTest::newRow("picked folder") << "/home/me/Work/Alpha/"
                                 << "Alpha";
  QTest::newRow("typed without separator") << "/home/me/Work/Alpha"
                                           << "Alph";
  QTest::newRow("folder under the root") << "/Alpha/"
                                         << "Alpha";
  QTest::newRow("relative") << "Alpha/"
                            << "Alpha";
  QTest::newRow("system root") << "/"
                               << "";
  QTest::newRow("one character") << "A"
                                 << "";
}

void ProfileCommandsTest::profileNameFromRoot() {
  QFETCH(QString, root);
  QFETCH(QString, name);
  QCOMPARE(tandro::profileNameFromRoot(root), name);
}

void ProfileCommandsTest::browseWithPicker_data() {
  QTest::addColumn<QString>("button");
  QTest::addColumn<QString>("name");
  QTest::addColumn<QString>("start");
  QTest::addColumn<InPicker>("action");
  QTest::addColumn<QString>("root");
  QTest::addColumn<QString>("nameAfter");
  // %1 stands for the folder of the trees; "(trees)" for its name.
  QTest::newRow("OK names the profile") << "Command1"
                                        << ""
                                        << "%1/Work/Alpha" << InPicker::Ok << "%1/Work/Alpha/"
                                        << "Alpha";
  QTest::newRow("OK keeps a typed name") << "Command1"
                                         << "Mine"
                                         << "%1/Work/Alpha" << InPicker::Ok << "%1/Work/Alpha/"
                                         << "Mine";
  QTest::newRow("Cancel derives from the typed root")
      << "Command1"
      << ""
      << "%1/Work/Alpha" << InPicker::Cancel << "%1/Work/Alpha"
      << "Alph";
  QTest::newRow("Cancel with an empty box") << "Command1"
                                            << ""
                                            << "" << InPicker::Cancel << ""
                                            << "";
  QTest::newRow("highlighted line is not taken")
      << "Command1"
      << ""
      << "%1/Work" << InPicker::HighlightAlphaThenOk << "%1/Work/"
      << "Work";
  QTest::newRow("drive root") << "Command1"
                              << ""
                              << "" << InPicker::TreeDriveThenOk << "%1/"
                              << "(trees)";
  QTest::newRow("system root") << "Command1"
                               << ""
                               << "%1/Work/Alpha" << InPicker::SystemDriveThenOk << "/"
                               << "";
  QTest::newRow("removable OK names nothing") << "Command2"
                                              << ""
                                              << "%1/Work/Alpha" << InPicker::Ok << "%1/Work/Alpha/"
                                              << "";
  QTest::newRow("removable Cancel") << "Command2"
                                    << ""
                                    << "%1/usb" << InPicker::Cancel << "%1/usb"
                                    << "";
}

void ProfileCommandsTest::browseWithPicker() {
  QFETCH(QString, button);
  QFETCH(QString, name);
  QFETCH(QString, start);
  QFETCH(InPicker, action);
  QFETCH(QString, root);
  QFETCH(QString, nameAfter);
  Desk desk(uniqueServerName(), {"/", trees_->folder.path()});
  QVERIFY(desk.start());
  const bool local = button == "Command1";
  QLineEdit* box = local ? desk.ui().Text1 : desk.ui().Text2;
  QLineEdit* otherBox = local ? desk.ui().Text2 : desk.ui().Text1;
  typeInto(desk.ui().cmbEnviron, name);
  typeInto(box, inTrees(start));
  typeInto(otherBox, "/other/");
  whenPickerOpens(action);
  click(control<QPushButton>(desk.window, qPrintable(button)));

  QCOMPARE(QApplication::activeModalWidget(), nullptr);
  QCOMPARE(box->text(), inTrees(root));
  QCOMPARE(otherBox->text(), QStringLiteral("/other/"));
  QCOMPARE(desk.ui().cmbEnviron->currentText(),
           QString(nameAfter).replace("(trees)", QFileInfo(trees_->folder.path()).fileName()));
  QCOMPARE(desk.profileList(), QStringList());
  QVERIFY(desk.boxes.shown.empty());
}

// The picker lists the drives as they are when it opens; a drive opens on the program's
// working folder when that lies on it.
void ProfileCommandsTest::aDriveAddedAfterStartUpOpensOnTheWorkingFolder() {
  Desk desk(uniqueServerName(), {"/"});
  QVERIFY(desk.start());
  desk.drives << trees_->folder.path();
  QVERIFY(QDir::setCurrent(inTrees("%1/Work")));
  whenPickerOpens(InPicker::TreeDriveThenOk);
  click(control<QPushButton>(desk.window, "Command1"));
  QCOMPARE(desk.ui().Text1->text(), inTrees("%1/Work/"));
}

void ProfileCommandsTest::editOpensProfileInProfileFolder_data() {
  QTest::addColumn<QString>("name");
  QTest::newRow("name") << "Work";
  QTest::newRow("name with a blank") << "My Work";
  QTest::newRow("no name") << "";
}

// The working folder is elsewhere: the editor is handed the full path, not the bare name.
void ProfileCommandsTest::editOpensProfileInProfileFolder() {
  QFETCH(QString, name);
  Desk desk;
  QVERIFY(desk.start());
  typeInto(desk.ui().cmbEnviron, name);
  typeInto(desk.ui().Text1, "/typed/");
  click(desk.ui().Command4);
  QCOMPARE(desk.editedFiles, QStringList({desk.profiles.path() + '/' + name + ".ini"}));
  QCOMPARE(desk.ui().Text1->text(), QStringLiteral("/typed/"));
  QVERIFY(desk.boxes.shown.empty());
}

void ProfileCommandsTest::startDisable(Desk& desk, Result answer) {
  QVERIFY(desk.start());
  typeInto(desk.ui().cmbEnviron, "Work");
  typeInto(desk.ui().Text1, trees_->local());
  typeInto(desk.ui().Text2, trees_->removable());
  desk.boxes.answer(answer);
}

// Three local files, in the root, in Docs and in Docs/Old, give three keys; afterwards a
// run leaves Docs and everything below it alone.
void ProfileCommandsTest::disableExcludesFolderOfEveryFile() {
  for (const char* file : {"a.txt", "Docs/b.txt", "Docs/Old/c.txt"}) {
    trees_->put(trees_->local(), file);
  }
  Desk desk;
  startDisable(desk, Result::Yes);
  click(desk.ui().Command5);

  QCOMPARE(desk.boxes.shown.size(), std::size_t(1));
  QCOMPARE(desk.boxes.shown[0].text, kDisableQuestion);
  QCOMPARE(desk.boxes.shown[0].buttons, MessageBoxes::Buttons::YesNo);
  QCOMPARE(desk.boxes.shown[0].icon, MessageBoxes::Icon::Question);
  QCOMPARE(desk.boxes.shown[0].title, QStringLiteral("Tandro"));
  QCOMPARE(folderKeys(readFile(desk.profilePath("Work"))),
           QStringList({"Docs\\=1", "Docs\\Old\\=1", "\\=1"}));

  click(desk.ui().Command3);
  QCOMPARE(desk.window.logText(),
           "  同期完了!! " + kNowText + "\r\na.txt  リムーバブルへコピー\r\n");
  QVERIFY(!trees_->has(trees_->removable(), "Docs/b.txt"));
}

// A removable file missing locally excludes its folder; one present locally adds nothing.
void ProfileCommandsTest::disableAddsRemovableFoldersMissingLocally() {
  trees_->put(trees_->local(), "Docs/b.txt");
  trees_->put(trees_->removable(), "Docs/b.txt");
  trees_->put(trees_->removable(), "Photos/2008/p.jpg");
  Desk desk;
  startDisable(desk, Result::Yes);
  click(desk.ui().Command5);
  QCOMPARE(folderKeys(readFile(desk.profilePath("Work"))),
           QStringList({"Docs\\=1", "Photos\\2008\\=1"}));
}

void ProfileCommandsTest::disableAnsweredNoWritesNothing() {
  trees_->put(trees_->local(), "Docs/b.txt");
  Desk desk;
  startDisable(desk, Result::No);
  click(desk.ui().Command5);
  QCOMPARE(desk.boxes.shown.size(), std::size_t(1));
  QVERIFY(!QFile::exists(desk.profilePath("Work")));
}

void ProfileCommandsTest::disableRefusesUnsafeRoots_data() {
  QTest::addColumn<QString>("local");
  QTest::addColumn<QString>("removable");
  QTest::addColumn<QString>("message");
  QTest::newRow("empty") << ""
                         << "%1/usb/" << QString::fromUtf8(kEmptyRootMessage);
  QTest::newRow("relative") << "%1/local/"
                            << "usb/" << QString::fromUtf8(kRelativeRootMessage);
  QTest::newRow("same") << "%1/local/"
                        << "%1/local" << QString::fromUtf8(kOverlappingRootsMessage);
  QTest::newRow("inside") << "%1/"
                          << "%1/usb/" << QString::fromUtf8(kOverlappingRootsMessage);
}

// Refused before the question: nothing is listed or written.
void ProfileCommandsTest::disableRefusesUnsafeRoots() {
  QFETCH(QString, local);
  QFETCH(QString, removable);
  QFETCH(QString, message);
  trees_->put(trees_->local(), "Docs/b.txt");
  Desk desk;
  QVERIFY(desk.start());
  typeInto(desk.ui().cmbEnviron, "Work");
  typeInto(desk.ui().Text1, inTrees(local));
  typeInto(desk.ui().Text2, inTrees(removable));
  desk.boxes.answer(Result::Ok);
  click(desk.ui().Command5);
  QCOMPARE(desk.boxes.shown.size(), std::size_t(1));
  QCOMPARE(desk.boxes.shown[0].text, message);
  QCOMPARE(desk.boxes.shown[0].icon, MessageBoxes::Icon::Exclamation);
  QCOMPARE(desk.boxes.shown[0].buttons, MessageBoxes::Buttons::Ok);
  QVERIFY(!QFile::exists(desk.profilePath("Work")));
}

// A root that does not exist is reported as the Sync command reports its failures.
void ProfileCommandsTest::disableShowsListingFailure() {
  trees_->put(trees_->local(), "Docs/b.txt");
  Desk desk;
  startDisable(desk, Result::Yes);
  typeInto(desk.ui().Text2, trees_->folder.path() + "/gone/");
  desk.boxes.answer(Result::Ok);
  click(desk.ui().Command5);
  QCOMPARE(desk.boxes.shown.size(), std::size_t(2));
  QVERIFY(desk.boxes.shown[1].text.startsWith(QStringLiteral("76:パスが見つかりません。")));
  QCOMPARE(desk.boxes.shown[1].icon, MessageBoxes::Icon::None);
  QVERIFY(!QFile::exists(desk.profilePath("Work")));
}

}  // namespace tandro::test

TANDRO_APP_TEST_MAIN(tandro::test::ProfileCommandsTest)
#include "ProfileCommandsTest.moc"
