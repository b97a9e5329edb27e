#include "archive/SaveRun.h"

#include "archive/BundleLayout.h"
#include "calendar/CalendarExport.h"
#include "calendar/TaskExport.h"
#include "contacts/ContactExport.h"
#include "notes/NoteExport.h"
#include "mail/MailboxExport.h"

namespace er {

void runWriters(const ScanState& state, SaveContext& context)
{
    // Each writer reports its own status text and returns at once after a
    // stop request.
    writeMailboxes(state.mail, context);
    writeNoteFiles(state.notes, context);
    writeTaskFiles(state.tasks, context);
    writeEventFiles(state.events, context);
    writeContactFiles(state.contacts, context);
}

SaveResult saveBundle(const ScanState& state, const FolderTreeModel& tree, const QString& saveDir,
                      const SaveHooks& hooks)
{
    SaveContext context(saveDir);
    context.databasePath = state.databasePath;
    context.office2004 = state.office2004;
    context.hooks = hooks;
    if (!context.hooks.stop)
        context.hooks.stop = &state.stopFlag;
    context.folderPaths = folderPathList(tree);

    SaveResult result;
    result.bundle = bundlePath(saveDir);
    createBundleSkeleton(tree, saveDir, context.failures);
    if (!context.stopRequested())
        runWriters(state, context);

    result.stopped = context.stopRequested();
    if (result.stopped)
        removeBundle(result.bundle);
    result.failureCount = context.failures.count();
    result.firstFailures = context.failures.firstFailures();
    return result;
}

} // namespace er
