// Times commands run from the real main window, to set beside tandro-sync:
//   gui_run sync PROFILE_DIR PROFILE LOG_FILE    the Sync button on PROFILE; the log box to
//   LOG_FILE gui_run disable PROFILE_DIR PROFILE          the 無効 button on PROFILE, answered Yes
// Questions of a run are answered Cancel (a first copy asks none). Prints the seconds taken.
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <cstdio>

#include "app/FrmTandro.h"
#include "app/MainController.h"
#include "common/Clock.h"
#include "common/EventLog.h"
#include "dialogs/MessageBoxes.h"

namespace {

// Yes to the disable question, Cancel to anything a run asks.
class AnsweringBoxes : public tandro::MessageBoxes {
 public:
  Result show(QWidget*, const QString& text, Buttons buttons, Icon, const QString&) override {
    std::fprintf(stderr, "%s\n", text.toUtf8().constData());
    return buttons == Buttons::YesNo ? Result::Yes : Result::Cancel;
  }
};

class NoEventLog : public tandro::EventLog {
 public:
  void writeError(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
};

}  // namespace

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  const QStringList arguments = QApplication::arguments();
  const bool sync = arguments.size() == 5 && arguments[1] == QLatin1String("sync");
  const bool disable = arguments.size() == 4 && arguments[1] == QLatin1String("disable");
  if (!sync && !disable) {
    std::fprintf(stderr,
                 "usage: gui_run sync DIR PROFILE LOG_FILE | gui_run disable DIR PROFILE\n");
    return 2;
  }
  AnsweringBoxes boxes;
  NoEventLog eventLog;
  tandro::SystemClock clock;
  tandro::FrmTandro window;
  tandro::MainController controller(window, {arguments[2], boxes, eventLog, clock, {}, {}});
  window.show();
  const auto& ui = window.controls();
  const int position = ui.cmbEnviron->findText(arguments[3]);
  if (position < 0) {
    ui.cmbEnviron->addItem(arguments[3]);
  }
  controller.selectProfile(position < 0 ? ui.cmbEnviron->count() - 1 : position);

  QElapsedTimer timer;
  timer.start();
  (sync ? ui.Command3 : ui.Command5)->click();
  std::printf("%.3f\n", static_cast<double>(timer.nsecsElapsed()) / 1e9);

  if (sync) {
    QFile log(arguments[4]);
    if (!log.open(QIODevice::WriteOnly) || log.write(window.logText().toUtf8()) < 0) {
      return 1;
    }
  }
  return 0;
}
