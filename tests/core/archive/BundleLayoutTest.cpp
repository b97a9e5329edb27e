// Output files and bundle removal: a failed write is counted, creating a
// file never empties it, and removing a bundle never follows a link out of
// it. The bundle's layout is in the golden files.

#include "../TestFiles.h"
#include "archive/BundleLayout.h"
#include "output/OutputFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/xattr.h>

using namespace er;

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
