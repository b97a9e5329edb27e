// The event files state the host's current offset from UTC and move Office
// 2004 times (stored in UTC) by it; Office 2008 times are wall-clock times
// and stay as stored, even inside a daylight-saving gap of the host's zone.
// CTest runs this binary once per zone.

#include "PimBlocks.h"

#include "calendar/CalendarExport.h"
#include "archive/BundleLayout.h"
#include "archive/BlockScanner.h"
#include "format/BlockView.h"
#include "format/ByteOrder.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

using namespace er;
using namespace testdb;

namespace {

// The file writeEventFiles writes for the one event of `props`.
QByteArray savedEvent(bool office2004, const QList<Property>& props)
{
    ScanState state;
    state.office2004 = office2004;
    decodeBlock(state, BlockTag::CLRC, BlockView::whole(eventBlock(props)));
    QTemporaryDir dir;
    const QString calendar = bundlePath(dir.path()) + QStringLiteral("/Calendar");
    EXPECT_TRUE(QDir().mkpath(calendar));
    SaveContext context(dir.path());
    context.office2004 = state.office2004;
    writeEventFiles(state.events, context);
    EXPECT_EQ(context.failures.count(), 0);
    QFile f(calendar + QLatin1Char('/') + guidFileName(guidBytes(0x40)));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    return f.readAll();
}

} // namespace

TEST(EventFileInZone, OffsetLinesAndTimes)
{
    const QByteArray zoneId = qgetenv("ER_EXPECTED_TZ");
    ASSERT_FALSE(zoneId.isEmpty()) << "run through ctest, which sets TZ and ER_EXPECTED_TZ";
    ASSERT_EQ(QTimeZone::systemTimeZoneId(), zoneId) << "the time zone did not take effect";

    const QDateTime now = QDateTime::currentDateTimeUtc();
    QByteArray offset;
    QByteArray start2004;
    if (zoneId == "UTC") {
        offset = "+0000";
        start2004 = "20081231T200000";
    } else if (zoneId == "Asia/Kolkata") {
        offset = "+0530";
        start2004 = "20090101T013000";
    } else {
        const int berlin = QTimeZone("Europe/Berlin").offsetFromUtc(now);
        ASSERT_TRUE(berlin == 3600 || berlin == 7200);
        offset = berlin == 3600 ? "+0100" : "+0200";
        start2004 = berlin == 3600 ? "20081231T210000" : "20081231T220000";
    }

    const QByteArray file2008 = savedEvent(
        false, {prop(kEventGuidTag, guidBytes(0x40)),
                prop(kEventStartTag, calendarTime(calendarStamp(2008, 3, 30, 2, 30))), // Berlin's gap
                prop(kEventEndTag, calendarTime(calendarStamp(2008, 3, 30, 3, 0))),
                prop(kEventTimeZoneTag, timeZone2008(4, "Europe/Berlin", "Berlin"))});
    EXPECT_TRUE(file2008.contains("\r\nTZOFFSETFROM:" + offset + "\r\nTZOFFSETTO:" + offset + "\r\n"));
    EXPECT_TRUE(file2008.contains("\r\nDTSTART;TZID=\"Berlin\":20080330T023000\r\n"));
    EXPECT_TRUE(file2008.contains("\r\nDTEND;TZID=\"Berlin\":20080330T030000\r\n"));

    const QByteArray file2004 =
        savedEvent(true, {prop(kEventGuidTag, guidBytes(0x40)),
                          prop(kEventStart2004Tag, be32(calendarStamp(2008, 12, 31, 20, 0))),
                          prop(kEventTimeZoneTag, timeZone2004(4, "Berlin"))});
    EXPECT_TRUE(file2004.contains("\r\nTZOFFSETFROM:" + offset + "\r\nTZOFFSETTO:" + offset + "\r\n"));
    EXPECT_TRUE(file2004.contains("\r\nDTSTART;TZID=\"Berlin\":" + start2004 + "\r\n")) << file2004.constData();
}
