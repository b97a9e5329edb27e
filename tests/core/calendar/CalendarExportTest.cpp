#include "../PythonCheck.h"
#include "../ScanTestSupport.h"
#include "../TestFiles.h"

#include "PimBlocks.h"
#include "SampleDatabase.h"

#include "calendar/CalendarExport.h"
#include "calendar/TaskExport.h"
#include "format/TimeConversion.h"
#include "archive/BundleLayout.h"
#include "output/ItemFiles.h"
#include "format/BlockView.h"
#include "format/ByteOrder.h"
#include "archive/FolderTree.h"

#include <QJsonObject>

using namespace er;
using namespace testdb;
using Lines = QList<QByteArray>;

namespace {

EventView decodeEvent(ScanState& state, const QList<Property>& props)
{
    decodeBlock(state, BlockTag::CLRC, BlockView::whole(eventBlock(props)));
    return state.events.back();
}

Lines eventLines(ScanState& state, const QList<Property>& props, int utcOffset = 0)
{
    return ertest::crlfLines(eventICalendarText(decodeEvent(state, props), state.office2004, utcOffset));
}

QStringList filesIn(const QString& dir)
{
    return QDir(dir).entryList(QDir::Files, QDir::Name);
}

} // namespace

TEST(EventFile, Form2008LinesInOrder)
{
    ScanState state;
    const EventView event = decodeEvent(
        state, {prop(kEventGuidTag, guidBytes(0)), prop(kEventUuidTag, "6F1C2A7E-0B3D-4E59-9A21-3C5D7E8F9012"),
                prop(kEventStampTag, macTime(macStamp(2008, 5, 7, 8, 5, 9))),
                prop(kEventModifiedTag, macTime(macStamp(2008, 5, 6, 23, 59, 59))),
                wideProp(kEventSummaryTag, "Project meeting"),
                markedProp(kEventDescriptionTag, QByteArray("Agenda\0", 7)),
                markedProp(kEventLocationTag, QByteArray("Room 12\0", 8)),
                prop(kEventOrganizerTag, QByteArray("ann.lee@example.com\0", 20)),
                prop(kEventStartTag, calendarTime(calendarStamp(2008, 5, 7, 10, 0))),
                prop(kEventEndTag, calendarTime(calendarStamp(2008, 5, 7, 11, 30))),
                prop(kEventAllDayTag, QByteArray(1, '\0')),
                prop(kEventTimeZoneTag, timeZone2008(1234567, "Europe/Berlin", "W. Europe Standard Time"))});
    const Lines expected{
        "BEGIN:VCALENDAR", "VERSION:2.0", "PRODID:-//Microsoft Corporation//Entourage Mac 11.1 MIMEDIR//EN",
        "METHOD:PUBLISH", "BEGIN:VTIMEZONE", "TZID:W. Europe Standard Time", "X-ENTOURAGE-TZID:1234567",
        "X-ENTOURAGE-CFTIMEZONE:Europe/Berlin", "BEGIN:STANDARD", "TZNAME:Standard Time", "TZOFFSETFROM:+0530",
        "TZOFFSETTO:+0530", "DTSTART:20070101T010000", "END:STANDARD", "END:VTIMEZONE", "BEGIN:VEVENT",
        "UID:00010203-0405-0607-0809-0A0B0C0D0E0F", "X-ENTOURAGE_UUID:6F1C2A7E-0B3D-4E59-9A21-3C5D7E8F9012",
        "DTSTAMP:20080507T080509Z", "DTSTART;TZID=\"W. Europe Standard Time\":20080507T100000",
        "DTEND;TZID=\"W. Europe Standard Time\":20080507T113000", "LAST-MODIFIED:20080506T235959Z",
        "SUMMARY:Project meeting", "DESCRIPTION:Agenda", "LOCATION:Room 12",
        "ORGANIZER:MAILTO:ann.lee@example.com", "SEQUENCE:0", "X-MICROSOFT-CDO-BUSYSTATUS:BUSY",
        "X-MICROSOFT-CDO-ALLDAYEVENT:FALSE", "X-MICROSOFT-CDO-INSTTYPE:0", "END:VEVENT", "END:VCALENDAR"};
    EXPECT_EQ(ertest::crlfLines(eventICalendarText(event, false, 19800)), expected);

    // Stored wall-clock times: a host offset (here negative, with minutes)
    // shows only in the time-zone block.
    Lines west = expected;
    west[10] = "TZOFFSETFROM:-0330";
    west[11] = "TZOFFSETTO:-0330";
    EXPECT_EQ(ertest::crlfLines(eventICalendarText(event, false, -12600)), west);
}

TEST(EventFile, Form2008OptionalLinesAndTexts)
{
    ScanState state;
    // No zone text 2: no zoned times. Zone id 0 and missing stamps keep their labels, empty.
    const Lines allDay = eventLines(state, {prop(kEventAllDayTag, QByteArray(1, '\1')),
                                            prop(kEventStartTag, calendarTime(calendarStamp(2008, 5, 12))),
                                            prop(kEventTimeZoneTag, timeZone2008(0, QByteArray(99, 'z'), ""))});
    for (const QByteArray& line : Lines{"X-MICROSOFT-CDO-ALLDAYEVENT:TRUE", "TZID:", "X-ENTOURAGE-TZID:",
                                        "X-ENTOURAGE-CFTIMEZONE:" + QByteArray(99, 'z'), "DTSTAMP:", "LAST-MODIFIED:"})
        EXPECT_TRUE(allDay.contains(line)) << line.constData();
    EXPECT_FALSE(allDay.join('\n').contains("DTSTART;")) << allDay.join('\n').constData();
    // No all-day property: no all-day line. A zone text of 100 bytes is left out.
    const Lines timed = eventLines(state, {prop(kEventTimeZoneTag, timeZone2008(5, QByteArray(100, 'z'), "Zone"))});
    EXPECT_TRUE(timed.contains("X-ENTOURAGE-CFTIMEZONE:") && timed.contains("DTSTART;TZID=\"Zone\":"));
    EXPECT_FALSE(timed.join('\n').contains("ALLDAYEVENT"));

    // Texts keep every character (UTF-8; inner zero bytes dropped) in both forms.
    const QString place = QString::fromUtf8("Salle Ørsted");
    const EventView event = decodeEvent(
        state, {wideProp(kEventLocationTag, place), markedProp(kEventSummaryTag, QByteArray("Re\0view\0", 8))});
    for (bool form2004 : {false, true}) {
        const Lines lines = ertest::crlfLines(eventICalendarText(event, form2004, 0));
        EXPECT_TRUE(lines.contains("LOCATION:" + place.toUtf8()) && lines.contains("SUMMARY:Review")) << form2004;
    }
}

TEST(EventFile, Form2004LinesInOrder)
{
    ScanState state;
    state.office2004 = true;
    const QByteArray rule("FREQ=WEEKLY;INTERVAL=1;BYDAY=FR");
    const QByteArray alarm = QByteArray("\x04\x00\x76\x00\x1E", 5) + be32(8) + be32(0) + "Reminder"
        + QByteArray("\x05\x00\x10\x00\x1E", 5) + QByteArray(9, '\0') + QByteArray("-PT15M\0\0\0\0\0\0", 12)
        + QByteArray("\x04\x01\x91\x00\x1E", 5) + be32(7) + be32(0) + "DISPLAY" + be32(0);
    const QList<Property> props{
        prop(kEventGuidTag, guidBytes(0)), prop(kEventStampTime2004Tag, macTime(macStamp(2004, 2, 29, 12))),
        // Stored in UTC: the host's offset moves them, here back over the leap day's midnight.
        prop(kEventStart2004Tag, be32(calendarStamp(2004, 3, 1, 3, 0))),
        prop(kEventEnd2004Tag, be32(calendarStamp(2004, 3, 1, 4, 0))),
        prop(kEventTimeZoneTag, timeZone2004(7, "US/Eastern")), wrappedProp(kEventSummaryWrappedTag, "Weekly review"),
        wrappedProp(kEventDescriptionWrappedTag, QByteArray("Status\0", 7)),
        wrappedProp(kEventLocationWrappedTag, QByteArray("Room 12\0", 8)), prop(kEventOrganizerTag, "bob@example.org"),
        prop(kEventAllDayTag, QByteArray(1, '\1')), prop(kEventRecurringTag, QByteArray(1, '\1')),
        prop(kEventRecurrenceTag, QByteArray("\x04\x00\x85\x00\x1E", 5) + be32(rule.size()) + be32(0) + rule + be32(0)),
        prop(kEventHasAlarmTag, QByteArray(1, '\1')), prop(kEventAlarmTag, alarm)};
    const Lines expected{
        "BEGIN:VCALENDAR", "VERSION:2.0", "PRODID:-//Microsoft Corporation//Entourage Mac 11.1 MIMEDIR//EN",
        "METHOD:PUBLISH", "BEGIN:VTIMEZONE", "X-ENTOURAGE-TZID:7", "TZID:US/Eastern", "BEGIN:STANDARD",
        "TZNAME:Standard Time", "TZOFFSETFROM:-0500", "TZOFFSETTO:-0500", "END:STANDARD", "END:VTIMEZONE",
        "BEGIN:VEVENT", "DESCRIPTION:Status", "DTEND;TZID=\"US/Eastern\":20040229T230000",
        "DTSTART;TZID=\"US/Eastern\":20040229T220000", "LOCATION:Room 12", "RRULE:" + rule, "SUMMARY:Weekly review",
        "UID:00010203-0405-0607-0809-0A0B0C0D0E0F", "DTSTAMP:20040229T120000", "ORGANIZER:MAILTO:bob@example.org",
        "X-MICROSOFT-CDO-BUSYSTATUS:BUSY", "X-MICROSOFT-CDO-ALLDAYEVENT:TRUE", "X-MICROSOFT-CDO-INSTTYPE:0",
        "BEGIN:VALARM", "DESCRIPTION:Reminder", "TRIGGER;RELATED=START:-PT15M", "ACTION:DISPLAY", "END:VALARM",
        "END:VEVENT", "END:VCALENDAR"};
    EXPECT_EQ(eventLines(state, props, -5 * 3600), expected);
    const Lines east = eventLines(state, props, 19800);
    EXPECT_TRUE(east.contains("DTSTART;TZID=\"US/Eastern\":20040301T083000") && east.contains("TZOFFSETTO:+0530"));
}

TEST(EventFile, Form2004RecurrenceAndAlarmEdges)
{
    ScanState state;
    state.office2004 = true;
    auto rule = [](const QByteArray& text) {
        return QByteArray("\x04\x00\x85\x00\x1E", 5) + be32(text.size()) + be32(0) + text;
    };
    const QByteArray on(1, '\1');
    const QByteArray longAlarm = QByteArray("\x04\x00\x76\x00\x1E", 5) + be32(31) + be32(0) + QByteArray(31, 'd')
        + be32(0) + QByteArray("\x05\x00\x10\x00\x1E", 5) + QByteArray(9, '\0') + QByteArray("-PT5M\0\0\0\0\0\0\0", 12);
    const std::pair<QList<Property>, Lines> cases[] = {
        // Every rule on the one line, up to 100 bytes each; the line ends even when no rule fits.
        {{prop(kEventRecurringTag, on), prop(kEventRecurrenceTag, rule("FREQ=DAILY") + rule("COUNT=3") + be32(0))},
         {"RRULE:FREQ=DAILYRRULE:COUNT=3"}},
        {{prop(kEventRecurringTag, on), prop(kEventRecurrenceTag, rule(QByteArray(100, 'x')) + be32(0))},
         {"RRULE:" + QByteArray(100, 'x')}},
        {{prop(kEventRecurringTag, on), prop(kEventRecurrenceTag, rule(QByteArray(101, 'x')) + be32(0))}, {""}},
        {{prop(kEventRecurringTag, on), prop(kEventRecurrenceTag, "no rule here")}, {""}},
        {{prop(kEventRecurrenceTag, rule("FREQ=DAILY") + be32(0))}, {}},
        // Alarm values that do not fit leave their labels empty: a description
        // over 30 bytes, a trigger text that ends right at the data's end.
        {{prop(kEventHasAlarmTag, on), prop(kEventAlarmTag, longAlarm)},
         {"BEGIN:VALARM", "DESCRIPTION:", "TRIGGER;RELATED=START:", "END:VALARM"}},
        {{prop(kEventHasAlarmTag, on), prop(kEventAlarmTag, QByteArray("\x04\x01\x91\x00\x1E", 5))},
         {"BEGIN:VALARM", "END:VALARM"}}};
    for (const auto& [props, expected] : cases) {
        Lines lines = eventLines(state, props);
        lines = lines.mid(lines.indexOf("BEGIN:VEVENT") + 1);
        for (const char* always : {"DTSTAMP:", "X-MICROSOFT-CDO-BUSYSTATUS:BUSY", "X-MICROSOFT-CDO-INSTTYPE:0",
                                   "END:VEVENT", "END:VCALENDAR"})
            lines.removeAll(always);
        EXPECT_EQ(lines, expected);
    }
}

TEST(ItemWriters, NamesStatusesStopAndFailures)
{
    const struct {
        const char* dir;
        const char* status;
        void (*save)(const ScanState&, SaveContext&);
        BlockTag tag;
        QByteArray (*block)(const QList<Property>&, std::optional<quint32>);
        quint32 titleTag;
    } writers[] = {
        {"/Calendar", "Saving Calendar Items...", [](const ScanState& s, SaveContext& c) { writeEventFiles(s.events, c); }, BlockTag::CLRC, eventBlock, kEventSummaryTag},
        {"/Tasks", "Saving Task Items...", [](const ScanState& s, SaveContext& c) { writeTaskFiles(s.tasks, c); }, BlockTag::TSRC, taskBlock, kTaskNameTag}};
    for (const auto& w : writers) {
        SCOPED_TRACE(w.dir);
        QTemporaryDir dir;
        const QString out = bundlePath(dir.path()) + w.dir;
        const QString noGuid(26, 'A');
        ScanState state;
        for (const char* title : {"First", "Second", "Third"}) {
            QList<Property> props{wideProp(w.titleTag, title)};
            if (title[0] == 'T')
                props << prop(kEventGuidTag, guidBytes(0x40));
            decodeBlock(state, w.tag, BlockView::whole(w.block(props, {})));
        }
        QStringList statuses;
        std::atomic<bool> stop{false};
        auto run = [&](bool stopAtFirst) {
            statuses.clear();
            SaveContext context(dir.path());
            context.hooks.stop = &stop;
            context.hooks.status = [&](const QString& text) {
                statuses << text;
                stop = stopAtFirst;
            };
            w.save(state, context);
            return context.failures.count();
        };

        // Two items without GUID keep both their files.
        ASSERT_TRUE(QDir().mkpath(out));
        EXPECT_EQ(run(false), 0);
        EXPECT_EQ(statuses, QStringList({w.status, w.status, w.status}));
        EXPECT_EQ(filesIn(out), QStringList({noGuid, noGuid + "-2", guidFileName(guidBytes(0x40))}));
        EXPECT_TRUE(ertest::readFile(out + '/' + noGuid).contains("\r\nSUMMARY:First\r\n"));
        EXPECT_TRUE(ertest::readFile(out + '/' + noGuid + "-2").contains("\r\nSUMMARY:Second\r\n"));

        // A stop during the first item: that file is finished, no other begun.
        ASSERT_TRUE(QDir(out).removeRecursively() && QDir().mkpath(out));
        EXPECT_EQ(run(true), 0);
        EXPECT_EQ(filesIn(out), QStringList({noGuid}));
        EXPECT_TRUE(ertest::readFile(out + '/' + noGuid).endsWith("\r\nEND:VCALENDAR\r\n"));

        // A regular file where the directory belongs: every item is a failure.
        stop = false;
        ASSERT_TRUE(QDir(out).removeRecursively() && QFile(out).open(QIODevice::WriteOnly));
        EXPECT_EQ(run(false), 3);
    }
}
