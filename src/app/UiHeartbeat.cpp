#include "app/UiHeartbeat.h"

#include <QCoreApplication>

namespace tandro {

namespace {

// Often enough that the desktop never sees the window as hung and the log moves smoothly.
constexpr qint64 kBeatIntervalMs = 30;

}  // namespace

UiHeartbeat::UiHeartbeat(std::function<void()> paintPending)
    : paintPending_(std::move(paintPending)) {}

void UiHeartbeat::beat() {
  if (sinceLastBeat_.isValid() && !sinceLastBeat_.hasExpired(kBeatIntervalMs)) {
    return;
  }
  if (paintPending_) {
    paintPending_();
  }
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  sinceLastBeat_.start();
}

}  // namespace tandro
