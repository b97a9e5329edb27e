// The portable calendar file in every zone: Office 2008 wall-clock times stay
// as stored (also inside a daylight-saving gap of the host's zone), and those
// of a named zone stand for the same instant to a reader in any zone; Office
// 2004 UTC times stay in UTC, and an Office 2004 all-day event keeps its day
// whether its date falls in the host's summer or winter time.

#include "../core/PythonCheck.h"
#include "PimBlocks.h"

#include "calendar/PortableICalendar.h"
#include "archive/PortableExport.h"
#include "archive/BlockScanner.h"
#include "format/BlockView.h"

#include <QJsonObject>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <iterator>

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

void expectHostZone()
{
    const QByteArray zoneId = qgetenv("ER_EXPECTED_TZ");
    ASSERT_FALSE(zoneId.isEmpty()) << "run through ctest, which sets TZ and ER_EXPECTED_TZ";
    ASSERT_EQ(QTimeZone::systemTimeZoneId(), zoneId) << "the time zone did not take effect";
}

// Each event's summary, start and end as python3-icalendar reads them
// (ics_round_trip.py): a zoned time as the UTC instant it stands for.
QJsonArray instantsOf(const QByteArray& file)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("calendar.ics"));
    QFile out(path);
    EXPECT_TRUE(out.open(QIODevice::WriteOnly) && out.write(file) == file.size());
    out.close();
    const QJsonValue calendar = ertest::pythonCheck("ics_round_trip.py", {path}).at(0)["calendar"];
    QJsonArray events;
    for (const QJsonValue c : calendar["components"].toArray()) {
        if (c["name"] != QLatin1String("VEVENT"))
            continue;
        QJsonObject event{{"summary", ""}, {"start", "<none>"}, {"end", "<none>"}};
        for (const QJsonValue p : c["props"].toArray()) {
            const QString value = p["value"].toVariant().toString();
            const QString instant = value.section(QLatin1Char('='), -1);
            if (p["name"] == QLatin1String("SUMMARY"))
                event["summary"] = value;
            else if (p["name"] == QLatin1String("DTSTART"))
                event["start"] = instant;
            else if (p["name"] == QLatin1String("DTEND"))
                event["end"] = instant;
        }
        events.append(event);
    }
    return events;
}

} // namespace

TEST(PortableCalendarInZone, TimesDoNotFollowTheHostZone)
{
    ASSERT_NO_FATAL_FAILURE(expectHostZone());

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

TEST(PortableCalendarInZone, ZonedTimesAreOneInstantEverywhere)
{
    ASSERT_NO_FATAL_FAILURE(expectHostZone());
    ERTEST_REQUIRE_PYTHON("icalendar");
    const struct {
        const char* summary;
        QByteArray ianaName, windowsName;
        int start[5], end[5]; // year, month, day, hour, minute of the wall clock
        const char *utcStart, *utcEnd;
    } cases[] = {
        {"Berlin in summer", "Europe/Berlin", "W. Europe Standard Time", {2008, 5, 7, 10, 0}, {2008, 5, 7, 11, 0},
         "20080507T080000Z", "20080507T090000Z"},
        {"Berlin in winter, by the Windows-style name alone", "", "W. Europe", {2008, 1, 15, 10, 0},
         {2008, 1, 15, 11, 30}, "20080115T090000Z", "20080115T103000Z"},
        {"Berlin across the night the clocks go back", "Europe/Berlin", "", {2008, 10, 26, 1, 30},
         {2008, 10, 26, 4, 0}, "20081025T233000Z", "20081026T030000Z"},
        // Daylight-saving time began on 2 April 2006 but on 11 March 2007.
        {"Eastern under the rules before 2007", "Nowhere/Town", "Eastern", {2006, 4, 1, 12, 0}, {2006, 4, 1, 13, 0},
         "20060401T170000Z", "20060401T180000Z"},
        {"Eastern under the rules from 2007", "America/New_York", "", {2007, 3, 20, 12, 0}, {2007, 3, 20, 13, 0},
         "20070320T160000Z", "20070320T170000Z"},
        {"Sydney's summer spans the new year", "Australia/Sydney", "", {2008, 1, 15, 10, 0}, {2008, 7, 15, 10, 0},
         "20080114T230000Z", "20080715T000000Z"},
        {"Kolkata, which never changes", "Asia/Kolkata", "India", {2008, 5, 7, 10, 0}, {2008, 5, 7, 11, 0},
         "20080507T043000Z", "20080507T053000Z"},
        {"no zone known: floating", "Mars/Olympus", "Olympus Mons", {2008, 5, 7, 10, 0}, {2008, 5, 7, 11, 0},
         "20080507T100000", "20080507T110000"},
    };
    ScanState state;
    for (const auto& c : cases)
        decodeBlock(state, BlockTag::CLRC,
                    BlockView::whole(eventBlock(
                        {wideProp(kEventSummaryTag, c.summary),
                         prop(kEventStartTag, calendarTime(calendarStamp(c.start[0], c.start[1], c.start[2],
                                                                         c.start[3], c.start[4]))),
                         prop(kEventEndTag,
                              calendarTime(calendarStamp(c.end[0], c.end[1], c.end[2], c.end[3], c.end[4]))),
                         prop(kEventTimeZoneTag, timeZone2008(1, c.ianaName, c.windowsName))})));
    const QByteArray file = calendarICalendarFile(state);

    // As written, the reader knows the zones by their ids. Renamed, it has
    // only the file's VTIMEZONEs to go on; they must hold also long after
    // the years the events use, where a recurring event's later occurrences
    // fall.
    QByteArray renamed = QByteArray(file).replace(";TZID=", ";TZID=Own-").replace("\r\nTZID:", "\r\nTZID:Own-");
    const struct {
        const char* zone;
        const char* wallClock;
        const char* utc;
    } later[] = {{"Europe/Berlin", "20300701T100000", "20300701T080000Z"},
                 {"Europe/Berlin", "20300115T100000", "20300115T090000Z"},
                 {"America/New_York", "20300320T120000", "20300320T160000Z"},
                 {"Australia/Sydney", "20300715T100000", "20300715T000000Z"}};
    for (const auto& l : later)
        renamed.insert(renamed.lastIndexOf("END:VCALENDAR"),
                       QByteArray("BEGIN:VEVENT\r\nUID:later-") + l.wallClock + "\r\nDTSTAMP:20080101T000000Z\r\n"
                           + "SUMMARY:later\r\nDTSTART;TZID=Own-" + l.zone + ':' + l.wallClock + "\r\nEND:VEVENT\r\n");

    for (const QByteArray& read : {file, renamed}) {
        SCOPED_TRACE(read == file ? "as written" : "renamed");
        const QJsonArray events = instantsOf(read);
        ASSERT_EQ(events.size(), int(std::size(cases)) + (read == file ? 0 : int(std::size(later))));
        for (int i = 0; i < int(std::size(cases)); ++i) {
            SCOPED_TRACE(cases[i].summary);
            EXPECT_EQ(events[i]["summary"].toString().toStdString(), cases[i].summary);
            EXPECT_EQ(events[i]["start"].toString().toStdString(), cases[i].utcStart);
            EXPECT_EQ(events[i]["end"].toString().toStdString(), cases[i].utcEnd);
        }
        for (int i = int(std::size(cases)); i < events.size(); ++i)
            EXPECT_EQ(events[i]["start"].toString().toStdString(), later[i - int(std::size(cases))].utc) << i;
    }
}
