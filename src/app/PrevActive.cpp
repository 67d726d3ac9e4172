#include "app/PrevActive.h"

#include <QSettings>

#include "common/Failure.h"

namespace tandro {

namespace {

// The per-user store of organisation "Velmoro"; the setting is key "PrevActive" of group
// "Tandro".
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
