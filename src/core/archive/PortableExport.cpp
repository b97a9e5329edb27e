#include "archive/PortableExport.h"

#include "archive/BundleLayout.h"
#include "calendar/CalendarExport.h"
#include "calendar/PortableICalendar.h"
#include "contacts/PortableVCard.h"
#include "mail/MboxrdExport.h"
#include "notes/PortableNotes.h"
#include "output/OutputFile.h"
#include "output/SaveContext.h"

#include <QDir>
#include <QFileInfo>

#include <limits>

namespace er {

namespace {

const char* const kExportingMailText = "Exporting Mail Folders...";
const char* const kExportingContactsText = "Exporting Contacts...";
const char* const kExportingCalendarText = "Exporting Calendar Items and Tasks...";
const char* const kExportingNotesText = "Exporting Notes...";
const char* const kExportingReadmeText = "Writing Import Instructions...";

// A file of the export, written as it is produced into a folder of its
// own: anything already there is not ours, and is neither replaced nor
// appended to.
void writeStreamedFile(const QString& path, const std::function<void(const TextSink&)>& produce,
                       SaveFailures& failures, CreatedPaths* created)
{
    if (QFileInfo::exists(path) || QFileInfo(path).isSymLink()) {
        failures.record(path, QStringLiteral("already exists; not written over"));
        return;
    }
    AppendFile file(path, failures);
    if (file.isOpen())
        created->files << path;
    produce([&file](const QByteArray& bytes) { file.write(bytes); });
    file.close();
}

void ticks(const SaveContext& context, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        context.progress();
}

} // namespace

// Makes the directory and any missing parents, listing those it made.
// False (recorded) when the directory is not there afterwards. Below the
// chosen directory a symbolic link is refused: writing through it would put
// the export somewhere else.
bool makeOutputDirectories(const QString& path, bool linkAllowed, SaveFailures& failures, CreatedPaths* created)
{
    for (const QString& dir : missingFolders(path)) {
        if (!QDir().mkdir(dir))
            break;
        created->directories << dir;
    }
    const QFileInfo info(path);
    if (info.isDir() && (linkAllowed || !info.isSymLink()))
        return true;
    failures.record(path, info.isSymLink() ? QStringLiteral("is a symbolic link, not a directory")
                                           : QStringLiteral("cannot create the directory"));
    return false;
}

PortableResult exportPortable(const ScanState& state, const FolderTreeModel& tree, const QString& directory,
                              const PortableHooks& hooks)
{
    const QString dir = QDir::cleanPath(directory);
    SaveContext context(dir);
    context.databasePath = state.databasePath;
    context.office2004 = state.office2004;
    context.folderPaths = folderPathList(tree);
    context.hooks.progress = hooks.progress;
    context.hooks.status = hooks.status;
    // Without a token of its own the export follows the scan's stop flag,
    // as a save does.
    context.hooks.stop = hooks.stop ? hooks.stop : &state.stopFlag;

    PortableResult result;
    result.directory = dir;
    CreatedPaths created;

    const quint64 range = portableMessageCount(state.mail, context) + state.contacts.size() + state.events.size()
        + state.tasks.size() + state.notes.size();
    if (hooks.initialSettings)
        hooks.initialSettings(static_cast<unsigned int>(qMin<quint64>(range, std::numeric_limits<unsigned int>::max())));

    // The steps in order; each returns at once after a stop request. A
    // directory that cannot be made is recorded, and every file below it
    // then fails and is recorded too: the count says how much is missing.
    const QString dirPrefix = dir + QLatin1Char('/');
    makeOutputDirectories(dir, true, context.failures, &created);
    if (!context.stopRequested()) {
        context.status(QString::fromLatin1(kExportingMailText));
        const QString mailDir = dirPrefix + QStringLiteral("Mail");
        if (makeOutputDirectories(mailDir, false, context.failures, &created))
            writePortableMailboxes(state.mail, context, mailDir, &created);
        else
            ticks(context, portableMessageCount(state.mail, context));
    }
    if (!context.stopRequested()) {
        context.status(QString::fromLatin1(kExportingContactsText));
        writeStreamedFile(dirPrefix + QStringLiteral("contacts.vcf"),
                          [&](const TextSink& out) { writeContactsVCard(state.contacts, out); }, context.failures, &created);
        ticks(context, state.contacts.size());
    }
    if (!context.stopRequested()) {
        context.status(QString::fromLatin1(kExportingCalendarText));
        writeStreamedFile(dirPrefix + QStringLiteral("calendar.ics"),
                          [&](const TextSink& out) { writeCalendarICalendar(state.events, state.tasks, state.office2004, hostUtcOffsetSeconds(), out); },
                          context.failures, &created);
        ticks(context, state.events.size() + state.tasks.size());
    }
    if (!context.stopRequested()) {
        context.status(QString::fromLatin1(kExportingNotesText));
        writeStreamedFile(dirPrefix + QStringLiteral("notes.ics"),
                          [&](const TextSink& out) { writeNotesICalendar(state.notes, out); }, context.failures, &created);
        ticks(context, state.notes.size());
    }
    if (!context.stopRequested()) {
        context.status(QString::fromLatin1(kExportingReadmeText));
        writeStreamedFile(dirPrefix + QStringLiteral("README.txt"),
                          [](const TextSink& out) { out(portableReadme()); }, context.failures, &created);
    }

    // A stop at any point, even after the last file, takes back everything
    // this export made, as a stopped save removes its bundle.
    result.stopped = context.stopRequested();
    if (result.stopped)
        created.removeAll();
    result.failureCount = context.failures.count();
    result.firstFailures = context.failures.firstFailures();
    return result;
}

QStringList portableExportEntries()
{
    return {QStringLiteral("Mail"), QStringLiteral("contacts.vcf"), QStringLiteral("calendar.ics"),
            QStringLiteral("notes.ics"), QStringLiteral("README.txt")};
}

QByteArray portableReadme()
{
    return QByteArrayLiteral(
        "Recovered mail, contacts, calendar, tasks and notes\n"
        "===================================================\n"
        "\n"
        "This folder holds what could be recovered from an Entourage database, in\n"
        "formats that today's mail, contact and calendar programs import:\n"
        "\n"
        "  Mail/          one mailbox file per mail folder (mbox format, mboxrd\n"
        "                 quoting, LF line ends). A folder is \"<name>.mbox\"; its\n"
        "                 subfolders are in the directory \"<name>\" beside it.\n"
        "  contacts.vcf   every contact (vCard 3.0, UTF-8)\n"
        "  calendar.ics   every calendar event and task (iCalendar, UTF-8)\n"
        "  notes.ics      every note, as iCalendar journal entries\n"
        "\n"
        "Folder names are kept; a \"/\" in a name became \"-\". Messages whose folder\n"
        "was lost are in \"Folder1\", \"Folder2\", ...\n"
        "\n"
        "Each file can be imported on its own, and importing never changes this\n"
        "folder: keep it until you have checked the result.\n"
        "\n"
        "\n"
        "Thunderbird\n"
        "-----------\n"
        "\n"
        "Mail: Thunderbird does not import mbox files by itself. Install the\n"
        "  add-on \"ImportExportTools NG\" (Tools > Add-ons and Themes), then\n"
        "  right-click \"Local Folders\" and choose ImportExportTools NG > Import\n"
        "  mbox Files > \"Individual mbox files\" (pick the .mbox files) or \"All mbox\n"
        "  files from directory and subdirectories\" (pick the Mail folder, which\n"
        "  keeps the folder tree).\n"
        "Contacts: Tools > Import > Address Books > vCard file, then choose\n"
        "  contacts.vcf.\n"
        "Calendar and tasks: Tools > Import > Calendars > Calendar file (or, in\n"
        "  the Calendar tab, Events and Tasks > Import), then choose calendar.ics.\n"
        "Notes: Thunderbird has no notes; notes.ics is plain text and can be read\n"
        "  in any text editor.\n"
        "\n"
        "\n"
        "Apple Mail, Contacts and Calendar (macOS)\n"
        "-----------------------------------------\n"
        "\n"
        "Mail: File > Import Mailboxes..., choose \"Files in mbox format\", then\n"
        "  choose the Mail folder. The mailboxes appear under \"Import\" in the\n"
        "  sidebar; drag them where you want them.\n"
        "Contacts: in Contacts, File > Import..., then choose contacts.vcf.\n"
        "Calendar: in Calendar, File > Import..., then choose calendar.ics and the\n"
        "  calendar to add the events to. Calendar imports events; the tasks in\n"
        "  the same file are read by the other programs listed here.\n"
        "Notes: Apple Notes does not read notes.ics; open it in TextEdit to copy\n"
        "  what you need.\n"
        "\n"
        "\n"
        "Evolution\n"
        "---------\n"
        "\n"
        "File > Import..., \"Import a single file\", then choose the file:\n"
        "  - a .mbox file from the Mail folder (type \"Berkeley Mailbox (mbox)\"),\n"
        "    once per mailbox, with the destination folder for it;\n"
        "  - contacts.vcf (type \"vCard\") into an address book;\n"
        "  - calendar.ics (type \"iCalendar\") twice: once choosing \"Appointments\n"
        "    and Meetings\" for the events, once choosing \"Tasks\" for the tasks\n"
        "    (each import takes only its own kind);\n"
        "  - notes.ics: the import takes no notes; open the file in a text editor\n"
        "    to copy what you need.\n"
        "\n"
        "\n"
        "Other programs\n"
        "--------------\n"
        "\n"
        "Any program that reads mbox, vCard or iCalendar files can read these.\n"
        "A reader that knows mboxrd removes the \">\" that was added in front of\n"
        "message lines beginning \"From \" (and \">From \", \">>From \", ...).\n");
}

QByteArray contactsVCardFile(const ScanState& state)
{
    return contactsVCardFile(state.contacts);
}

QByteArray calendarICalendarFile(const ScanState& state, int utcOffsetSeconds)
{
    return calendarICalendarFile(state.events, state.tasks, state.office2004, utcOffsetSeconds);
}

QByteArray calendarICalendarFile(const ScanState& state)
{
    return calendarICalendarFile(state, hostUtcOffsetSeconds());
}

QByteArray notesICalendarFile(const ScanState& state)
{
    return notesICalendarFile(state.notes);
}

} // namespace er
