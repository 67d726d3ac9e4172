#include "AppTestSupport.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QUuid>
#include <QtTest>

namespace tandro::test {

namespace {

QSettings userSettings() {
  return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Velmoro"));
}

const QString kPrevActiveKey = QStringLiteral("Tandro/PrevActive");

}  // namespace

void ScriptedMessageBoxes::answer(Result result, std::function<void()> whileOpen) {
  answers_.push_back({result, std::move(whileOpen)});
}

MessageBoxes::Result ScriptedMessageBoxes::show(QWidget*, const QString& text, Buttons buttons,
                                                Icon icon, const QString& title) {
  shown.push_back({text, buttons, icon, title.isEmpty() ? QStringLiteral("Tandro") : title});
  if (answers_.empty()) {
    ++unexpected;
    return Result::Cancel;
  }
  const Answer next = answers_.front();
  answers_.pop_front();
  if (next.whileOpen) {
    next.whileOpen();
  }
  return next.result;
}

std::int64_t runMoment() {
  return QDateTime(QDate(2008, 2, 19), QTime(15, 0, 59)).toSecsSinceEpoch();
}

std::optional<QString> storedPrevActive() {
  const QVariant value = userSettings().value(kPrevActiveKey);
  if (!value.isValid()) {
    return std::nullopt;
  }
  return value.toString();
}

void storePrevActive(const QString& text) {
  userSettings().setValue(kPrevActiveKey, text);
}

void forgetPrevActive() {
  userSettings().remove(kPrevActiveKey);
}

QByteArray readFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    return {};
  }
  return file.readAll();
}

void writeFile(const QString& path, const QByteArray& content) {
  QDir().mkpath(QFileInfo(path).path());
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size()) {
    qFatal("cannot write %s", qPrintable(path));
  }
}

void click(QAbstractButton* button) {
  QTest::mouseClick(button, Qt::LeftButton);
}

void typeInto(QLineEdit* box, const QString& text) {
  box->setFocus();
  QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(box, Qt::Key_Delete);
  QTest::keyClicks(box, text);
}

void typeInto(QComboBox* list, const QString& text) {
  typeInto(list->lineEdit(), text);
}

void chooseEntry(QComboBox* list, int position) {
  list->showPopup();
  QAbstractItemView* view = list->view();
  if (!QTest::qWaitForWindowExposed(view->window())) {
    qFatal("the drop-down list of %s did not open", qPrintable(list->objectName()));
  }
  const QPoint centre = view->visualRect(view->model()->index(position, 0)).center();
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, centre);
}

Trees::Trees() {
  QDir().mkpath(local());
  QDir().mkpath(removable());
}

void Trees::put(const QString& root, const QString& relative, const QByteArray& content) {
  writeFile(root + relative, content);
}

bool Trees::has(const QString& root, const QString& relative) const {
  return QFileInfo(root + relative).isFile();
}

QString uniqueServerName() {
  return QStringLiteral("TandroTest-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
}

Desk::Desk(const QString& serverName, const QStringList& driveRoots,
           FrmTandro::FileSystemFactory makeFileSystem)
    : serverName(serverName),
      window(std::move(makeFileSystem)),
      drives(driveRoots),
      controller(window,
                 {profiles.path(), boxes, eventLog, clock,
                  [this](const QString& path) { editedFiles << path; }, [this] { return drives; }}),
      instance(serverName) {}

bool Desk::start() {
  if (!controller.load(instance)) {
    return false;
  }
  window.show();
  return QTest::qWaitForWindowExposed(&window);
}

QString Desk::profilePath(const QString& name) const {
  return profiles.filePath(name + QStringLiteral(".ini"));
}

void Desk::writeProfile(const QString& name, const QString& local, const QString& removable) {
  QByteArray text = "[Path]\r\n";
  if (!local.isNull()) {
    text += "Local=" + local.toUtf8() + "\r\n";
  }
  if (!removable.isNull()) {
    text += "Remove=" + removable.toUtf8() + "\r\n";
  }
  writeFile(profilePath(name), text);
}

QStringList Desk::profileList() const {
  QStringList names;
  for (int i = 0; i < ui().cmbEnviron->count(); ++i) {
    names << ui().cmbEnviron->itemText(i);
  }
  return names;
}

int runIsolated(QObject& testObject, int argc, char** argv) {
  QTemporaryDir settingsHome;
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(settingsHome.path()));
  QApplication app(argc, argv);
  if (!userSettings().fileName().startsWith(settingsHome.path())) {
    qFatal("the settings are not isolated: %s", qPrintable(userSettings().fileName()));
  }
  return QTest::qExec(&testObject, argc, argv);
}

}  // namespace tandro::test
