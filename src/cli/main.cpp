// entourage-repair: the headless face of the recovery tool. It runs the same
// scan, save and portable export as the window, without one.

#include "export/BundleLayout.h"
#include "export/PortableExport.h"
#include "export/SaveRun.h"
#include "export/StopSignals.h"
#include "mail/MailLinking.h"
#include "scan/BlockScanner.h"
#include "scan/FolderTree.h"
#include "scan/HugePageHeap.h"
#include "scan/ScanState.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QStringList>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

enum ExitCode {
    kExitOk = 0,
    kExitFailure = 1,
    kExitUsage = 2,
    kExitNothingUsable = 3,
    kExitInterrupted = 130,
};

const char* const kUsage =
    "Usage: entourage-repair scan DATABASE\n"
    "       entourage-repair save DATABASE DIRECTORY [--replace]\n"
    "       entourage-repair export DATABASE DIRECTORY [--replace]\n"
    "       entourage-repair --help | --version\n";

const char* const kHelp =
    "entourage-repair recovers folders, mails, contacts, calendar events, tasks\n"
    "and notes from a damaged Entourage \"Database\" file. It reads the whole file\n"
    "without trusting any of its indexes and never writes to it.\n"
    "\n"
    "Commands:\n"
    "  scan DATABASE   Scan the database and print what could be recovered, one\n"
    "                  count per line:\n"
    "                    Mails: <n>\n"
    "                    Calendars: <n>\n"
    "                    Notes: <n>\n"
    "                    Contacts: <n>\n"
    "                    Tasks: <n>\n"
    "  save DATABASE DIRECTORY [--replace]\n"
    "                  Scan the database, print the same counts, and write\n"
    "                  everything recovered into DIRECTORY/Main Identity.rge,\n"
    "                  an archive bundle Entourage can import (one mbox file per\n"
    "                  mail folder). DIRECTORY is created when missing. An\n"
    "                  existing bundle is left alone unless --replace is given,\n"
    "                  which removes it completely first.\n"
    "  export DATABASE DIRECTORY [--replace]\n"
    "                  Scan the database, print the same counts, and write\n"
    "                  everything recovered in formats today's programs import:\n"
    "                  DIRECTORY/Mail/ (one mbox file per mail folder, mboxrd,\n"
    "                  LF line ends, subfolders in a directory beside their\n"
    "                  folder's mbox file), contacts.vcf, calendar.ics (events\n"
    "                  and tasks), notes.ics and README.txt (how to import each\n"
    "                  file). DIRECTORY is created when missing. An existing\n"
    "                  export there is left alone unless --replace is given,\n"
    "                  which first removes those five entries and nothing else.\n"
    "\n"
    "Options:\n"
    "  -h, --help      Show this help and exit.\n"
    "  --version       Show the version and exit.\n"
    "\n"
    "While scanning, saving and exporting, a progress line is shown on standard\n"
    "error when it is a terminal. Ctrl-C stops; a stopped save removes the\n"
    "partial bundle, a stopped export every file and folder it wrote.\n"
    "\n"
    "Exit status:\n"
    "  0    done: the counts were printed (and the bundle or export written\n"
    "       completely)\n"
    "  1    the database could not be opened, the bundle or export already exists\n"
    "       (without --replace), or some output file could not be written (their\n"
    "       number and the first of them are listed on standard error)\n"
    "  2    wrong usage\n"
    "  3    nothing usable was found in the file\n"
    "  130  stopped by Ctrl-C\n";

std::atomic<bool> g_interrupted{false};

void printError(const QString& text)
{
    std::fprintf(stderr, "entourage-repair: %s\n", text.toLocal8Bit().constData());
}

// A one-line progress display on standard error, shown only on a terminal and
// only once a scan has run for a moment.
class TerminalProgress {
public:
    explicit TerminalProgress(const QString& label) : m_label(label.toLocal8Bit()), m_enabled(isatty(STDERR_FILENO) == 1)
    {
        m_clock.start();
    }
    ~TerminalProgress() { finish(); }

    void update(quint64 done, quint64 range)
    {
        if (!m_enabled || m_clock.elapsed() < 500 || (m_lastDraw.isValid() && m_lastDraw.elapsed() < 200))
            return;
        m_lastDraw.start();
        const int percent = range ? static_cast<int>(qMin<quint64>(100, done * 100 / range)) : 100;
        std::fprintf(stderr, "\r%s... %3d%%", m_label.constData(), percent);
        std::fflush(stderr);
        m_drawn = true;
    }

    void finish()
    {
        if (m_drawn)
            std::fprintf(stderr, "\r%*s\r", 20, "");
        m_drawn = false;
    }

private:
    QByteArray m_label;
    bool m_enabled;
    bool m_drawn = false;
    QElapsedTimer m_clock;
    QElapsedTimer m_lastDraw;
};

// Scans the database into state and prints the counts. Returns -1 when the
// scan completed, else the exit code to end with.
int scanAndReport(const QString& database, er::ScanState& state)
{
    TerminalProgress progress(QStringLiteral("Scanning"));
    er::ScanHooks hooks;
    hooks.stop = &g_interrupted;
    hooks.progress = [&progress](quint64 examined, quint32 range) { progress.update(examined, range); };

    const er::ScanOutcome outcome = er::scanDatabase(database, state, hooks);
    progress.finish();

    switch (outcome.kind) {
    case er::ScanOutcome::CannotOpen:
        printError(QStringLiteral("cannot open \"%1\": %2").arg(database, outcome.reason));
        return kExitFailure;
    case er::ScanOutcome::Stopped:
        printError(QStringLiteral("scan stopped"));
        return kExitInterrupted;
    case er::ScanOutcome::NothingUsable:
        std::fprintf(stderr, "The scanned file is either an invalid file or heavily damaged.\n");
        return kExitNothingUsable;
    case er::ScanOutcome::Completed:
        break;
    }

    if (state.unreadableBytes > 0)
        printError(QStringLiteral("warning: %1 bytes of \"%2\" could not be read and were scanned as zeros")
                       .arg(state.unreadableBytes)
                       .arg(database));

    const quint32 mails = er::recomputeMailItemCount(state);
    std::printf("Mails: %u\nCalendars: %u\nNotes: %u\nContacts: %u\nTasks: %u\n", mails, state.CalendarItemCount,
                state.NotesItemCount, state.ContactItemCount, state.TaskItemCount);
    std::fflush(stdout);
    return -1;
}

// The scan's records live until the process ends: freeing hundreds of
// thousands of them one by one right before exit would only cost time.
er::ScanState& processScanState()
{
    static er::ScanState* state = new er::ScanState;
    return *state;
}

int runScan(const QString& database)
{
    er::ScanState& state = processScanState();
    const int code = scanAndReport(database, state);
    return code < 0 ? kExitOk : code;
}

// Lists the output files that could not be written; the exit code to end with.
int reportFailures(int count, const QStringList& firstFailures)
{
    printError(QStringLiteral("%1 output file(s) could not be written completely:").arg(count));
    for (const QString& failure : firstFailures)
        std::fprintf(stderr, "  %s\n", failure.toLocal8Bit().constData());
    if (count > firstFailures.size())
        std::fprintf(stderr, "  ...\n");
    return kExitFailure;
}

int runSave(const QString& database, const QString& directory, bool replace)
{
    const QString saveDir = QFileInfo(directory).absoluteFilePath();
    const QString bundle = er::bundlePath(saveDir);
    if (QFileInfo(bundle).exists() || QFileInfo(bundle).isSymLink()) {
        if (!replace) {
            printError(QStringLiteral("\"%1\" already exists; use --replace to replace it").arg(bundle));
            return kExitFailure;
        }
    }

    er::ScanState& state = processScanState();
    const int code = scanAndReport(database, state);
    if (code >= 0)
        return code;

    if (replace && !er::removeBundle(bundle)) {
        printError(QStringLiteral("cannot remove the existing \"%1\"").arg(bundle));
        return kExitFailure;
    }
    if (!QFileInfo(saveDir).exists() && !QDir().mkpath(saveDir)) {
        printError(QStringLiteral("cannot create the directory \"%1\"").arg(saveDir));
        return kExitFailure;
    }

    const er::FolderTreeModel tree = er::buildFolderTree(state, &g_interrupted);
    TerminalProgress progress(QStringLiteral("Saving"));
    const quint64 messages = state.MailItemCount;
    quint64 written = 0;
    er::SaveHooks hooks;
    hooks.stop = &g_interrupted;
    hooks.progress = [&] { progress.update(++written, messages); };
    const er::SaveResult result = er::saveBundle(state, tree, saveDir, hooks);
    progress.finish();

    if (result.stopped) {
        printError(QStringLiteral("save stopped; the partial bundle was removed"));
        return kExitInterrupted;
    }
    if (result.failureCount > 0)
        return reportFailures(result.failureCount, result.firstFailures);
    if (isatty(STDERR_FILENO) == 1)
        std::fprintf(stderr, "Saved to %s\n", bundle.toLocal8Bit().constData());
    return kExitOk;
}

int runExport(const QString& database, const QString& directory, bool replace)
{
    const QString exportDir = QFileInfo(directory).absoluteFilePath();
    if (er::holdsPortableExport(exportDir) && !replace) {
        printError(QStringLiteral("\"%1\" already holds an export; use --replace to replace it").arg(exportDir));
        return kExitFailure;
    }

    er::ScanState& state = processScanState();
    const int code = scanAndReport(database, state);
    if (code >= 0)
        return code;

    if (replace && !er::removePortableExport(exportDir)) {
        printError(QStringLiteral("cannot remove the existing export in \"%1\"").arg(exportDir));
        return kExitFailure;
    }
    if (!QFileInfo(exportDir).exists() && !QDir().mkpath(exportDir)) {
        printError(QStringLiteral("cannot create the directory \"%1\"").arg(exportDir));
        return kExitFailure;
    }

    const er::FolderTreeModel tree = er::buildFolderTree(state, &g_interrupted);
    TerminalProgress progress(QStringLiteral("Exporting"));
    quint64 items = 0;
    quint64 written = 0;
    er::PortableHooks hooks;
    hooks.stop = &g_interrupted;
    hooks.initialSettings = [&](unsigned int range) { items = range; };
    hooks.progress = [&] { progress.update(++written, items); };
    const er::PortableResult result = er::exportPortable(state, tree, exportDir, hooks);
    progress.finish();

    if (result.stopped) {
        printError(QStringLiteral("export stopped; what it wrote was removed"));
        return kExitInterrupted;
    }
    if (result.failureCount > 0)
        return reportFailures(result.failureCount, result.firstFailures);
    if (isatty(STDERR_FILENO) == 1)
        std::fprintf(stderr, "Exported to %s\n", exportDir.toLocal8Bit().constData());
    return kExitOk;
}

} // namespace

int main(int argc, char* argv[])
{
    er::restartWithHugePageHeap(argv);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("entourage-repair"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ER_VERSION));
    const QStringList args = QCoreApplication::arguments().mid(1);

    if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
        std::fputs(kUsage, stdout);
        std::fputs("\n", stdout);
        std::fputs(kHelp, stdout);
        return kExitOk;
    }
    if (args.size() == 1 && args.first() == QStringLiteral("--version")) {
        std::printf("entourage-repair %s\n", ER_VERSION);
        return kExitOk;
    }
    if (args.size() == 2 && args.first() == QStringLiteral("scan")) {
        const er::StopOnSignals interrupts(g_interrupted);
        return runScan(args.at(1));
    }
    if (!args.isEmpty() && (args.first() == QStringLiteral("save") || args.first() == QStringLiteral("export"))) {
        QStringList operands = args.mid(1);
        const bool replace = operands.removeAll(QStringLiteral("--replace")) > 0;
        if (operands.size() == 2) {
            const er::StopOnSignals interrupts(g_interrupted);
            return args.first() == QStringLiteral("save") ? runSave(operands.at(0), operands.at(1), replace)
                                                           : runExport(operands.at(0), operands.at(1), replace);
        }
    }
    std::fputs(kUsage, stderr);
    return kExitUsage;
}
