// entourage-repair: the headless face of the recovery tool. It runs the same
// scan, save and portable export as the window, without one.

#include "archive/BundleLayout.h"
#include "archive/OutputRun.h"
#include "archive/PortableExport.h"
#include "archive/SaveRun.h"
#include "archive/StopSignals.h"
#include "archive/MailLinking.h"
#include "archive/BlockScanner.h"
#include "archive/DamageReport.h"
#include "archive/FolderTree.h"
#include "archive/ScanState.h"

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
    "Usage: entourage-repair scan DATABASE [--report FILE]\n"
    "       entourage-repair save DATABASE DIRECTORY [--replace] [--ignore-free-space]\n"
    "       entourage-repair export DATABASE DIRECTORY [--replace] [--ignore-free-space]\n"
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
    "                  and one line on standard error about the damage found\n"
    "                  (rejected headers, unreadable bytes, mails without\n"
    "                  text, orphaned mails, unrecognised bytes). With\n"
    "                  --report FILE, also a JSON report of what was found\n"
    "                  where in the file.\n"
    "  save DATABASE DIRECTORY [--replace]\n"
    "                  Scan the database, print the same counts, and write\n"
    "                  everything recovered into DIRECTORY/Main Identity.rge,\n"
    "                  an archive bundle Entourage can import (one mbox file per\n"
    "                  mail folder). DIRECTORY is created when missing. An\n"
    "                  existing bundle (or anything else of that name) is left\n"
    "                  alone unless --replace is given.\n"
    "  export DATABASE DIRECTORY [--replace]\n"
    "                  Scan the database, print the same counts, and write\n"
    "                  everything recovered in formats today's programs import:\n"
    "                  DIRECTORY/Mail/ (one mbox file per mail folder, mboxrd,\n"
    "                  LF line ends, subfolders in a directory beside their\n"
    "                  folder's mbox file), contacts.vcf, calendar.ics (events\n"
    "                  and tasks), notes.ics, README.txt (how to import each\n"
    "                  file) and .entourage-repair-export (which marks the\n"
    "                  folder as holding an export). DIRECTORY is created when\n"
    "                  missing. An earlier export there is left alone unless\n"
    "                  --replace is given; files of those names that no export\n"
    "                  wrote are never touched, and the export is refused.\n"
    "\n"
    "Options:\n"
    "  --replace       Replace an earlier bundle or export. The new one is\n"
    "                  written beside it first; the earlier one is removed only\n"
    "                  when the new one was written without failures, and kept\n"
    "                  (its place is listed) otherwise.\n"
    "  --ignore-free-space\n"
    "                  Go on even when the disk looks too full for the output\n"
    "                  (about the database's size, twice when replacing).\n"
    "  -h, --help      Show this help and exit.\n"
    "  --version       Show the version and exit.\n"
    "\n"
    "The output is built in a temporary folder beside it and moved into place\n"
    "when complete; one save or export at a time may write into a folder. While\n"
    "scanning, saving and exporting, a progress line is shown on standard error\n"
    "when it is a terminal. Ctrl-C (or SIGTERM, or a closed terminal) stops; a\n"
    "stopped save or export leaves the folder as it was.\n"
    "\n"
    "Exit status:\n"
    "  0    done: the counts were printed (and the bundle or export written\n"
    "       completely)\n"
    "  1    the database could not be opened (or is no regular file or disk\n"
    "       device), the bundle or export already exists (without --replace), the\n"
    "       folder is not ours to write, another run is writing there, the disk\n"
    "       is too full, or some output file could not be written (their number\n"
    "       and the first of them are listed on standard error)\n"
    "  2    wrong usage\n"
    "  3    nothing usable was found in the file\n"
    "  130  stopped by Ctrl-C or a signal\n";

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

    const quint32 mails = er::recomputeMailCount(state);
    std::printf("Mails: %u\nCalendars: %u\nNotes: %u\nContacts: %u\nTasks: %u\n", mails, state.eventCount,
                state.noteCount, state.contactCount, state.taskCount);
    std::fflush(stdout);
    std::fprintf(stderr, "%s\n", er::damageSummaryLine(er::damageSummary(state)).toLocal8Bit().constData());
    return -1;
}

int runScan(const QString& database, const QString& reportPath)
{
    er::ScanState state;
    const int code = scanAndReport(database, state);
    if (!reportPath.isEmpty() && (code < 0 || code == kExitNothingUsable)) {
        QFile report(reportPath);
        if (!report.open(QIODevice::WriteOnly | QIODevice::Truncate) || report.write(er::damageReportJson(state)) < 0
            || !report.flush()) {
            printError(QStringLiteral("cannot write the report \"%1\": %2").arg(reportPath, report.errorString()));
            return kExitFailure;
        }
    }
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

// Save and export share one run: checks before the scan, the scan, then the
// output routine, which decides again under the folder's lock.
int runOutput(er::OutputFormat format, const QString& database, const QString& directory, bool replace,
              bool ignoreFreeSpace)
{
    const bool bundle = format == er::OutputFormat::Bundle;
    er::OutputTarget target;
    target.format = format;
    target.folder = QFileInfo(directory).absoluteFilePath();
    target.databasePath = database;
    target.replace = replace;

    const er::OutputCheck check = er::checkOutput(target, ignoreFreeSpace);
    switch (check.verdict) {
    case er::OutputCheck::Ready:
        break;
    case er::OutputCheck::Taken:
        printError(check.message + QStringLiteral(" Use --replace to replace it."));
        return kExitFailure;
    case er::OutputCheck::NoRoom:
        printError(check.message + QStringLiteral(" Free some space or choose another folder; "
                                                  "--ignore-free-space goes on anyway."));
        return kExitFailure;
    default:
        printError(check.message);
        return kExitFailure;
    }

    er::ScanState state;
    const int code = scanAndReport(database, state);
    if (code >= 0)
        return code;

    const er::FolderTreeModel tree = er::buildFolderTree(state, &g_interrupted);
    TerminalProgress progress(bundle ? QStringLiteral("Saving") : QStringLiteral("Exporting"));
    quint64 items = state.mail.count;
    quint64 written = 0;
    er::OutputHooks hooks;
    hooks.stop = &g_interrupted;
    if (!bundle)
        hooks.initialSettings = [&](unsigned int range) { items = range; };
    hooks.progress = [&] { progress.update(++written, items); };
    const er::OutputResult result = er::writeOutput(state, tree, target, hooks);
    progress.finish();

    for (const QString& leftover : result.leftovers)
        printError(QStringLiteral("warning: \"%1\" is left from an earlier run that did not finish; remove it "
                                  "when you no longer need it")
                       .arg(leftover));
    if (result.refused) {
        printError(result.refusal);
        return kExitFailure;
    }
    if (result.stopped) {
        printError(bundle ? QStringLiteral("save stopped; nothing was written")
                          : QStringLiteral("export stopped; nothing was written"));
        return kExitInterrupted;
    }
    if (!result.keptAside.isEmpty())
        printError(QStringLiteral("the earlier %1 was kept in \"%2\"")
                       .arg(bundle ? QStringLiteral("bundle") : QStringLiteral("export"), result.keptAside));
    if (result.failureCount > 0)
        return reportFailures(result.failureCount, result.firstFailures);
    if (isatty(STDERR_FILENO) == 1)
        std::fprintf(stderr, "%s to %s\n", bundle ? "Saved" : "Exported", result.output.toLocal8Bit().constData());
    return kExitOk;
}

} // namespace

int main(int argc, char* argv[])
{
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
    const bool withReport = args.size() == 4 && args.at(2) == QStringLiteral("--report");
    if (!args.isEmpty() && args.first() == QStringLiteral("scan") && (args.size() == 2 || withReport)) {
        const er::StopOnSignals interrupts(g_interrupted);
        return runScan(args.at(1), args.value(3));
    }
    if (!args.isEmpty() && (args.first() == QStringLiteral("save") || args.first() == QStringLiteral("export"))) {
        QStringList operands = args.mid(1);
        const bool replace = operands.removeAll(QStringLiteral("--replace")) > 0;
        const bool ignoreFreeSpace = operands.removeAll(QStringLiteral("--ignore-free-space")) > 0;
        if (operands.size() == 2) {
            const er::StopOnSignals interrupts(g_interrupted);
            const er::OutputFormat format = args.first() == QStringLiteral("save") ? er::OutputFormat::Bundle
                                                                                  : er::OutputFormat::PortableExport;
            return runOutput(format, operands.at(0), operands.at(1), replace, ignoreFreeSpace);
        }
    }
    std::fputs(kUsage, stderr);
    return kExitUsage;
}
