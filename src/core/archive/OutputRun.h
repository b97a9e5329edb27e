#pragma once
// Every run that writes recovered items (the bundle, the portable export),
// from the command line and from the window alike. The rules that keep a
// user's folder safe live here, once:
//
// - Ours, or untouched: only our own earlier output is ever replaced (a
//   bundle at "Main Identity.rge", or an export whose marker file lists its
//   entries), never what the database being read lies in.
// - Built beside, swapped in: the new output is written into a fresh
//   temporary folder made exclusively inside the chosen folder, and moved
//   into place when complete. An older output it replaces is moved aside and
//   removed only after a run without failures. A link at the output path is
//   never followed.
// - One run per folder: a run holds an exclusive lock on the chosen folder.
// - A stop (or a signal) leaves the folder as it was, and removes the
//   folders the run made above it.

#include "archive/PortableExport.h"
#include "archive/SaveRun.h"
#include "archive/FolderTree.h"
#include "archive/ScanState.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace er {

enum class OutputFormat { Bundle, PortableExport };

// The export's marker: present in a folder that holds our export, listing
// the entries that export wrote, one a line.
extern const char* const kExportMarkerName;
// Temporaries of a run are named with this prefix inside the chosen folder;
// one left by a killed run is recognised by it.
extern const char* const kPartialOutputPrefix;

// The largest file the disk that holds the path can take, in bytes; -1 when
// it sets no limit below what the output could need. FAT32 (and FAT16)
// disks hold files of at most 4 GiB - 1. Tests stand in their own.
using FileSizeLimitQuery = std::function<qint64(const QString& path)>;
qint64 largestFileAt(const QString& path);

struct OutputTarget {
    OutputFormat format = OutputFormat::Bundle;
    // The folder the user chose.
    QString folder;
    // The database the run reads: never removed or written over.
    QString databasePath;
    // Replace an earlier output of ours (after the user said so).
    bool replace = false;
    FileSizeLimitQuery largestFile = largestFileAt;
};

// What is at the output path(s): a file, a folder or a link counts.
bool outputTaken(OutputFormat format, const QString& folder);
// The path a run writes: the bundle, or the export's folder.
QString outputPath(OutputFormat format, const QString& folder);

// Free bytes on the disk that holds the path (the nearest existing folder);
// -1 when unknown. Tests stand in their own.
using FreeSpaceQuery = std::function<qint64(const QString& path)>;
qint64 freeBytesAt(const QString& path);

// The checks before a run, for asking the user before anything is written.
struct OutputCheck {
    enum Verdict {
        Ready,
        Taken,          // an earlier output is there; replace it?
        NotOurs,        // entries the run would need that no run of ours wrote
        HoldsDatabase,  // replacing would remove the database being read
        Busy,           // another run is writing into the folder
        NoRoom,         // the output is not expected to fit
    };
    Verdict verdict = Ready;
    // Plain words for the user, empty when Ready.
    QString message;
    // Temporaries left by killed runs, to be reported.
    QStringList leftovers;
    qint64 neededBytes = 0;
    qint64 freeBytes = -1;
};
// With ignoreRoom a short disk is not a verdict (the user chose to go on).
OutputCheck checkOutput(const OutputTarget& target, bool ignoreRoom = false,
                        const FreeSpaceQuery& freeSpace = freeBytesAt);

struct OutputHooks {
    std::function<void(unsigned int range)> initialSettings;
    std::function<void()> progress;
    std::function<void(const QString& text)> status;
    std::atomic<bool>* stop = nullptr;
};

struct OutputResult {
    // Refused before writing anything (the lock is held by another run, or
    // the folder changed since it was checked); `refusal` says why.
    bool refused = false;
    QString refusal;
    bool stopped = false;
    int failureCount = 0;
    QStringList firstFailures;
    // The bundle, or the export's folder.
    QString output;
    // Where the earlier output was kept because this run had failures;
    // empty when it was removed or there was none.
    QString keptAside;
    QStringList leftovers;

    bool succeeded() const { return !refused && !stopped && failureCount == 0; }
};

// Runs the writer of the target's format under the rules above.
OutputResult writeOutput(const ScanState& state, const FolderTreeModel& tree, const OutputTarget& target,
                         const OutputHooks& hooks = {});

} // namespace er
