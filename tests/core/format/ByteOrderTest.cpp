#include "format/ByteOrder.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace er;

TEST(ByteOrder, BigEndianIntegers)
{
    const unsigned char d492[] = {0x00, 0x00, 0x01, 0xEC};
    const unsigned char high[] = {0xFE, 0xDC, 0xBA, 0x98};
    EXPECT_EQ(bigEndianU32(d492), 492u);
    EXPECT_EQ(bigEndianU32(high), 0xFEDCBA98u);
    EXPECT_EQ(bigEndianU32(nullptr), 0u);
}

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

TEST(ByteOrder, HexAndBase32Digits)
{
    EXPECT_EQ(hexDigits(0x0F), QByteArray("0F"));
    EXPECT_EQ(hexDigits(0xA0), QByteArray("A0"));

    auto d = [](unsigned long long v) {
        QString s;
        dtoh(v, &s);
        return s;
    };
    EXPECT_EQ(d(0), QString(13, QLatin1Char('A')));
    EXPECT_EQ(d(31), QString(12, QLatin1Char('A')) + QLatin1Char('5'));
    EXPECT_TRUE(d(3).endsWith(QLatin1Char('E')));
    EXPECT_TRUE(d(4).endsWith(QLatin1Char('D')));
    EXPECT_TRUE(d(5).endsWith(QLatin1Char('F')));
    EXPECT_TRUE(d(26).endsWith(QLatin1Char('0')));
    EXPECT_EQ(d(32), QString(11, QLatin1Char('A')) + QStringLiteral("BA"));
    // 64 bits need the thirteenth digit: the top four bits land in it.
    EXPECT_EQ(d(~0ull), QStringLiteral("P555555555555"));
    QString appended = QStringLiteral("x");
    dtoh(1, &appended);
    EXPECT_EQ(appended.size(), 14);
}

TEST(ByteOrder, GuidFileNameReversesBothHalves)
{
    EXPECT_EQ(guidFileName(QByteArray()), QString(26, QLatin1Char('A')));

    QByteArray guid(16, '\0');
    guid[0] = 1;  // least significant byte of the first half
    guid[8] = 31; // least significant byte of the second half
    const QString name = guidFileName(guid);
    ASSERT_EQ(name.size(), 26);
    EXPECT_EQ(name.left(13), QStringLiteral("B") + QString(12, QLatin1Char('A')));
    EXPECT_EQ(name.mid(13), QStringLiteral("5") + QString(12, QLatin1Char('A')));

    // Missing bytes count as zero: a short GUID names like its zero-padded form.
    EXPECT_EQ(guidFileName(guid.left(9)), name);
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
