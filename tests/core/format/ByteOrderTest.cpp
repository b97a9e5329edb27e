#include "format/ByteOrder.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace er;

TEST(ByteOrder, BigEndianIntegersReadTheSameOnEveryHost)
{
    const unsigned char ffff[] = {0xFF, 0xFF};
    const unsigned char w492[] = {0x01, 0xEC};
    const unsigned char d492[] = {0x00, 0x00, 0x01, 0xEC};
    const unsigned char q[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08};
    EXPECT_EQ(GetTwoByteValue(ffff, 1), -1);
    EXPECT_EQ(GetTwoByteValue(w492, 1), 492);
    EXPECT_EQ(GetDWordValue(d492, 1), 492u);
    EXPECT_EQ(GetDDWordValue(q, 1), 0x0102030405060708ull);
    EXPECT_EQ(GetWordValueForEight(q, 1), 0x0102030405060708ull);
    EXPECT_EQ(GetDWordValue(nullptr, 1), 0u);
    EXPECT_EQ(GetTwoByteValue(nullptr, 1), 0);

    // Any other byte-order argument means "stored in host order".
    quint32 host = 0x11223344;
    EXPECT_EQ(GetDWordValue(reinterpret_cast<const unsigned char*>(&host), 0), 0x11223344u);
    quint64 host64 = 0x1122334455667788ull;
    EXPECT_EQ(GetDDWordValue(reinterpret_cast<const unsigned char*>(&host64), 0), host64);
    EXPECT_EQ(GetWordValueForEight(reinterpret_cast<const unsigned char*>(&host64), 0), host64);
}

TEST(ByteOrder, ChangeValuetoMotorolaReversesOnlyWhenOrdersDiffer)
{
    unsigned char s[] = "ABCD";
    ChangeValuetoMotorola(s, 1);
    EXPECT_STREQ(reinterpret_cast<char*>(s), hostIsBigEndian() ? "ABCD" : "DCBA");
    unsigned char t[] = "ABCD";
    ChangeValuetoMotorola(t, 0);
    EXPECT_STREQ(reinterpret_cast<char*>(t), "ABCD");
    unsigned char one[] = "A";
    ChangeValuetoMotorola(one, 1);
    EXPECT_STREQ(reinterpret_cast<char*>(one), "A");
}

TEST(ByteOrder, PairSwapStopsAt255AndNeverPassesTheBuffer)
{
    unsigned char buf[300];
    for (int i = 0; i < 300; ++i)
        buf[i] = static_cast<unsigned char>(i);
    GetUnicodeStringForPowerPC(buf, 300);
    EXPECT_EQ(buf[0], 1);
    EXPECT_EQ(buf[1], 0);
    EXPECT_EQ(buf[254], 255); // the last pair is 254/255
    EXPECT_EQ(buf[255], 254);
    EXPECT_EQ(buf[256], 256 % 256);
    EXPECT_EQ(buf[257], 257 % 256);

    // An odd length leaves the last byte alone instead of reading past it.
    unsigned char odd[4] = {'a', 'b', 'c', 'X'};
    GetUnicodeStringForPowerPC(odd, 3);
    EXPECT_EQ(odd[0], 'b');
    EXPECT_EQ(odd[1], 'a');
    EXPECT_EQ(odd[2], 'c');
    EXPECT_EQ(odd[3], 'X');
    GetUnicodeStringForPowerPC(odd, 0);
    GetUnicodeStringForPowerPC(nullptr, 10);
}

TEST(ByteOrder, NonUnicodeStringIsTheUtf8OfTheText)
{
    const unsigned char inbox[] = {0, 'I', 0, 'n', 0, 'b', 0, 'o', 0, 'x'};
    EXPECT_EQ(GetNonUnicodeString(inbox, 10), QByteArray("Inbox"));
    const unsigned char zeros[10] = {};
    const QByteArray empty = GetNonUnicodeString(zeros, 10);
    EXPECT_TRUE(empty.isEmpty());
    EXPECT_FALSE(empty.isNull());
    EXPECT_TRUE(GetNonUnicodeString(nullptr, 4).isNull());
    // Non-ASCII text survives instead of losing its high bytes.
    const unsigned char accented[] = {0x00, 0xE9, 0x4E, 0x2D};
    EXPECT_EQ(QString::fromUtf8(GetNonUnicodeString(accented, 4)), QString::fromUtf8("\xC3\xA9\xE4\xB8\xAD"));
}

TEST(ByteOrder, HexAndBase32Digits)
{
    EXPECT_EQ(Bytes2Hex(0x0F), QByteArray("0F"));
    EXPECT_EQ(Bytes2Hex(0xA0), QByteArray("A0"));

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
