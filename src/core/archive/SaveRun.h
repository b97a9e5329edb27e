#pragma once
// One save: the bundle's directories and descriptor files, then the writers
// in their fixed order (mail, notes, tasks, calendar events, contacts). The
// saving thread and the command line both run exactly this.

#include "archive/FolderTree.h"
#include "archive/ScanState.h"
#include "output/SaveContext.h"

#include <QStringList>

namespace er {

struct SaveResult {
    bool stopped = false;
    // Output files that could not be opened, written or closed.
    int failureCount = 0;
    QStringList firstFailures;
    QString bundle;

    bool succeeded() const { return !stopped && failureCount == 0; }
};

// Writes the bundle below saveDir from a completed scan and the folder tree
// built from it. The bundle must not exist yet: the output routine
// (OutputRun.h) runs this into a fresh folder of its own. A stopped save
// removes what it wrote. Without a stop token in the hooks the scan state's
// stop flag is read.
SaveResult saveBundle(const ScanState& state, const FolderTreeModel& tree, const QString& saveDir,
                      const SaveHooks& hooks = {});

// The writers alone, in their order, on a laid-out bundle.
void runWriters(const ScanState& state, SaveContext& context);

} // namespace er
