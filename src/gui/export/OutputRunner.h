#pragma once
// Runs what writes files for the user, off the window's thread: the whole
// save, the export for other mail programs, and the per-message actions
// (messages as .eml, their attachments, one folder as mailboxes). One run at
// a time; each asks for its target folder, shows the progress sheet with
// Stop, and ends with a plain report of what was written and of what could
// not be, in the completion dialog and the activity log.

#include "archive/FolderTree.h"
#include "archive/MailList.h"
#include "archive/MessageActions.h"
#include "archive/SavingThread.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <vector>

class QProgressInfo;
class QThread;
class QTimer;
class RepairComplete;

namespace er {
struct ScanState;
}

class OutputRunner : public QObject {
    Q_OBJECT
public:
    enum class Action { SaveMessages, SaveAttachments, ExportFolder };

    OutputRunner(er::ScanState& state, RepairComplete* completion, QWidget* window);
    // A run still going is stopped and waited for.
    ~OutputRunner() override;

    // How the target folder is asked for; tests answer it without a dialog.
    void setDirectoryChooser(std::function<QString()> chooser) { m_directoryChooser = std::move(chooser); }

    // A save, an export or an action is running (its thread may still be
    // returning after a stop).
    bool isRunning() const;

    // The whole scan as a bundle (portable false) or for other mail
    // programs, with the folders of this tree.
    void startSave(bool portable, const er::FolderTreeModel& tree);
    // The rows' messages as .eml files, or their attachments.
    void startMessageAction(Action action, std::vector<er::MailListRow> rows);
    // The folder and its subfolders as mailboxes, in a new folder named
    // after it inside the chosen one.
    void startFolderExport(const er::FolderTreeModel& tree, quint64 folderId, const QString& folderName);

    // Asks a running run to stop and waits until its thread has ended.
    void stopAndWait();

    // The progress sheet of a scan or a run; one at a time.
    void showProgress(const QString& text, int maximum, bool shown = true);
    void hideProgress();
    QProgressInfo* progressSheet() const { return m_progress; }

signals:
    // A run began (true) or ended (false): the window locks or unlocks the
    // commands that must not run meanwhile.
    void runningChanged(bool running);
    // The saving thread's writers began: the views give up what they show.
    void saveWritersStarted();
    // The save or export has ended, however.
    void saveEnded();
    // Before a save asks for its folder: the mail folder tree must be on
    // display, whatever the category.
    void mailTreeNeeded();
    void preferencesAllowed(bool allowed);
    void logEntry(const QString& headline, const QString& path, const QString& timeLine);
    // Emitted in the action's thread when it has its range, before the first
    // message; a test holds the run here.
    void actionStarted(unsigned int range);
    void actionProgressed();

private:
    bool chooseTarget(bool portable, er::OutputTarget* target);
    void onSaveStarted(unsigned int range);
    void onSaveFinished();
    // Runs `work` on the action's thread with the progress and stop hooks.
    void runAction(Action action, const QString& directory,
                   std::function<er::MessageActionResult(const er::MessageActionHooks&)> work);
    void onActionStarted(unsigned int range);
    void onActionFinished();
    void beginRun();
    void endRun();
    void log(const QString& headline, const QString& path, const QString& prefix);
    void reportAction(const er::MessageActionResult& result);

    er::ScanState& m_state;
    RepairComplete* m_completion;
    QWidget* m_window;
    std::function<QString()> m_directoryChooser;
    QPointer<QProgressInfo> m_progress;

    er::SavingThread* m_savingThread = nullptr;
    QString m_saveDir;

    QThread* m_actionThread = nullptr;
    QTimer* m_sheetDelay = nullptr;
    Action m_action = Action::SaveMessages;
    QString m_actionDir;
    er::MessageActionResult m_actionResult;
};
