// Mac stamps (seconds from 1904) and calendar stamps (minutes from 1601) are
// wall-clock times broken down by plain arithmetic.

#include "PimBlocks.h"

#include "format/TimeConversion.h"

#include <gtest/gtest.h>

TEST(TimeConversion, StampsBreakDownOverTheWholeRange)
{
    const struct {
        quint32 stamp;
        const char* digits;
    } cases[] = {
        {0, "19040101000000"},           {5097600, "19040229000000"},    // 1904 is a leap year
        {31536000 + 86400, "19050101000000"}, {126230399, "19071231235959"}, // the last second of a cycle
        {126230400, "19080101000000"},   {3000000000u, "19990124052000"},
        {4294967295u, "20400206062815"}, // the largest stamp
    };
    for (const auto& c : cases) {
        EXPECT_EQ(er::macStampDigits(c.stamp), QString::fromLatin1(c.digits)) << c.stamp;
        EXPECT_EQ(er::macStampToDateTime(c.stamp).toString(QStringLiteral("yyyyMMddhhmmss")), QString::fromLatin1(c.digits));
    }
    const QDateTime epoch(QDate(1904, 1, 1), QTime(0, 0), Qt::UTC);
    for (quint64 stamp = 0; stamp <= 0xFFFFFFFFu; stamp += 9999991) {
        er::BrokenDownTime t;
        t.wDayOfWeek = 7;
        er::breakDownMacStamp(&t, stamp);
        const QDateTime expected = epoch.addSecs(qint64(stamp));
        ASSERT_EQ(QDate(t.wYear, t.wMonth, t.wDay), expected.date()) << stamp;
        ASSERT_EQ(QTime(t.wHour, t.wMinute, t.wSecond), expected.time()) << stamp;
        ASSERT_EQ(t.wDayOfWeek, 7) << "left as the caller had it";
    }

    const std::pair<quint32, const char*> calendar[] = {
        {0, "16010101T000000"}, {1440, "16010102T000000"},
        {testdb::calendarStamp(1893, 4, 1, 0, 5), "18930401T000500"}, {0xFFFFFFFFu, "97670216T041500"}};
    for (const auto& [stamp, text] : calendar)
        EXPECT_EQ(er::dateTimeICalendarText(er::calendarStampToDateTime(stamp)), text) << stamp;
}
