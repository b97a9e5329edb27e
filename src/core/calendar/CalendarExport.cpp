#include "calendar/CalendarExport.h"

#include "format/TimeConversion.h"
#include "output/ItemFiles.h"
#include "format/ByteOrder.h"
#include "format/Clock.h"

#include <QLocale>

#include <cstring>

namespace er {

namespace {

// The Office 2008 form's time-zone block starts on this fixed date.
const char kZoneOnsetOf2008[] = "20070101T010000";

void addLine(QByteArray& out, const char* label, const QByteArray& value = QByteArray())
{
    out += label;
    out += value;
    out += "\r\n";
}

void addHeader(QByteArray& out)
{
    addLine(out, "BEGIN:VCALENDAR");
    addLine(out, "VERSION:2.0");
    addLine(out, "PRODID:-//Microsoft Corporation//Entourage Mac 11.1 MIMEDIR//EN");
    addLine(out, "METHOD:PUBLISH");
    addLine(out, "BEGIN:VTIMEZONE");
}

template <std::size_t N>
quint32 leadingStampOf(const std::optional<std::array<quint8, N>>& field)
{
    return field ? bigEndianU32(field->data()) : 0;
}

QByteArray textOf(const OptionalBytes& field)
{
    return field ? cutAtNul(*field) : QByteArray();
}

QByteArray zoneIdText(quint64 id)
{
    return id == 0 ? QByteArray() : QByteArray::number(id);
}

void addAllDayLine(QByteArray& out, const EventView& event)
{
    if (event.length(EventField::AllDayData) == 0)
        return;
    const OptionalBytes allDay = event.field(EventField::AllDayData);
    const char first = allDay && !allDay->isEmpty() ? allDay->at(0) : 0;
    if (first == 0)
        addLine(out, "X-MICROSOFT-CDO-ALLDAYEVENT:FALSE");
    else if (first == 1)
        addLine(out, "X-MICROSOFT-CDO-ALLDAYEVENT:TRUE");
}

void addStandardStart(QByteArray& out, const QByteArray& offset)
{
    addLine(out, "BEGIN:STANDARD");
    addLine(out, "TZNAME:Standard Time");
    addLine(out, "TZOFFSETFROM:", offset);
    addLine(out, "TZOFFSETTO:", offset);
}

bool markerAt(const QByteArray& data, int i, const char (&marker)[6])
{
    return i + 5 <= data.size() && std::memcmp(data.constData() + i, marker, 5) == 0;
}

// The u32 at `at`, 0 when it does not lie inside the data.
quint32 wordAt(const QByteArray& data, int at)
{
    return at + 4 <= data.size() ? bigEndianU32(reinterpret_cast<const unsigned char*>(data.constData()) + at) : 0;
}

// A length-prefixed text after a marker at i: r at i + 5, the text at i + 13;
// none when r exceeds the limit or the text does not end before the data do.
std::optional<QByteArray> markedText(const QByteArray& data, int i, quint32 limit)
{
    const quint32 r = wordAt(data, i + 5);
    if (r > limit || static_cast<quint64>(i) + 13 + r >= static_cast<quint64>(data.size()))
        return std::nullopt;
    return cutAtNul(data.mid(i + 13, static_cast<int>(r)));
}

const char kRecurrenceMarker[] = "\x04\x00\x85\x00\x1E";
const char kAlarmDescriptionMarker[] = "\x04\x00\x76\x00\x1E";
const char kAlarmTriggerMarker[] = "\x05\x00\x10\x00\x1E";
const char kAlarmActionMarker[] = "\x04\x01\x91\x00\x1E";

// Every rule found goes on the one line; the line ends even when none was.
void addRecurrenceLine(QByteArray& out, const QByteArray& data)
{
    for (const QByteArray& rule : recurrenceRuleTexts(data))
        out += "RRULE:" + rule;
    out += "\r\n";
}

void addAlarmBlock(QByteArray& out, const EventView& event)
{
    static const char* const kLabels[] = {"DESCRIPTION:", "TRIGGER;RELATED=START:", "ACTION:"};
    addLine(out, "BEGIN:VALARM");
    for (const AlarmEntry& entry : alarmEntries(event))
        addLine(out, kLabels[static_cast<int>(entry.field)], entry.value);
    addLine(out, "END:VALARM");
}

void addZonedTime(QByteArray& out, const char* label, const QByteArray& zone, const QByteArray& time)
{
    addLine(out, label, '"' + zone + "\":" + time);
}

QByteArray event2008(const EventView& event, const QByteArray& offset)
{
    const QByteArray zone = textOf(event.field(EventField::TimeZoneText2));
    const QByteArray startText = event->StartTime
        ? dateTimeICalendarText(calendarStampToDateTime(leadingStampOf(event->StartTime)))
        : QByteArray();
    const QByteArray endText =
        event->EndTime ? dateTimeICalendarText(calendarStampToDateTime(leadingStampOf(event->EndTime))) : QByteArray();

    QByteArray out;
    addHeader(out);
    addLine(out, "TZID:", zone);
    addLine(out, "X-ENTOURAGE-TZID:", zoneIdText(event->TimeZoneID));
    addLine(out, "X-ENTOURAGE-CFTIMEZONE:",
            event.field(EventField::TimeZoneText1) && event.length(EventField::TimeZoneText1) <= 99 ? cutAtNul(*event.field(EventField::TimeZoneText1)) : QByteArray());
    addStandardStart(out, offset);
    addLine(out, "DTSTART:", kZoneOnsetOf2008);
    addLine(out, "END:STANDARD");
    addLine(out, "END:VTIMEZONE");
    addLine(out, "BEGIN:VEVENT");
    if (event.has(EventField::GUID))
        addLine(out, "UID:", uidOf(event.field(EventField::GUID), event.length(EventField::GUID)));
    if (event.has(EventField::EntourageUUID))
        addLine(out, "X-ENTOURAGE_UUID:", cutAtNul(*event.field(EventField::EntourageUUID)));
    addLine(out, "DTSTAMP:", event->StampTime ? macStampICalendarText(leadingStampOf(event->StampTime), true) : QByteArray());
    if (event.has(EventField::TimeZoneText2)) {
        addZonedTime(out, "DTSTART;TZID=", zone, startText);
        addZonedTime(out, "DTEND;TZID=", zone, endText);
    }
    addLine(out, "LAST-MODIFIED:",
            event->ModifiedStamp ? macStampICalendarText(leadingStampOf(event->ModifiedStamp), true) : QByteArray());
    if (event.has(EventField::Summary))
        addLine(out, "SUMMARY:", withoutZeroBytes(*event.field(EventField::Summary)));
    if (event.has(EventField::Description) && event.length(EventField::Description) != 0)
        addLine(out, "DESCRIPTION:", cutAtNul(*event.field(EventField::Description)));
    if (event.has(EventField::Location) && event.length(EventField::Location) != 0)
        addLine(out, "LOCATION:", cutAtNul(*event.field(EventField::Location)));
    if (event.has(EventField::Organizer))
        addLine(out, "ORGANIZER:MAILTO:", cutAtNul(*event.field(EventField::Organizer)));
    addLine(out, "SEQUENCE:0");
    addLine(out, "X-MICROSOFT-CDO-BUSYSTATUS:BUSY");
    addAllDayLine(out, event);
    addLine(out, "X-MICROSOFT-CDO-INSTTYPE:0");
    addLine(out, "END:VEVENT");
    addLine(out, "END:VCALENDAR");
    return out;
}

// Office 2004 stores start and end in UTC; they are written as the host's
// wall-clock time.
QByteArray utcTimeAsHostText(const std::optional<std::array<quint8, 8>>& field, int utcOffsetSeconds)
{
    if (!field)
        return QByteArray();
    return dateTimeICalendarText(calendarStampToDateTime(leadingStampOf(field)).addSecs(utcOffsetSeconds));
}

QByteArray event2004(const EventView& event, const QByteArray& offset, int utcOffsetSeconds)
{
    const QByteArray zone = textOf(event.field(EventField::TimeZoneText1));

    QByteArray out;
    addHeader(out);
    addLine(out, "X-ENTOURAGE-TZID:", zoneIdText(event->TimeZoneID));
    addLine(out, "TZID:", zone);
    addStandardStart(out, offset);
    addLine(out, "END:STANDARD");
    addLine(out, "END:VTIMEZONE");
    addLine(out, "BEGIN:VEVENT");
    if (event.has(EventField::Description) && event.length(EventField::Description) != 0)
        addLine(out, "DESCRIPTION:", cutAtNul(*event.field(EventField::Description)));
    if (event.has(EventField::TimeZoneText1)) {
        addZonedTime(out, "DTEND;TZID=", zone, utcTimeAsHostText(event->EndTime2004, utcOffsetSeconds));
        addZonedTime(out, "DTSTART;TZID=", zone, utcTimeAsHostText(event->StartTime2004, utcOffsetSeconds));
    }
    if (event.has(EventField::Location) && event.length(EventField::Location) != 0)
        addLine(out, "LOCATION:", cutAtNul(*event.field(EventField::Location)));
    if (event->IsRecurring && event.has(EventField::RecurrenceData))
        addRecurrenceLine(out, *event.field(EventField::RecurrenceData));
    if (event.has(EventField::Summary))
        addLine(out, "SUMMARY:", withoutZeroBytes(*event.field(EventField::Summary)));
    if (event.has(EventField::GUID))
        addLine(out, "UID:", uidOf(event.field(EventField::GUID), event.length(EventField::GUID)));
    addLine(out, "DTSTAMP:",
            event.field(EventField::StampTime2004) ? macStampICalendarText(leadingStamp(*event.field(EventField::StampTime2004)), false) : QByteArray());
    if (event.has(EventField::Organizer))
        addLine(out, "ORGANIZER:MAILTO:", cutAtNul(*event.field(EventField::Organizer)));
    addLine(out, "X-MICROSOFT-CDO-BUSYSTATUS:BUSY");
    addAllDayLine(out, event);
    addLine(out, "X-MICROSOFT-CDO-INSTTYPE:0");
    if (event->HasAlarm)
        addAlarmBlock(out, event);
    addLine(out, "END:VEVENT");
    addLine(out, "END:VCALENDAR");
    return out;
}

} // namespace

int hostUtcOffsetSeconds()
{
    return currentDateTime().offsetFromUtc();
}

QByteArray utcOffsetText(int seconds)
{
    const int magnitude = qAbs(seconds);
    return QString::asprintf("%c%02d%02d", seconds < 0 ? '-' : '+', magnitude / 3600, magnitude % 3600 / 60).toLatin1();
}

quint32 leadingStamp(const QByteArray& field)
{
    unsigned char bytes[4] = {0, 0, 0, 0};
    std::memcpy(bytes, field.constData(), static_cast<size_t>(qMin(field.size(), 4)));
    return bigEndianU32(bytes);
}

QList<QByteArray> recurrenceRuleTexts(const QByteArray& data)
{
    QList<QByteArray> rules;
    for (int i = 0; i + 5 < data.size(); ++i) {
        if (!markerAt(data, i, kRecurrenceMarker))
            continue;
        if (const std::optional<QByteArray> rule = markedText(data, i, 100))
            rules << *rule;
    }
    return rules;
}

QList<AlarmEntry> alarmEntries(const EventView& event)
{
    QList<AlarmEntry> entries;
    if (event.length(EventField::AlarmData) < 6)
        return entries;
    const QByteArray data = event.field(EventField::AlarmData).value_or(QByteArray());
    for (int i = 0; i + 5 < data.size(); ++i) {
        if (markerAt(data, i, kAlarmDescriptionMarker)) {
            entries.push_back({AlarmField::Description, markedText(data, i, 30).value_or(QByteArray())});
        } else if (markerAt(data, i, kAlarmTriggerMarker)) {
            const bool fits = i + 26 < data.size();
            entries.push_back({AlarmField::Trigger, fits ? cutAtNul(data.mid(i + 14, 12)) : QByteArray()});
        } else if (markerAt(data, i, kAlarmActionMarker)) {
            entries.push_back({AlarmField::Action, markedText(data, i, 30).value_or(QByteArray())});
        }
    }
    return entries;
}

QByteArray eventICalendarText(const EventView& event, bool office2004, int utcOffsetSeconds)
{
    const QByteArray offset = utcOffsetText(utcOffsetSeconds);
    return office2004 ? event2004(event, offset, utcOffsetSeconds) : event2008(event, offset);
}

void writeEventFiles(const EventStore& events, SaveContext& context)
{
    const int utcOffset = hostUtcOffsetSeconds();
    writeItemFiles(events, context, "Calendar", "Saving Calendar Items...", kICalendarCodes,
                   everyRecord<EventView>, [&](const EventView& event) {
                       return eventICalendarText(event, context.office2004, utcOffset);
                   });
}

} // namespace er
