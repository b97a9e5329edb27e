#include "app/GuiState.h"

namespace er::gui {

namespace {

QString& storedDatabasePath()
{
    static QString path;
    return path;
}

}  // namespace

ScanState& scanState()
{
    static ScanState state;
    return state;
}

QString requestedDatabasePath() { return storedDatabasePath(); }

void setRequestedDatabasePath(const QString& path) { storedDatabasePath() = path; }

}  // namespace er::gui
