#include "app/MainController.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>

#include "app/FrmTandro.h"
#include "app/PrevActive.h"
#include "app/SingleInstance.h"
#include "app/WindowHost.h"
#include "common/Failure.h"
#include "common/Paths.h"
#include "dialogs/MessageBoxes.h"
#include "profile/ProfileRoots.h"
#include "sync/RootCheck.h"
#include "sync/SyncFolders.h"

namespace tandro {

namespace {

const QString kSaveQuestion = QStringLiteral("設定の変更を保存しますか？");

std::string utf8(const QString& text) {
  return text.toStdString();
}

ProfileRoots typedRoots(const FrmTandro::Controls& ui) {
  return {utf8(ui.Text1->text()), utf8(ui.Text2->text())};
}

void appendSeparator(QLineEdit& rootBox) {
  const QString separator = QChar::fromLatin1(kNativeSeparator);
  if (!rootBox.text().endsWith(separator)) {
    rootBox.setText(rootBox.text() + separator);
  }
}

}  // namespace

MainController::MainController(FrmTandro& window, AppServices services)
    : window_(window),
      services_(std::move(services)),
      profile_(window.fileSystem(), utf8(services_.profileFolder + QDir::separator()),
               [&window] { return utf8(window.controls().cmbEnviron->currentText()); }),
      commands_(window, services_, profile_) {
  connectControls();
}

void MainController::connectControls() {
  const auto& ui = window_.controls();
  connect(ui.cmbEnviron, &QComboBox::activated, this, &MainController::selectProfile);
  connect(ui.cmbEnviron->lineEdit(), &QLineEdit::textEdited, this,
          [this] { selectedPosition_ = -1; });
  connect(ui.Command3, &QPushButton::clicked, this, &MainController::synchronise);
  connect(ui.Command1, &QPushButton::clicked, this, [this] { commands_.browseLocal(); });
  connect(ui.Command2, &QPushButton::clicked, this, [this] { commands_.browseRemovable(); });
  connect(ui.Command4, &QPushButton::clicked, this, [this] { commands_.edit(); });
  connect(ui.Command5, &QPushButton::clicked, this, [this] { commands_.disableAllFolders(); });
}

bool MainController::load(SingleInstance& instance) {
  try {
    if (CheckDuplicateMe(window_, instance, services_.messageBoxes)) {
      return false;
    }
  } catch (const Failure& failure) {
    showFailure(failure);
  }
  fillProfileList();
  restoreLastProfile();
  return true;
}

// Profiles are the normal "*?.ini" files of the profile folder, in the listing's order.
void MainController::fillProfileList() {
  QComboBox& list = *window_.controls().cmbEnviron;
  list.clear();
  selectedPosition_ = -1;
  QDir folder(services_.profileFolder, QStringLiteral("*?.ini"), QDir::Unsorted,
              QDir::Files | QDir::CaseSensitive);
  for (const QString& fileName : folder.entryList()) {
    list.addItem(fileName.chopped(4));
  }
  list.setCurrentIndex(-1);
}

void MainController::restoreLastProfile() {
  if (const auto position = readPrevActive()) {
    selectProfile(*position);
  }
}

void MainController::selectProfile(int position) {
  QComboBox& list = *window_.controls().cmbEnviron;
  if (position < 0 || position >= list.count()) {
    return;
  }
  list.setCurrentIndex(position);
  selectedPosition_ = position;
  loadProfileRoots();
}

// A profile that cannot be read is reported, and the program goes on with what it has.
void MainController::loadProfileRoots() {
  const auto& ui = window_.controls();
  try {
    const ProfileRoots roots = readProfileRoots(profile_);
    ui.Text1->setText(QString::fromStdString(roots.local));
    ui.Text2->setText(QString::fromStdString(roots.removable));
  } catch (const std::exception& failure) {
    showFailure(asFailure(failure));
  }
}

void MainController::synchronise() {
  try {
    if (!prepareRun()) {
      return;
    }
  } catch (const Failure& failure) {
    showFailure(failure);
    return;
  }
  runSynchronisation();
}

bool MainController::prepareRun() {
  const auto& ui = window_.controls();
  const ProfileRoots typed = typedRoots(ui);
  appendSeparator(*ui.Text1);
  appendSeparator(*ui.Text2);
  if (const auto refusal = unsafeRootsMessage(typed.local, typed.removable)) {
    services_.messageBoxes.show(&window_, QString::fromStdString(*refusal),
                                MessageBoxes::Buttons::Ok, MessageBoxes::Icon::Exclamation);
    return false;
  }
  saveRoots();
  writePrevActive(selectedPosition_);
  return true;
}

// A new name becomes a profile with both roots; a chosen profile is updated only when the
// user agrees to save changed roots.
void MainController::saveRoots() {
  const auto& ui = window_.controls();
  if (selectedPosition_ < 0) {
    ui.cmbEnviron->addItem(ui.cmbEnviron->currentText());
    writeProfileRoots(profile_, typedRoots(ui));
    selectProfile(ui.cmbEnviron->count() - 1);
    return;
  }
  const ProfileRoots typed = typedRoots(ui);
  if (readProfileRoots(profile_) == typed) {
    return;
  }
  if (services_.messageBoxes.show(&window_, kSaveQuestion, MessageBoxes::Buttons::OkCancel,
                                  MessageBoxes::Icon::Question) == MessageBoxes::Result::Ok) {
    writeProfileRoots(profile_, typed);
  }
}

namespace {

// The inputs stay locked for exactly as long as the run lasts, however it ends.
class InputLock {
 public:
  explicit InputLock(FrmTandro& window) : window_(window) {
    window_.setRunning(true);
    window_.EnableInputs(false);
  }
  ~InputLock() {
    window_.flushLog();
    window_.EnableInputs(true);
    window_.setRunning(false);
  }
  InputLock(const InputLock&) = delete;
  InputLock& operator=(const InputLock&) = delete;

 private:
  FrmTandro& window_;
};

}  // namespace

void MainController::runSynchronisation() {
  const auto& ui = window_.controls();
  const InputLock inputLock(window_);
  WindowHost host(window_, services_.messageBoxes, services_.eventLog);
  SyncFolders({window_.fileSystem(), profile_, host, services_.clock, utf8(ui.Text1->text()),
               utf8(ui.Text2->text())});
}

void MainController::showFailure(const Failure& failure) {
  services_.messageBoxes.show(&window_, QString::fromStdString(failure.numberAndDescription()),
                              MessageBoxes::Buttons::Ok, MessageBoxes::Icon::None);
}

}  // namespace tandro
