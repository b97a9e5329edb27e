#pragma once
// What a user does with a few messages or one folder: save the messages as
// .eml files, save their attachments, export a folder with its subfolders
// as mboxrd files. Each run takes the scan, the selection and a target
// directory, reports progress, honours a stop flag, and says what it wrote
// and what it could not write. Nothing already on disk is written over.

#include "archive/FolderTree.h"
#include "archive/MailList.h"
#include "archive/ScanState.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <vector>

namespace er {

struct MessageActionHooks {
    // Called once before writing, with a progress range (one tick per
    // message).
    std::function<void(unsigned int range)> initialSettings;
    std::function<void()> progress;
    // Stop token; none means the run is never stopped.
    const std::atomic<bool>* stop = nullptr;
};

struct MessageActionResult {
    bool stopped = false;
    // The files written in full, in the order written.
    QStringList written;
    // Output that could not be created, written or closed, and messages
    // that could not be read.
    int failureCount = 0;
    QStringList firstFailures;

    bool succeeded() const { return !stopped && failureCount == 0; }
};

// The .eml name of a message: "yyyy-MM-dd Subject" (the date its Date
// header gives, at the header's own offset from UTC, else its record's
// stored date; the subject alone when neither is readable; "No Subject"
// for none), safe on every disk, with ".eml".
QString emlFileName(const QByteArray& messageText, const MailRecord* record);

// `text` with every line end (CR, LF, CR LF) as CR LF, the last line ended.
QByteArray withCrLfLineEnds(const QByteArray& text);

// Writes one .eml file (CR LF line ends) per row into `directory` (made
// when missing). Names that are taken, on disk or in this run, get " (2)",
// " (3)", ....
MessageActionResult saveMessagesAsEml(const ScanState& state, const std::vector<MailListRow>& rows,
                                      const QString& directory, const MessageActionHooks& hooks = {});

// Writes the decoded body of every attachment of the rows' messages into
// `directory` (made when missing), under its own file name; a part without
// one is named "<message's .eml name without .eml> part N". Names as for
// saveMessagesAsEml.
MessageActionResult saveAttachments(const ScanState& state, const std::vector<MailListRow>& rows,
                                    const QString& directory, const MessageActionHooks& hooks = {});

// Exports the folder and its subfolders in the portable export's mail
// layout ("<name>.mbox", subfolders in "<name>/") into `directory`, which
// must not exist yet and is made (with missing parents). A stopped run
// removes what it made.
MessageActionResult exportMailFolder(const ScanState& state, const FolderTreeModel& tree, quint64 folderId,
                                     const QString& directory, const MessageActionHooks& hooks = {});

} // namespace er
