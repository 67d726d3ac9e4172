// The single-instance check: two desks in one process meet at a meeting point of the test's
// own, as two copies of the program meet at the user's.
#include <QApplication>
#include <QtTest>

#include "AppTestSupport.h"
#include "common/Failure.h"

#ifdef Q_OS_UNIX
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#endif

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

}  // namespace tandro::test

TANDRO_APP_TEST_MAIN(tandro::test::SingleInstanceTest)
#include "SingleInstanceTest.moc"
