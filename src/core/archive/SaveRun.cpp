#include "archive/SaveRun.h"

#include "archive/BundleLayout.h"
#include "calendar/CalendarExport.h"
#include "calendar/TaskExport.h"
#include "contacts/ContactExport.h"
#include "notes/NoteExport.h"
#include "mail/MailboxExport.h"

namespace er {

const char* const kSavingMailText = "Saving Mail Folders...";
const char* const kSavingNotesText = "Saving Note Items...";
const char* const kSavingTasksText = "Saving Task Items...";
const char* const kSavingCalendarText = "Saving Calendar Items...";
const char* const kSavingContactsText = "Saving Contacts Items...";

void runWriters(SaveContext& context)
{
    // Each writer reports its own status text and returns at once after a
    // stop request.
    OnMailSaving(context);
    OnNotesSaving(context);
    OnTaskSaving(context);
    OnCalenderSaving(context);
    OnContactSaving(context);
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
