#pragma once

#include "archive/ScanState.h"

#include <QString>

namespace er::gui {

// The one scan state of the window program: filled by a scan, read by the
// views and the save, emptied by the Open command.
ScanState& scanState();

// A database named on the command line; the scan dialog proposes it instead
// of the default location. Empty when none was given.
QString requestedDatabasePath();
void setRequestedDatabasePath(const QString& path);

}  // namespace er::gui
