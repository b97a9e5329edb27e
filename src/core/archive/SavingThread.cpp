#include "archive/SavingThread.h"

#include "archive/BundleLayout.h"
#include "mail/MailboxExport.h"

#include <QMutexLocker>

#include <limits>

namespace er {

SavingThread::SavingThread(QObject* parent) : QThread(parent) {}

SavingThread::~SavingThread()
{
    if (m_state)
        m_state->stopFlag = true;
    wait();
}

void SavingThread::startRun(ScanState* state, const FolderTreeModel& tree, const OutputTarget& target)
{
    if (isRunning()) {
        if (m_state)
            m_state->stopFlag = true;
        return;
    }
    m_state = state;
    m_tree = tree;
    m_target = target;
    state->stopFlag = false;
    // Set before the thread runs, so that nobody sees an idle program between
    // this call and the thread's first instruction (the window's close
    // handler reads it).
    state->running = true;
    start(QThread::LowPriority);
}

OutputResult SavingThread::lastResult() const
{
    QMutexLocker lock(&m_resultLock);
    return m_result;
}

void SavingThread::run()
{
    m_state->running = true;
    OutputHooks hooks;
    hooks.stop = &m_state->stopFlag;
    hooks.progress = [this] { emit progressed(); };
    hooks.status = [this](const QString& text) { emit statusText(text); };
    if (m_target.format == OutputFormat::PortableExport) {
        hooks.initialSettings = [this](unsigned int range) { emit runStarted(range); };
    } else {
        // The window's bar counts the messages copied, the save's ticks.
        const quint64 ticks = storedMessagesToCopy(m_state->mail, folderPathList(m_tree));
        hooks.initialSettings = [this, ticks](unsigned int) {
            emit runStarted(
                static_cast<unsigned int>(qMin<quint64>(ticks, std::numeric_limits<unsigned int>::max())));
        };
    }
    const OutputResult result = writeOutput(*m_state, m_tree, m_target, hooks);
    {
        QMutexLocker lock(&m_resultLock);
        m_result = result;
    }
    // Cleared before the finish signal, which the window's finish handler
    // relies on.
    m_state->running = false;
    emit runFinished();
}

} // namespace er
