// The program's icon, shared by the application and its main window.
#pragma once

#include <QIcon>

namespace tandro {

// Two black arrows on a transparent ground, in 16x16 and 32x32.
QIcon appIcon();

}  // namespace tandro
