// Mac stamps (seconds from 1904) and calendar stamps (minutes from 1601) are
// wall-clock times broken down by plain arithmetic.

#include "PimBlocks.h"

#include "format/TimeConversion.h"

#include <gtest/gtest.h>

TEST(TimeConversion, StampsBreakDownOverTheWholeRange)
{
    // A sweep over the range, with the first and last days of a leap year
    // (1904), the last second of a four-year cycle and the largest stamp.
    QList<quint64> stamps = {0, 5097600, 31536000 + 86400, 126230399, 126230400, 0xFFFFFFFFu};
    for (quint64 stamp = 0; stamp <= 0xFFFFFFFFu; stamp += 9999991)
        stamps << stamp;
    const QDateTime epoch(QDate(1904, 1, 1), QTime(0, 0), Qt::UTC);
    for (const quint64 stamp : stamps) {
        const QDateTime expected = epoch.addSecs(qint64(stamp));
        ASSERT_EQ(er::macStampDigits(quint32(stamp)), expected.toString(QStringLiteral("yyyyMMddhhmmss"))) << stamp;
        ASSERT_EQ(er::macStampToDateTime(quint32(stamp)), expected) << stamp;
        er::BrokenDownTime t;
        t.wDayOfWeek = 7;
        er::breakDownMacStamp(&t, stamp);
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
