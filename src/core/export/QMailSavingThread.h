#pragma once
// The worker thread that runs a save, so that the window stays responsive and
// can offer Stop. It reports only through queued signals.

#include "export/PortableExport.h"
#include "export/SaveRun.h"
#include "scan/FolderTree.h"
#include "scan/ScanState.h"

#include <QMutex>
#include <QThread>

namespace er {

class QMailSavingThread : public QThread {
    Q_OBJECT
public:
    explicit QMailSavingThread(QObject* parent = nullptr);
    ~QMailSavingThread() override;

    // Starts a save of the scan into saveDir with the tree the caller built
    // (on its own thread) from the same scan. The scan state must stay
    // untouched until OnFinishScanning. While a save is still running this
    // only asks it to stop; no second save starts.
    void SetInitialSettings(ScanState* state, const FolderTreeModel& tree, const QString& saveDir);
    // The same for the portable export into `directory`; its outcome is
    // reported through lastResult() too (`bundle` holds the directory).
    void SetInitialSettingsForExport(ScanState* state, const FolderTreeModel& tree, const QString& directory);
    // Whether the last run started was a portable export.
    bool lastRunWasExport() const { return m_export; }

    // The outcome of the last finished save.
    SaveResult lastResult() const;

signals:
    // The writers began; `range` is how many progress signals follow when
    // the run is not stopped (messages copied, or items exported).
    void OnInitialSettingsMainWindow(unsigned int range);
    void OnFinishScanning();
    void OnProgressvalueMainWindow();
    void OnFinishScanningMainWindow();
    void strInfo(QString text);

protected:
    void run() override;

private:
    void startRun(ScanState* state, const FolderTreeModel& tree, const QString& target, bool portable);

    ScanState* m_state = nullptr;
    FolderTreeModel m_tree;
    QString m_saveDir;
    bool m_export = false;
    mutable QMutex m_resultLock;
    SaveResult m_result;
};

} // namespace er
