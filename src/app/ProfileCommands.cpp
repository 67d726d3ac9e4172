#include "app/ProfileCommands.h"

#include <QComboBox>
#include <QLineEdit>

#include "app/FrmTandro.h"
#include "app/UiHeartbeat.h"
#include "common/Failure.h"
#include "common/Paths.h"
#include "dialogs/FrmSelectFolder.h"
#include "dialogs/MessageBoxes.h"
#include "sync/FolderKeys.h"
#include "sync/RootCheck.h"
#include "sync/SyncTexts.h"

namespace tandro {

QString profileNameFromRoot(const QString& root) {
  const qsizetype length = root.size();
  const qsizetype separator =
      length < 2 ? -1 : root.lastIndexOf(QChar::fromLatin1(kNativeSeparator), length - 2);
  QString name = root.mid(separator + 1);
  name.chop(1);
  return name;
}

ProfileCommands::ProfileCommands(FrmTandro& window, const AppServices& services,
                                 ProfileStore& profile)
    : window_(window), services_(services), profile_(profile) {}

void ProfileCommands::browseLocal() {
  const auto& ui = window_.controls();
  browse(*ui.Text1);
  if (ui.cmbEnviron->currentText().isEmpty() && !ui.Text1->text().isEmpty()) {
    ui.cmbEnviron->setEditText(profileNameFromRoot(ui.Text1->text()));
  }
}

void ProfileCommands::browseRemovable() {
  browse(*window_.controls().Text2);
}

void ProfileCommands::browse(QLineEdit& rootBox) {
  FrmSelectFolder picker(services_.messageBoxes, services_.driveRoots());
  picker.Path = rootBox.text();
  picker.exec();
  if (!picker.Path.isEmpty()) {
    rootBox.setText(picker.Path);
  }
}

void ProfileCommands::edit() {
  services_.openInEditor(QString::fromStdString(profile_.profilePath()));
}

void ProfileCommands::disableAllFolders() {
  const auto& ui = window_.controls();
  const std::string localRoot = ui.Text1->text().toStdString();
  const std::string removableRoot = ui.Text2->text().toStdString();
  if (const auto refusal = unsafeRootsMessage(localRoot, removableRoot)) {
    services_.messageBoxes.show(&window_, QString::fromStdString(*refusal),
                                MessageBoxes::Buttons::Ok, MessageBoxes::Icon::Exclamation);
    return;
  }
  if (services_.messageBoxes.show(&window_, QString::fromUtf8(sync_text::kDisableQuestion),
                                  MessageBoxes::Buttons::YesNo,
                                  MessageBoxes::Icon::Question) != MessageBoxes::Result::Yes) {
    return;
  }
  try {
    UiHeartbeat heartbeat;
    const ListingProgress keepDrawn = [&](std::size_t) { heartbeat.beat(); };
    if (writeFolderKeys(withTrailingSeparator(localRoot), withTrailingSeparator(removableRoot),
                        window_.fileSystem(), profile_,
                        keepDrawn) == FolderKeysOutcome::ProfileInUse) {
      services_.messageBoxes.show(&window_, QString::fromUtf8(sync_text::kProfileInUse),
                                  MessageBoxes::Buttons::Ok, MessageBoxes::Icon::Exclamation);
    }
  } catch (const Failure& failure) {
    services_.messageBoxes.show(&window_, QString::fromStdString(failure.numberAndDescription()),
                                MessageBoxes::Buttons::Ok, MessageBoxes::Icon::None);
  }
}

}  // namespace tandro
