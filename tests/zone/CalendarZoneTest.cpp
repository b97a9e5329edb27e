// Event times in every host zone (CTest runs this binary once per zone).
// Office 2008 times are wall-clock times: they stay as stored, even inside a
// daylight-saving gap of the host's zone, and those of a named zone carry its
// TZID and its definition from the zone database. Office 2004 times are stored in UTC:
// the bundle's files move them by the host's current offset, the portable
// file keeps them in UTC, and an all-day event keeps its day whether it falls
// in the host's summer or winter time. What depends on no zone is tested in
// core_tests (tests/core/contacts/PimOutputTest.cpp).

#include "PimBlocks.h"

#include "archive/BlockScanner.h"
#include "archive/BundleLayout.h"
#include "archive/PortableExport.h"
#include "calendar/CalendarExport.h"
#include "calendar/CalendarPreview.h"
#include "format/BlockView.h"
#include "format/ByteOrder.h"
#include "format/Clock.h"
#include "format/TimeConversion.h"
#include "output/ItemFiles.h"

#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

using namespace er;
using namespace testdb;

namespace {

class CalendarInZone : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(zoneId.isEmpty()) << "run through ctest, which sets TZ and ER_EXPECTED_TZ";
        ASSERT_EQ(QTimeZone::systemTimeZoneId(), zoneId) << "the time zone did not take effect";
    }
    void TearDown() override { pinCurrentDateTime(QDateTime()); }
    const QByteArray zoneId = qgetenv("ER_EXPECTED_TZ");
};

void addEvents(ScanState& state, bool office2004, const QList<QList<Property>>& events)
{
    state.office2004 = office2004;
    for (const QList<Property>& props : events)
        decodeBlock(state, BlockTag::CLRC, BlockView::whole(eventBlock(props)));
}

QByteArray calendarOf(bool office2004, const QList<QList<Property>>& events)
{
    ScanState state;
    addEvents(state, office2004, events);
    return calendarICalendarFile(state);
}

// The file writeEventFiles writes for the one event of `props`.
QByteArray savedEvent(bool office2004, const QList<Property>& props)
{
    ScanState state;
    addEvents(state, office2004, {props + QList<Property>{prop(kEventGuidTag, guidBytes(0x40))}});
    QTemporaryDir dir;
    const QString calendar = bundlePath(dir.path()) + QStringLiteral("/Calendar");
    EXPECT_TRUE(QDir().mkpath(calendar));
    SaveContext context(dir.path());
    context.office2004 = office2004;
    writeEventFiles(state.events, context);
    EXPECT_EQ(context.failures.count(), 0);
    QFile f(calendar + QLatin1Char('/') + guidFileName(guidBytes(0x40)));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    return f.readAll();
}

Property at(quint32 tag, int y, int mo, int d, int h = 0, int mi = 0)
{
    return prop(tag, calendarTime(calendarStamp(y, mo, d, h, mi)));
}

const Property kAllDay = prop(kEventAllDayTag, QByteArray(1, '\1'));

} // namespace

TEST_F(CalendarInZone, BundleFilesStateTheHostOffsetAndMoveOnlyUtcTimes)
{
    // The host's offset on a winter day, pinned so that no change of the
    // clocks while the test runs can move it.
    pinCurrentDateTime(QDateTime(QDate(2008, 12, 31), QTime(12, 0), Qt::UTC));
    const QByteArray offset = zoneId == "UTC" ? "+0000" : zoneId == "Asia/Kolkata" ? "+0530" : "+0100";
    const QByteArray start2004 = zoneId == "UTC" ? "20081231T200000" : zoneId == "Asia/Kolkata" ? "20090101T013000" : "20081231T210000";
    const QByteArray offsetLines = "\r\nTZOFFSETFROM:" + offset + "\r\nTZOFFSETTO:" + offset + "\r\n";

    const QByteArray file2008 = savedEvent(false, {at(kEventStartTag, 2008, 3, 30, 2, 30), at(kEventEndTag, 2008, 3, 30, 3, 0),
                                                   prop(kEventTimeZoneTag, timeZone2008(4, "Europe/Berlin", "Berlin"))});
    EXPECT_TRUE(file2008.contains(offsetLines)) << file2008.constData();
    EXPECT_TRUE(file2008.contains("\r\nDTSTART;TZID=\"Berlin\":20080330T023000\r\nDTEND;TZID=\"Berlin\":20080330T030000\r\n"));

    const QByteArray file2004 = savedEvent(true, {prop(kEventStart2004Tag, be32(calendarStamp(2008, 12, 31, 20, 0))),
                                                  prop(kEventTimeZoneTag, timeZone2004(4, "Berlin"))});
    EXPECT_TRUE(file2004.contains(offsetLines));
    EXPECT_TRUE(file2004.contains("\r\nDTSTART;TZID=\"Berlin\":" + start2004 + "\r\n")) << file2004.constData();

    // The preview, too, shows a time in Berlin's gap as stored.
    EXPECT_EQ(previewDateText(calendarStampToDateTime(calendarStamp(2008, 3, 30, 2, 30))).right(8), "02:30:00");
}

TEST_F(CalendarInZone, PortableTimesDoNotFollowTheHostZone)
{
    // Floating, in a zone, all-day; the zone's definition from the zone database, not the host's.
    const QByteArray wallClock = calendarOf(
        false, {{at(kEventStartTag, 2008, 3, 30, 2, 30), at(kEventEndTag, 2008, 3, 30, 3, 30)},
                {at(kEventStartTag, 2008, 10, 26, 1, 30), prop(kEventTimeZoneTag, timeZone2008(1, "", "W. Europe"))},
                {kAllDay, at(kEventStartTag, 2008, 10, 26)}});
    EXPECT_TRUE(wallClock.contains("\r\nDTSTART:20080330T023000\r\nDTEND:20080330T033000\r\n")) << wallClock.constData();
    EXPECT_TRUE(wallClock.contains("\r\nDTSTART;TZID=Europe/Berlin:20081026T013000\r\n"));
    EXPECT_TRUE(wallClock.contains("\r\nDTSTART:20071028T030000\r\nTZOFFSETFROM:+0200\r\nTZOFFSETTO:+0100\r\n"));
    EXPECT_TRUE(wallClock.contains("\r\nDTSTART;VALUE=DATE:20081026\r\nDTEND;VALUE=DATE:20081027\r\n"));

    const QByteArray utc = calendarOf(true, {{prop(kEventStart2004Tag, be32(calendarStamp(2004, 3, 1, 3, 0)))}});
    EXPECT_TRUE(utc.contains("\r\nDTSTART:20040301T030000Z\r\n")) << utc.constData();

    // Local midnight in winter and in summer, stored in UTC as Office 2004 does.
    for (const QDate& day : {QDate(2004, 1, 12), QDate(2004, 7, 12)}) {
        const QDateTime midnight = QDateTime(day, QTime(0, 0), Qt::LocalTime).toUTC();
        const quint32 stored = calendarStamp(midnight.date().year(), midnight.date().month(), midnight.date().day(),
                                             midnight.time().hour(), midnight.time().minute());
        const QByteArray allDay = calendarOf(true, {{kAllDay, prop(kEventStart2004Tag, be32(stored))}});
        EXPECT_TRUE(allDay.contains("\r\nDTSTART;VALUE=DATE:" + day.toString("yyyyMMdd").toLatin1() + "\r\n")) << allDay.constData();
    }
}
