// Text helpers of the format layer; GUID file names are in the golden files.

#include "format/ByteOrder.h"

#include <gtest/gtest.h>

using namespace er;

TEST(ByteOrder, NonUnicodeStringIsTheUtf8OfTheText)
{
    const unsigned char inbox[] = {0, 'I', 0, 'n', 0, 'b', 0, 'o', 0, 'x'};
    EXPECT_EQ(utf16BEToUtf8(inbox, 10), QByteArray("Inbox"));
    const unsigned char zeros[10] = {};
    const QByteArray empty = utf16BEToUtf8(zeros, 10);
    EXPECT_TRUE(empty.isEmpty());
    EXPECT_FALSE(empty.isNull());
    EXPECT_TRUE(utf16BEToUtf8(nullptr, 4).isNull());
    // Non-ASCII text survives instead of losing its high bytes.
    const unsigned char accented[] = {0x00, 0xE9, 0x4E, 0x2D};
    EXPECT_EQ(QString::fromUtf8(utf16BEToUtf8(accented, 4)), QString::fromUtf8("\xC3\xA9\xE4\xB8\xAD"));
}

TEST(ByteOrder, TextHelpers)
{
    const unsigned char be[] = {0x00, 'H', 0x00, 'i', 0x00};
    EXPECT_EQ(decodeUtf16BE(be, 5), QStringLiteral("Hi")); // odd byte dropped
    EXPECT_TRUE(decodeUtf16BE(be, 1).isEmpty());
    EXPECT_EQ(cutAtNul(QString::fromUtf16(u"ab\0cd", 5)), QStringLiteral("ab"));
    EXPECT_EQ(cutAtNul(QByteArray("ab\0cd", 5)), QByteArray("ab"));
    const QString clef = QString::fromUtf8("a\xF0\x9D\x84\x9E"); // a + one surrogate pair
    EXPECT_EQ(truncateUtf16(clef, 2), QStringLiteral("a"));
    EXPECT_EQ(truncateUtf16(clef, 3), clef);
}
