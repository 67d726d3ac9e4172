// The drives of the folder picker. Linux has no drive letters: the drives are "/" and the
// root of every mounted volume, and a path belongs to the innermost volume that holds it.
#pragma once

#include <QString>
#include <QStringList>

namespace tandro {

// The system root first, then the roots of the mounted volumes that are ready, in name
// order, each once. Roots are clean paths with "/" separators.
QStringList mountedDriveRoots();

// The longest of `roots` that holds the clean path `path`; empty when none does, as for a
// relative path.
QString driveOf(const QStringList& roots, const QString& path);

}  // namespace tandro
