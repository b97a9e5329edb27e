#include "export/OutputRunner.h"

#include "app/QProgressInfo.h"
#include "archive/BundleLayout.h"
#include "archive/PortableExport.h"
#include "archive/ScanState.h"
#include "output/PathComponents.h"
#include "export/RepairComplete.h"
#include "scan/QParseDatabase.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QProgressBar>
#include <QThread>
#include <QTimer>

#include <climits>

namespace {

const QString kMessageTitle = QStringLiteral("VantrelKestraneZevarodezAvavoz");

// A sheet for a run that ends at once would only flash.
constexpr int kSheetDelayMs = 300;

// The log's and the sheet's words for each action, indexed by
// OutputRunner::Action.
struct ActionTexts {
    const char* started;
    const char* progress;
    const char* completed;
    const char* withFailures;
    const char* aborted;
};
const ActionTexts kActionTexts[] = {
    {QT_TRANSLATE_NOOP("OutputRunner", "Saving Messages as .eml Files."),
     QT_TRANSLATE_NOOP("OutputRunner", "Saving Messages..."),
     QT_TRANSLATE_NOOP("OutputRunner", "Completed Saving Messages ."),
     QT_TRANSLATE_NOOP("OutputRunner", "Saved Messages with %n item(s) that could not be written ."),
     QT_TRANSLATE_NOOP("OutputRunner", "Aborted Saving Messages .")},
    {QT_TRANSLATE_NOOP("OutputRunner", "Saving Attachments."),
     QT_TRANSLATE_NOOP("OutputRunner", "Saving Attachments..."),
     QT_TRANSLATE_NOOP("OutputRunner", "Completed Saving Attachments ."),
     QT_TRANSLATE_NOOP("OutputRunner", "Saved Attachments with %n item(s) that could not be written ."),
     QT_TRANSLATE_NOOP("OutputRunner", "Aborted Saving Attachments .")},
    {QT_TRANSLATE_NOOP("OutputRunner", "Exporting Mail Folder."),
     QT_TRANSLATE_NOOP("OutputRunner", "Exporting Mail Folder..."),
     QT_TRANSLATE_NOOP("OutputRunner", "Completed Exporting Mail Folder ."),
     QT_TRANSLATE_NOOP("OutputRunner", "Exported Mail Folder with %n item(s) that could not be written ."),
     QT_TRANSLATE_NOOP("OutputRunner", "Aborted Exporting Mail Folder .")},
};

}  // namespace

OutputRunner::OutputRunner(er::ScanState& state, RepairComplete* completion, QWidget* window)
    : QObject(window), m_state(state), m_completion(completion), m_window(window)
{
    setObjectName(QStringLiteral("outputRunner"));
    m_savingThread = new er::SavingThread(this);
    m_savingThread->setObjectName(QStringLiteral("savingThread"));
    m_directoryChooser = [this]() {
        return QFileDialog::getExistingDirectory(m_window, tr("Open Directory"), QDir::homePath(),
                                                 QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    };
    // The saving thread reaches the window only through queued signals.
    connect(m_savingThread, &er::SavingThread::runStarted, this, &OutputRunner::onSaveStarted,
            Qt::QueuedConnection);
    connect(
        m_savingThread, &er::SavingThread::progressed, this,
        [this]() {
            if (m_progress)
                m_progress->addProgress(1);
        },
        Qt::QueuedConnection);
    connect(m_savingThread, &er::SavingThread::runFinished, this, &OutputRunner::onSaveFinished,
            Qt::QueuedConnection);
    connect(
        m_savingThread, &er::SavingThread::statusText, this,
        [this](const QString& text) {
            if (m_progress)
                m_progress->setStatusText(text);
        },
        Qt::QueuedConnection);
    // The action's own signals come from its thread: queued here as well.
    connect(this, &OutputRunner::actionStarted, this, &OutputRunner::onActionStarted, Qt::QueuedConnection);
    connect(
        this, &OutputRunner::actionProgressed, this,
        [this]() {
            if (m_progress)
                m_progress->addProgress(1);
        },
        Qt::QueuedConnection);

    m_sheetDelay = new QTimer(this);
    m_sheetDelay->setSingleShot(true);
    m_sheetDelay->setInterval(kSheetDelayMs);
    connect(m_sheetDelay, &QTimer::timeout, this, [this]() {
        if (m_actionThread && m_progress)
            m_progress->show();
    });
}

OutputRunner::~OutputRunner()
{
    // Before the widgets a run reports to go away.
    stopAndWait();
}

bool OutputRunner::isRunning() const
{
    return m_savingThread->isRunning() || m_actionThread != nullptr;
}

void OutputRunner::stopAndWait()
{
    if (m_savingThread->isRunning()) {
        m_state.stopFlag = true;
        m_savingThread->wait();
    }
    if (m_actionThread) {
        m_state.stopFlag = true;
        m_actionThread->wait();
        delete m_actionThread;
        m_actionThread = nullptr;
        m_state.running = false;
    }
}

// --- Progress sheet ---------------------------------------------------------

void OutputRunner::showProgress(const QString& text, int maximum, bool shown)
{
    hideProgress();
    m_progress = new QProgressInfo(m_state, m_window);
    m_progress->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_progress, &QProgressInfo::stopConfirmed, this, [this]() { emit preferencesAllowed(true); });
    m_progress->setStatusText(text);
    m_progress->progressBar()->setRange(0, qMax(0, maximum));
    m_progress->progressBar()->setValue(0);
    if (shown)
        m_progress->show();
}

void OutputRunner::hideProgress()
{
    if (!m_progress)
        return;
    m_progress->hide();
    m_progress->deleteLater();
    m_progress = nullptr;
}

void OutputRunner::beginRun()
{
    m_state.stopFlag = false;
    m_state.running = true;
    emit preferencesAllowed(false);
    emit runningChanged(true);
}

void OutputRunner::endRun()
{
    hideProgress();
    emit runningChanged(false);
    emit preferencesAllowed(true);
}

void OutputRunner::log(const QString& headline, const QString& path, const QString& prefix)
{
    emit logEntry(headline, path, logTimeLine(prefix));
}

// --- The whole save ---------------------------------------------------------

bool OutputRunner::chooseTarget(bool portable, er::OutputTarget* target)
{
    for (;;) {
        if (m_state.stopFlag)
            return false;
        emit mailTreeNeeded();
        const QString chosen = m_directoryChooser ? m_directoryChooser() : QString();
        if (chosen.isEmpty())
            return false;
        target->format = portable ? er::OutputFormat::PortableExport : er::OutputFormat::Bundle;
        target->folder = QDir::cleanPath(chosen);
        target->databasePath = m_state.databasePath;
        target->replace = false;

        er::OutputCheck check = er::checkOutput(*target);
        for (const QString& leftover : check.leftovers)
            log(tr("A partly written output of an earlier run that did not finish is in this folder."), leftover,
                tr("Found on : "));
        if (check.verdict == er::OutputCheck::Taken) {
            QMessageBox box(QMessageBox::Warning, kMessageTitle,
                            portable ? tr("This folder already holds an export for other mail programs. Do you "
                                          "want to replace it?")
                                     : tr("Main Identity.rge already exists at this location. Do you want to "
                                          "replace it?"),
                            QMessageBox::Yes | QMessageBox::No, m_window);
            const int answer = box.exec();
            if (answer == QMessageBox::No)
                continue;
            if (answer != QMessageBox::Yes)
                return false;
            // Nothing is removed here: the run writes the new output beside
            // the old one, which goes only when the new one is complete.
            target->replace = true;
            check = er::checkOutput(*target);
        }
        switch (check.verdict) {
        case er::OutputCheck::Ready:
            return true;
        case er::OutputCheck::NoRoom: {
            QMessageBox box(QMessageBox::Warning, kMessageTitle, check.message, QMessageBox::Yes | QMessageBox::No,
                            m_window);
            box.setInformativeText(tr("Do you want to save there anyway?"));
            box.setDefaultButton(QMessageBox::No);
            if (box.exec() == QMessageBox::Yes)
                return true;
            continue;
        }
        default:
            QMessageBox::warning(m_window, kMessageTitle, check.message);
            continue;
        }
    }
}

void OutputRunner::startSave(bool portable, const er::FolderTreeModel& tree)
{
    // A stopped run may still be finishing its last file: a new one starts
    // only once that thread has really ended.
    if (isRunning())
        return;
    er::OutputTarget target;
    if (!chooseTarget(portable, &target))
        return;
    m_saveDir = target.folder;
    if (portable)
        log(tr("Exporting for Other Mail Programs."), m_saveDir, tr("Started on : "));
    else
        log(tr("Saving Microsoft Entourage Backup File."), er::bundlePath(m_saveDir), tr("Started on : "));
    beginRun();
    m_savingThread->startRun(&m_state, tree, target);
}

void OutputRunner::onSaveStarted(unsigned int range)
{
    emit saveWritersStarted();
    // One step per item the run writes.
    showProgress(tr("Saving Files..."), static_cast<int>(qMin<unsigned int>(range, INT_MAX)));
}

void OutputRunner::onSaveFinished()
{
    // The finish signal is queued: the thread may still be returning.
    m_savingThread->wait();
    const er::OutputResult result = m_savingThread->lastResult();
    const bool stopped = m_state.stopFlag || result.stopped;
    const bool portable = m_savingThread->lastRunWasExport();
    const QString shownPath = portable ? m_saveDir : er::bundlePath(m_saveDir);
    endRun();
    emit saveEnded();

    if (result.refused) {
        // Decided under the folder's lock: the folder changed after it was
        // chosen (another run began there, or an output appeared).
        QMessageBox::warning(m_window, kMessageTitle, result.refusal);
        log(portable ? tr("Aborted Exporting for Other Mail Programs .") : tr("Aborted Saving Main Identity.rge File ."),
            shownPath, tr("Aborted on : "));
    } else if (stopped) {
        // The stopped run has left the folder as it was: an earlier output
        // there is whole, and nothing of the new one remains.
        log(portable ? tr("Aborted Exporting for Other Mail Programs .") : tr("Aborted Saving Main Identity.rge File ."),
            shownPath, tr("Aborted on : "));
    } else {
        if (!result.keptAside.isEmpty())
            log(tr("The earlier output was kept, because the new one could not be written completely."),
                result.keptAside, tr("Kept on : "));
        if (result.failureCount == 0) {
            for (QWidget* widget : QApplication::topLevelWidgets())
                if (qobject_cast<QMessageBox*>(widget))
                    widget->hide();
            m_completion->showSuccess();
            log(portable ? tr("Completed Exporting for Other Mail Programs .")
                         : tr("Completed Saving Main Identity.rge File ."),
                shownPath, tr("Completed on : "));
        } else {
            m_completion->showFailures(result.failureCount, result.firstFailures, shownPath);
            log(portable ? tr("Exported for Other Mail Programs with %n item(s) that could not be written .", nullptr,
                              result.failureCount)
                         : tr("Saved Main Identity.rge File with %n item(s) that could not be written .", nullptr,
                              result.failureCount),
                shownPath, tr("Completed on : "));
        }
        m_state.scanDialogCurrent = false;
    }
    m_state.stopFlag = false;
}

// --- Per-message actions ----------------------------------------------------

void OutputRunner::startMessageAction(Action action, std::vector<er::MailListRow> rows)
{
    if (isRunning() || rows.empty())
        return;
    const QString chosen = m_directoryChooser ? m_directoryChooser() : QString();
    if (chosen.isEmpty())
        return;
    runAction(action, QDir::cleanPath(chosen),
              [this, action, rows = std::move(rows), dir = QDir::cleanPath(chosen)](const er::MessageActionHooks& hooks) {
                  return action == Action::SaveMessages ? er::saveMessagesAsEml(m_state, rows, dir, hooks)
                                                        : er::saveAttachments(m_state, rows, dir, hooks);
              });
}

void OutputRunner::startFolderExport(const er::FolderTreeModel& tree, quint64 folderId, const QString& folderName)
{
    if (isRunning())
        return;
    const QString chosen = m_directoryChooser ? m_directoryChooser() : QString();
    if (chosen.isEmpty())
        return;
    // The export makes its folder and never writes into one that exists.
    // The folder's name comes from the database: one safe component, never a
    // path ("Q1/Q2" or ".." would lead elsewhere).
    const QString name = er::safePathComponent(folderName.isEmpty() ? tr("Mail") : folderName);
    QString dir = QDir(chosen).filePath(name);
    for (int n = 2; QFileInfo::exists(dir) || QFileInfo(dir).isSymLink(); ++n)
        dir = QDir(chosen).filePath(QStringLiteral("%1 (%2)").arg(name).arg(n));
    dir = QDir::cleanPath(dir);
    runAction(Action::ExportFolder, dir, [this, tree, folderId, dir](const er::MessageActionHooks& hooks) {
        return er::exportMailFolder(m_state, tree, folderId, dir, hooks);
    });
}

void OutputRunner::runAction(Action action, const QString& directory,
                             std::function<er::MessageActionResult(const er::MessageActionHooks&)> work)
{
    m_action = action;
    m_actionDir = directory;
    log(tr(kActionTexts[static_cast<int>(action)].started), m_actionDir, tr("Started on : "));
    beginRun();
    m_actionThread = QThread::create([this, work = std::move(work)]() {
        er::MessageActionHooks hooks;
        hooks.initialSettings = [this](unsigned int range) { emit actionStarted(range); };
        hooks.progress = [this]() { emit actionProgressed(); };
        hooks.stop = &m_state.stopFlag;
        m_actionResult = work(hooks);
    });
    connect(m_actionThread, &QThread::finished, this, &OutputRunner::onActionFinished, Qt::QueuedConnection);
    m_actionThread->start(QThread::LowPriority);
}

void OutputRunner::onActionStarted(unsigned int range)
{
    if (!m_actionThread)
        return;
    // Shown only when the run takes more than a moment.
    showProgress(tr(kActionTexts[static_cast<int>(m_action)].progress),
                 static_cast<int>(qMin<unsigned int>(range, INT_MAX)), false);
    m_sheetDelay->start();
}

void OutputRunner::onActionFinished()
{
    if (!m_actionThread)
        return;
    m_actionThread->wait();
    m_actionThread->deleteLater();
    m_actionThread = nullptr;
    m_sheetDelay->stop();
    m_state.running = false;
    const er::MessageActionResult result = m_actionResult;
    endRun();
    // A Stop that came after the last file changes nothing: all was written.
    if (result.stopped) {
        log(tr(kActionTexts[static_cast<int>(m_action)].aborted), m_actionDir, tr("Aborted on : "));
        // What was written before the stop stays: say so, and how much.
        m_completion->showActionSuccess(
            tr("Stopped. %n file(s) written to %1 before the stop were kept.", nullptr,
               static_cast<int>(result.written.size()))
                .arg(QDir::toNativeSeparators(m_actionDir)));
    } else {
        reportAction(result);
    }
    m_state.stopFlag = false;
}

void OutputRunner::reportAction(const er::MessageActionResult& result)
{
    const int written = static_cast<int>(result.written.size());
    const int kind = static_cast<int>(m_action);
    if (result.failureCount > 0) {
        m_completion->showActionFailures(written, result.failureCount, result.firstFailures, m_actionDir);
        log(tr(kActionTexts[kind].withFailures, nullptr, result.failureCount), m_actionDir, tr("Completed on : "));
        return;
    }
    if (written == 0 && m_action == Action::SaveAttachments)
        m_completion->showActionSuccess(tr("Nothing was written: the selected messages have no attachments."));
    else
        m_completion->showActionSuccess(
            tr("%n file(s) written to %1.", nullptr, written).arg(QDir::toNativeSeparators(m_actionDir)));
    log(tr(kActionTexts[kind].completed), m_actionDir, tr("Completed on : "));
}
