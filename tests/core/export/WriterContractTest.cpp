// The contract every writer of recovered items keeps, whatever it writes: a
// stopped or signalled run leaves its target folder as it was, and a run
// that cannot write says so, with the count and the first failing paths.
// A new writer joins by one line in the table at the end.

#include "SampleDatabase.h"
#include "export/BundleLayout.h"
#include "export/PortableExport.h"
#include "export/SaveRun.h"
#include "export/StopSignals.h"
#include "scan/BlockScanner.h"
#include "scan/FolderTree.h"

#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>

using namespace er;

namespace {

struct Outcome {
    bool stopped = false;
    int failureCount = 0;
    QStringList firstFailures;
};

struct Hooks {
    std::function<void()> progress;
    std::atomic<bool>* stop = nullptr;
};

// Runs a writer with its own hooks type and reads its own result type.
template <typename WriterHooks, typename Run>
Outcome runWith(const Hooks& h, Run run)
{
    WriterHooks hooks;
    hooks.progress = h.progress;
    hooks.stop = h.stop;
    const auto r = run(hooks);
    return {r.stopped, r.failureCount, r.firstFailures};
}

struct Writer {
    const char* name;
    // The path the run writes, below the target folder it is given.
    QString (*output)(const QString& target);
    Outcome (*run)(const ScanState&, const FolderTreeModel&, const QString& output, const Hooks&);
};

void PrintTo(const Writer& writer, std::ostream* out) { *out << writer.name; }

const Writer kWriters[] = {
    {"Bundle", [](const QString& target) { return bundlePath(target); },
     [](const ScanState& s, const FolderTreeModel& t, const QString& output, const Hooks& h) {
         return runWith<SaveHooks>(h, [&](const SaveHooks& hooks) {
             return saveBundle(s, t, QFileInfo(output).path(), hooks);
         });
     }},
    {"PortableExport", [](const QString& target) { return target + QStringLiteral("/Export"); },
     [](const ScanState& s, const FolderTreeModel& t, const QString& output, const Hooks& h) {
         return runWith<PortableHooks>(h, [&](const PortableHooks& hooks) { return exportPortable(s, t, output, hooks); });
     }},
};

// Every entry below a folder with its bytes (directories map to "/").
QMap<QString, QByteArray> snapshot(const QString& root)
{
    QMap<QString, QByteArray> entries;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile f(path);
        entries.insert(path.mid(root.size()),
                       it.fileInfo().isDir() ? QByteArray("/") : (f.open(QIODevice::ReadOnly) ? f.readAll() : "?"));
    }
    return entries;
}

class WriterContract : public ::testing::TestWithParam<Writer> {
protected:
    void SetUp() override
    {
        const QString path = m_database.filePath(QStringLiteral("Database"));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(testdb::buildSampleDatabase());
        f.close();
        ASSERT_EQ(scanDatabase(path, m_state).kind, ScanOutcome::Completed);
        m_tree = buildFolderTree(m_state);
        // A folder the user keeps other files in.
        QFile foreign(m_target.filePath(QStringLiteral("notes of mine.txt")));
        ASSERT_TRUE(foreign.open(QIODevice::WriteOnly));
        foreign.write("not ours\n");
    }

    Outcome run(const Hooks& hooks = {}) { return GetParam().run(m_state, m_tree, output(), hooks); }
    QString output() const { return GetParam().output(m_target.path()); }

    // How many progress ticks a whole run gives.
    int ticksOfAWholeRun()
    {
        QTemporaryDir elsewhere;
        int ticks = 0;
        Hooks hooks;
        hooks.progress = [&] { ++ticks; };
        EXPECT_EQ(GetParam().run(m_state, m_tree, GetParam().output(elsewhere.path()), hooks).failureCount, 0);
        return ticks;
    }

    QTemporaryDir m_database;
    QTemporaryDir m_target;
    ScanState m_state;
    FolderTreeModel m_tree;
};

TEST_P(WriterContract, AStopLeavesTheTargetAsItWas)
{
    const QMap<QString, QByteArray> before = snapshot(m_target.path());
    const int ticks = ticksOfAWholeRun();
    ASSERT_GT(ticks, 2);
    for (const int stopAt : {1, ticks / 2, ticks}) {
        std::atomic<bool> stop{false};
        int tick = 0;
        Hooks hooks;
        hooks.stop = &stop;
        hooks.progress = [&] {
            if (++tick == stopAt)
                stop = true;
        };
        EXPECT_TRUE(run(hooks).stopped) << "stopped at tick " << stopAt;
        EXPECT_EQ(snapshot(m_target.path()), before) << "stopped at tick " << stopAt;
    }
}

// SIGINT and SIGTERM reach the run through the same handler the command line
// installs, raised from inside the run so that they land mid-way.
TEST_P(WriterContract, ASignalLeavesTheTargetAsItWas)
{
    const QMap<QString, QByteArray> before = snapshot(m_target.path());
    for (const int signal : {SIGINT, SIGTERM}) {
        std::atomic<bool> stop{false};
        const StopOnSignals interrupts(stop);
        int tick = 0;
        Hooks hooks;
        hooks.stop = &stop;
        hooks.progress = [&] {
            if (++tick == 3)
                std::raise(signal);
        };
        EXPECT_TRUE(run(hooks).stopped) << "signal " << signal;
        EXPECT_TRUE(interrupts.signalled());
        EXPECT_EQ(snapshot(m_target.path()), before) << "signal " << signal;
    }
}

TEST_P(WriterContract, FailuresAreCountedWithTheirFirstPaths)
{
    // A regular file where the run's output folder belongs.
    QFile blocker(output());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const Outcome outcome = run();
    EXPECT_FALSE(outcome.stopped);
    EXPECT_GT(outcome.failureCount, 0);
    ASSERT_FALSE(outcome.firstFailures.isEmpty());
    EXPECT_LE(outcome.firstFailures.size(), outcome.failureCount);
    EXPECT_TRUE(outcome.firstFailures.first().startsWith(output())) << outcome.firstFailures.first().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Writers, WriterContract, ::testing::ValuesIn(kWriters),
                         [](const ::testing::TestParamInfo<Writer>& info) { return std::string(info.param.name); });

} // namespace
