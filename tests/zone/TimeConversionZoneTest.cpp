// The stamps hold wall-clock times: they must convert to the same date and
// time whatever the host's zone, including times that fall into a
// daylight-saving gap of that zone. CTest runs this binary once per zone.

#include "DatabaseBuilder.h"
#include "PimBlocks.h"

#include "format/TimeConversion.h"

#include <QLocale>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <ostream>

// Readable failure messages.
void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace {

class ZoneTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const QByteArray expected = qgetenv("ER_EXPECTED_TZ");
        ASSERT_FALSE(expected.isEmpty()) << "ER_EXPECTED_TZ is not set: run these tests through ctest, which "
                                            "sets TZ and ER_EXPECTED_TZ for each zone";
        ASSERT_EQ(QTimeZone::systemTimeZoneId(), expected)
            << "the time zone " << expected.constData() << " did not take effect (TZ=" << qgetenv("TZ").constData()
            << ")";
    }
};

QString wallClock(const QDateTime& dt)
{
    return dt.date().toString(Qt::ISODate) + QLatin1Char(' ') + dt.time().toString(Qt::ISODate);
}

// 2008-03-30 02:30:00 does not exist in Europe/Berlin (clocks jump 02:00 to
// 03:00); a stored time there must still come back as stored.
const quint32 kBerlinGapMacStamp = testdb::macStamp(2008, 3, 30, 2, 30, 0);

} // namespace

TEST_F(ZoneTest, MacStampsBreakDownByPlainArithmetic)
{
    const struct {
        quint32 stamp;
        const char* digits;
    } cases[] = {
        {0, "19040101000000"},
        {5097600, "19040229000000"},         // 1904 is a leap year
        {126230400, "19080101000000"},       // second four-year cycle
        {3000000000u, "19990124052000"},
        {4294967295u, "20400206062815"},     // the largest stamp
        {126230399, "19071231235959"},       // last second of a cycle's fourth year
        {testdb::macStamp(2007, 12, 31, 12), "20071231120000"},
        {kBerlinGapMacStamp, "20080330023000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stamp);
        EXPECT_EQ(er::macStampDigits(c.stamp), QString::fromLatin1(c.digits));
        const QDateTime dt = er::macStampToDateTime(c.stamp);
        ASSERT_TRUE(dt.isValid());
        EXPECT_EQ(dt.toString(QStringLiteral("yyyyMMddhhmmss")), QString::fromLatin1(c.digits));
    }
}

TEST_F(ZoneTest, GetTimeMatchesTheGregorianCalendarOverTheWholeRange)
{
    const QDateTime epoch(QDate(1904, 1, 1), QTime(0, 0), Qt::UTC);
    for (quint64 stamp = 0; stamp <= 0xFFFFFFFFu; stamp += 9999991) {
        er::BrokenDownTime t;
        t.wDayOfWeek = 7;
        t.wMilliseconds = 999;
        er::breakDownMacStamp(&t, stamp);
        const QDateTime expected = epoch.addSecs(qint64(stamp));
        ASSERT_EQ(QDate(t.wYear, t.wMonth, t.wDay), expected.date()) << stamp;
        ASSERT_EQ(QTime(t.wHour, t.wMinute, t.wSecond), expected.time()) << stamp;
        ASSERT_EQ(t.wDayOfWeek, 7) << "left as the caller had it";
        ASSERT_EQ(t.wMilliseconds, 999);
    }
}

TEST_F(ZoneTest, CalendarStampsCountMinutesFrom1601)
{
    EXPECT_EQ(wallClock(er::calendarStampToDateTime(0)), "1601-01-01 00:00:00");
    EXPECT_EQ(wallClock(er::calendarStampToDateTime(1440)), "1601-01-02 00:00:00");
    EXPECT_EQ(wallClock(er::calendarStampToDateTime(testdb::calendarStamp(2008, 3, 30, 2, 30))),
              "2008-03-30 02:30:00");
    EXPECT_EQ(wallClock(er::calendarStampToDateTime(testdb::calendarStamp(1893, 4, 1, 0, 5))), "1893-04-01 00:05:00");
    EXPECT_TRUE(er::calendarStampToDateTime(0xFFFFFFFFu).isValid());
}

TEST_F(ZoneTest, PreviewFormatShowsTheStoredWallClock)
{
    const QString jan = QLocale::system().monthName(1, QLocale::ShortFormat);
    const QString mar = QLocale::system().monthName(3, QLocale::ShortFormat);
    EXPECT_EQ(er::previewDateText(er::calendarStampToDateTime(0)), "1601," + jan + ",01, 00:00:00");
    EXPECT_EQ(er::previewDateText(er::macStampToDateTime(kBerlinGapMacStamp)), "2008," + mar + ",30, 02:30:00");
    EXPECT_EQ(er::previewDateText(er::macStampToDateTime(3000000000u)),
              "1999," + QLocale::system().monthName(1, QLocale::ShortFormat) + ",24, 05:20:00");
}

TEST_F(ZoneTest, GetDateAcceptsTheFourCompactForms)
{
    EXPECT_EQ(wallClock(er::getDate("200805071230.45")), "2008-05-07 12:30:45");
    EXPECT_EQ(wallClock(er::getDate("200805071230")), "2008-05-07 12:30:00");
    EXPECT_EQ(wallClock(er::getDate("0805071230.45")), "2008-05-07 12:30:45");
    EXPECT_EQ(wallClock(er::getDate("9912312359")), "1999-12-31 23:59:00");
    EXPECT_EQ(wallClock(er::getDate("200803300230")), "2008-03-30 02:30:00");

    for (const char* rejected : {"2008", "", "20080507123045", "200805071230:45", "2008O5071230", "200813071230",
                                 "200802301230", "200805072460", "0805071230.4x", "now"}) {
        SCOPED_TRACE(rejected);
        EXPECT_FALSE(er::getDate(rejected).isValid());
    }
    EXPECT_FALSE(er::getDate(nullptr).isValid());
}

TEST_F(ZoneTest, GetDateNowIsTheCurrentTime)
{
    for (const char* now : {"-now", "-NOW", "-Now"}) {
        const QDateTime got = er::getDate(now);
        ASSERT_TRUE(got.isValid()) << now;
        EXPECT_LE(qAbs(got.secsTo(QDateTime::currentDateTime())), 5) << now;
    }
}
