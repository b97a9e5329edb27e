// The contract every run that writes recovered items keeps, whatever it
// writes: it says each step and its progress reaches the end; a stop or a
// signal leaves the chosen folder as it was; a run with failures counts them
// with the first paths, keeps what it wrote and the earlier output it
// replaced; mail that cannot be read is a failure, never a success; a
// second run into the same folder is refused; a link planted at the output
// path is never followed. A new format joins by one line in the table at
// the end.

#include "../ScanTestSupport.h"

#include "SampleDatabase.h"
#include "archive/BundleLayout.h"
#include "archive/OutputRun.h"
#include "archive/StopSignals.h"
#include "archive/BlockScanner.h"
#include "archive/FolderTree.h"

#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>

using namespace er;

namespace {

struct Format {
    const char* name;
    OutputFormat format;
    // Planted during a run to make one output file fail: a file where a
    // folder belongs, or a folder where a file belongs (relative to the
    // run's temporary folder).
    const char* blocker;
    bool blockerIsFile;
    // The steps the run says, in order.
    QStringList statuses;
};

void PrintTo(const Format& format, std::ostream* out) { *out << format.name; }

// Every entry below a folder with its bytes (folders map to "/", links to
// "-> target").
QMap<QString, QByteArray> snapshot(const QString& root)
{
    QMap<QString, QByteArray> entries;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile f(path);
        entries.insert(path.mid(root.size()), it.fileInfo().isSymLink() ? "-> " + it.fileInfo().symLinkTarget().toUtf8()
                                              : it.fileInfo().isDir()   ? QByteArray("/")
                                              : f.open(QIODevice::ReadOnly) ? f.readAll()
                                                                            : QByteArray("?"));
    }
    return entries;
}

QString partialFolderIn(const QString& folder)
{
    const QStringList found = QDir(folder).entryList({QLatin1String(kPartialOutputPrefix) + '*'},
                                                     QDir::Dirs | QDir::Hidden);
    return found.isEmpty() ? QString() : folder + '/' + found.first();
}

class WriterContract : public ::testing::TestWithParam<Format> {
protected:
    void SetUp() override
    {
        // A folder the user keeps other files in.
        QFile foreign(m_target.filePath(QStringLiteral("notes of mine.txt")));
        ASSERT_TRUE(foreign.open(QIODevice::WriteOnly));
        foreign.write("not ours\n");
    }

    OutputResult run(const OutputHooks& hooks = {}, bool replace = false, const QString& folder = QString())
    {
        OutputTarget target;
        target.format = GetParam().format;
        target.folder = folder.isEmpty() ? m_target.path() : folder;
        target.databasePath = m_databasePath;
        target.replace = replace;
        return writeOutput(m_state, m_tree, target, hooks);
    }

    // Hooks that call `act` once, at the first progress tick.
    static OutputHooks atFirstTick(std::function<void()> act)
    {
        OutputHooks hooks;
        hooks.progress = [act, done = false]() mutable {
            if (!std::exchange(done, true))
                act();
        };
        return hooks;
    }

    ertest::ScannedDatabase m_database{testdb::buildSampleDatabase()};
    const QString& m_databasePath = m_database.path;
    ScanState& m_state = m_database.state;
    FolderTreeModel m_tree = buildFolderTree(m_state);
    QTemporaryDir m_target;
};

TEST_P(WriterContract, AWholeRunSaysEachStepAndEndsItsProgress)
{
    QStringList statuses;
    unsigned int range = 0;
    int ticks = 0;
    OutputHooks hooks;
    hooks.status = [&](const QString& text) {
        if (statuses.isEmpty() || statuses.last() != text)
            statuses << text;
    };
    hooks.initialSettings = [&](unsigned int r) { range += r; };
    hooks.progress = [&] { ++ticks; };
    const OutputResult result = run(hooks);
    ASSERT_TRUE(result.succeeded()) << result.firstFailures.join('\n').toStdString();
    EXPECT_EQ(statuses, GetParam().statuses);
    // The bundle's mail steps count 512-byte units of text, so its bar may
    // end short; it never runs past its range.
    EXPECT_LE(ticks, int(range));
    if (GetParam().format == OutputFormat::PortableExport) {
        EXPECT_EQ(ticks, int(range));
    }
}

// The database is gone by the time of the run: the mail cannot be read.
TEST_P(WriterContract, MailThatCannotBeReadIsAFailure)
{
    ASSERT_TRUE(QFile::remove(m_databasePath));
    const OutputResult result = run();
    EXPECT_FALSE(result.succeeded());
    EXPECT_GT(result.failureCount, 0);
}

TEST_P(WriterContract, AStopOrASignalLeavesTheFolderAsItWas)
{
    int ticks = 0; // of a whole run
    OutputHooks counting;
    counting.progress = [&] { ++ticks; };
    ASSERT_TRUE(run(counting).succeeded()); // an earlier output, which a replacing run must keep
    const QMap<QString, QByteArray> before = snapshot(m_target.path());
    ASSERT_GT(ticks, 2);

    std::atomic<bool> stop{false};
    const StopOnSignals interrupts(stop);
    const std::pair<int, int> cases[] = {{1, 0}, {ticks / 2, 0}, {ticks, 0}, {3, SIGINT}, {3, SIGTERM}, {3, SIGHUP}};
    for (const auto& [at, signal] : cases) {
        for (const bool nested : {false, true}) {
            stop = false;
            int tick = 0;
            OutputHooks hooks;
            hooks.stop = &stop;
            hooks.progress = [&, at = at, signal = signal] {
                if (++tick == at)
                    signal ? void(std::raise(signal)) : stop.store(true);
            };
            const QString folder = nested ? m_target.filePath(QStringLiteral("new/deeper")) : QString();
            const OutputResult result = run(hooks, true, folder);
            EXPECT_TRUE(result.stopped) << "tick " << at << ", signal " << signal;
            EXPECT_EQ(snapshot(m_target.path()), before) << "tick " << at << ", signal " << signal;
        }
    }
    EXPECT_TRUE(interrupts.signalled());
}

TEST_P(WriterContract, FailuresAreCountedAndTheEarlierOutputIsKept)
{
    ASSERT_TRUE(run().succeeded());
    const QString output = outputPath(GetParam().format, m_target.path());
    QMap<QString, QByteArray> earlier = snapshot(output);
    earlier.remove(QStringLiteral("/notes of mine.txt")); // the export's folder is the user's

    const OutputResult result = run(atFirstTick([&] {
        const QString blocker = partialFolderIn(m_target.path()) + '/' + GetParam().blocker;
        QDir(blocker).removeRecursively();
        if (GetParam().blockerIsFile) {
            QFile file(blocker);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        } else {
            ASSERT_TRUE(QDir().mkpath(blocker));
        }
    }), true);
    EXPECT_FALSE(result.stopped);
    EXPECT_GT(result.failureCount, 0);
    ASSERT_FALSE(result.firstFailures.isEmpty());
    EXPECT_TRUE(result.firstFailures.first().startsWith(output + '/' + QString(GetParam().blocker).section('/', -1)))
        << result.firstFailures.first().toStdString();
    // What was written is in place; the earlier output is kept whole.
    EXPECT_TRUE(QFileInfo::exists(output));
    ASSERT_FALSE(result.keptAside.isEmpty());
    EXPECT_EQ(snapshot(result.keptAside), earlier);
    EXPECT_TRUE(partialFolderIn(m_target.path()).isEmpty());

    // A run without failures removes what it replaces.
    const OutputResult clean = run({}, true);
    EXPECT_TRUE(clean.succeeded());
    EXPECT_TRUE(clean.keptAside.isEmpty());
}

TEST_P(WriterContract, ASecondRunIntoTheFolderIsRefusedAndALinkIsNeverFollowed)
{
    QTemporaryDir elsewhere;
    OutputResult second;
    const OutputResult first = run(atFirstTick([&] {
        second = run();
        // Planted where the output goes, after the checks.
        const QString at = GetParam().format == OutputFormat::Bundle ? bundlePath(m_target.path())
                                                                      : m_target.filePath(QStringLiteral("Mail"));
        ASSERT_TRUE(QFile::link(elsewhere.path(), at));
    }));
    EXPECT_TRUE(second.refused);
    EXPECT_TRUE(second.refusal.contains(QStringLiteral("Another save or export"))) << second.refusal.toStdString();
    EXPECT_TRUE(snapshot(elsewhere.path()).isEmpty()) << "nothing was written through the link";
    EXPECT_GT(first.failureCount, 0) << "the output could not be put in place";
    EXPECT_TRUE(first.firstFailures.join(' ').contains(QStringLiteral("cannot be put in place")));
}

const Format kFormats[] = {
    {"Bundle", OutputFormat::Bundle, "Main Identity.rge/Contacts", true,
     {"Saving Mail Folders...", "Saving Note Items...", "Saving Task Items...", "Saving Calendar Items...",
      "Saving Contacts Items..."}},
    {"PortableExport", OutputFormat::PortableExport, "contacts.vcf", false,
     {"Exporting Mail Folders...", "Exporting Contacts...", "Exporting Calendar Items and Tasks...",
      "Exporting Notes...", "Writing Import Instructions..."}},
};
INSTANTIATE_TEST_SUITE_P(Formats, WriterContract, ::testing::ValuesIn(kFormats),
                         [](const ::testing::TestParamInfo<Format>& info) { return std::string(info.param.name); });

} // namespace
