// What the main window does: start-up, the choice of a profile, the Sync command, and the
// buttons of the profile commands.
#pragma once

#include <QObject>

#include "app/AppServices.h"
#include "app/ProfileCommands.h"
#include "profile/ProfileStore.h"

namespace tandro {

class Failure;
class FrmTandro;
class SingleInstance;

class MainController : public QObject {
  Q_OBJECT

 public:
  MainController(FrmTandro& window, AppServices services);

  // Start-up: false when another copy runs and this one is to end. Otherwise fills the
  // profile list and selects the profile of the last run. A failed check is shown, and the
  // copy goes on unguarded.
  bool load(SingleInstance& instance);

  // The position of the chosen profile; -1 when none is chosen or its name was typed over.
  int selectedPosition() const { return selectedPosition_; }
  // Chooses the profile at `position` and loads its roots; a position outside the list
  // chooses nothing.
  void selectProfile(int position);

  // The Sync command.
  void synchronise();

 private:
  void connectControls();
  void fillProfileList();
  void restoreLastProfile();
  void loadProfileRoots();
  // Steps before the run; false when the roots were refused.
  bool prepareRun();
  void saveRoots();
  void runSynchronisation();
  void showFailure(const Failure& failure);

  FrmTandro& window_;
  AppServices services_;
  ProfileStore profile_;
  ProfileCommands commands_;
  int selectedPosition_ = -1;
};

}  // namespace tandro
