// The commands that act on the current profile without a run: browse for either root, open
// the profile in the text editor, and exclude every folder of both trees.
#pragma once

#include "app/AppServices.h"
#include "profile/ProfileStore.h"

class QLineEdit;

namespace tandro {

class FrmTandro;

class ProfileCommands {
 public:
  ProfileCommands(FrmTandro& window, const AppServices& services, ProfileStore& profile);

  // Picks the local root; with an empty profile name, names the profile after its folder.
  void browseLocal();
  void browseRemovable();
  void edit();
  // Asks, then writes the exclusion mark for the folder of every file of both trees.
  void disableAllFolders();

 private:
  void browse(QLineEdit& rootBox);

  FrmTandro& window_;
  const AppServices& services_;
  ProfileStore& profile_;
};

// The profile name the local root suggests: the text after the last separator before the
// final character, with the final character dropped (the last folder name of a root that
// ends with its separator; one letter short for a root typed without it).
QString profileNameFromRoot(const QString& root);

}  // namespace tandro
