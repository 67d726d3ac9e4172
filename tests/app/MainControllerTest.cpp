// Start-up, the choice of a profile and the Sync command, driven through the real window:
// profiles in a temporary profile folder, trees in a temporary folder, every box answered
// from a script.
#include <QCheckBox>
#include <QDirIterator>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QtTest>

#include "AppTestSupport.h"
#include "profile/ProfileStore.h"
#include "support/FaultyFileSystem.h"
#include "sync/RootCheck.h"

namespace tandro::test {

namespace {

using Result = MessageBoxes::Result;

const QString kSaveQuestion = QStringLiteral("設定の変更を保存しますか？");
const QString kLongPathFailure = QStringLiteral("-2147221504:長いパスには対応していません。");

QString completionLine() {
  return QStringLiteral("  同期完了!! ") + kNowText + QStringLiteral("\r\n");
}

// The profile file as the Sync command writes it for two roots.
QByteArray profileText(const QString& local, const QString& removable) {
  return "[Path]\r\nLocal=" + local.toUtf8() + "\r\nRemove=" + removable.toUtf8() + "\r\n";
}

// The profile file after its first complete run, which gave it an identifier: that line
// reads "Id=<id>" here once its 32 hexadecimal digits are checked.
QByteArray withIdShown(const QByteArray& profile) {
  static const QRegularExpression id(QStringLiteral("^Id=[0-9a-f]{32}\r$"),
                                     QRegularExpression::MultilineOption);
  return QString::fromUtf8(profile).replace(id, QStringLiteral("Id=<id>\r")).toUtf8();
}

// What a first complete run adds to [Path] (the tests' zone is UTC+9).
const QByteArray kRunBookkeeping = "Offset=+09:00\r\nId=<id>\r\n";

// An absolute root of exactly `length` characters once its separator is appended.
QString rootOfLength(const QString& base, int length) {
  return base + QString(length - base.size() - 1, QLatin1Char('x'));
}

void verifyInputsEnabled(const Desk& desk, bool enabled) {
  QCOMPARE(desk.ui().cmbEnviron->isEnabled(), enabled);
  QCOMPARE(desk.ui().Text1->isEnabled(), enabled);
  QCOMPARE(desk.ui().Text2->isEnabled(), enabled);
  QCOMPARE(desk.window.cursor().shape(), enabled ? Qt::ArrowCursor : Qt::WaitCursor);
}

// Every file below `root`, hidden ones too, with "/" between names; none for a missing root.
QStringList filesIn(const QString& root) {
  QStringList files;
  QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    files << QDir(root).relativeFilePath(it.next());
  }
  files.sort();
  return files;
}

// A file given the moment of every run, so that a record of that moment finds it unchanged.
void putAtRunTime(const QString& path) {
  writeFile(path, "x");
  QFile file(path);
  const QDateTime runTime = QDateTime::fromString(kNowText, QStringLiteral("yyyy/MM/dd H:mm:ss"));
  if (!file.open(QIODevice::Append) ||
      !file.setFileTime(runTime, QFileDevice::FileModificationTime)) {
    qFatal("cannot set the time of %s", qPrintable(path));
  }
}

void verifyBox(const ScriptedMessageBoxes::Shown& box, const QString& text,
               MessageBoxes::Buttons buttons, MessageBoxes::Icon icon) {
  QCOMPARE(box.text, text);
  QCOMPARE(box.buttons, buttons);
  QCOMPARE(box.icon, icon);
  QCOMPARE(box.title, QStringLiteral("Tandro"));
}

}  // namespace

class MainControllerTest : public QObject {
  Q_OBJECT

 private slots:
  void init();

  void profileListHoldsNormalIniFiles();
  void startUpRestoresPrevActive_data();
  void startUpRestoresPrevActive();

  void choosingProfileLoadsRoots_data();
  void choosingProfileLoadsRoots();
  void anUnreadableProfileIsReportedAndTheProgramGoesOn();
  void typingNameLoadsNothing_data();
  void typingNameLoadsNothing();

  void syncOnNewNameCreatesProfile_data();
  void syncOnNewNameCreatesProfile();
  void typedNameOfListedProfileAddsSecondEntry();
  void saveQuestion_data();
  void saveQuestion();
  void longRootFailsBeforeRun_data();
  void longRootFailsBeforeRun();
  void unsafeRootsAreRefused_data();
  void unsafeRootsAreRefused();

  void inputsLockedOnlyWhileRunning_data();
  void inputsLockedOnlyWhileRunning();
  void wholeRunFromWindow_data();
  void wholeRunFromWindow();
  void guardsSpeakThroughTheWindow_data();
  void guardsSpeakThroughTheWindow();
  void aProfileInUseIsLeftAlone_data();
  void aProfileInUseIsLeftAlone();
  void inputsUnlockedWhateverEndsTheRun();

 private:
  // A started desk with the profiles Alpha and Beta, whose roots lie in `trees_`.
  void startWithTwoProfiles(Desk& desk);
  QString rootOf(const QString& profile) const { return trees_->folder.filePath(profile) + '/'; }
  // `pattern` with "%1" standing for the folder of the trees.
  QString inTrees(QString pattern) const { return pattern.replace("%1", trees_->folder.path()); }

  std::unique_ptr<Trees> trees_;
};

void MainControllerTest::init() {
  forgetPrevActive();
  trees_ = std::make_unique<Trees>();
}

void MainControllerTest::startWithTwoProfiles(Desk& desk) {
  desk.writeProfile("Alpha", rootOf("Alpha"), rootOf("AlphaUsb"));
  desk.writeProfile("Beta", rootOf("Beta"), rootOf("BetaUsb"));
  QVERIFY(desk.start());
}

void MainControllerTest::profileListHoldsNormalIniFiles() {
  Desk desk;
  for (const char* name : {"Alpha.ini", "Beta.ini", ".hidden.ini", "notes.txt", "Upper.INI"}) {
    writeFile(desk.profiles.filePath(name), "");
  }
  QDir(desk.profiles.path()).mkdir("folder.ini");
  QVERIFY(desk.start());
  QStringList names = desk.profileList();
  names.sort();
  QCOMPARE(names, QStringList({"Alpha", "Beta"}));
  QCOMPARE(desk.ui().cmbEnviron->currentIndex(), -1);
  QCOMPARE(desk.ui().cmbEnviron->currentText(), QString());
}

void MainControllerTest::startUpRestoresPrevActive_data() {
  QTest::addColumn<std::optional<QString>>("stored");
  QTest::addColumn<int>("position");
  QTest::newRow("not stored") << std::optional<QString>() << -1;
  QTest::newRow("first") << std::optional<QString>("0") << 0;
  QTest::newRow("last") << std::optional<QString>("1") << 1;
  QTest::newRow("none chosen") << std::optional<QString>("-1") << -1;
  QTest::newRow("beyond the list") << std::optional<QString>("2") << -1;
  QTest::newRow("below -1") << std::optional<QString>("-2") << -1;
  QTest::newRow("not a number") << std::optional<QString>("Alpha") << -1;
  QTest::newRow("beyond 16 bits") << std::optional<QString>("65536") << -1;
}

// The position, not the name, is restored: whatever stands there now is chosen.
void MainControllerTest::startUpRestoresPrevActive() {
  QFETCH(std::optional<QString>, stored);
  QFETCH(int, position);
  if (stored) {
    storePrevActive(*stored);
  }
  Desk desk;
  startWithTwoProfiles(desk);
  QComboBox* list = desk.ui().cmbEnviron;
  QCOMPARE(list->currentIndex(), position);
  QCOMPARE(desk.controller.selectedPosition(), position);
  const QString chosen = position < 0 ? QString() : list->itemText(position);
  QCOMPARE(list->currentText(), chosen);
  QCOMPARE(desk.ui().Text1->text(), chosen.isEmpty() ? QString() : rootOf(chosen));
  QCOMPARE(desk.ui().Text2->text(), chosen.isEmpty() ? QString() : rootOf(chosen + "Usb"));
  QCOMPARE(storedPrevActive(), stored);
  QVERIFY(desk.boxes.shown.empty());
}

void MainControllerTest::choosingProfileLoadsRoots_data() {
  QTest::addColumn<QString>("local");
  QTest::addColumn<QString>("removable");
  QTest::newRow("both keys") << "/data/Gamma/"
                             << "/media/usb/Gamma/";
  QTest::newRow("no keys") << QString() << QString();
  QTest::newRow("local only") << "/data/Gamma/" << QString();
  QTest::newRow("removable only") << QString() << "/media/usb/Gamma/";
}

void MainControllerTest::choosingProfileLoadsRoots() {
  QFETCH(QString, local);
  QFETCH(QString, removable);
  Desk desk;
  desk.writeProfile("Gamma", local, removable);
  QVERIFY(desk.start());
  typeInto(desk.ui().Text1, "/typed/local");
  typeInto(desk.ui().Text2, "/typed/usb");
  chooseEntry(desk.ui().cmbEnviron, 0);
  QCOMPARE(desk.ui().cmbEnviron->currentText(), QStringLiteral("Gamma"));
  QCOMPARE(desk.controller.selectedPosition(), 0);
  QCOMPARE(desk.ui().Text1->text(), local);
  QCOMPARE(desk.ui().Text2->text(), removable);
}

// At start-up (the profile of the last run) and when chosen from the list.
void MainControllerTest::anUnreadableProfileIsReportedAndTheProgramGoesOn() {
  FaultyFileSystem* files = nullptr;
  Desk desk(uniqueServerName(), {}, [&files] {
    auto faulty = std::make_unique<FaultyFileSystem>();
    faulty->failOn(Call::ReadFile, 70, "Gamma.ini", 1, true);
    files = faulty.get();
    return faulty;
  });
  desk.writeProfile("Gamma", "/data/", "/media/usb/");
  storePrevActive("0");
  QVERIFY(desk.start());
  chooseEntry(desk.ui().cmbEnviron, 0);
  QCOMPARE(desk.boxes.shown.size(), std::size_t(2));
  for (const auto& box : desk.boxes.shown) {
    QVERIFY2(box.text.startsWith("70:書き込みできません。"), qPrintable(box.text));
    QCOMPARE(box.icon, MessageBoxes::Icon::None);
  }
  QCOMPARE(desk.ui().Text1->text(), QString());
  files->clearFaults();
  chooseEntry(desk.ui().cmbEnviron, 0);
  QCOMPARE(desk.ui().Text1->text(), QStringLiteral("/data/"));
}

void MainControllerTest::typingNameLoadsNothing_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<int>("key");
  QTest::newRow("listed name") << "Alpha" << 0;
  QTest::newRow("listed name, Tab") << "Alpha" << int(Qt::Key_Tab);
  QTest::newRow("listed name, Return") << "Alpha" << int(Qt::Key_Return);
  QTest::newRow("other case, Tab") << "alpha" << int(Qt::Key_Tab);
  QTest::newRow("start of a listed name") << "Alp" << 0;
}

// Only a choice from the list loads a profile, not a name that happens to match an entry.
void MainControllerTest::typingNameLoadsNothing() {
  QFETCH(QString, name);
  QFETCH(int, key);
  Desk desk;
  startWithTwoProfiles(desk);
  typeInto(desk.ui().cmbEnviron, name);
  if (key != 0) {
    QTest::keyClick(desk.ui().cmbEnviron->lineEdit(), Qt::Key(key));
  }
  QCOMPARE(desk.ui().cmbEnviron->currentText(), name);
  QCOMPARE(desk.ui().Text1->text(), QString());
  QCOMPARE(desk.controller.selectedPosition(), -1);
  QCOMPARE(desk.profileList().size(), 2);
}

void MainControllerTest::syncOnNewNameCreatesProfile_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<bool>("choseBefore");
  QTest::newRow("nothing chosen") << "Work" << false;
  QTest::newRow("typed over a chosen profile") << "Work" << true;
  // The list must not complete a typed name into a listed one.
  QTest::newRow("start of a listed name") << "Alph" << false;
  QTest::newRow("listed name in other case") << "alpha" << false;
}

void MainControllerTest::syncOnNewNameCreatesProfile() {
  QFETCH(QString, name);
  QFETCH(bool, choseBefore);
  Desk desk;
  startWithTwoProfiles(desk);
  const QByteArray alphaBefore = readFile(desk.profilePath("Alpha"));
  if (choseBefore) {
    chooseEntry(desk.ui().cmbEnviron, 1);
  }
  typeInto(desk.ui().cmbEnviron, name);
  typeInto(desk.ui().Text1, trees_->local().chopped(1));
  typeInto(desk.ui().Text2, trees_->removable().chopped(1));
  click(desk.ui().Command3);

  QCOMPARE(withIdShown(readFile(desk.profilePath(name))),
           profileText(trees_->local(), trees_->removable()) + kRunBookkeeping);
  QCOMPARE(readFile(desk.profilePath("Alpha")), alphaBefore);
  QCOMPARE(desk.profileList().size(), 3);
  QCOMPARE(desk.profileList().last(), name);
  QCOMPARE(desk.ui().cmbEnviron->currentIndex(), 2);
  QCOMPARE(desk.ui().cmbEnviron->currentText(), name);
  QCOMPARE(desk.controller.selectedPosition(), 2);
  QCOMPARE(desk.ui().Text1->text(), trees_->local());
  QCOMPARE(desk.ui().Text2->text(), trees_->removable());
  QCOMPARE(storedPrevActive(), QStringLiteral("2"));
  QCOMPARE(desk.window.logText(), completionLine());
  QVERIFY(desk.boxes.shown.empty());
}

// Without choosing it from the list, a listed name is a new entry; its file is overwritten
// without a question.
void MainControllerTest::typedNameOfListedProfileAddsSecondEntry() {
  Desk desk;
  startWithTwoProfiles(desk);
  typeInto(desk.ui().cmbEnviron, "Beta");
  typeInto(desk.ui().Text1, trees_->local());
  typeInto(desk.ui().Text2, trees_->removable());
  click(desk.ui().Command3);
  QCOMPARE(desk.profileList().count("Beta"), 2);
  QCOMPARE(withIdShown(readFile(desk.profilePath("Beta"))),
           profileText(trees_->local(), trees_->removable()) + kRunBookkeeping);
  QCOMPARE(storedPrevActive(), QStringLiteral("2"));
  QVERIFY(desk.boxes.shown.empty());
}

void MainControllerTest::saveQuestion_data() {
  QTest::addColumn<QString>("stored");
  QTest::addColumn<QString>("typed");
  QTest::addColumn<bool>("asked");
  QTest::addColumn<Result>("answer");
  QTest::addColumn<bool>("written");
  // %1 stands for the folder of the trees.
  QTest::newRow("unchanged") << "%1/local/"
                             << "%1/local/" << false << Result::Ok << false;
  QTest::newRow("separator appended") << "%1/local/"
                                      << "%1/local" << false << Result::Ok << false;
  QTest::newRow("other folder, OK") << "/elsewhere/"
                                    << "%1/local/" << true << Result::Ok << true;
  QTest::newRow("other folder, Cancel") << "/elsewhere/"
                                        << "%1/local/" << true << Result::Cancel << false;
  QTest::newRow("letter case only") << "%1/LOCAL/"
                                    << "%1/local/" << true << Result::Ok << true;
  QTest::newRow("stored without separator") << "%1/local"
                                            << "%1/local/" << true << Result::Ok << true;
}

// A chosen profile whose stored local root differs from the box asks before it is saved;
// either answer goes on to a run over the roots in the boxes.
void MainControllerTest::saveQuestion() {
  QFETCH(QString, stored);
  QFETCH(QString, typed);
  QFETCH(bool, asked);
  QFETCH(Result, answer);
  QFETCH(bool, written);
  Desk desk;
  desk.writeProfile("Work", inTrees(stored), trees_->removable());
  storePrevActive("0");
  QVERIFY(desk.start());
  const QByteArray before = readFile(desk.profilePath("Work"));
  trees_->put(trees_->local(), "a.txt");
  typeInto(desk.ui().Text1, inTrees(typed));
  if (asked) {
    desk.boxes.answer(answer);
  }
  click(desk.ui().Command3);

  QCOMPARE(desk.boxes.shown.size(), std::size_t(asked));
  if (asked) {
    verifyBox(desk.boxes.shown[0], kSaveQuestion, MessageBoxes::Buttons::OkCancel,
              MessageBoxes::Icon::Question);
  }
  QVERIFY(readFile(desk.profilePath("Work"))
              .startsWith(written ? profileText(trees_->local(), trees_->removable()) : before));
  QCOMPARE(desk.ui().Text1->text(), trees_->local());
  QVERIFY(trees_->has(trees_->removable(), "a.txt"));
  QCOMPARE(storedPrevActive(), QStringLiteral("0"));
}

void MainControllerTest::longRootFailsBeforeRun_data() {
  QTest::addColumn<bool>("newProfile");
  QTest::addColumn<int>("length");
  QTest::newRow("new profile, 260") << true << 260;
  QTest::newRow("new profile, 300") << true << 300;
  QTest::newRow("saved profile, 260") << false << 260;
}

// The store refuses the root: the failure is shown without an icon, and the command ends
// before "PrevActive" and the run.
void MainControllerTest::longRootFailsBeforeRun() {
  QFETCH(bool, newProfile);
  QFETCH(int, length);
  Desk desk;
  desk.writeProfile("Work", trees_->local(), trees_->removable());
  if (!newProfile) {
    storePrevActive("0");
  }
  QVERIFY(desk.start());
  const QByteArray before = readFile(desk.profilePath("Work"));
  if (newProfile) {
    typeInto(desk.ui().cmbEnviron, "Long");
    typeInto(desk.ui().Text2, trees_->removable());
  } else {
    desk.boxes.answer(Result::Ok);
  }
  const QString longRoot = rootOfLength(trees_->folder.path() + "/long/", length);
  typeInto(desk.ui().Text1, longRoot);
  desk.boxes.answer(Result::Ok);
  click(desk.ui().Command3);

  verifyBox(desk.boxes.shown.back(), kLongPathFailure, MessageBoxes::Buttons::Ok,
            MessageBoxes::Icon::None);
  QVERIFY(desk.boxes.allAnswered());
  QCOMPARE(desk.ui().Text1->text().size(), length);
  verifyInputsEnabled(desk, true);
  QCOMPARE(desk.window.logText(), QString());
  QCOMPARE(readFile(desk.profilePath("Work")), before);
  if (newProfile) {
    QCOMPARE(storedPrevActive(), std::nullopt);
    QCOMPARE(desk.profileList(), QStringList({"Work", "Long"}));
    QCOMPARE(desk.ui().cmbEnviron->currentIndex(), -1);
    QCOMPARE(desk.controller.selectedPosition(), -1);
    QVERIFY(!QFile::exists(desk.profilePath("Long")));
  } else {
    QCOMPARE(storedPrevActive(), QStringLiteral("0"));
  }
}

void MainControllerTest::unsafeRootsAreRefused_data() {
  QTest::addColumn<QString>("local");
  QTest::addColumn<QString>("removable");
  QTest::addColumn<QString>("message");
  // %1 stands for the folder of the trees.
  const QString empty = QString::fromUtf8(kEmptyRootMessage);
  const QString relative = QString::fromUtf8(kRelativeRootMessage);
  const QString overlapping = QString::fromUtf8(kOverlappingRootsMessage);
  QTest::newRow("empty local") << ""
                               << "%1/usb" << empty;
  QTest::newRow("empty removable") << "%1/local"
                                   << "" << empty;
  QTest::newRow("both empty") << ""
                              << "" << empty;
  QTest::newRow("relative local") << "local"
                                  << "%1/usb" << relative;
  QTest::newRow("relative removable") << "%1/local"
                                      << "./usb/" << relative;
  QTest::newRow("same folder") << "%1/local"
                               << "%1/local/" << overlapping;
  QTest::newRow("same folder, other spelling") << "%1/local"
                                               << "%1/usb/../local" << overlapping;
  QTest::newRow("removable inside local") << "%1"
                                          << "%1/usb" << overlapping;
  QTest::newRow("local inside removable") << "%1/usb/local"
                                          << "%1/usb/" << overlapping;
  QTest::newRow("system root") << "/"
                               << "%1/usb" << overlapping;
}

void MainControllerTest::unsafeRootsAreRefused() {
  QFETCH(QString, local);
  QFETCH(QString, removable);
  QFETCH(QString, message);
  Desk desk;
  QVERIFY(desk.start());
  trees_->put(trees_->local(), "a.txt");
  typeInto(desk.ui().cmbEnviron, "Work");
  typeInto(desk.ui().Text1, inTrees(local));
  typeInto(desk.ui().Text2, inTrees(removable));
  desk.boxes.answer(Result::Ok);
  click(desk.ui().Command3);

  QCOMPARE(desk.boxes.shown.size(), std::size_t(1));
  verifyBox(desk.boxes.shown[0], message, MessageBoxes::Buttons::Ok,
            MessageBoxes::Icon::Exclamation);
  QVERIFY(!QFile::exists(desk.profilePath("Work")));
  QCOMPARE(desk.profileList(), QStringList());
  QCOMPARE(storedPrevActive(), std::nullopt);
  QCOMPARE(desk.window.logText(), QString());
  QVERIFY(!trees_->has(trees_->removable(), "a.txt"));
  verifyInputsEnabled(desk, true);
}

void MainControllerTest::inputsLockedOnlyWhileRunning_data() {
  QTest::addColumn<bool>("copyFails");
  QTest::newRow("run asks a question") << false;
  QTest::newRow("run reports a failure") << true;
}

// The box of the run (a conflict question, or the report of a copy that a folder of the
// file's name blocks) shows the window as it is while the run works.
void MainControllerTest::inputsLockedOnlyWhileRunning() {
  QFETCH(bool, copyFails);
  Desk desk;
  QVERIFY(desk.start());
  trees_->put(trees_->local(), "both.txt", "local");
  if (copyFails) {
    trees_->put(trees_->removable(), "both.txt/inside.txt");
  } else {
    trees_->put(trees_->removable(), "both.txt", "removable");
  }
  typeInto(desk.ui().cmbEnviron, "Work");
  typeInto(desk.ui().Text1, trees_->local());
  typeInto(desk.ui().Text2, trees_->removable());
  bool checkedWhileOpen = false;
  desk.boxes.answer(Result::Cancel, [&] {
    verifyInputsEnabled(desk, false);
    QVERIFY(desk.ui().Command3->isEnabled());
    checkedWhileOpen = true;
  });
  click(desk.ui().Command3);

  QVERIFY(checkedWhileOpen);
  QCOMPARE(desk.boxes.shown.size(), std::size_t(1));
  QCOMPARE(desk.eventLog.entries.size(), std::size_t(copyFails ? 1 : 0));
  verifyInputsEnabled(desk, true);
  QVERIFY(desk.window.close());
}

void MainControllerTest::wholeRunFromWindow_data() {
  QTest::addColumn<bool>("preview");
  QTest::newRow("copying") << false;
  QTest::newRow("preview") << true;
}

// One file new on each side: the first pass copies the local one out, the second the
// removable one in, and the completion line goes on top.
void MainControllerTest::wholeRunFromWindow() {
  QFETCH(bool, preview);
  Desk desk;
  QVERIFY(desk.start());
  trees_->put(trees_->local(), "docs/a.txt");
  trees_->put(trees_->removable(), "c.txt");
  typeInto(desk.ui().cmbEnviron, "Work");
  typeInto(desk.ui().Text1, trees_->local());
  typeInto(desk.ui().Text2, trees_->removable());
  if (preview) {
    click(desk.ui().chkNoCopy);
  }
  QStringList titles;
  connect(&desk.window, &QWidget::windowTitleChanged,
          [&](const QString& title) { titles << title; });
  click(desk.ui().Command3);

  // The title shows the run's progress, rising to 100%, and is itself again at the end.
  QCOMPARE(titles.first(), QStringLiteral("Tandro - 0%"));
  QCOMPARE(titles.mid(titles.size() - 2), QStringList({"Tandro - 100%", "Tandro"}));
  QCOMPARE(desk.window.logText(),
           completionLine() + "c.txt  ローカルへコピー\r\ndocs\\a.txt  リムーバブルへコピー\r\n");
  QVERIFY(desk.ui().Text3->toPlainText().startsWith(completionLine().chopped(2)));
  QCOMPARE(trees_->has(trees_->removable(), "docs/a.txt"), !preview);
  QCOMPARE(trees_->has(trees_->local(), "c.txt"), !preview);
  QCOMPARE(readFile(desk.profilePath("Work")).contains("[Tandro]"), !preview);
  QVERIFY(desk.boxes.shown.empty());
}

void MainControllerTest::guardsSpeakThroughTheWindow_data() {
  QTest::addColumn<QString>("missing");
  QTest::addColumn<bool>("knownDrive");
  QTest::addColumn<QStringList>("local");
  QTest::addColumn<QStringList>("removable");
  QTest::addColumn<bool>("preview");
  QTest::addColumn<QString>("box");
  QTest::addColumn<MessageBoxes::Buttons>("buttons");
  QTest::addColumn<Result>("answer");
  QTest::addColumn<QStringList>("localAfter");
  QTest::addColumn<QStringList>("removableAfter");
  // Files on the removable side are recorded as last transferred at the moment of the run.
  // "%L" and "%R" in a box stand for the two roots.
  const QString missingRoot = QStringLiteral(
      "フォルダーが見つかりません。ドライブが接続されているか確認してください。\r\n");
  const QString otherDrive = QStringLiteral(
      "このフォルダーは前回同期したフォルダーと違うようです。\r\n%R\r\n同期を続けますか？");
  const QString massDeletion =
      QStringLiteral("11 個のファイルをリムーバブルから削除します。\r\n削除してよろしいですか？");
  QStringList many;
  for (int i = 0; i <= 10; ++i) {
    many << QStringLiteral("docs/f%1.txt").arg(i, 2, 10, QLatin1Char('0'));
  }
  const QStringList manyOnKnownDrive = QStringList{".tandro"} + many;
  const auto yesNo = MessageBoxes::Buttons::YesNoDefaultNo;

  QTest::newRow("local root missing")
      << "local" << true << QStringList() << QStringList{"b.txt"} << false << missingRoot + "%L"
      << MessageBoxes::Buttons::Ok << Result::Ok << QStringList()
      << QStringList{".tandro", "b.txt"};
  QTest::newRow("removable root missing")
      << "removable" << false << QStringList{"a.txt"} << QStringList() << false
      << missingRoot + "%R" << MessageBoxes::Buttons::Ok << Result::Ok << QStringList{"a.txt"}
      << QStringList();
  QTest::newRow("other drive, No")
      << "" << false << QStringList{"a.txt"} << QStringList{"b.txt"} << false << otherDrive << yesNo
      << Result::No << QStringList{"a.txt"} << QStringList{"b.txt"};
  // Without its records the run takes the file only on the drive for new, not deleted.
  QTest::newRow("other drive, Yes")
      << "" << false << QStringList{"a.txt"} << QStringList{"b.txt"} << false << otherDrive << yesNo
      << Result::Yes << QStringList{"a.txt", "b.txt"} << QStringList{".tandro", "a.txt", "b.txt"};
  QTest::newRow("mass deletion, No") << "" << true << QStringList() << many << false << massDeletion
                                     << yesNo << Result::No << QStringList() << manyOnKnownDrive;
  QTest::newRow("mass deletion, preview")
      << "" << true << QStringList() << many << true << QString() << yesNo << Result::No
      << QStringList() << manyOnKnownDrive;
}

// A profile that has synchronised before: a missing root is reported, another drive and a
// mass deletion are put to the user, and a run that ends there leaves both trees as they were.
void MainControllerTest::guardsSpeakThroughTheWindow() {
  QFETCH(QString, missing);
  QFETCH(bool, knownDrive);
  QFETCH(QStringList, local);
  QFETCH(QStringList, removable);
  QFETCH(bool, preview);
  QFETCH(QString, box);
  QFETCH(MessageBoxes::Buttons, buttons);
  QFETCH(Result, answer);
  QFETCH(QStringList, localAfter);
  QFETCH(QStringList, removableAfter);
  const QByteArray id = "0123456789abcdef0123456789abcdef";
  const QString gone = trees_->folder.filePath("gone") + '/';
  const QString localRoot = missing == "local" ? gone : trees_->local();
  const QString removableRoot = missing == "removable" ? gone : trees_->removable();
  QByteArray records;
  for (const QString& file : local) {
    trees_->put(localRoot, file);
  }
  for (const QString& file : removable) {
    putAtRunTime(removableRoot + file);
    records += QString(file).replace('/', '\\').toUtf8() + "=" + kNowText.toUtf8() + "\r\n";
  }
  if (knownDrive) {
    writeFile(removableRoot + ".tandro", id + "\n");
  }
  Desk desk;
  writeFile(desk.profilePath("Work"),
            profileText(localRoot, removableRoot) + "Id=" + id + "\r\n[Tandro]\r\n" + records);
  storePrevActive("0");
  QVERIFY(desk.start());
  if (preview) {
    click(desk.ui().chkNoCopy);
  }
  desk.boxes.answer(answer);
  click(desk.ui().Command3);

  if (box.isEmpty()) {
    QVERIFY(desk.boxes.shown.empty());
  } else {
    QCOMPARE(desk.boxes.shown.size(), std::size_t(1));
    verifyBox(desk.boxes.shown[0],
              QString(box).replace("%L", localRoot).replace("%R", removableRoot), buttons,
              MessageBoxes::Icon::Exclamation);
  }
  const bool completed = answer == Result::Yes || preview;
  if (completed) {
    QVERIFY(desk.window.logText().startsWith(completionLine()));
  } else {
    QCOMPARE(desk.window.logText(), QString());
  }
  QVERIFY(!QFileInfo::exists(gone));
  QCOMPARE(filesIn(trees_->local()), localAfter);
  QCOMPARE(filesIn(trees_->removable()), removableAfter);
  if (removableAfter.contains(".tandro")) {
    QCOMPARE(readFile(trees_->removable() + ".tandro"), id + "\n");
  }
  verifyInputsEnabled(desk, true);
}

void MainControllerTest::aProfileInUseIsLeftAlone_data() {
  QTest::addColumn<bool>("disable");
  QTest::newRow("Sync") << false;
  QTest::newRow("Disable") << true;
}

// Another run (here: another holder of the profile's lock) has the profile: the command
// says so and touches nothing.
void MainControllerTest::aProfileInUseIsLeftAlone() {
  QFETCH(bool, disable);
  Desk desk;
  desk.writeProfile("Work", trees_->local(), trees_->removable());
  storePrevActive("0");
  QVERIFY(desk.start());
  trees_->put(trees_->local(), "docs/a.txt");
  const QByteArray profileBefore = readFile(desk.profilePath("Work"));
  auto files = createPlatformFileSystem();
  ProfileStore other(*files, desk.profiles.path().toStdString() + "/", [] { return "Work"; });
  const auto lock = other.tryLock();
  QVERIFY(lock);
  if (disable) {
    desk.boxes.answer(Result::Yes);
  }
  desk.boxes.answer(Result::Ok);
  click(disable ? desk.ui().Command5 : desk.ui().Command3);

  verifyBox(desk.boxes.shown.back(), QStringLiteral("このプロファイルは別の同期で使用中です。"),
            MessageBoxes::Buttons::Ok, MessageBoxes::Icon::Exclamation);
  QCOMPARE(readFile(desk.profilePath("Work")), profileBefore);
  QVERIFY(!trees_->has(trees_->removable(), "docs/a.txt"));
  QCOMPARE(desk.window.logText(), QString());
  verifyInputsEnabled(desk, true);
}

// Even a failure no step of the run handles (here the message boxes themselves fail) leaves
// the window usable.
void MainControllerTest::inputsUnlockedWhateverEndsTheRun() {
  Desk desk;
  QVERIFY(desk.start());
  trees_->put(trees_->local(), "both.txt", "local");
  trees_->put(trees_->removable(), "both.txt", "removable");
  typeInto(desk.ui().cmbEnviron, "Work");
  typeInto(desk.ui().Text1, trees_->local());
  typeInto(desk.ui().Text2, trees_->removable());
  const auto failingBox = [] { throw std::runtime_error("the box cannot be shown"); };
  desk.boxes.answer(Result::Cancel, failingBox);
  desk.boxes.answer(Result::Ok, failingBox);
  QVERIFY_THROWS_EXCEPTION(std::runtime_error, desk.controller.synchronise());
  verifyInputsEnabled(desk, true);
}

}  // namespace tandro::test

TANDRO_APP_TEST_MAIN(tandro::test::MainControllerTest)
#include "MainControllerTest.moc"
