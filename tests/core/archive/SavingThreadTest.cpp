#include "../ScanTestSupport.h"

#include "SampleDatabase.h"
#include "archive/SavingThread.h"
#include "archive/FolderTree.h"

using namespace er;

TEST(SavingThread, RunsTheSaveAndSignalsItsEndOnce)
{
    ertest::ScannedDatabase scanned(testdb::buildSampleDatabase());
    ScanState& state = scanned.state;
    const FolderTreeModel tree = buildFolderTree(state);

    SavingThread thread;
    std::atomic<int> finished{0};
    std::atomic<int> started{0};
    std::atomic<bool> runningAtFinish{true};
    QObject::connect(&thread, &SavingThread::runFinished, &thread, [&] {
        runningAtFinish = state.running.load();
        ++finished;
    }, Qt::DirectConnection);
    QObject::connect(&thread, &SavingThread::runStarted, &thread, [&](unsigned int) {
        ++started;
    }, Qt::DirectConnection);

    state.stopFlag = true; // left over from an earlier stop: a new save clears it
    OutputTarget target;
    target.folder = scanned.dir.path();
    target.databasePath = scanned.path;
    thread.startRun(&state, tree, target);
    ASSERT_TRUE(thread.wait(60000));
    EXPECT_EQ(finished.load(), 1);
    EXPECT_EQ(started.load(), 1);
    EXPECT_FALSE(runningAtFinish.load()) << "the running flag is cleared before the end is signalled";
    EXPECT_TRUE(thread.lastResult().succeeded());
    EXPECT_TRUE(QFileInfo::exists(scanned.dir.filePath(QStringLiteral("Main Identity.rge/Archive.xml"))));
}
