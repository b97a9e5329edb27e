// entourage-repair: the headless face of the recovery tool. It runs the same
// scan (and, later, the same save) as the window, without one.

#include "mail/MailLinking.h"
#include "scan/BlockScanner.h"
#include "scan/ScanState.h"

#include <QCoreApplication>
#include <QElapsedTimer>
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
    "\n"
    "Options:\n"
    "  -h, --help      Show this help and exit.\n"
    "  --version       Show the version and exit.\n"
    "\n"
    "While scanning, a progress line is shown on standard error when it is a\n"
    "terminal. Ctrl-C stops the scan.\n"
    "\n"
    "Exit status:\n"
    "  0    the scan completed and the counts were printed\n"
    "  1    the database could not be opened or read\n"
    "  2    wrong usage\n"
    "  3    nothing usable was found in the file\n"
    "  130  stopped by Ctrl-C\n";

std::atomic<bool> g_interrupted{false};

extern "C" void onInterrupt(int)
{
    g_interrupted.store(true);
}

void installInterruptHandler()
{
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

void printError(const QString& text)
{
    std::fprintf(stderr, "entourage-repair: %s\n", text.toLocal8Bit().constData());
}

// A one-line progress display on standard error, shown only on a terminal and
// only once a scan has run for a moment.
class TerminalProgress {
public:
    TerminalProgress() : m_enabled(isatty(STDERR_FILENO) == 1) { m_clock.start(); }
    ~TerminalProgress() { finish(); }

    void update(quint64 examined, quint32 range)
    {
        if (!m_enabled || m_clock.elapsed() < 500 || (m_lastDraw.isValid() && m_lastDraw.elapsed() < 200))
            return;
        m_lastDraw.start();
        const int percent = range ? static_cast<int>(qMin<quint64>(100, examined * 100 / range)) : 100;
        std::fprintf(stderr, "\rScanning... %3d%%", percent);
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
    bool m_enabled;
    bool m_drawn = false;
    QElapsedTimer m_clock;
    QElapsedTimer m_lastDraw;
};

int runScan(const QString& database)
{
    er::ScanState state;
    TerminalProgress progress;
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
    if (args.size() == 2 && args.first() == QStringLiteral("scan")) {
        installInterruptHandler();
        return runScan(args.at(1));
    }
    std::fputs(kUsage, stderr);
    return kExitUsage;
}
