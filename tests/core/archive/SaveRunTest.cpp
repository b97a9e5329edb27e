#include "../ScanTestSupport.h"

#include "SampleDatabase.h"
#include "archive/BundleLayout.h"
#include "archive/SaveRun.h"
#include "archive/FolderTree.h"

using namespace er;

// One folder that cannot be written fails alone: the other writers still run
// in their order, and the failure names its path.
TEST(SaveRun, OneUnwritableFolderFailsAloneAndIsReported)
{
    QTemporaryDir database, target;
    const QString path = database.filePath(QStringLiteral("Database"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(testdb::buildSampleDatabase());
    f.close();
    ScanState state;
    ASSERT_EQ(scanDatabase(path, state).kind, ScanOutcome::Completed);
    const FolderTreeModel tree = buildFolderTree(state);
    // A regular file where the Inbox's directory belongs.
    QString inboxPath;
    for (const FolderPath& info : folderPathList(tree))
        if (info.folderId == 1)
            inboxPath = target.path() + info.path;
    ASSERT_FALSE(inboxPath.isEmpty());
    ASSERT_TRUE(QDir().mkpath(QFileInfo(inboxPath).path()));
    QFile blocker(inboxPath);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    QStringList statuses;
    SaveHooks hooks;
    hooks.status = [&](const QString& text) {
        if (statuses.isEmpty() || statuses.last() != text)
            statuses << text;
    };
    const SaveResult result = saveBundle(state, tree, target.path(), hooks);
    EXPECT_FALSE(result.succeeded());
    EXPECT_FALSE(result.stopped);
    ASSERT_FALSE(result.firstFailures.isEmpty());
    EXPECT_TRUE(result.firstFailures.first().startsWith(inboxPath)) << result.firstFailures.first().toStdString();
    EXPECT_EQ(statuses, QStringList({QStringLiteral("Saving Mail Folders..."), QStringLiteral("Saving Note Items..."),
                                     QStringLiteral("Saving Task Items..."), QStringLiteral("Saving Calendar Items..."),
                                     QStringLiteral("Saving Contacts Items...")}));
    EXPECT_TRUE(QFileInfo::exists(bundlePath(target.path()) + QStringLiteral("/Archive.xml")));
}
