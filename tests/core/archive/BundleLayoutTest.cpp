#include "../TestFiles.h"
#include "archive/BundleLayout.h"
#include "output/OutputFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/xattr.h>

using namespace er;

namespace {

FolderTreeModel twoFolderTree(ScanState& state)
{
    for (auto [id, parent, name] : {std::tuple<quint64, quint64, const char*>{7, kNoParentFolder, "Local"},
                                    {1, 7, "Inbox"},
                                    {2, 7, "Inbox"}}) {
        state.mail.folders.emplace_back();
        state.mail.folders.back().folderId = id;
        state.mail.folders.back().parentFolderId = parent;
        state.mail.folders.back().name = QString::fromLatin1(name);
        state.mail.folders.back().nameLength = 10;
    }
    return buildFolderTree(state);
}

} // namespace

TEST(BundleLayout, SkeletonMirrorsTheTree)
{
    QTemporaryDir dir;
    ScanState state;
    const FolderTreeModel tree = twoFolderTree(state);
    SaveFailures failures;
    createBundleSkeleton(tree, dir.path(), failures);
    EXPECT_EQ(failures.count(), 0) << failures.firstFailures().join(QLatin1Char('\n')).toStdString();
    const QString bundle = dir.filePath(QStringLiteral("Main Identity.rge"));
    for (const char* sub : {"Mail", "Mail/Local", "Mail/Local/Inbox", "Contacts", "Calendar", "Tasks", "Notes",
                            "Contents"})
        EXPECT_TRUE(QFileInfo(bundle + QLatin1Char('/') + QLatin1String(sub)).isDir()) << sub;
    EXPECT_EQ(ertest::readFile(bundle + QStringLiteral("/Contents/PkgInfo")), pkgInfoBytes());
    EXPECT_EQ(ertest::readFile(bundle + QStringLiteral("/Contents/Info.plist")), infoPlistBytes());
    EXPECT_EQ(ertest::readFile(bundle + QStringLiteral("/Archive.xml")), archiveXmlBytes());

    const QList<FolderPath> list = folderPathList(tree);
    ASSERT_EQ(list.size(), 5);
    EXPECT_EQ(list[0].path, QStringLiteral("/Main Identity.rge"));
    EXPECT_EQ(list[0].folderId, 0u);
    EXPECT_EQ(list[1].folderId, 4294967294u);
    EXPECT_EQ(list[3].path, QStringLiteral("/Main Identity.rge/Mail/Local/Inbox"));
    EXPECT_EQ(list[4].path, list[3].path) << "sibling folders of one name share a directory";
}

TEST(BundleLayout, WithoutFoldersTheSkeletonIsStillComplete)
{
    QTemporaryDir dir;
    SaveFailures failures;
    createBundleSkeleton(FolderTreeModel(), dir.path(), failures);
    EXPECT_EQ(failures.count(), 0);
    EXPECT_TRUE(QFileInfo(dir.filePath(QStringLiteral("Main Identity.rge/Mail"))).isDir());
    EXPECT_TRUE(QFileInfo(dir.filePath(QStringLiteral("Main Identity.rge/Archive.xml"))).isFile());
}

TEST(BundleLayout, UnwritableTargetIsRecordedNotIgnored)
{
    QTemporaryDir dir;
    // A regular file where the bundle's directory should go.
    QFile blocker(dir.filePath(QStringLiteral("Main Identity.rge")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    SaveFailures failures;
    createBundleSkeleton(FolderTreeModel(), dir.path(), failures);
    EXPECT_GT(failures.count(), 0);
    ASSERT_FALSE(failures.firstFailures().isEmpty());
    EXPECT_TRUE(failures.firstFailures().first().contains(QStringLiteral("Main Identity.rge")));
}

TEST(OutputFile, WriteFailuresAreCountedAndCreationKeepsContents)
{
    SaveFailures failures;
    {
        AppendFile full(QStringLiteral("/dev/full"), failures);
        full.write(QByteArray(64 * 1024, 'x'));
        EXPECT_FALSE(full.close());
    }
    EXPECT_EQ(failures.count(), 1);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Inbox.mbox"));
    EXPECT_TRUE(createWithFinderInfo(path, kMailboxCodes, failures));
    {
        AppendFile file(path, failures);
        file.write("kept");
        EXPECT_TRUE(file.close());
    }
    EXPECT_TRUE(createEmptyFile(path, failures));
    EXPECT_EQ(ertest::readFile(path), QByteArray("kept"));
    EXPECT_EQ(QFile(path).permissions() & (QFileDevice::ExeOwner | QFileDevice::ExeGroup | QFileDevice::ExeOther),
              QFileDevice::Permissions()) << "no execute bits on created files";

    char info[32] = {};
    const ssize_t n = getxattr(QFile::encodeName(path).constData(), "user.com.apple.FinderInfo", info, sizeof info);
    if (n >= 0) { // file systems without extended attributes are fine
        EXPECT_EQ(n, 32);
        EXPECT_EQ(QByteArray(info, 8), QByteArray("MBOXOPIM"));
        EXPECT_EQ(QByteArray(info + 8, 24), QByteArray(24, '\0'));
    }
    EXPECT_EQ(failures.count(), 1);
}

TEST(BundleLayout, RemovalIsLiteralAndNeverFollowsLinks)
{
    QTemporaryDir dir;
    QTemporaryDir outside;
    QFile precious(outside.filePath(QStringLiteral("precious.txt")));
    ASSERT_TRUE(precious.open(QIODevice::WriteOnly));
    precious.write("keep me");
    precious.close();

    const QString bundle = dir.filePath(QStringLiteral("with blanks/Main Identity.rge"));
    ASSERT_TRUE(QDir().mkpath(bundle + QStringLiteral("/Mail/Inbox")));
    ASSERT_TRUE(QFile::link(outside.path(), bundle + QStringLiteral("/Mail/link")));
    EXPECT_TRUE(removeBundle(bundle));
    EXPECT_FALSE(QFileInfo::exists(bundle));
    EXPECT_TRUE(QFileInfo::exists(precious.fileName()));

    // The bundle itself a link: only the link goes.
    const QString linked = dir.filePath(QStringLiteral("Main Identity.rge"));
    ASSERT_TRUE(QFile::link(outside.path(), linked));
    EXPECT_TRUE(removeBundle(linked));
    EXPECT_FALSE(QFileInfo(linked).isSymLink());
    EXPECT_TRUE(QFileInfo::exists(precious.fileName()));
}
