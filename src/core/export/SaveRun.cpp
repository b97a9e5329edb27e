#include "export/SaveRun.h"

#include "export/BundleLayout.h"
#include "mail/MailboxExport.h"

namespace er {

const char* const kSavingMailText = "Saving Mail Folders...";
const char* const kSavingNotesText = "Saving Note Items...";
const char* const kSavingTasksText = "Saving Task Items...";
const char* const kSavingCalendarText = "Saving Calendar Items...";
const char* const kSavingContactsText = "Saving Contacts Items...";

void runWriters(SaveContext& context)
{
    OnMailSaving(context);
    // Notes, tasks, calendar events and contacts: their files follow here in
    // this order; each writer reports its status text.
    for (const char* text : {kSavingNotesText, kSavingTasksText, kSavingCalendarText, kSavingContactsText}) {
        if (context.stopRequested())
            return;
        context.status(QString::fromLatin1(text));
    }
}

SaveResult saveBundle(const ScanState& state, const FolderTreeModel& tree, const QString& saveDir,
                      const SaveHooks& hooks)
{
    SaveContext context(state, saveDir);
    context.databasePath = state.m_strDatabasePath;
    context.hooks = hooks;
    context.treeInfo = ScanTree(tree);

    SaveResult result;
    result.bundle = bundlePath(saveDir);
    CreateMailFolder(tree, saveDir, context.failures);
    if (!context.stopRequested())
        runWriters(context);

    result.stopped = context.stopRequested();
    if (result.stopped)
        removeBundle(result.bundle);
    result.failureCount = context.failures.count();
    result.firstFailures = context.failures.firstFailures();
    return result;
}

} // namespace er
