// The single-instance check: two desks in one process meet at a meeting point of the test's
// own, as two copies of the program meet at the user's; and where the user's may lie.
#include <QApplication>
#include <QtTest>

#include "AppTestSupport.h"
#include "common/Failure.h"

#ifdef Q_OS_UNIX
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#endif

namespace tandro::test {
// Ways a folder can be unfit for the socket.
enum class Unfit { Unset, Relative, Missing, File, OpenToOthers, OpenToGroup, Link, OtherOwners };
}  // namespace tandro::test
Q_DECLARE_METATYPE(tandro::test::Unfit)

namespace tandro::test {

namespace {

const QString kAlreadyRunning =
    QStringLiteral("このプログラムは、すでに起動しています。\rそちらをアクティブにします。");
// Only a guard against a hang; every wait ends as soon as its condition holds.
constexpr int kPatienceMs = 60000;

// What a copy that crashed leaves behind: a socket file nobody listens on.
bool leaveSocketFile(const QString& path) {
#ifdef Q_OS_UNIX
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const QByteArray encoded = QFile::encodeName(path);
  std::strncpy(address.sun_path, encoded.constData(), sizeof address.sun_path - 1);
  const int socketFile = ::socket(AF_UNIX, SOCK_STREAM, 0);
  const bool bound =
      ::bind(socketFile, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  ::close(socketFile);
  return bound;
#else
  Q_UNUSED(path);
  return false;
#endif
}

#ifdef Q_OS_UNIX
bool isSocket(const QString& path) {
  struct stat status {};
  return ::lstat(QFile::encodeName(path).constData(), &status) == 0 && S_ISSOCK(status.st_mode);
}

// Hands `path` to another user (nobody, 65534, unless that is us); false where we may not.
bool giveAway(const QString& path) {
  const uid_t other = ::geteuid() == 65534 ? 65533 : 65534;
  return ::chown(QFile::encodeName(path).constData(), other, other) == 0;
}

QString ownFolderIn(const QString& temporaryFolder) {
  return temporaryFolder + QStringLiteral("/tandro-") + QString::number(::geteuid());
}

// Sets an environment variable until the end of the scope; a null value unsets it.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const QString& value)
      : name_(name), wasSet_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name)) {
    if (value.isNull()) {
      qunsetenv(name);
    } else {
      qputenv(name, QFile::encodeName(value));
    }
  }
  ~ScopedVariable() {
    if (wasSet_) {
      qputenv(name_, old_);
    } else {
      qunsetenv(name_);
    }
  }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

 private:
  const char* name_;
  bool wasSet_;
  QByteArray old_;
};

// Puts an unfit `kind` at `path`; false when it cannot be made here (a chown without root).
bool placeUnfit(Unfit kind, const QString& path) {
  const QFile::Permissions ownerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
  switch (kind) {
    case Unfit::Unset:
    case Unfit::Relative:
    case Unfit::Missing:
      return true;
    case Unfit::File:
      writeFile(path, "x");
      return true;
    case Unfit::OpenToOthers:
      return QDir().mkdir(path) &&
             QFile::setPermissions(
                 path, ownerOnly | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther);
    case Unfit::OpenToGroup:
      return QDir().mkdir(path) &&
             QFile::setPermissions(path, ownerOnly | QFile::ReadGroup | QFile::ExeGroup);
    case Unfit::Link:
      return QDir().mkdir(path + QStringLiteral("-target"), ownerOnly) &&
             QFile::link(path + QStringLiteral("-target"), path);
    case Unfit::OtherOwners:
      return QDir().mkdir(path, ownerOnly) && giveAway(path);
  }
  return false;
}

void addUnfitRows(bool withUnset) {
  QTest::addColumn<Unfit>("kind");
  if (withUnset) {
    QTest::newRow("not set") << Unfit::Unset;
    QTest::newRow("relative") << Unfit::Relative;
    QTest::newRow("missing") << Unfit::Missing;
  }
  QTest::newRow("a file") << Unfit::File;
  QTest::newRow("open to others") << Unfit::OpenToOthers;
  QTest::newRow("open to its group") << Unfit::OpenToGroup;
  QTest::newRow("a link to a private folder") << Unfit::Link;
  QTest::newRow("someone else's") << Unfit::OtherOwners;
}
#endif

}  // namespace

class SingleInstanceTest : public QObject {
  Q_OBJECT

 private slots:
  void init();
  void cleanup();

  void onlyCopyGoesOnAndServes();
  void secondCopyActivatesFirst_data();
  void secondCopyActivatesFirst();
  void leftoverOfCrashedCopyDoesNotBlock();
  void failureCarriesCheckSource();
  void failedCheckIsShownAndStartGoesOn();
  void socketInRuntimeFolder();
  void unfitRuntimeFolderFallsBackToOwnFolder_data();
  void unfitRuntimeFolderFallsBackToOwnFolder();
  void unfitOwnFolderStartsUnguarded_data();
  void unfitOwnFolderStartsUnguarded();
  void oldNameHeldBySomeoneElseDoesNotStop_data();
  void oldNameHeldBySomeoneElseDoesNotStop();
};

void SingleInstanceTest::init() {
  forgetPrevActive();
  QGuiApplication::setApplicationDisplayName(QStringLiteral("Tandro"));
}

void SingleInstanceTest::cleanup() {
  QGuiApplication::setApplicationDisplayName(QString());
}

void SingleInstanceTest::onlyCopyGoesOnAndServes() {
  Desk desk;
  desk.writeProfile("Work", "/data/", "/media/usb/");
  QVERIFY(desk.start());
  QVERIFY(desk.boxes.shown.empty());
  QCOMPARE(desk.window.windowTitle(), QStringLiteral("Tandro"));
  QCOMPARE(QGuiApplication::applicationDisplayName(), QStringLiteral("Tandro"));
  QCOMPARE(desk.profileList(), QStringList({"Work"}));
  SingleInstance later(desk.serverName);
  QVERIFY(later.anotherCopyRuns());
}

void SingleInstanceTest::secondCopyActivatesFirst_data() {
  QTest::addColumn<bool>("minimised");
  QTest::newRow("minimised") << true;
  QTest::newRow("behind another window") << false;
}

// The second copy says so, renames itself so as not to be taken for the first, has the
// first brought forward and ends without reading a profile.
void SingleInstanceTest::secondCopyActivatesFirst() {
  QFETCH(bool, minimised);
  Desk first;
  QVERIFY(first.start());
  QWidget other;
  if (minimised) {
    first.window.showMinimized();
    QVERIFY(first.window.isMinimized());
  } else {
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
  }
  storePrevActive("0");
  Desk second(first.serverName);
  second.writeProfile("Work", "/data/", "/media/usb/");
  second.boxes.answer(MessageBoxes::Result::Ok);
  QVERIFY(!second.start());

  QCOMPARE(second.boxes.shown.size(), std::size_t(1));
  QCOMPARE(second.boxes.shown[0].text, kAlreadyRunning);
  QCOMPARE(second.boxes.shown[0].buttons, MessageBoxes::Buttons::Ok);
  QCOMPARE(second.boxes.shown[0].icon, MessageBoxes::Icon::Information);
  QCOMPARE(second.boxes.shown[0].title, QStringLiteral("Tandro"));
  QCOMPARE(second.window.windowTitle(), QStringLiteral("dummy"));
  QVERIFY(!second.window.isVisible());
  QCOMPARE(second.profileList(), QStringList());
  QCOMPARE(second.ui().Text1->text(), QString());

  QTRY_VERIFY_WITH_TIMEOUT(!first.window.isMinimized(), kPatienceMs);
  QTRY_COMPARE_WITH_TIMEOUT(QApplication::activeWindow(), &first.window, kPatienceMs);
  QVERIFY(first.window.isVisible());
}

void SingleInstanceTest::leftoverOfCrashedCopyDoesNotBlock() {
#ifndef Q_OS_UNIX
  QSKIP("a local server leaves no file behind here");
#endif
  const QString name = uniqueServerName();
  QVERIFY(leaveSocketFile(QDir::tempPath() + '/' + name));
  Desk desk(name);
  QVERIFY(desk.start());
  QVERIFY(desk.boxes.shown.empty());
  SingleInstance later(name);
  QVERIFY(later.anotherCopyRuns());
}

void SingleInstanceTest::failureCarriesCheckSource() {
  FrmTandro form;
  ScriptedMessageBoxes boxes;
  SingleInstance instance(QStringLiteral("/no/such/folder/Tandro"));
  try {
    CheckDuplicateMe(form, instance, boxes);
    QFAIL("the check did not fail");
  } catch (const Failure& failure) {
    QCOMPARE(QString::fromStdString(failure.source()), QStringLiteral("CheckDuplicateMe()>Tandro"));
    QCOMPARE(failure.number(), failure_number::kPathFileAccess);
  }
  QVERIFY(boxes.shown.empty());
}

// The copy cannot guard itself, says so, and works all the same.
void SingleInstanceTest::failedCheckIsShownAndStartGoesOn() {
  Desk desk(QStringLiteral("/no/such/folder/Tandro"));
  desk.writeProfile("Work", "/data/", "/media/usb/");
  storePrevActive("0");
  desk.boxes.answer(MessageBoxes::Result::Ok);
  QVERIFY(desk.start());
  QCOMPARE(desk.boxes.shown.size(), std::size_t(1));
  QVERIFY(desk.boxes.shown[0].text.startsWith(QStringLiteral("75:パス名が無効です。")));
  QCOMPARE(desk.boxes.shown[0].icon, MessageBoxes::Icon::None);
  QCOMPARE(desk.ui().cmbEnviron->currentText(), QStringLiteral("Work"));
  QCOMPARE(desk.ui().Text1->text(), QStringLiteral("/data/"));
}

void SingleInstanceTest::socketInRuntimeFolder() {
#ifndef Q_OS_UNIX
  QSKIP("named pipes need no folder");
#else
  QTemporaryDir runtime;
  ScopedVariable runtimeVariable("XDG_RUNTIME_DIR", runtime.path());
  const QString name = SingleInstance::defaultServerName();
  QCOMPARE(name, runtime.path() + QStringLiteral("/Tandro"));
  Desk desk(name);
  QVERIFY(desk.start());
  QVERIFY(desk.boxes.shown.empty());
  QVERIFY(isSocket(name));
  QVERIFY(SingleInstance().anotherCopyRuns());
#endif
}

void SingleInstanceTest::unfitRuntimeFolderFallsBackToOwnFolder_data() {
#ifdef Q_OS_UNIX
  addUnfitRows(true);
#endif
}

void SingleInstanceTest::unfitRuntimeFolderFallsBackToOwnFolder() {
#ifndef Q_OS_UNIX
  QSKIP("named pipes need no folder");
#else
  QFETCH(Unfit, kind);
  QTemporaryDir scratch;
  const QString runtime = scratch.path() + QStringLiteral("/runtime");
  if (!placeUnfit(kind, runtime)) {
    QSKIP("only root can give a folder away");
  }
  ScopedVariable runtimeVariable("XDG_RUNTIME_DIR", kind == Unfit::Unset ? QString()
                                                    : kind == Unfit::Relative
                                                        ? QStringLiteral("runtime")
                                                        : runtime);
  ScopedVariable temporaryFolder("TMPDIR", scratch.path());
  const QString own = ownFolderIn(scratch.path());
  const QString name = SingleInstance::defaultServerName();
  QCOMPARE(name, own + QStringLiteral("/Tandro"));
  const QFileInfo folder(own);
  QVERIFY(folder.isDir() && !folder.isSymLink());
  QCOMPARE(folder.ownerId(), ::geteuid());
  QCOMPARE(folder.permissions() & ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser),
           QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

  Desk desk(name);
  QVERIFY(desk.start());
  QVERIFY(desk.boxes.shown.empty());
  QVERIFY(isSocket(name));
  QVERIFY(!QFileInfo::exists(runtime + QStringLiteral("/Tandro")));
  QVERIFY(SingleInstance().anotherCopyRuns());
#endif
}

void SingleInstanceTest::unfitOwnFolderStartsUnguarded_data() {
#ifdef Q_OS_UNIX
  addUnfitRows(false);
#endif
}

// Whoever took the folder's name first cannot keep the program from starting, nor meet it.
void SingleInstanceTest::unfitOwnFolderStartsUnguarded() {
#ifndef Q_OS_UNIX
  QSKIP("named pipes need no folder");
#else
  QFETCH(Unfit, kind);
  QTemporaryDir scratch;
  ScopedVariable runtimeVariable("XDG_RUNTIME_DIR", QString());
  ScopedVariable temporaryFolder("TMPDIR", scratch.path());
  const QString own = ownFolderIn(scratch.path());
  if (!placeUnfit(kind, own)) {
    QSKIP("only root can give a folder away");
  }
  QTest::ignoreMessage(QtWarningMsg,
                       QRegularExpression(QStringLiteral("without the single-instance check")));
  const QString name = SingleInstance::defaultServerName();
  QCOMPARE(name, QString());
  Desk first(name);
  QVERIFY(first.start());
  Desk second(name);
  QVERIFY(second.start());
  QVERIFY(first.boxes.shown.empty());
  QVERIFY(second.boxes.shown.empty());
  QVERIFY(!QFileInfo::exists(own + QStringLiteral("/Tandro")));
#endif
}

void SingleInstanceTest::oldNameHeldBySomeoneElseDoesNotStop_data() {
  QTest::addColumn<bool>("runtimeFolder");
  QTest::newRow("with a runtime folder") << true;
  QTest::newRow("without one") << false;
}

// Someone else listens at the name in the shared temporary folder that copies met at before.
void SingleInstanceTest::oldNameHeldBySomeoneElseDoesNotStop() {
#ifndef Q_OS_UNIX
  QSKIP("named pipes need no folder");
#else
  QFETCH(bool, runtimeFolder);
  QTemporaryDir scratch;
  QTemporaryDir runtime;
  ScopedVariable runtimeVariable("XDG_RUNTIME_DIR", runtimeFolder ? runtime.path() : QString());
  ScopedVariable temporaryFolder("TMPDIR", scratch.path());
  QLocalServer squatter;
  squatter.setSocketOptions(QLocalServer::WorldAccessOption);
  QVERIFY(squatter.listen(scratch.path() + QStringLiteral("/Tandro-") +
                          qEnvironmentVariable("USER", qEnvironmentVariable("USERNAME"))));
  if (!giveAway(squatter.fullServerName())) {
    QSKIP("only root can give a file away");
  }
  Desk desk(SingleInstance::defaultServerName());
  desk.writeProfile("Work", "/data/", "/media/usb/");
  QVERIFY(desk.start());
  QVERIFY(desk.boxes.shown.empty());
  QCOMPARE(desk.profileList(), QStringList({"Work"}));
  QVERIFY(isSocket(desk.serverName));
  QVERIFY(!squatter.hasPendingConnections());
#endif
}

}  // namespace tandro::test

TANDRO_APP_TEST_MAIN(tandro::test::SingleInstanceTest)
#include "SingleInstanceTest.moc"
