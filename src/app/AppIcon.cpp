#include "app/AppIcon.h"

// The resources live in a static library, where nothing would pull them into the program.
// Registering them once more on each call is harmless.
static void registerResources() {
  Q_INIT_RESOURCE(tandro);
}

namespace tandro {

QIcon appIcon() {
  registerResources();
  QIcon icon;
  icon.addFile(QStringLiteral(":/icons/tandro-16.png"), QSize(16, 16));
  icon.addFile(QStringLiteral(":/icons/tandro-32.png"), QSize(32, 32));
  return icon;
}

}  // namespace tandro
