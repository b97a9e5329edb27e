#pragma once
// What every writer of a save shares: the scan's records (read only), where
// the bundle goes, the folder path list, the stop token, the hooks that report
// to whoever runs the save, and the record of output files that failed.

#include "archive/ScanState.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>

namespace er {

// One folder of the folder tree and its path inside the bundle, beginning
// "/Main Identity.rge". The folder path list holds one per tree item, in
// pre-order, root and "Mail" included.
struct TreeInfo {
    quint32 folderId = 0;
    QString path;
};

struct SaveHooks {
    // The mail writer's start, with its progress range (SizeOfAllMails / 512).
    std::function<void(unsigned int range)> initialSettings;
    // One tick per message copied.
    std::function<void()> progress;
    // The running writer's status text ("Saving Mail Folders...", ...).
    std::function<void(const QString&)> status;
    // Stop token; when null the scan state's bStopFlag is used.
    std::atomic<bool>* stop = nullptr;
};

// Output files that could not be opened, written or closed. A save with any
// failure is never reported as a success.
class SaveFailures {
public:
    static constexpr int kPathsKept = 10;

    void record(const QString& path, const QString& reason);
    int count() const { return m_count; }
    // The first failing paths, each with its reason ("path: reason").
    const QStringList& firstFailures() const { return m_first; }

private:
    int m_count = 0;
    QStringList m_first;
};

// Names of the item files (contacts, notes, events, tasks) taken during one
// save. Items without a GUID, or with the same GUID, would otherwise share a
// file name and overwrite each other.
class ItemFileNames {
public:
    // dir + "/" + name, or the first of name-2, name-3, ... that is neither
    // taken in this save nor already on disk.
    QString claim(const QString& dir, const QString& name);

private:
    QSet<QString> m_taken;
    QHash<QString, int> m_nextSuffix;
};

struct SaveContext {
    SaveContext(const ScanState& scan, const QString& directory) : state(scan), saveDir(directory) {}

    const ScanState& state;
    // The directory the user chose (absolute, no trailing "/"); the bundle is
    // saveDir + "/Main Identity.rge".
    QString saveDir;
    // The database to read message texts and attachments from.
    QString databasePath;
    QList<TreeInfo> treeInfo;
    SaveHooks hooks;
    SaveFailures failures;
    ItemFileNames itemFileNames;

    bool stopRequested() const
    {
        return hooks.stop ? hooks.stop->load(std::memory_order_relaxed)
                          : state.bStopFlag.load(std::memory_order_relaxed);
    }
    void status(const QString& text) const
    {
        if (hooks.status)
            hooks.status(text);
    }
    void progress() const
    {
        if (hooks.progress)
            hooks.progress();
    }
};

} // namespace er
