// The portable calendar and note files as python3-icalendar reads them.

#include "../PythonCheck.h"
#include "../ScanTestSupport.h"

#include "PimBlocks.h"
#include "SampleDatabase.h"

#include "calendar/PortableICalendar.h"
#include "output/ICalendarFile.h"
#include "output/ItemFiles.h"
#include "archive/PortableExport.h"
#include "format/BlockView.h"

#include <QJsonObject>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QTimeZone>

using namespace er;
using namespace testdb;

namespace {

const QByteArray kHead = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Vantrel Kestrane//Entourage Repair//EN\r\n"
                         "CALSCALE:GREGORIAN\r\n";

void addEvent(ScanState& state, const QList<Property>& props)
{
    decodeBlock(state, BlockTag::CLRC, BlockView::whole(eventBlock(props)));
}

void addTask(ScanState& state, const QList<Property>& props)
{
    decodeBlock(state, BlockTag::TSRC, BlockView::whole(taskBlock(props)));
}

void addNote(ScanState& state, const QList<Property>& props)
{
    decodeBlock(state, BlockTag::NTRC, BlockView::whole(noteBlock(props)));
}

Property start(int y, int mo, int d, int h = 0, int mi = 0)
{
    return prop(kEventStartTag, calendarTime(calendarStamp(y, mo, d, h, mi)));
}

Property end(int y, int mo, int d, int h = 0, int mi = 0)
{
    return prop(kEventEndTag, calendarTime(calendarStamp(y, mo, d, h, mi)));
}

const Property kAllDay = prop(kEventAllDayTag, QByteArray(1, '\1'));

QByteArray recurrence(const QList<QByteArray>& rules)
{
    QByteArray data;
    for (const QByteArray& rule : rules)
        data += QByteArray("\x04\x00\x85\x00\x1E", 5) + be32(quint32(rule.size())) + be32(0) + rule;
    return data + be32(0);
}

QByteArray alarmData(const QByteArray& description, const QByteArray& trigger)
{
    return QByteArray("\x04\x00\x76\x00\x1E", 5) + be32(quint32(description.size())) + be32(0) + description
        + QByteArray("\x05\x00\x10\x00\x1E", 5) + QByteArray(9, '\0') + trigger.leftJustified(12, '\0')
        + QByteArray("\x04\x01\x91\x00\x1E", 5) + be32(7) + be32(0) + "DISPLAY" + be32(0);
}

// Every physical line ends in CR LF, holds at most 75 octets and is valid
// UTF-8 by itself (folding never splits a character).
void expectWellFormed(const QByteArray& file)
{
    ASSERT_TRUE(file.startsWith(kHead) && file.endsWith("END:VCALENDAR\r\n"));
    QList<QByteArray> lines = file.split('\n');
    EXPECT_TRUE(lines.takeLast().isEmpty());
    QTextCodec* utf8 = QTextCodec::codecForMib(106);
    for (QByteArray line : lines) {
        ASSERT_TRUE(line.endsWith('\r')) << line.constData();
        line.chop(1);
        EXPECT_FALSE(line.contains('\r')) << line.constData();
        EXPECT_LE(line.size(), 75) << line.constData();
        QTextCodec::ConverterState state;
        utf8->toUnicode(line.constData(), line.size(), &state);
        EXPECT_TRUE(state.invalidChars == 0 && state.remainingChars == 0) << line.toHex().constData();
    }
}

// The calendar's components as the reader gives them, after checking the
// file's form and that each item (each component but a VTIMEZONE) has
// exactly one UID and one DTSTAMP.
QJsonArray readBack(const QByteArray& file)
{
    expectWellFormed(file);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("calendar.ics"));
    QFile out(path);
    EXPECT_TRUE(out.open(QIODevice::WriteOnly) && out.write(file) == file.size());
    out.close();
    const QJsonObject calendar = ertest::pythonCheck("ics_round_trip.py", {path}).at(0)["calendar"].toObject();
    EXPECT_EQ(calendar["name"].toString(), "VCALENDAR");
    const QJsonArray components = calendar["components"].toArray();
    for (const QJsonValue c : components) {
        EXPECT_TRUE(c["errors"].toArray().isEmpty()) << QJsonDocument(c.toObject()).toJson().constData();
        if (c["name"] == "VTIMEZONE")
            continue;
        int uids = 0, stamps = 0;
        for (const QJsonValue p : c["props"].toArray()) {
            uids += p["name"] == "UID";
            stamps += p["name"] == "DTSTAMP";
        }
        EXPECT_TRUE(uids == 1 && stamps == 1) << QJsonDocument(c.toObject()).toJson().constData();
    }
    return components;
}

// The value of a property ("<none>" when absent), or of one of its parameters.
std::string valueOf(const QJsonValue& component, const char* name, const char* param = nullptr)
{
    for (const QJsonValue p : component["props"].toArray())
        if (p["name"] == QLatin1String(name))
            return (param ? p["params"][QLatin1String(param)] : p["value"]).toVariant().toString().toStdString();
    return "<none>";
}

QJsonArray readBackCalendar(const ScanState& state, int utcOffset = 0)
{
    return readBack(calendarICalendarFile(state, utcOffset));
}

} // namespace

TEST(PortableICalendar, TextsReadBackExactlyInEveryComponent)
{
    ERTEST_REQUIRE_PYTHON("icalendar");
    // Stored line breaks are CR (also CR LF); the reader gives LF.
    QString longText;
    const QString pieces[] = {QString::fromUtf8("会議"), ",", ";", "\\", "\r",
                              QString::fromUtf8("é"), "x y", "\r\n"};
    for (int i = 0; longText.size() < 500; ++i)
        longText += pieces[i % 8];
    longText.truncate(500);
    auto read = [](QString s) { return s.replace("\r\n", "\n").replace('\r', '\n').toStdString(); };
    const QString texts[][3] = {
        {"Project meeting", "Room 12", "Agenda: budget"},
        {QString::fromUtf8("Réunion chez Ørsted"), QString::fromUtf8("Straße 5, Århus"),
         QString::fromUtf8("Café, crème; brûlée")},
        {QString::fromUtf8("会議室の予定"), QString::fromUtf8("東京本社 三階"), longText},
        // Backslashes only before other characters: see ics_round_trip.py.
        {",;\\ ,;\\", QString::fromUtf8("a;b,c\\d\re"), ";;;,,,\\x\r\r\n\\ y\\"},
        {QString(76, QChar(0x00E9)), QString(40, QChar(0x4E2D)) + "a", QString(300, ',')}};

    ScanState state;
    for (const auto& t : texts)
        addEvent(state, {wideProp(kEventSummaryTag, t[0]), wideProp(kEventLocationTag, t[1]),
                         wideProp(kEventDescriptionTag, t[2]), start(2008, 5, 7, 10)});
    for (const auto& t : texts) {
        addTask(state, {wideProp(kTaskNameTag, t[0]), wideProp(kTaskNoteTag, t[2])});
        addNote(state, {wideProp(kNoteSummaryTag, t[1]), wideProp(kNoteDescriptionTag, t[2])});
    }
    EXPECT_TRUE(calendarICalendarFile(state, 0).contains("\r\nSUMMARY:\\,\\;\\\\ \\,\\;\\\\\r\n"));
    const QJsonArray calendar = readBackCalendar(state);
    const QJsonArray notes = readBack(notesICalendarFile(state));
    ASSERT_EQ(calendar.size(), 10);
    ASSERT_EQ(notes.size(), 5);
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        const QJsonValue event = calendar[i], task = calendar[5 + i], note = notes[i];
        EXPECT_EQ(event["name"], "VEVENT");
        EXPECT_EQ(valueOf(event, "SUMMARY"), read(texts[i][0]));
        EXPECT_EQ(valueOf(event, "LOCATION"), read(texts[i][1]));
        EXPECT_EQ(valueOf(event, "DESCRIPTION"), read(texts[i][2]));
        EXPECT_EQ(task["name"], "VTODO");
        EXPECT_EQ(valueOf(task, "SUMMARY"), read(texts[i][0]));
        EXPECT_EQ(valueOf(task, "DESCRIPTION"), read(texts[i][2]));
        EXPECT_EQ(note["name"], "VJOURNAL");
        EXPECT_EQ(valueOf(note, "SUMMARY"), read(texts[i][1]));
        EXPECT_EQ(valueOf(note, "DESCRIPTION"), read(texts[i][2]));
    }

    // Office 2004 text is stored 8-bit; inner and trailing zero bytes never reach the file.
    ScanState old;
    old.office2004 = true;
    addEvent(old, {wrappedProp(kEventSummaryWrappedTag, QByteArray("Re\0view\0", 8)),
                   wrappedProp(kEventLocationWrappedTag, QByteArray("Room 7\0junk", 11))});
    // Control characters other than tab and line breaks are not allowed in TEXT.
    addEvent(old, {wrappedProp(kEventSummaryWrappedTag, "Bell\x07\x1B[0m\tand\x7F tab"),
                   wrappedProp(kEventDescriptionWrappedTag, "\x01\x02")});
    // 8-bit text that is not UTF-8 is the Mac's Roman set, in events, tasks
    // and notes alike: no byte becomes a replacement character.
    addEvent(old, {wrappedProp(kEventSummaryWrappedTag, "Treffen M\x9Fller"),
                   wrappedProp(kEventLocationWrappedTag, "Caf\x8E"),
                   wrappedProp(kEventDescriptionWrappedTag, "caf\xC3\xA9 stays UTF-8")});
    addTask(old, {prop(kTaskNameTag, "\xFF\xFFM\x9Fller anrufen")});
    addNote(old, {prop(kNoteSummaryTag, "\xFF\xFFGr\xA4\x9A\xDB")});
    const QJsonArray oldEvents = readBackCalendar(old);
    ASSERT_EQ(oldEvents.size(), 4);
    EXPECT_EQ(valueOf(oldEvents[0], "SUMMARY"), "Review");
    EXPECT_EQ(valueOf(oldEvents[0], "LOCATION"), "Room 7");
    EXPECT_EQ(valueOf(oldEvents[1], "SUMMARY"), "Bell[0m\tand tab");
    EXPECT_EQ(valueOf(oldEvents[1], "DESCRIPTION"), "<none>");
    EXPECT_EQ(valueOf(oldEvents[2], "SUMMARY"), "Treffen Müller");
    EXPECT_EQ(valueOf(oldEvents[2], "LOCATION"), "Café");
    EXPECT_EQ(valueOf(oldEvents[2], "DESCRIPTION"), "café stays UTF-8");
    EXPECT_EQ(valueOf(oldEvents[3], "SUMMARY"), "Müller anrufen");
    const QJsonArray oldNotes = readBack(notesICalendarFile(old));
    ASSERT_EQ(oldNotes.size(), 1);
    EXPECT_EQ(valueOf(oldNotes[0], "SUMMARY"), "Gr§ö€");
}

TEST(PortableICalendar, EventTimesAreTheStoredOnes)
{
    ERTEST_REQUIRE_PYTHON("icalendar");
    struct Case {
        const char* what;
        bool office2004;
        QList<Property> props;
        std::string start, end;
        bool startLost = false;
        std::string tzid = "", windowsName = "<none>", ianaName = "<none>"; // TZID, the names kept
    };
    const Property noon2004 = prop(kEventStart2004Tag, be32(calendarStamp(2004, 3, 1, 12, 0)));
    const Property berlin = prop(kEventTimeZoneTag, timeZone2008(34, "Europe/Berlin", "W. Europe Standard Time"));
    const Case cases[] = {
        {"wall-clock times stay floating", false, {start(2008, 5, 7, 10), end(2008, 5, 7, 11, 30)},
         "20080507T100000", "20080507T113000"},
        // The reader shows the wall-clock time and its zone.
        {"a named zone: its TZID", false, {start(2008, 5, 7, 10), end(2008, 5, 7, 11, 30), berlin},
         "20080507T100000?Europe/Berlin=20080507T080000Z", "20080507T113000?Europe/Berlin=20080507T093000Z", false, "Europe/Berlin"},
        {"only the Windows-style name, as stored", false,
         {start(2008, 5, 7, 10), prop(kEventTimeZoneTag, timeZone2008(0, "", "Tokyo Standard Time"))},
         "20080507T100000?Asia/Tokyo=20080507T010000Z", "<none>", false, "Asia/Tokyo"},
        {"an unknown IANA-style name, the Windows-style one without its suffix", false,
         {start(2008, 5, 7, 10), prop(kEventTimeZoneTag, timeZone2008(0, "Nowhere/Town", "W. Europe"))},
         "20080507T100000?Europe/Berlin=20080507T080000Z", "<none>", false, "Europe/Berlin"},
        {"no zone known: floating, the names kept", false,
         {start(2008, 5, 7, 10), end(2008, 5, 7, 11),
          prop(kEventTimeZoneTag, timeZone2008(9, "Mars/Olympus", "Olympus Mons"))},
         "20080507T100000", "20080507T110000", false, "", "Olympus Mons", "Mars/Olympus"},
        // A stored name is never a path: this one would reach a zone file.
        {"a name that is a path", false,
         {start(2008, 5, 7, 10), prop(kEventTimeZoneTag, timeZone2008(9, "../../../../usr/share/zoneinfo/UTC", ""))},
         "20080507T100000", "<none>", false, "", "<none>", "../../../../usr/share/zoneinfo/UTC"},
        {"all-day in a zone: dates", false, {kAllDay, start(2008, 5, 12), end(2008, 5, 13), berlin}, "20080512",
         "20080513"},
        {"all-day: DATE values, the end exclusive", false, {kAllDay, start(2008, 5, 12), end(2008, 5, 13)},
         "20080512", "20080513"},
        {"all-day ending late on its last day", false, {kAllDay, start(2008, 5, 12), end(2008, 5, 13, 23, 59)},
         "20080512", "20080514"},
        {"all-day without end lasts one day", false, {kAllDay, start(2008, 12, 31)}, "20081231", "20090101"},
        {"an end before the start is dropped", false, {start(2008, 5, 7, 10), end(2008, 5, 7, 9)},
         "20080507T100000", "<none>"},
        {"an end equal to the start is dropped", false, {start(2008, 5, 7, 10), end(2008, 5, 7, 10)},
         "20080507T100000", "<none>"},
        {"only an end: it is the start", false, {end(2008, 5, 7, 9)}, "20080507T090000", "<none>"},
        {"no time: the day of its stamp", false, {prop(kEventStampTag, macTime(macStamp(2008, 5, 2, 8, 15)))},
         "20080502", "<none>", true},
        {"Office 2004 times are UTC, whatever zone is named", true,
         {noon2004, prop(kEventEnd2004Tag, be32(calendarStamp(2004, 3, 1, 13, 0))),
          prop(kEventTimeZoneTag, timeZone2004(4, "Europe/Berlin"))},
         "20040301T120000Z", "20040301T130000Z"},
        // Local midnight of 12 and 13 July at UTC+2, stored in UTC, read while the host is at UTC+1.
        {"Office 2004 all-day dates", true,
         {kAllDay, prop(kEventStart2004Tag, be32(calendarStamp(2004, 7, 11, 22, 0))),
          prop(kEventEnd2004Tag, be32(calendarStamp(2004, 7, 12, 22, 0)))},
         "20040712", "20040713"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScanState state;
        state.office2004 = c.office2004;
        addEvent(state, c.props);
        const QJsonArray items = readBackCalendar(state, 3600);
        ASSERT_EQ(items.size(), c.tzid.empty() ? 1 : 2);
        const QJsonValue event = items.last();
        EXPECT_EQ(valueOf(event, "DTSTART"), c.start);
        EXPECT_EQ(valueOf(event, "DTEND"), c.end);
        EXPECT_EQ(valueOf(event, "DTSTART", "TZID"), c.tzid);
        EXPECT_EQ(valueOf(event, "X-ENTOURAGE-START-UNKNOWN"), c.startLost ? "TRUE" : "<none>");
        EXPECT_EQ(valueOf(event, "X-ENTOURAGE-TZID"), c.windowsName);
        EXPECT_EQ(valueOf(event, "X-ENTOURAGE-CFTIMEZONE"), c.ianaName);
        if (!c.tzid.empty()) {
            EXPECT_EQ(valueOf(items[0], "TZID"), c.tzid);
        }
    }
    // Office 2004 all-day dates west of UTC: midnight of 29 February at UTC-5.
    ScanState west;
    west.office2004 = true;
    addEvent(west, {kAllDay, prop(kEventStart2004Tag, be32(calendarStamp(2004, 2, 29, 5, 0)))});
    EXPECT_EQ(valueOf(readBackCalendar(west, -5 * 3600)[0], "DTSTART"), "20040229");
}

TEST(PortableICalendar, OneTimeZoneForEachZoneBeforeItsEvents)
{
    ERTEST_REQUIRE_PYTHON("icalendar");
    auto zone = [](const QByteArray& ianaName, const QByteArray& windowsName) {
        return prop(kEventTimeZoneTag, timeZone2008(1, ianaName, windowsName));
    };
    ScanState state;
    addEvent(state, {start(2008, 5, 7, 10), zone("Europe/Berlin", "")});
    addEvent(state, {start(2006, 4, 1, 12), zone("", "Eastern")});
    // Berlin again by another name: still one zone, its years widened.
    addEvent(state, {start(2009, 1, 5, 9), end(2009, 1, 5, 10), zone("", "W. Europe Standard Time")});
    addEvent(state, {start(2008, 5, 7, 10), zone("Asia/Kolkata", "")});
    addEvent(state, {start(2007, 6, 1, 9), zone("America/New_York", "")});
    // Dates and floating times add no zone and no years.
    addEvent(state, {kAllDay, start(2003, 1, 1), zone("Europe/Berlin", "")});
    addEvent(state, {kAllDay, start(2008, 1, 1), zone("Europe/Lisbon", "")});
    addEvent(state, {start(2008, 5, 7, 10), zone("Mars/Olympus", "")});
    const QByteArray file = calendarICalendarFile(state, 0);
    EXPECT_TRUE(file.contains("\r\nTZOFFSETFROM:-0500\r\nTZOFFSETTO:-0400\r\n")) << file.constData();

    struct Observance {
        const char* kind;
        std::string start; // local time, never UTC
        int from, to;
        std::string rule, name;
    };
    const std::string none = "<none>";
    const struct {
        const char* tzid;
        std::vector<Observance> observances;
    } zones[] = {
        // 2005 to 2008: the rules changed in 2007 and hold since.
        {"America/New_York",
         {{"STANDARD", "20050101T000000", -18000, -18000, none, "EST"},
          {"DAYLIGHT", "20050403T020000", -18000, -14400, none, "EDT"},
          {"STANDARD", "20051030T020000", -14400, -18000, none, "EST"},
          {"DAYLIGHT", "20060402T020000", -18000, -14400, none, "EDT"},
          {"STANDARD", "20061029T020000", -14400, -18000, none, "EST"},
          {"DAYLIGHT", "20070311T020000", -18000, -14400, "FREQ=YEARLY;BYDAY=2SU;BYMONTH=3", "EDT"},
          {"STANDARD", "20071104T020000", -14400, -18000, "FREQ=YEARLY;BYDAY=1SU;BYMONTH=11", "EST"}}},
        {"Asia/Kolkata", {{"STANDARD", "20070101T000000", 19800, 19800, none, "IST"}}},
        {"Europe/Berlin",
         {{"STANDARD", "20070101T000000", 3600, 3600, none, "CET"},
          {"DAYLIGHT", "20070325T020000", 3600, 7200, "FREQ=YEARLY;BYDAY=-1SU;BYMONTH=3", "CEST"},
          {"STANDARD", "20071028T030000", 7200, 3600, "FREQ=YEARLY;BYDAY=-1SU;BYMONTH=10", "CET"}}}};
    const QJsonArray items = readBack(file);
    ASSERT_EQ(items.size(), 3 + 8);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(zones[i].tzid);
        EXPECT_EQ(items[i]["name"], "VTIMEZONE");
        EXPECT_EQ(valueOf(items[i], "TZID"), zones[i].tzid);
        const QJsonArray observances = items[i]["components"].toArray();
        ASSERT_EQ(observances.size(), int(zones[i].observances.size()));
        for (int j = 0; j < observances.size(); ++j) {
            SCOPED_TRACE(j);
            const Observance& o = zones[i].observances[j];
            EXPECT_EQ(observances[j]["name"], o.kind);
            EXPECT_EQ(valueOf(observances[j], "DTSTART"), o.start);
            EXPECT_EQ(valueOf(observances[j], "TZOFFSETFROM"), std::to_string(o.from));
            EXPECT_EQ(valueOf(observances[j], "TZOFFSETTO"), std::to_string(o.to));
            EXPECT_EQ(valueOf(observances[j], "RRULE"), o.rule);
            EXPECT_EQ(valueOf(observances[j], "TZNAME"), o.name);
        }
    }
    const char* tzids[] = {"Europe/Berlin", "America/New_York", "Europe/Berlin", "Asia/Kolkata",
                           "America/New_York", "", "", ""};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(items[3 + i]["name"], "VEVENT");
        EXPECT_EQ(valueOf(items[3 + i], "DTSTART", "TZID"), tzids[i]) << i;
    }
}

TEST(PortableICalendar, RecurrenceRulesAreValidOrKeptAside)
{
    const struct {
        const char* text;
        StartForm form;
        const char* rule; // empty: not a valid rule
    } rules[] = {
        {"FREQ=WEEKLY;INTERVAL=1;BYDAY=FR", StartForm::Floating, "FREQ=WEEKLY;INTERVAL=1;BYDAY=FR"},
        {"freq=monthly;bymonthday=-1;count=12", StartForm::Floating, "FREQ=MONTHLY;BYMONTHDAY=-1;COUNT=12"},
        {"FREQ=YEARLY;BYMONTH=2;BYDAY=-1SU,2MO;WKST=MO", StartForm::Date,
         "FREQ=YEARLY;BYMONTH=2;BYDAY=-1SU,2MO;WKST=MO"},
        // UNTIL takes the form of DTSTART (here with the offset +01:00).
        {"FREQ=DAILY;UNTIL=20081231T230000Z", StartForm::Floating, "FREQ=DAILY;UNTIL=20090101T000000"},
        {"FREQ=DAILY;UNTIL=20081231T230000Z", StartForm::Date, "FREQ=DAILY;UNTIL=20090101"},
        {"FREQ=DAILY;UNTIL=20081231", StartForm::Floating, "FREQ=DAILY;UNTIL=20081231T235959"},
        {"FREQ=DAILY;UNTIL=20081231", StartForm::Utc, "FREQ=DAILY;UNTIL=20081231T225959Z"},
        // A start in a zone (here Europe/Berlin, at +02:00 in July): UNTIL in
        // UTC, a local bound moved by the zone, not by the host's offset.
        {"FREQ=DAILY;UNTIL=20080701T120000", StartForm::Zoned, "FREQ=DAILY;UNTIL=20080701T100000Z"},
        {"FREQ=DAILY;UNTIL=20080701", StartForm::Zoned, "FREQ=DAILY;UNTIL=20080701T215959Z"},
        {"FREQ=DAILY;UNTIL=20081231T230000Z", StartForm::Zoned, "FREQ=DAILY;UNTIL=20081231T230000Z"},
        {"", StartForm::Floating, ""},
        {"INTERVAL=2", StartForm::Floating, ""},
        {"FREQ=FORTNIGHTLY", StartForm::Floating, ""},
        {"FREQ=DAILY;COUNT=3;UNTIL=20081231", StartForm::Floating, ""},
        {"FREQ=DAILY;FREQ=WEEKLY", StartForm::Floating, ""},
        {"FREQ=DAILY;COUNT=0", StartForm::Floating, ""},
        {"FREQ=DAILY;UNTIL=20081332", StartForm::Floating, ""},
        {"FREQ=WEEKLY;BYDAY=XX", StartForm::Floating, ""},
        {"FREQ=MONTHLY;BYMONTHDAY=0", StartForm::Floating, ""},
        {"FREQ=YEARLY;BYMONTH=13", StartForm::Floating, ""},
        {"FREQ=DAILY;X-NAME=1", StartForm::Floating, ""},
        {"FREQ=DAILY\r\nDTSTART:20000101", StartForm::Floating, ""}};
    for (const auto& r : rules)
        EXPECT_EQ(validRecurrenceRule(r.text, r.form, 3600, QTimeZone("Europe/Berlin")), QByteArray(r.rule)) << r.text;

    ERTEST_REQUIRE_PYTHON("icalendar");
    const Property on = prop(kEventRecurringTag, QByteArray(1, '\1'));
    ScanState state;
    addEvent(state, {start(2008, 5, 9, 15), on, prop(kEventRecurrenceTag, recurrence({"FREQ=WEEKLY;BYDAY=FR"}))});
    addEvent(state, {start(2008, 5, 9, 15), on, prop(kEventRecurrenceTag, recurrence({"FREQ=SOMETIMES;X"}))});
    addEvent(state, {start(2008, 5, 9, 15), on,
                     prop(kEventRecurrenceTag, recurrence({"FREQ=DAILY;COUNT=2", "FREQ=YEARLY"}))});
    addEvent(state, {start(2008, 5, 9, 15), on, prop(kEventRecurrenceTag, "\x01\x02no rule")});
    // Not marked recurring: the data are not looked at.
    addEvent(state, {start(2008, 5, 9, 15), prop(kEventRecurrenceTag, recurrence({"FREQ=DAILY"}))});
    const QJsonArray events = readBackCalendar(state);
    ASSERT_EQ(events.size(), 5);
    EXPECT_EQ(valueOf(events[0], "RRULE"), "FREQ=WEEKLY;BYDAY=FR");
    EXPECT_EQ(valueOf(events[1], "RRULE"), "<none>");
    EXPECT_EQ(valueOf(events[1], "X-ENTOURAGE-RECURRENCE"), "FREQ=SOMETIMES;X");
    EXPECT_EQ(valueOf(events[2], "RRULE"), "FREQ=DAILY;COUNT=2");
    EXPECT_EQ(valueOf(events[2], "X-ENTOURAGE-RECURRENCE"), "FREQ=YEARLY");
    EXPECT_EQ(valueOf(events[3], "RRULE"), "<none>");
    EXPECT_EQ(valueOf(events[3], "X-ENTOURAGE-RECURRENCE-DATA"),
              QByteArray("\x01\x02no rule").toBase64().toStdString());
    EXPECT_EQ(valueOf(events[4], "RRULE"), "<none>");
    EXPECT_EQ(valueOf(events[4], "X-ENTOURAGE-RECURRENCE"), "<none>");
}

TEST(PortableICalendar, AlarmsAndReminders)
{
    ERTEST_REQUIRE_PYTHON("icalendar");
    const Property on = prop(kEventHasAlarmTag, QByteArray(1, '\1'));
    ScanState state;
    addEvent(state, {wideProp(kEventSummaryTag, "Review"), start(2008, 5, 9, 15), on,
                     prop(kEventAlarmTag, alarmData("Get ready", "-PT15M"))});
    addEvent(state, {wideProp(kEventSummaryTag, "Review"), start(2008, 5, 9, 15), on,
                     prop(kEventAlarmTag, alarmData("", "-P1DT2H"))});
    addEvent(state, {start(2008, 5, 9, 15), on, prop(kEventAlarmTag, alarmData("x", "soon"))});
    addEvent(state, {start(2008, 5, 9, 15), prop(kEventAlarmTag, alarmData("x", "-PT5M"))});
    const Property reminderOn = prop(kTaskHasReminderTag, QByteArray(1, '\1'));
    const Property reminder = prop(kTaskReminderDateTag, macTime(macStamp(2008, 5, 30, 9, 0)));
    addTask(state, {wideProp(kTaskNameTag, "Pay"), reminderOn, reminder,
                    prop(kTaskDueDateTag, macTime(macStamp(2008, 6, 1, 17, 0)))});
    addTask(state, {reminderOn, reminder, prop(kTaskStartDateTag, macTime(macStamp(2008, 5, 29)))});
    addTask(state, {reminderOn, reminder});
    addTask(state, {reminder, prop(kTaskDueDateTag, macTime(macStamp(2008, 6, 1)))});
    const QJsonArray items = readBackCalendar(state, 7200);
    ASSERT_EQ(items.size(), 8);
    auto alarmOf = [](const QJsonValue& item) { return item["components"].toArray().at(0); };
    for (int i : {0, 1, 4, 5, 6}) {
        SCOPED_TRACE(i);
        ASSERT_EQ(items[i]["components"].toArray().size(), 1);
        EXPECT_EQ(alarmOf(items[i])["name"], "VALARM");
        EXPECT_EQ(valueOf(alarmOf(items[i]), "ACTION"), "DISPLAY");
    }
    EXPECT_EQ(valueOf(alarmOf(items[0]), "TRIGGER"), "-900");
    EXPECT_EQ(valueOf(alarmOf(items[0]), "DESCRIPTION"), "Get ready");
    EXPECT_EQ(valueOf(alarmOf(items[1]), "TRIGGER"), "-93600");
    EXPECT_EQ(valueOf(alarmOf(items[1]), "DESCRIPTION"), "Review");
    // A trigger that is no duration, or no alarm flag: no alarm.
    EXPECT_TRUE(items[2]["components"].toArray().isEmpty());
    EXPECT_TRUE(items[3]["components"].toArray().isEmpty());
    // Task reminders: before the due date, after the start, else at the UTC time.
    EXPECT_EQ(valueOf(alarmOf(items[4]), "TRIGGER"), "-201600");
    EXPECT_EQ(valueOf(alarmOf(items[4]), "TRIGGER", "RELATED"), "END");
    EXPECT_EQ(valueOf(alarmOf(items[4]), "DESCRIPTION"), "Pay");
    EXPECT_EQ(valueOf(alarmOf(items[5]), "TRIGGER"), "118800");
    EXPECT_EQ(valueOf(alarmOf(items[6]), "TRIGGER"), "20080530T070000Z");
    EXPECT_TRUE(items[7]["components"].toArray().isEmpty());
}

TEST(PortableICalendar, TaskDates)
{
    ERTEST_REQUIRE_PYTHON("icalendar");
    ScanState state;
    addTask(state, {prop(kTaskStartDateTag, macTime(macStamp(2008, 5, 5))),
                    prop(kTaskDueDateTag, macTime(macStamp(2008, 6, 1, 17, 0)))});
    // A start after the due date is not offered as DTSTART.
    addTask(state, {prop(kTaskStartDateTag, macTime(macStamp(2008, 6, 2))),
                    prop(kTaskDueDateTag, macTime(macStamp(2008, 6, 1)))});
    // A zero stamp is an empty date, not 1 January 1904.
    addTask(state, {prop(kTaskDueDateTag, macTime(0))});
    const QJsonArray tasks = readBackCalendar(state);
    ASSERT_EQ(tasks.size(), 3);
    EXPECT_EQ(valueOf(tasks[0], "DTSTART"), "20080505T000000");
    EXPECT_EQ(valueOf(tasks[0], "DUE"), "20080601T170000");
    EXPECT_EQ(valueOf(tasks[1], "DTSTART"), "<none>");
    EXPECT_EQ(valueOf(tasks[1], "X-ENTOURAGE-START"), "20080602T000000");
    EXPECT_EQ(valueOf(tasks[1], "DUE"), "20080601T000000");
    EXPECT_EQ(valueOf(tasks[2], "DUE"), "<none>");
}

TEST(PortableICalendar, UidsAndStampsAreStableAndUnique)
{
    ERTEST_REQUIRE_PYTHON("icalendar");
    const quint32 changed = macStamp(2008, 5, 2, 8, 15);
    ScanState state;
    addEvent(state, {prop(kEventGuidTag, guidBytes(0x40)), prop(kEventStampTag, macTime(changed)),
                     wideProp(kEventSummaryTag, "A")});
    addEvent(state, {prop(kEventGuidTag, guidBytes(0x40)), prop(kEventModifiedTag, macTime(changed)),
                     wideProp(kEventSummaryTag, "Same GUID")});
    addEvent(state, {wideProp(kEventSummaryTag, "No GUID")});
    addEvent(state, {wideProp(kEventSummaryTag, "No GUID")});
    addTask(state, {prop(kTaskGuidTag, guidBytes(0x40)), prop(kTaskStampTimeTag, macTime(changed))});
    addTask(state, {wideProp(kTaskNameTag, "No GUID")});
    addNote(state, {prop(kNoteGuidTag, guidBytes(0xA0)), prop(kNoteStampTimeTag, macTime(changed))});
    addNote(state, {wideProp(kNoteSummaryTag, "Undated")});

    const QByteArray file = calendarICalendarFile(state, 0);
    EXPECT_EQ(file, calendarICalendarFile(state, 0));
    EXPECT_EQ(notesICalendarFile(state), notesICalendarFile(state));
    const QJsonArray items = readBack(file);
    const QJsonArray notes = readBack(notesICalendarFile(state));
    ASSERT_EQ(items.size(), 6);
    ASSERT_EQ(notes.size(), 2);
    const std::string guid = dashedUid(guidBytes(0x40)).toStdString();
    EXPECT_EQ(valueOf(items[0], "UID"), guid);
    EXPECT_EQ(valueOf(items[1], "UID"), guid + "-2");
    EXPECT_EQ(valueOf(items[4], "UID"), guid + "-3");
    EXPECT_EQ(valueOf(notes[0], "UID"), dashedUid(guidBytes(0xA0)).toStdString());
    std::set<std::string> uids;
    for (const QJsonValue item : items)
        uids.insert(valueOf(item, "UID"));
    EXPECT_EQ(uids.size(), 6u);
    EXPECT_EQ(valueOf(items[2], "UID").rfind("ENTOURAGE-REPAIR-VEVENT-2-", 0), 0u) << valueOf(items[2], "UID");
    EXPECT_EQ(valueOf(items[5], "UID").rfind("ENTOURAGE-REPAIR-VTODO-1-", 0), 0u) << valueOf(items[5], "UID");
    EXPECT_EQ(valueOf(notes[1], "UID").rfind("ENTOURAGE-REPAIR-VJOURNAL-1-", 0), 0u) << valueOf(notes[1], "UID");

    // The derived UID follows the item's content, not the order of the other kinds.
    ScanState other;
    addEvent(other, {wideProp(kEventSummaryTag, "Other")});
    addEvent(other, {wideProp(kEventSummaryTag, "Other")});
    addEvent(other, {wideProp(kEventSummaryTag, "No GUID")});
    EXPECT_EQ(valueOf(readBackCalendar(other)[2], "UID"), valueOf(items[2], "UID"));

    // DTSTAMP: the item's stamp (modification, then creation), else the fixed value.
    for (int i : {0, 1, 4})
        EXPECT_EQ(valueOf(items[i], "DTSTAMP"), "20080502T081500Z") << i;
    EXPECT_EQ(valueOf(items[1], "LAST-MODIFIED"), "20080502T081500Z");
    for (const QJsonValue& item : {items[2], items[5], notes[1]})
        EXPECT_EQ(valueOf(item, "DTSTAMP"), kFallbackDtStamp);
    EXPECT_EQ(valueOf(notes[0], "DTSTAMP"), "20080502T081500Z");
    EXPECT_EQ(valueOf(notes[0], "DTSTART"), "20080502T081500");
    EXPECT_EQ(valueOf(notes[1], "DTSTART"), "<none>");
}

TEST(PortableICalendar, EmptyScan)
{
    const ScanState empty;
    EXPECT_EQ(calendarICalendarFile(empty), kHead + "END:VCALENDAR\r\n");
    EXPECT_EQ(notesICalendarFile(empty), kHead + "END:VCALENDAR\r\n");

    ERTEST_REQUIRE_PYTHON("icalendar");
    EXPECT_TRUE(readBack(calendarICalendarFile(empty)).isEmpty());
}
