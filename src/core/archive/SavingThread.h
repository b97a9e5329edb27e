#pragma once
// The worker thread that runs a save or an export (the output routine), so
// that the window stays responsive and can offer Stop; an earlier output the
// run replaces is removed here too, never on the window's thread. It reports
// only through queued signals.

#include "archive/OutputRun.h"
#include "archive/FolderTree.h"
#include "archive/ScanState.h"

#include <QMutex>
#include <QThread>

namespace er {

class SavingThread : public QThread {
    Q_OBJECT
public:
    explicit SavingThread(QObject* parent = nullptr);
    ~SavingThread() override;

    // Starts a run of the output routine (a bundle or a portable export) for
    // the scan, with the tree the caller built (on its own thread) from the
    // same scan. The scan state must stay untouched until runFinished.
    // While a run is still going this only asks it to stop; no second run
    // starts.
    void startRun(ScanState* state, const FolderTreeModel& tree, const OutputTarget& target);
    // Whether the last run started was a portable export.
    bool lastRunWasExport() const { return m_target.format == OutputFormat::PortableExport; }

    // The outcome of the last finished run.
    OutputResult lastResult() const;

signals:
    // The writers began; `range` is how many progress signals follow when
    // the run is not stopped (messages copied, or items exported).
    void runStarted(unsigned int range);
    void runFinished();
    void progressed();
    void statusText(QString text);

protected:
    void run() override;

private:
    ScanState* m_state = nullptr;
    FolderTreeModel m_tree;
    OutputTarget m_target;
    mutable QMutex m_resultLock;
    OutputResult m_result;
};

} // namespace er
