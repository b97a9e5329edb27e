#include "../TestFiles.h"
#include "../ScanTestSupport.h"

#include "PimBlocks.h"
#include "SampleDatabase.h"

#include "calendar/CalendarExport.h"
#include "calendar/TaskExport.h"
#include "calendar/TimeConversion.h"
#include "export/BundleLayout.h"
#include "export/ItemFiles.h"
#include "scan/BlockView.h"
#include "scan/ByteOrder.h"
#include "scan/FolderTree.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

using namespace er;
using namespace testdb;

namespace {

const CalenderInformation& decodeEvent(ScanState& state, const QList<Property>& props)
{
    decodeBlock(state, BlockTag::CLRC, BlockView::whole(eventBlock(props)));
    return state.clrcList.back();
}

QStringList filesIn(const QString& dir)
{
    return QDir(dir).entryList(QDir::Files, QDir::Name);
}

const QByteArray kZoneName("W. Europe Standard Time");

QList<Property> fullEvent2008()
{
    return {prop(kEventGuidTag, guidBytes(0)),
            prop(kEventUuidTag, "6F1C2A7E-0B3D-4E59-9A21-3C5D7E8F9012"),
            prop(kEventStampTag, macTime(macStamp(2008, 5, 7, 8, 5, 9))),
            prop(kEventModifiedTag, macTime(macStamp(2008, 5, 6, 23, 59, 59))),
            wideProp(kEventSummaryTag, "Project meeting"),
            markedProp(kEventDescriptionTag, QByteArray("Agenda\0", 7)),
            markedProp(kEventLocationTag, QByteArray("Room 12\0", 8)),
            prop(kEventOrganizerTag, QByteArray("ann.lee@example.com\0", 20)),
            prop(kEventStartTag, calendarTime(calendarStamp(2008, 5, 7, 10, 0))),
            prop(kEventEndTag, calendarTime(calendarStamp(2008, 5, 7, 11, 30))),
            prop(kEventAllDayTag, QByteArray(1, '\0')),
            prop(kEventTimeZoneTag, timeZone2008(1234567, "Europe/Berlin", kZoneName))};
}

} // namespace

TEST(EventFile, Office2008LinesInOrder)
{
    ScanState state;
    const CalenderInformation& event = decodeEvent(state, fullEvent2008());
    ASSERT_EQ(event.LocationLength, 8u);
    const QList<QByteArray> expected{
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

    // The stored times are wall-clock times: the host's offset shows only in
    // the time-zone block.
    QList<QByteArray> west = expected;
    west[10] = "TZOFFSETFROM:-0500";
    west[11] = "TZOFFSETTO:-0500";
    EXPECT_EQ(ertest::crlfLines(eventICalendarText(event, false, -5 * 3600)), west);
}

TEST(EventFile, Office2008OptionalLines)
{
    ScanState state;
    // No zone text 2: no DTSTART/DTEND in the event; all-day flag 1.
    const QByteArray zone = timeZone2008(0, QByteArray(99, 'z'), QByteArray());
    const QList<QByteArray> allDay = ertest::crlfLines(eventICalendarText(
        decodeEvent(state, {wideProp(kEventSummaryTag, "Holiday"), prop(kEventAllDayTag, QByteArray(1, '\1')),
                            prop(kEventStartTag, calendarTime(calendarStamp(2008, 5, 12))),
                            prop(kEventTimeZoneTag, zone)}),
        false, 0));
    EXPECT_TRUE(allDay.contains("X-MICROSOFT-CDO-ALLDAYEVENT:TRUE"));
    EXPECT_TRUE(allDay.contains("TZID:"));
    EXPECT_TRUE(allDay.contains("X-ENTOURAGE-TZID:"));
    EXPECT_TRUE(allDay.contains("X-ENTOURAGE-CFTIMEZONE:" + QByteArray(99, 'z')));
    EXPECT_TRUE(allDay.contains("DTSTAMP:"));
    EXPECT_TRUE(allDay.contains("LAST-MODIFIED:"));
    for (const QByteArray& line : allDay)
        EXPECT_FALSE(line.startsWith("DTSTART;") || line.startsWith("DTEND;")) << line.constData();

    // No all-day property: neither line. A zone text of 100 bytes is left out.
    const QList<QByteArray> timed = ertest::crlfLines(eventICalendarText(
        decodeEvent(state, {prop(kEventTimeZoneTag, timeZone2008(5, QByteArray(100, 'z'), "Zone"))}), false, 0));
    EXPECT_TRUE(timed.contains("X-ENTOURAGE-CFTIMEZONE:"));
    EXPECT_TRUE(timed.contains("X-ENTOURAGE-TZID:5"));
    EXPECT_TRUE(timed.contains("DTSTART;TZID=\"Zone\":"));
    for (const QByteArray& line : timed)
        EXPECT_FALSE(line.startsWith("X-MICROSOFT-CDO-ALLDAYEVENT")) << line.constData();
}

TEST(EventFile, TextsKeepEveryCharacterAndNoZeroByte)
{
    ScanState state;
    const QString place = QString::fromUtf8("Salle Ørsted");
    const CalenderInformation& event =
        decodeEvent(state, {wideProp(kEventLocationTag, place), wideProp(kEventDescriptionTag, "Notes"),
                            markedProp(kEventSummaryTag, QByteArray("Re\0view\0", 8))});
    for (bool office2004 : {false, true}) {
        const QList<QByteArray> lines = ertest::crlfLines(eventICalendarText(event, office2004, 0));
        EXPECT_TRUE(lines.contains("LOCATION:" + place.toUtf8()));
        EXPECT_TRUE(lines.contains("DESCRIPTION:Notes"));
        EXPECT_TRUE(lines.contains("SUMMARY:Review"));
    }
}

TEST(EventFile, Office2004LinesInOrder)
{
    ScanState state;
    state.OfficeEntourage2004 = true;
    const QByteArray rule("FREQ=WEEKLY;INTERVAL=1;BYDAY=FR");
    const QByteArray recurrence =
        QByteArray("\x04\x00\x85\x00\x1E", 5) + be32(rule.size()) + be32(0) + rule + be32(0);
    const QByteArray alarm = QByteArray("\x04\x00\x76\x00\x1E", 5) + be32(8) + be32(0) + "Reminder"
        + QByteArray("\x05\x00\x10\x00\x1E", 5) + QByteArray(9, '\0') + QByteArray("-PT15M\0\0\0\0\0\0", 12)
        + QByteArray("\x04\x01\x91\x00\x1E", 5) + be32(7) + be32(0) + "DISPLAY" + be32(0);
    const CalenderInformation& event = decodeEvent(
        state, {prop(kEventGuidTag, guidBytes(0)), prop(kEventStampTime2004Tag, macTime(macStamp(2004, 2, 29, 12))),
                // Stored in UTC: the host's offset moves them, here back over the leap day's midnight.
                prop(kEventStart2004Tag, be32(calendarStamp(2004, 3, 1, 3, 0))),
                prop(kEventEnd2004Tag, be32(calendarStamp(2004, 3, 1, 4, 0))),
                prop(kEventTimeZoneTag, timeZone2004(7, "US/Eastern")),
                wrappedProp(kEventSummaryWrappedTag, "Weekly review"),
                wrappedProp(kEventDescriptionWrappedTag, QByteArray("Status\0", 7)),
                wrappedProp(kEventLocationWrappedTag, QByteArray("Room 12\0", 8)),
                prop(kEventOrganizerTag, "bob@example.org"), prop(kEventAllDayTag, QByteArray(1, '\1')),
                prop(kEventRecurringTag, QByteArray(1, '\1')), prop(kEventRecurrenceTag, recurrence),
                prop(kEventHasAlarmTag, QByteArray(1, '\1')), prop(kEventAlarmTag, alarm)});
    const QList<QByteArray> expected{
        "BEGIN:VCALENDAR", "VERSION:2.0", "PRODID:-//Microsoft Corporation//Entourage Mac 11.1 MIMEDIR//EN",
        "METHOD:PUBLISH", "BEGIN:VTIMEZONE", "X-ENTOURAGE-TZID:7", "TZID:US/Eastern", "BEGIN:STANDARD",
        "TZNAME:Standard Time", "TZOFFSETFROM:-0500", "TZOFFSETTO:-0500", "END:STANDARD", "END:VTIMEZONE",
        "BEGIN:VEVENT", "DESCRIPTION:Status", "DTEND;TZID=\"US/Eastern\":20040229T230000",
        "DTSTART;TZID=\"US/Eastern\":20040229T220000", "LOCATION:Room 12", "RRULE:" + rule, "SUMMARY:Weekly review",
        "UID:00010203-0405-0607-0809-0A0B0C0D0E0F", "DTSTAMP:20040229T120000", "ORGANIZER:MAILTO:bob@example.org",
        "X-MICROSOFT-CDO-BUSYSTATUS:BUSY", "X-MICROSOFT-CDO-ALLDAYEVENT:TRUE", "X-MICROSOFT-CDO-INSTTYPE:0",
        "BEGIN:VALARM", "DESCRIPTION:Reminder", "TRIGGER;RELATED=START:-PT15M", "ACTION:DISPLAY", "END:VALARM",
        "END:VEVENT", "END:VCALENDAR"};
    EXPECT_EQ(ertest::crlfLines(eventICalendarText(event, true, -5 * 3600)), expected);

    const QList<QByteArray> east = ertest::crlfLines(eventICalendarText(event, true, 19800));
    EXPECT_TRUE(east.contains("DTSTART;TZID=\"US/Eastern\":20040301T083000"));
    EXPECT_TRUE(east.contains("TZOFFSETTO:+0530"));
}

TEST(EventFile, Office2004RecurrenceAndAlarmEdges)
{
    ScanState state;
    state.OfficeEntourage2004 = true;
    const QByteArray marker("\x04\x00\x85\x00\x1E", 5);
    auto rule = [&](const QByteArray& text) { return marker + be32(text.size()) + be32(0) + text; };
    auto recurrenceLines = [&](const QByteArray& data, bool recurring) {
        QList<Property> props{prop(kEventRecurrenceTag, data), wrappedProp(kEventSummaryWrappedTag, "S")};
        if (recurring)
            props << prop(kEventRecurringTag, QByteArray(1, '\1'));
        const QList<QByteArray> lines = ertest::crlfLines(eventICalendarText(decodeEvent(state, props), true, 0));
        const int summary = lines.indexOf("SUMMARY:S");
        return summary > 0 && lines[summary - 1] != "BEGIN:VEVENT" ? lines[summary - 1] : QByteArray("(none)");
    };
    EXPECT_EQ(recurrenceLines(rule("FREQ=DAILY") + rule("COUNT=3") + be32(0), true), "RRULE:FREQ=DAILYRRULE:COUNT=3");
    EXPECT_EQ(recurrenceLines(rule(QByteArray(100, 'x')) + be32(0), true), "RRULE:" + QByteArray(100, 'x'));
    EXPECT_EQ(recurrenceLines(rule(QByteArray(101, 'x')) + be32(0), true), "");
    EXPECT_EQ(recurrenceLines("no rule here", true), "");
    EXPECT_EQ(recurrenceLines(rule("FREQ=DAILY") + be32(0), false), "(none)");

    auto alarmLines = [&](const QByteArray& data) {
        const QList<QByteArray> lines = ertest::crlfLines(eventICalendarText(
            decodeEvent(state, {prop(kEventHasAlarmTag, QByteArray(1, '\1')), prop(kEventAlarmTag, data)}), true, 0));
        const int begin = lines.indexOf("BEGIN:VALARM");
        return begin < 0 ? QList<QByteArray>() : lines.mid(begin, lines.indexOf("END:VALARM") - begin + 1);
    };
    // Values that do not fit leave their labels empty: a description over 30
    // bytes, a trigger text that ends right at the data's end.
    EXPECT_EQ(alarmLines(QByteArray("\x04\x00\x76\x00\x1E", 5) + be32(31) + be32(0) + QByteArray(31, 'd') + be32(0)
                         + QByteArray("\x05\x00\x10\x00\x1E", 5) + QByteArray(9, '\0')
                         + QByteArray("-PT5M\0\0\0\0\0\0\0", 12)),
              QList<QByteArray>({"BEGIN:VALARM", "DESCRIPTION:", "TRIGGER;RELATED=START:", "END:VALARM"}));
    EXPECT_EQ(alarmLines(QByteArray("\x04\x01\x91\x00\x1E", 5)), QList<QByteArray>({"BEGIN:VALARM", "END:VALARM"}));
}

TEST(EventFile, OffsetTexts)
{
    EXPECT_EQ(utcOffsetText(-5 * 3600), "-0500");
    EXPECT_EQ(utcOffsetText(19800), "+0530");
    EXPECT_EQ(utcOffsetText(0), "+0000");
    EXPECT_EQ(utcOffsetText(-12600), "-0330");
    EXPECT_EQ(utcOffsetText(14 * 3600), "+1400");
}

TEST(ItemWriters, NamesStatusesStopAndFailures)
{
    struct Writer {
        const char* directory;
        const char* status;
        void (*save)(SaveContext&);
        BlockTag tag;
        QByteArray (*block)(const QList<Property>&, std::optional<quint32>);
        quint32 titleTag;
    };
    const Writer writers[] = {
        {"Calendar", "Saving Calendar Items...", OnCalenderSaving, BlockTag::CLRC, eventBlock, kEventSummaryTag},
        {"Tasks", "Saving Task Items...", OnTaskSaving, BlockTag::TSRC, taskBlock, kTaskNameTag}};
    for (const Writer& w : writers) {
        SCOPED_TRACE(w.directory);
        QTemporaryDir dir;
        const QString out = bundlePath(dir.path()) + QLatin1Char('/') + QLatin1String(w.directory);
        ASSERT_TRUE(QDir().mkpath(out));
        ScanState state;
        QStringList statuses;
        std::atomic<bool> stop{false};
        bool stopAtFirst = false;
        auto run = [&] {
            SaveContext context(state, dir.path());
            context.hooks.stop = &stop;
            context.hooks.status = [&](const QString& text) {
                statuses << text;
                stop = stop || stopAtFirst;
            };
            w.save(context);
            return context.failures.count();
        };
        auto add = [&](const QList<Property>& props) { decodeBlock(state, w.tag, BlockView::whole(w.block(props, {}))); };

        EXPECT_EQ(run(), 0);
        EXPECT_TRUE(statuses.isEmpty());
        EXPECT_TRUE(filesIn(out).isEmpty());

        // Two items without GUID keep both their files.
        add({wideProp(w.titleTag, "First")});
        add({wideProp(w.titleTag, "Second")});
        add({prop(kEventGuidTag, guidBytes(0x40)), wideProp(w.titleTag, "Third")});
        EXPECT_EQ(run(), 0);
        EXPECT_EQ(statuses, QStringList({w.status, w.status, w.status}));
        const QString noGuid(26, QLatin1Char('A'));
        EXPECT_EQ(filesIn(out), QStringList({noGuid, noGuid + QStringLiteral("-2"), guidFileName(guidBytes(0x40))}));
        EXPECT_TRUE(ertest::readFile(out + QLatin1Char('/') + noGuid).contains("\r\nSUMMARY:First\r\n"));
        EXPECT_TRUE(ertest::readFile(out + QLatin1Char('/') + noGuid + QStringLiteral("-2")).contains("\r\nSUMMARY:Second\r\n"));

        // A stop during the first item: that file is finished, no other begun.
        ASSERT_TRUE(QDir(out).removeRecursively() && QDir().mkpath(out));
        statuses.clear();
        stopAtFirst = true;
        EXPECT_EQ(run(), 0);
        EXPECT_EQ(statuses.size(), 1);
        ASSERT_EQ(filesIn(out), QStringList({noGuid}));
        EXPECT_TRUE(ertest::readFile(out + QLatin1Char('/') + noGuid).endsWith("\r\nEND:VCALENDAR\r\n"));

        // A regular file where the directory belongs: every item is a failure.
        ASSERT_TRUE(QDir(out).removeRecursively());
        QFile blocker(out);
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        stop = stopAtFirst = false;
        EXPECT_EQ(run(), 3);
    }
}

// ---- The files as an independent reader, python3-icalendar, sees them ----

namespace {

bool icalendarAvailable()
{
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QStringLiteral("import icalendar")});
    return python.waitForFinished(60000) && python.exitStatus() == QProcess::NormalExit && python.exitCode() == 0;
}

#define REQUIRE_ICALENDAR()                                                                                            \
    if (!icalendarAvailable())                                                                                         \
    GTEST_SKIP() << "/usr/bin/python3 with the icalendar module is not installed"

// One object per file: its components, each with its properties.
QJsonArray parsedFiles(const QStringList& paths)
{
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 QStringList{QFileInfo(QStringLiteral(__FILE__)).dir().filePath(QStringLiteral("../../support/ical_check.py"))}
                     + paths);
    EXPECT_TRUE(python.waitForFinished(60000));
    EXPECT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    const QJsonArray files = QJsonDocument::fromJson(python.readAllStandardOutput()).array();
    EXPECT_EQ(files.size(), paths.size());
    for (const QJsonValue& file : files) {
        EXPECT_TRUE(file[QStringLiteral("exception")].toString().isEmpty())
            << file[QStringLiteral("path")].toString().toStdString() << ": "
            << file[QStringLiteral("exception")].toString().toStdString();
        for (const QJsonValue& c : file[QStringLiteral("components")].toArray())
            EXPECT_TRUE(c[QStringLiteral("errors")].toArray().isEmpty())
                << file[QStringLiteral("path")].toString().toStdString() << " "
                << QJsonDocument(c[QStringLiteral("errors")].toArray()).toJson().constData();
    }
    return files;
}

QJsonObject componentOf(const QJsonValue& file, const char* name)
{
    QJsonObject found;
    int count = 0;
    for (const QJsonValue& c : file[QStringLiteral("components")].toArray())
        if (c[QStringLiteral("name")].toString() == QLatin1String(name)) {
            found = c.toObject();
            ++count;
        }
    EXPECT_EQ(count, 1) << name;
    return found;
}

QJsonObject propertyOf(const QJsonObject& component, const char* name)
{
    for (const QJsonValue& p : component[QStringLiteral("props")].toArray())
        if (p[QStringLiteral("name")].toString() == QLatin1String(name))
            return p.toObject();
    return QJsonObject();
}

QJsonValue valueOf(const QJsonObject& component, const char* name)
{
    return propertyOf(component, name)[QStringLiteral("value")];
}

QString text(const OptionalBytes& field)
{
    return field ? QString::fromUtf8(cutAtNul(*field)) : QString();
}

QString wallClock(const QDateTime& dateTime, const char* suffix = "")
{
    return dateTime.toString(QStringLiteral("yyyyMMdd'T'HHmmss")) + QLatin1String(suffix);
}

template <std::size_t N>
quint32 firstWord(const std::optional<std::array<quint8, N>>& field)
{
    return GetDWordValue(field->data(), 1);
}

// The file as the reader gets it. Lines of the dialect that a strict reader
// rejects (a date property with an empty value, a bare "Priority:") are
// checked here as they are and left out of the copy.
QString readableCopy(const QString& path, const QList<QByteArray>& dialectLines, const QTemporaryDir& scratch)
{
    QByteArray bytes = ertest::readFile(path);
    for (const QByteArray& line : dialectLines) {
        const QByteArray whole = "\r\n" + line + "\r\n";
        EXPECT_TRUE(bytes.contains(whole)) << path.toStdString() << ": " << line.constData();
        bytes.replace(whole, "\r\n");
    }
    const QString copy = scratch.filePath(QFileInfo(path).fileName());
    QFile out(copy);
    EXPECT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(bytes);
    return copy;
}

} // namespace

TEST(ICalendarFiles, SampleBundleReadsBackAsTheRecords)
{
    REQUIRE_ICALENDAR();
    ScanState state;
    ASSERT_EQ(ertest::scanBytes(buildSampleDatabase(), state).kind, ScanOutcome::Completed);
    ASSERT_EQ(state.clrcList.size(), kSampleEvents);
    ASSERT_EQ(state.tsrcList.size(), kSampleTasks);
    QTemporaryDir dir;
    QTemporaryDir scratch;
    SaveContext context(state, dir.path());
    CreateMailFolder(buildFolderTree(state), dir.path(), context.failures);
    OnTaskSaving(context);
    OnCalenderSaving(context);
    ASSERT_EQ(context.failures.count(), 0) << context.failures.firstFailures().join('\n').toStdString();
    const int offset = hostUtcOffsetSeconds();

    const QString calendar = bundlePath(dir.path()) + QStringLiteral("/Calendar/");
    EXPECT_EQ(filesIn(calendar).size(), int(kSampleEvents));
    QStringList eventCopies;
    for (const CalenderInformation& e : state.clrcList) {
        QList<QByteArray> dialect;
        if (!e.StampTime)
            dialect << "DTSTAMP:";
        if (!e.ModifiedStamp)
            dialect << "LAST-MODIFIED:";
        eventCopies << readableCopy(calendar + guidFileName(*e.GUID), dialect, scratch);
    }
    const QJsonArray events = parsedFiles(eventCopies);
    ASSERT_EQ(events.size(), int(kSampleEvents));
    for (int i = 0; i < events.size(); ++i) {
        const CalenderInformation& e = state.clrcList[i];
        const QJsonObject zone = componentOf(events[i], "VTIMEZONE");
        const QJsonObject standard = componentOf(events[i], "STANDARD");
        const QJsonObject vevent = componentOf(events[i], "VEVENT");
        EXPECT_EQ(valueOf(standard, "TZOFFSETFROM").toInt(), offset);
        EXPECT_EQ(valueOf(standard, "TZOFFSETTO").toInt(), offset);
        EXPECT_EQ(valueOf(zone, "TZID").toString(), text(e.TimeZoneText2));
        EXPECT_EQ(valueOf(zone, "X-ENTOURAGE-TZID").toString(), e.TimeZoneID ? QString::number(e.TimeZoneID) : QString());
        EXPECT_EQ(valueOf(vevent, "UID").toString(), QString::fromLatin1(dashedUid(*e.GUID)));
        EXPECT_EQ(valueOf(vevent, "SUMMARY").toString(), text(e.Summary));
        EXPECT_EQ(valueOf(vevent, "LOCATION").toString(), text(e.Location));
        EXPECT_EQ(valueOf(vevent, "DESCRIPTION").toString(), text(e.Description));
        EXPECT_EQ(valueOf(vevent, "X-ENTOURAGE_UUID").toString(), text(e.EntourageUUID));
        EXPECT_EQ(valueOf(vevent, "ORGANIZER").toString(),
                  e.Organizer ? QStringLiteral("MAILTO:") + text(e.Organizer) : QString());
        if (e.StampTime) {
            EXPECT_EQ(valueOf(vevent, "DTSTAMP").toString(), wallClock(macStampToDateTime(firstWord(e.StampTime)), "Z"));
        }
        if (e.ModifiedStamp) {
            EXPECT_EQ(valueOf(vevent, "LAST-MODIFIED").toString(),
                      wallClock(macStampToDateTime(firstWord(e.ModifiedStamp)), "Z"));
        }
        const QJsonObject start = propertyOf(vevent, "DTSTART");
        const QJsonObject end = propertyOf(vevent, "DTEND");
        if (e.TimeZoneText2) {
            EXPECT_EQ(start[QStringLiteral("value")].toString(), wallClock(CalendarStampToDateTime(firstWord(e.StartTime))));
            EXPECT_EQ(end[QStringLiteral("value")].toString(), wallClock(CalendarStampToDateTime(firstWord(e.EndTime))));
            EXPECT_EQ(start[QStringLiteral("params")].toObject()[QStringLiteral("TZID")].toString(), text(e.TimeZoneText2));
        } else {
            EXPECT_TRUE(start.isEmpty() && end.isEmpty());
        }
        EXPECT_EQ(valueOf(vevent, "X-MICROSOFT-CDO-ALLDAYEVENT").toString(),
                  !e.AllDayData ? QString() : e.AllDayData->at(0) ? QStringLiteral("TRUE") : QStringLiteral("FALSE"));
    }

    const QString tasks = bundlePath(dir.path()) + QStringLiteral("/Tasks/");
    EXPECT_EQ(filesIn(tasks).size(), int(kSampleTasks));
    QStringList taskCopies;
    for (const TasksInformation& t : state.tsrcList) {
        const bool bare = t.Priority < 0 || t.Priority > 5;
        taskCopies << readableCopy(tasks + guidFileName(*t.GUID), bare ? QList<QByteArray>{"Priority:"} : QList<QByteArray>{},
                                   scratch);
    }
    const QJsonArray todos = parsedFiles(taskCopies);
    ASSERT_EQ(todos.size(), int(kSampleTasks));
    for (int i = 0; i < todos.size(); ++i) {
        const TasksInformation& t = state.tsrcList[i];
        const QJsonObject todo = componentOf(todos[i], "VTODO");
        EXPECT_EQ(valueOf(todo, "UID").toString(), QString::fromLatin1(dashedUid(*t.GUID)));
        EXPECT_EQ(valueOf(todo, "SUMMARY").toString(), text(t.TaskName));
        EXPECT_EQ(valueOf(todo, "DESCRIPTION").toString(), text(t.Note).replace(QLatin1Char('\r'), QLatin1Char('\n')));
        EXPECT_EQ(valueOf(todo, "PRIORITY").toInt(), t.Priority >= 1 && t.Priority <= 5 ? 2 * t.Priority - 1 : 0);
        EXPECT_EQ(valueOf(todo, "DUE").toString(), t.DueDate ? wallClock(macStampToDateTime(leadingStamp(*t.DueDate))) : QString());
        EXPECT_EQ(valueOf(todo, "DTSTAMP").toString(),
                  t.StampTime ? wallClock(macStampToDateTime(leadingStamp(*t.StampTime)), "Z") : QString());
    }
}
