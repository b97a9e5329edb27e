#include "export/QMailSavingThread.h"

#include "export/BundleLayout.h"
#include "mail/MailboxExport.h"

#include <QMutexLocker>

#include <limits>

namespace er {

QMailSavingThread::QMailSavingThread(QObject* parent) : QThread(parent) {}

QMailSavingThread::~QMailSavingThread()
{
    if (m_state)
        m_state->bStopFlag = true;
    wait();
}

void QMailSavingThread::SetInitialSettings(ScanState* state, const FolderTreeModel& tree, const QString& saveDir)
{
    startRun(state, tree, saveDir, false);
}

void QMailSavingThread::SetInitialSettingsForExport(ScanState* state, const FolderTreeModel& tree,
                                                    const QString& directory)
{
    startRun(state, tree, directory, true);
}

void QMailSavingThread::startRun(ScanState* state, const FolderTreeModel& tree, const QString& target, bool portable)
{
    if (isRunning()) {
        if (m_state)
            m_state->bStopFlag = true;
        return;
    }
    m_state = state;
    m_tree = tree;
    m_saveDir = target;
    m_export = portable;
    state->bStopFlag = false;
    // Set before the thread runs, so that nobody sees an idle program between
    // this call and the thread's first instruction (the window's close
    // handler reads it).
    state->bProcessRunning = true;
    start(QThread::LowPriority);
}

SaveResult QMailSavingThread::lastResult() const
{
    QMutexLocker lock(&m_resultLock);
    return m_result;
}

void QMailSavingThread::run()
{
    m_state->bProcessRunning = true;
    SaveHooks hooks;
    hooks.stop = &m_state->bStopFlag;
    hooks.initialSettings = [this](unsigned int range) { emit OnInitialSettingsMainWindow(range); };
    hooks.progress = [this] { emit OnProgressvalueMainWindow(); };
    hooks.status = [this](const QString& text) { emit strInfo(text); };
    SaveResult result;
    if (m_export) {
        PortableHooks portable;
        portable.stop = hooks.stop;
        portable.initialSettings = hooks.initialSettings;
        portable.progress = hooks.progress;
        portable.status = hooks.status;
        const PortableResult outcome = exportPortable(*m_state, m_tree, m_saveDir, portable);
        result.stopped = outcome.stopped;
        result.failureCount = outcome.failureCount;
        result.firstFailures = outcome.firstFailures;
        result.bundle = outcome.directory;
    } else {
        // The window's bar counts the messages copied, the save's ticks.
        const quint64 ticks = storedMessagesToCopy(*m_state, ScanTree(m_tree));
        hooks.initialSettings = [this, ticks](unsigned int) {
            emit OnInitialSettingsMainWindow(
                static_cast<unsigned int>(qMin<quint64>(ticks, std::numeric_limits<unsigned int>::max())));
        };
        result = saveBundle(*m_state, m_tree, m_saveDir, hooks);
    }
    {
        QMutexLocker lock(&m_resultLock);
        m_result = result;
    }
    // Cleared before the finish signal, which the window's finish handler
    // relies on.
    m_state->bProcessRunning = false;
    emit OnFinishScanning();
}

} // namespace er
