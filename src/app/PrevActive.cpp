#include "app/PrevActive.h"

#include <QSettings>

#include "common/Failure.h"

namespace tandro {

namespace {

// Addressed like the classic per-user store: application "Velmoro", section "Tandro".
QSettings userSettings() {
  return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Velmoro"));
}

const QString kKey = QStringLiteral("Tandro/PrevActive");

}  // namespace

std::optional<int> readPrevActive() {
  const QString text = userSettings().value(kKey, QStringLiteral("-1")).toString();
  bool isNumber = false;
  const short position = text.toShort(&isNumber);
  if (!isNumber) {
    return std::nullopt;
  }
  return position;
}

void writePrevActive(int position) {
  QSettings settings = userSettings();
  settings.setValue(kKey, QString::number(static_cast<short>(position)));
  settings.sync();
  if (settings.status() != QSettings::NoError) {
    throw Failure::ofNumber(failure_number::kPermissionDenied, settings.fileName().toStdString());
  }
}

}  // namespace tandro
