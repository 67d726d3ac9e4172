// Times commands run from the real main window, to set beside tandro-sync:
//   gui_run sync PROFILE_DIR PROFILE LOG_FILE    the Sync button on PROFILE; the log box to
//   LOG_FILE gui_run disable PROFILE_DIR PROFILE          the 無効 button on PROFILE, answered Yes
// Questions of a run are answered Cancel (a first copy asks none). Prints the seconds taken,
// then the longest time the window went without painting while the command ran: the window
// is asked to repaint every 10 ms, and its paint events are timed.
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
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

// The longest gap between two paint events of the watched window.
class PaintGaps : public QObject {
 public:
  explicit PaintGaps(QWidget& window) : window_(window) {
    window.installEventFilter(this);
    connect(&ask_, &QTimer::timeout, &window, [&window] { window.update(); });
    ask_.start(10);
    sinceLast_.start();
    sinceStart_.start();
  }
  qint64 longestMs() const { return longest_; }
  qint64 longestEndedMs() const { return longestEnded_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == &window_ && event->type() == QEvent::Paint) {
      if (const qint64 gap = sinceLast_.restart(); gap > longest_) {
        longest_ = gap;
        longestEnded_ = sinceStart_.elapsed();
      }
    }
    return false;
  }

 private:
  QWidget& window_;
  QTimer ask_;
  QElapsedTimer sinceLast_;
  QElapsedTimer sinceStart_;
  qint64 longest_ = 0;
  qint64 longestEnded_ = 0;
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
  const PaintGaps gaps(window);
  (sync ? ui.Command3 : ui.Command5)->click();
  std::printf("%.3f\n", static_cast<double>(timer.nsecsElapsed()) / 1e9);
  std::printf("longest gap between paints: %lld ms, ending %lld ms after the click\n",
              static_cast<long long>(gaps.longestMs()),
              static_cast<long long>(gaps.longestEndedMs()));

  if (sync) {
    QFile log(arguments[4]);
    if (!log.open(QIODevice::WriteOnly) || log.write(window.logText().toUtf8()) < 0) {
      return 1;
    }
  }
  return 0;
}
