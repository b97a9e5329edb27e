#pragma once
// What every writer of a save shares: where the bundle goes, the database the
// records came from, the folder path list, the stop token, the hooks that
// report to whoever runs the save, and the record of output files that
// failed. The records themselves are handed to each writer.

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
struct FolderPath {
    quint32 folderId = 0;
    QString path;
};

struct SaveHooks {
    // The mail writer's start, with its progress range (mail.storedBytes / 512).
    std::function<void(unsigned int range)> initialSettings;
    // One tick per message copied.
    std::function<void()> progress;
    // The running writer's status text ("Saving Mail Folders...", ...).
    std::function<void(const QString&)> status;
    // Stop token; none means the run is never stopped.
    const std::atomic<bool>* stop = nullptr;
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

// saveDir + "/Main Identity.rge".
QString bundlePath(const QString& saveDir);

struct SaveContext {
    explicit SaveContext(const QString& directory) : saveDir(directory) {}

    // The directory the user chose (absolute, no trailing "/"); the bundle is
    // saveDir + "/Main Identity.rge".
    QString saveDir;
    // The database to read message texts and attachments from, and whether
    // it was written by Office 2004 (some fields are stored differently).
    QString databasePath;
    bool office2004 = false;
    QList<FolderPath> folderPaths;
    SaveHooks hooks;
    SaveFailures failures;
    ItemFileNames itemFileNames;

    bool stopRequested() const
    {
        return hooks.stop && hooks.stop->load(std::memory_order_relaxed);
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
