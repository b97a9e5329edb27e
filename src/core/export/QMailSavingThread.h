#pragma once
// The worker thread that runs a save, so that the window stays responsive and
// can offer Stop. It reports only through queued signals.

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

    // The outcome of the last finished save.
    SaveResult lastResult() const;

signals:
    void OnInitialSettingsMainWindow(unsigned int range);
    void OnFinishScanning();
    void OnProgressvalueMainWindow();
    void OnFinishScanningMainWindow();
    void strInfo(QString text);

protected:
    void run() override;

private:
    ScanState* m_state = nullptr;
    FolderTreeModel m_tree;
    QString m_saveDir;
    mutable QMutex m_resultLock;
    SaveResult m_result;
};

} // namespace er
