#include "../TestFiles.h"

#include "output/ItemFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace er;

TEST(ItemFiles, TextRules)
{
    QByteArray guid;
    for (int i = 0; i < 16; ++i)
        guid += static_cast<char>(i);
    EXPECT_EQ(dashedUid(guid), QByteArray("00010203-0405-0607-0809-0A0B0C0D0E0F"));
    EXPECT_EQ(dashedUid(QByteArray("\xAB\xCD", 2)), QByteArray("ABCD"));
    EXPECT_EQ(withoutZeroBytes(QByteArray("a\0b\0", 4)), QByteArray("ab"));
    EXPECT_EQ(crAsBackslashN(QByteArray("a\rb\0", 4)), QByteArray("a\\nb"));
}

// Names are never reused within a save, nor is a file already on disk; a
// name taken after it was claimed, by a file or by a dangling link, is a
// failure: nothing is written over the file or through the link.
TEST(ItemFiles, NamesAreNeverReusedAndWhatAppearsAtOneIsLeftAlone)
{
    QTemporaryDir dir;
    SaveContext context(dir.path());
    const QString a = itemFilePath(context, dir.path(), std::nullopt);
    const QString b = itemFilePath(context, dir.path(), std::nullopt);
    const QString c = itemFilePath(context, dir.path(), QByteArray());
    EXPECT_EQ(a, dir.filePath(QString(26, QLatin1Char('A'))));
    EXPECT_EQ(b, a + QStringLiteral("-2"));
    EXPECT_EQ(c, a + QStringLiteral("-3"));
    ertest::writeFile(a, "theirs");
    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("elsewhere")), b));
    EXPECT_FALSE(writeItemFile(a, "BEGIN:VCARD\r\n", kVCardCodes, context.failures));
    EXPECT_FALSE(writeItemFile(b, "BEGIN:VCARD\r\n", kVCardCodes, context.failures));
    EXPECT_EQ(context.failures.count(), 2);
    EXPECT_EQ(ertest::readFile(a), QByteArray("theirs"));
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("elsewhere"))));

    const QByteArray guid(16, '\x01');
    SaveContext second(dir.path());
    const QString first = itemFilePath(second, dir.path(), guid);
    ASSERT_TRUE(writeItemFile(first, "BEGIN:VCARD\r\n", kVCardCodes, second.failures));
    SaveContext third(dir.path());
    EXPECT_EQ(itemFilePath(third, dir.path(), guid), first + QStringLiteral("-2"));
    EXPECT_EQ(second.failures.count(), 0);
}
