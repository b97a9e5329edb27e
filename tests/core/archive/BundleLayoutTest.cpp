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

// Appending keeps what the file held and adds the bytes exactly, whatever the
// file's size before (large pieces go out page-aligned, the rest around them
// the ordinary way) and whatever the sizes of the writes.
TEST(OutputFile, AppendingAddsEveryByteAfterWhatWasThere)
{
    constexpr qint64 piece = AppendFile::kPieceSize;
    struct Case {
        int existing;
        qint64 size;
        int chunk;
    };
    const Case cases[] = {
        {0, 2 * piece + 77, 1000},                            // whole pieces, a small rest
        {1000, 2 * piece + AppendFile::kDirectMinimum + 5, 7}, // unaligned start, a large rest
        {4096, piece + 10000, 4096},                          // aligned start, rest below the minimum
        {5000, 3 * piece + 1, int(3 * piece + 1)},            // one write of several pieces
        {0, 3000, 300},                                       // a small file
    };
    QByteArray text;
    for (qint64 i = 0; i < 3 * piece + AppendFile::kDirectMinimum; ++i)
        text.append(char('a' + (i * 7 + i / 4093) % 26));

    QTemporaryDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.existing << " then " << c.size << " in " << c.chunk);
        const QString path = dir.filePath(QStringLiteral("Inbox-%1-%2.mbox").arg(c.existing).arg(c.size));
        const QByteArray before(c.existing, 'E');
        ertest::writeFile(path, before);
        SaveFailures failures;
        {
            AppendFile file(path, failures);
            for (qint64 at = 0; at < c.size; at += c.chunk)
                ASSERT_TRUE(file.write(text.constData() + at, qMin<qint64>(c.chunk, c.size - at)));
            EXPECT_TRUE(file.close());
        }
        const QByteArray after = ertest::readFile(path);
        ASSERT_EQ(after.size(), c.existing + c.size);
        EXPECT_TRUE(after.startsWith(before));
        EXPECT_TRUE(after.mid(c.existing) == text.left(int(c.size)));
        EXPECT_EQ(failures.count(), 0);
    }

    // Where direct writes are not made (here a device, not a disk file
    // system), ordinary ones write everything.
    SaveFailures failures;
    AppendFile sink(QStringLiteral("/dev/null"), failures);
    EXPECT_TRUE(sink.write(text));
    EXPECT_TRUE(sink.close());
    EXPECT_EQ(failures.count(), 0);
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
