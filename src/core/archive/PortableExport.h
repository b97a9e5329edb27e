#pragma once
// The portable export: the recovered items in the formats today's mail and
// calendar programs import, beside (not instead of) the archive bundle.
//
//   DIRECTORY/Mail/<folder path>.mbox   one mboxrd file per mail folder,
//                                       mirroring the folder tree, LF lines
//   DIRECTORY/contacts.vcf              every contact, vCard 3.0
//   DIRECTORY/calendar.ics              every event (VEVENT) and task (VTODO)
//   DIRECTORY/notes.ics                 every note (VJOURNAL)
//   DIRECTORY/README.txt                how to import each file

#include "archive/FolderTree.h"
#include "archive/ScanState.h"
#include "mail/MboxrdExport.h"
#include "output/SaveContext.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>

namespace er {

struct PortableHooks {
    // Called once before writing, with a progress range (one tick per
    // message, contact, event, task and note).
    std::function<void(unsigned int range)> initialSettings;
    std::function<void()> progress;
    std::function<void(const QString& text)> status;
    const std::atomic<bool>* stop = nullptr;
};

struct PortableResult {
    bool stopped = false;
    // Output files that could not be created, written or closed.
    int failureCount = 0;
    QStringList firstFailures;
    QString directory;

    bool succeeded() const { return !stopped && failureCount == 0; }
};

// Writes the portable export of the scan into `directory` (created when
// missing). A stopped export removes what it wrote.
PortableResult exportPortable(const ScanState& state, const FolderTreeModel& tree, const QString& directory,
                              const PortableHooks& hooks = {});

// Makes the directory and any missing parents, listing in `created` those
// it made. False (recorded in `failures`) when the directory is not there
// afterwards; a symbolic link at the path is refused unless linkAllowed.
bool makeOutputDirectories(const QString& path, bool linkAllowed, SaveFailures& failures, CreatedPaths* created);

// The entries an export writes into its directory: "Mail", "contacts.vcf",
// "calendar.ics", "notes.ics", "README.txt".
QStringList portableExportEntries();
// The files of a whole scan, for the tests.
QByteArray contactsVCardFile(const ScanState& state);
// utcOffsetSeconds defaults to hostUtcOffsetSeconds().
QByteArray calendarICalendarFile(const ScanState& state, int utcOffsetSeconds);
QByteArray calendarICalendarFile(const ScanState& state);
QByteArray notesICalendarFile(const ScanState& state);

// The import instructions.
QByteArray portableReadme();

} // namespace er
