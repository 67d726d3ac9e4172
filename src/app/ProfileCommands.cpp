#include "app/ProfileCommands.h"

#include <QComboBox>
#include <QLineEdit>
#include <unordered_set>

#include "app/FrmTandro.h"
#include "app/UiHeartbeat.h"
#include "common/Failure.h"
#include "common/Paths.h"
#include "dialogs/FrmSelectFolder.h"
#include "dialogs/MessageBoxes.h"
#include "sync/GetFileList.h"
#include "sync/RootCheck.h"
#include "sync/SyncTexts.h"

namespace tandro {

namespace {

const QString kDisableQuestion =
    QStringLiteral("全フォルダーを同期対象外とします。\r\nよろしいですか？");

}  // namespace

QString profileNameFromRoot(const QString& root) {
  const qsizetype length = root.size();
  const qsizetype separator =
      length < 2 ? -1 : root.lastIndexOf(QChar::fromLatin1(kNativeSeparator), length - 2);
  QString name = root.mid(separator + 1);
  name.chop(1);
  return name;
}

std::string folderKeyOf(const std::string& relativeFile) {
  const auto separator = relativeFile.rfind(kRelativeSeparator);
  const std::string parent =
      separator == std::string::npos ? std::string() : relativeFile.substr(0, separator);
  return parent + kRelativeSeparator;
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
  FrmSelectFolder picker(services_.messageBoxes, services_.driveRoots);
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
  if (services_.messageBoxes.show(&window_, kDisableQuestion, MessageBoxes::Buttons::YesNo,
                                  MessageBoxes::Icon::Question) != MessageBoxes::Result::Yes) {
    return;
  }
  try {
    // It writes the profile, so no run may use the profile meanwhile.
    const auto lock = profile_.tryLock();
    if (!lock) {
      services_.messageBoxes.show(&window_, QString::fromUtf8(sync_text::kProfileInUse),
                                  MessageBoxes::Buttons::Ok, MessageBoxes::Icon::Exclamation);
      return;
    }
    writeFolderKeys(withTrailingSeparator(localRoot), withTrailingSeparator(removableRoot));
  } catch (const Failure& failure) {
    services_.messageBoxes.show(&window_, QString::fromStdString(failure.numberAndDescription()),
                                MessageBoxes::Buttons::Ok, MessageBoxes::Icon::None);
  }
}

// Each folder's key is written once, all in one rewrite of the profile; what was collected
// before a failure is still written.
void ProfileCommands::writeFolderKeys(const std::string& localRoot,
                                      const std::string& removableRoot) {
  UiHeartbeat heartbeat;
  const ListingProgress keepDrawn = [&](std::size_t) { heartbeat.beat(); };
  FileSystem& fileSystem = window_.fileSystem();
  std::unordered_set<std::string> written;
  const auto exclude = [&](const std::string& file) {
    const std::string key = folderKeyOf(file);
    if (written.insert(key).second) {
      profile_.writeDeferred(kRecordSection, key, "1");
    }
  };
  try {
    FileList local;
    GetFileList(local, localRoot, "", fileSystem, profile_, keepDrawn);
    FileList removable;
    GetFileList(removable, removableRoot, "", fileSystem, profile_, keepDrawn);
    for (std::size_t i = 0; i < local.size(); ++i) {
      exclude(std::string(local.path(i)));
    }
    for (std::size_t i = 0; i < removable.size(); ++i) {
      heartbeat.beat();
      const std::string file(removable.path(i));
      if (!local.contains(file) && !fileSystem.normalFile(fullPath(localRoot, file))) {
        exclude(file);
      }
    }
  } catch (const Failure&) {
    profile_.flush();
    throw;
  }
  profile_.flush();
}

}  // namespace tandro
