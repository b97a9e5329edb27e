// The portable calendar file in every zone: Office 2008 wall-clock times stay
// as stored (also inside a daylight-saving gap of the host's zone), Office
// 2004 UTC times stay in UTC, and an Office 2004 all-day event keeps its day
// whether its date falls in the host's summer or winter time.

#include "PimBlocks.h"

#include "calendar/PortableICalendar.h"
#include "archive/PortableExport.h"
#include "archive/BlockScanner.h"
#include "format/BlockView.h"

#include <QTimeZone>

#include <gtest/gtest.h>

using namespace er;
using namespace testdb;

namespace {

QByteArray fileOf(bool office2004, const QList<QList<Property>>& events)
{
    ScanState state;
    state.office2004 = office2004;
    for (const QList<Property>& props : events)
        decodeBlock(state, BlockTag::CLRC, BlockView::whole(eventBlock(props)));
    return calendarICalendarFile(state);
}

// The calendar stamp of a local midnight of the host, as Office 2004 stores it.
quint32 storedLocalMidnight(const QDate& day)
{
    const QDateTime utc = QDateTime(day, QTime(0, 0), Qt::LocalTime).toUTC();
    return calendarStamp(utc.date().year(), utc.date().month(), utc.date().day(), utc.time().hour(),
                         utc.time().minute());
}

} // namespace

TEST(PortableCalendarInZone, TimesDoNotFollowTheHostZone)
{
    const QByteArray zoneId = qgetenv("ER_EXPECTED_TZ");
    ASSERT_FALSE(zoneId.isEmpty()) << "run through ctest, which sets TZ and ER_EXPECTED_TZ";
    ASSERT_EQ(QTimeZone::systemTimeZoneId(), zoneId) << "the time zone did not take effect";

    const QByteArray wallClock = fileOf(
        false, {{prop(kEventStartTag, calendarTime(calendarStamp(2008, 3, 30, 2, 30))),
                 prop(kEventEndTag, calendarTime(calendarStamp(2008, 3, 30, 3, 30)))},
                {prop(kEventAllDayTag, QByteArray(1, '\1')),
                 prop(kEventStartTag, calendarTime(calendarStamp(2008, 10, 26)))}});
    EXPECT_TRUE(wallClock.contains("\r\nDTSTART:20080330T023000\r\nDTEND:20080330T033000\r\n"))
        << wallClock.constData();
    EXPECT_TRUE(wallClock.contains("\r\nDTSTART;VALUE=DATE:20081026\r\nDTEND;VALUE=DATE:20081027\r\n"));

    const QByteArray utc = fileOf(true, {{prop(kEventStart2004Tag, be32(calendarStamp(2004, 3, 1, 3, 0)))}});
    EXPECT_TRUE(utc.contains("\r\nDTSTART:20040301T030000Z\r\n")) << utc.constData();

    for (const QDate& day : {QDate(2004, 1, 12), QDate(2004, 7, 12)}) {
        const QByteArray allDay = fileOf(true, {{prop(kEventAllDayTag, QByteArray(1, '\1')),
                                                 prop(kEventStart2004Tag, be32(storedLocalMidnight(day)))}});
        EXPECT_TRUE(allDay.contains("\r\nDTSTART;VALUE=DATE:" + day.toString("yyyyMMdd").toLatin1() + "\r\n"))
            << allDay.constData();
    }
}
