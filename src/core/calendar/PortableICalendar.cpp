#include "calendar/PortableICalendar.h"

#include "calendar/CalendarExport.h"
#include "calendar/ICalendarTimeZone.h"
#include "calendar/TaskExport.h"
#include "format/TimeConversion.h"
#include "output/ContentLines.h"
#include "output/ItemFiles.h"
#include "output/ICalendarFile.h"
#include "format/ByteOrder.h"
#include "format/PropertyText.h"

#include <QHash>
#include <QMap>
#include <QPair>
#include <QRegularExpression>
#include <QSet>

#include <optional>

namespace er {

namespace {

const QTime kMidnight(0, 0);

QString textOf(const QByteArray& bytes) { return eightBitText(bytes); }

QByteArray dateText(const QDate& date) { return dateTimeICalendarText(QDateTime(date, kMidnight, Qt::UTC)).left(8); }

QByteArray utcText(const QDateTime& dateTime) { return dateTimeICalendarText(dateTime) + 'Z'; }

using er::stampOf;

// A stamp stored in the first four bytes of a variable field.
std::optional<quint32> stampOf(const OptionalBytes& field, quint32 length)
{
    const quint32 stamp = field && length >= 4 ? leadingStamp(*field) : 0;
    return stamp != 0 ? std::optional<quint32>(stamp) : std::nullopt;
}

std::optional<QDateTime> calendarTimeOf(const std::optional<std::array<quint8, 8>>& field)
{
    const quint32 stamp = field ? bigEndianU32(field->data()) : 0;
    return stamp != 0 ? std::optional<QDateTime>(calendarStampToDateTime(stamp)) : std::nullopt;
}

// ---- Durations and recurrence rules -------------------------------------------

QByteArray durationText(qint64 seconds)
{
    QByteArray out = seconds < 0 ? "-P" : "P";
    quint64 rest = static_cast<quint64>(seconds < 0 ? -seconds : seconds);
    if (rest == 0)
        return "PT0S";
    if (rest >= 86400)
        out += QByteArray::number(rest / 86400) + 'D';
    rest %= 86400;
    if (rest == 0)
        return out;
    out += 'T';
    if (rest >= 3600)
        out += QByteArray::number(rest / 3600) + 'H';
    if (rest % 3600 != 0)
        out += QByteArray::number(rest % 3600 / 60) + 'M';
    if (rest % 60 != 0)
        out += QByteArray::number(rest % 60) + 'S';
    return out;
}

bool isDuration(const QByteArray& text)
{
    // dur-time: hours, minutes, seconds, each only after the one before it.
    static const QString time = QStringLiteral("T(\\d+H(\\d+M(\\d+S)?)?|\\d+M(\\d+S)?|\\d+S)");
    static const QRegularExpression duration(QStringLiteral("^[+-]?P(\\d+W|\\d+D(%1)?|%1)$").arg(time));
    return duration.match(QString::fromLatin1(text)).hasMatch();
}

bool isWeekday(const QString& text)
{
    static const QSet<QString> days{QStringLiteral("SU"), QStringLiteral("MO"), QStringLiteral("TU"),
                                    QStringLiteral("WE"), QStringLiteral("TH"), QStringLiteral("FR"),
                                    QStringLiteral("SA")};
    return days.contains(text);
}

// A comma list of integers within [low, high], signed ones only where
// `signedValues` (never zero then).
bool isNumberList(const QString& value, int low, int high, bool signedValues)
{
    static const QRegularExpression number(QStringLiteral("^[+-]?\\d{1,3}$"));
    for (const QString& item : value.split(QLatin1Char(','))) {
        if (!number.match(item).hasMatch() || (!signedValues && !item.at(0).isDigit()))
            return false;
        const int n = item.toInt();
        const int magnitude = qAbs(n);
        if (signedValues ? magnitude < low || magnitude > high || n == 0 : n < low || n > high)
            return false;
    }
    return true;
}

bool isDayList(const QString& value)
{
    static const QRegularExpression day(QStringLiteral("^([+-]?(\\d{1,2}))?([A-Z]{2})$"));
    for (const QString& item : value.split(QLatin1Char(','))) {
        const QRegularExpressionMatch m = day.match(item);
        if (!m.hasMatch() || !isWeekday(m.captured(3)))
            return false;
        if (m.capturedLength(2) != 0 && (m.captured(2).toInt() < 1 || m.captured(2).toInt() > 53))
            return false;
    }
    return true;
}

// UNTIL in the form DTSTART has: a DATE-TIME bound of a DATE start becomes
// its day, a DATE bound of a timed start the end of that day; UTC and local
// times are moved into each other by the offset, or by the zone of a start
// in a zone (whose UNTIL is in UTC).
std::optional<QByteArray> untilValue(const QString& value, StartForm form, int utcOffsetSeconds,
                                     const QTimeZone& zone)
{
    static const QRegularExpression until(QStringLiteral("^(\\d{8})(T(\\d{6})(Z?))?$"));
    const QRegularExpressionMatch m = until.match(value);
    if (!m.hasMatch())
        return std::nullopt;
    const QDate date = QDate::fromString(m.captured(1), QStringLiteral("yyyyMMdd"));
    const QTime time = m.capturedLength(2) != 0 ? QTime::fromString(m.captured(3), QStringLiteral("HHmmss"))
                                                : QTime(23, 59, 59);
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    QDateTime at(date, time, Qt::UTC);
    const bool inUtc = m.capturedLength(4) != 0;
    switch (form) {
    case StartForm::Date:
        return dateText((inUtc ? at.addSecs(utcOffsetSeconds) : at).date());
    case StartForm::Floating:
        return dateTimeICalendarText(inUtc ? at.addSecs(utcOffsetSeconds) : at);
    case StartForm::Utc:
        return utcText(inUtc ? at : at.addSecs(-utcOffsetSeconds));
    case StartForm::Zoned:
        return utcText(inUtc ? at : QDateTime(date, time, zone).toUTC());
    }
    return std::nullopt;
}

// ---- Events ----------------------------------------------------------------

bool isAllDay(const EventView& event)
{
    const OptionalBytes allDay = event.field(EventField::AllDayData);
    return event.length(EventField::AllDayData) != 0 && allDay && !allDay->isEmpty() && allDay->at(0) == 1;
}

// The day an all-day time stands for. Office 2004 stored local midnight in
// UTC: moved back by the host's offset and rounded to the nearest midnight,
// so that a daylight-saving hour between then and now cannot change the day.
QDate allDayDate(const QDateTime& time, bool inUtc, int utcOffsetSeconds, bool exclusiveEnd)
{
    if (inUtc)
        return time.addSecs(utcOffsetSeconds + 12 * 3600).date();
    return exclusiveEnd && time.time() != kMidnight ? time.date().addDays(1) : time.date();
}

struct EventTimes {
    std::optional<QDateTime> start, end;
};

// An event with only an end starts then.
EventTimes eventTimes(const EventView& event, bool office2004)
{
    EventTimes times{calendarTimeOf(office2004 ? event->StartTime2004 : event->StartTime),
                     calendarTimeOf(office2004 ? event->EndTime2004 : event->EndTime)};
    if (!times.start && times.end)
        std::swap(times.start, times.end);
    return times;
}

// Whether the event's times are wall-clock times of a zone its record may
// name: Office 2008 times of a timed event.
bool hasZonedTimes(const EventView& event, bool office2004, const EventTimes& times)
{
    return !office2004 && times.start && !isAllDay(event);
}

QByteArray storedText(const OptionalBytes& field)
{
    return field ? cutAtNul(*field) : QByteArray();
}

// The zones of one file: each event's zone, looked up once per pair of
// stored names, and the years the file's times in each zone fall in, which
// its VTIMEZONE covers.
class FileZones {
public:
    // The zone of an event's stored names; invalid when they name none.
    QTimeZone zoneOf(const EventView& event)
    {
        const QPair<QByteArray, QByteArray> names(storedText(event.field(EventField::TimeZoneText1)), storedText(event.field(EventField::TimeZoneText2)));
        auto known = m_byNames.constFind(names);
        if (known == m_byNames.constEnd())
            known = m_byNames.insert(names, zoneOfStoredNames(names.first, names.second));
        return *known;
    }

    void take(const EventView& event)
    {
        const EventTimes times = eventTimes(event, false);
        if (!hasZonedTimes(event, false, times))
            return;
        const QTimeZone zone = zoneOf(event);
        if (!zone.isValid())
            return;
        const int first = times.start->date().year();
        const int last = times.end ? std::max(first, times.end->date().year()) : first;
        auto used = m_used.find(zone.id());
        if (used == m_used.end())
            m_used.insert(zone.id(), {zone, first, last});
        else
            used->first = std::min(used->first, first), used->last = std::max(used->last, last);
    }

    // One VTIMEZONE per zone taken, in the order of their ids.
    void write(const TextSink& out) const
    {
        for (const Years& years : m_used)
            out(timeZoneComponent(years.zone, years.first, years.last).bytes());
    }

private:
    struct Years {
        QTimeZone zone;
        int first = 0;
        int last = 0;
    };
    QHash<QPair<QByteArray, QByteArray>, QTimeZone> m_byNames;
    QMap<QByteArray, Years> m_used;
};

struct StartOf {
    StartForm form;
    QTimeZone zone; // of a Zoned start
};

// Writes DTSTART and DTEND. An Office 2008 time whose record names no zone
// the database knows stays floating and keeps the stored names.
StartOf addEventTimes(ICalendarComponent& c, const EventView& event, bool office2004, int utcOffsetSeconds,
                      FileZones& zones)
{
    const EventTimes times = eventTimes(event, office2004);
    const std::optional<QDateTime>& start = times.start;
    const std::optional<QDateTime>& end = times.end;
    if (!start) {
        // A calendar program drops an event without DTSTART: it keeps its
        // day of change and says the start was lost.
        c.line(QByteArray("X-ENTOURAGE-START-UNKNOWN:TRUE"));
        const std::optional<quint32> stamp = office2004 ? stampOf(event.field(EventField::StampTime2004), 4) : stampOf(event->StampTime);
        const QDate day = stamp ? macStampToDateTime(*stamp).date() : QDate(2000, 1, 1);
        c.line("DTSTART;VALUE=DATE:" + dateText(day));
        return {StartForm::Date, QTimeZone()};
    }
    if (isAllDay(event)) {
        const QDate first = allDayDate(*start, office2004, utcOffsetSeconds, false);
        QDate after = end ? allDayDate(*end, office2004, utcOffsetSeconds, true) : QDate();
        if (!after.isValid() || after <= first)
            after = first.addDays(1);
        c.line("DTSTART;VALUE=DATE:" + dateText(first));
        c.line("DTEND;VALUE=DATE:" + dateText(after));
        return {StartForm::Date, QTimeZone()};
    }
    const QTimeZone zone = hasZonedTimes(event, office2004, times) ? zones.zoneOf(event) : QTimeZone();
    const QByteArray parameters = zone.isValid() ? tzidParameter(zone) : QByteArray();
    auto timeText = [office2004](const QDateTime& t) {
        return office2004 ? utcText(t) : dateTimeICalendarText(t);
    };
    c.line("DTSTART" + parameters + ':' + timeText(*start));
    // An end at or before the start is no end: the event is an instant.
    if (end && *end > *start)
        c.line("DTEND" + parameters + ':' + timeText(*end));
    if (office2004)
        return {StartForm::Utc, QTimeZone()};
    if (zone.isValid())
        return {StartForm::Zoned, zone};
    c.text("X-ENTOURAGE-TZID", textOf(storedText(event.field(EventField::TimeZoneText2))));
    c.text("X-ENTOURAGE-CFTIMEZONE", textOf(storedText(event.field(EventField::TimeZoneText1))));
    return {StartForm::Floating, QTimeZone()};
}

void addRecurrence(ICalendarComponent& c, const EventView& event, const StartOf& start, int utcOffsetSeconds)
{
    if (!event->IsRecurring || !event.has(EventField::RecurrenceData))
        return;
    const QList<QByteArray> rules = recurrenceRuleTexts(*event.field(EventField::RecurrenceData));
    bool written = false;
    for (const QByteArray& rule : rules) {
        const QByteArray valid =
            written ? QByteArray() : validRecurrenceRule(rule, start.form, utcOffsetSeconds, start.zone);
        if (!valid.isEmpty()) {
            c.line("RRULE:" + valid);
            written = true;
        } else {
            // Kept for the user, never offered to a reader as a rule.
            c.text("X-ENTOURAGE-RECURRENCE", QString::fromLatin1(rule));
        }
    }
    if (rules.isEmpty())
        c.line("X-ENTOURAGE-RECURRENCE-DATA;ENCODING=BASE64;VALUE=BINARY:" + event.field(EventField::RecurrenceData)->toBase64());
}

void addEventAlarm(ICalendarComponent& c, const EventView& event, const QString& summary)
{
    if (!event->HasAlarm)
        return;
    QByteArray trigger;
    QString description;
    for (const AlarmEntry& entry : alarmEntries(event)) {
        if (entry.field == AlarmField::Trigger && trigger.isEmpty() && isDuration(entry.value))
            trigger = entry.value;
        else if (entry.field == AlarmField::Description && description.isEmpty())
            description = textOf(entry.value);
    }
    if (trigger.isEmpty())
        return;
    ICalendarComponent alarm("VALARM");
    alarm.line(QByteArray("ACTION:DISPLAY"));
    alarm.text("DESCRIPTION", !description.isEmpty() ? description
                              : !summary.isEmpty()   ? summary
                                                     : QStringLiteral("Reminder"));
    alarm.line("TRIGGER:" + trigger);
    c.nested(alarm);
}

// A mail address fit for a CAL-ADDRESS value (a URI, not escaped text).
bool isPlainAddress(const QByteArray& address)
{
    if (!address.contains('@'))
        return false;
    for (const char ch : address)
        if (ch <= ' ' || ch > '~' || ch == '"' || ch == '<' || ch == '>' || ch == '\\')
            return false;
    return true;
}

ICalendarComponent eventComponent(const EventView& event, bool office2004, int utcOffsetSeconds, FileZones& zones)
{
    ICalendarComponent c("VEVENT");
    addDtStamp(c, {office2004 ? stampOf(event.field(EventField::StampTime2004), 4) : stampOf(event->StampTime),
                   stampOf(event->ModifiedStamp), stampOf(event->CreatedStamp)});
    if (const std::optional<quint32> created = stampOf(event->CreatedStamp))
        c.line("CREATED:" + macStampICalendarText(*created, true));
    if (const std::optional<quint32> modified = stampOf(event->ModifiedStamp))
        c.line("LAST-MODIFIED:" + macStampICalendarText(*modified, true));
    const StartOf start = addEventTimes(c, event, office2004, utcOffsetSeconds, zones);
    const QString summary = event.field(EventField::Summary) ? textOf(withoutZeroBytes(*event.field(EventField::Summary))) : QString();
    c.text("SUMMARY", summary);
    if (event.has(EventField::Location))
        c.text("LOCATION", textOf(cutAtNul(*event.field(EventField::Location))));
    if (event.has(EventField::Description))
        c.text("DESCRIPTION", textOf(cutAtNul(*event.field(EventField::Description))));
    if (event.has(EventField::Organizer)) {
        const QByteArray address = cutAtNul(*event.field(EventField::Organizer));
        if (isPlainAddress(address))
            c.line("ORGANIZER:mailto:" + address);
    }
    if (event.has(EventField::EntourageUUID))
        c.text("X-ENTOURAGE-UUID", textOf(cutAtNul(*event.field(EventField::EntourageUUID))));
    addRecurrence(c, event, start, utcOffsetSeconds);
    addEventAlarm(c, event, summary);
    return c;
}

// ---- Tasks -----------------------------------------------------------------

ICalendarComponent taskComponent(const TaskView& task, int utcOffsetSeconds)
{
    ICalendarComponent c("VTODO");
    addDtStamp(c, {stampOf(task.field(TaskField::StampTime), task.length(TaskField::StampTime))});
    const std::optional<quint32> startStamp = stampOf(task.field(TaskField::StartDate), task.length(TaskField::StartDate));
    const std::optional<quint32> dueStamp = stampOf(task.field(TaskField::DueDate), task.length(TaskField::DueDate));
    const std::optional<QDateTime> start =
        startStamp ? std::optional<QDateTime>(macStampToDateTime(*startStamp)) : std::nullopt;
    const std::optional<QDateTime> due =
        dueStamp ? std::optional<QDateTime>(macStampToDateTime(*dueStamp)) : std::nullopt;
    if (start) {
        // A due date must lie after the start; a start that does not is kept
        // only as information.
        const bool valid = !due || *due > *start;
        c.line((valid ? "DTSTART:" : "X-ENTOURAGE-START:") + dateTimeICalendarText(*start));
    }
    if (due)
        c.line("DUE:" + dateTimeICalendarText(*due));
    const QString summary = task.field(TaskField::TaskName) ? textOf(withoutZeroBytes(*task.field(TaskField::TaskName))) : QString();
    c.text("SUMMARY", summary);
    if (task.has(TaskField::Note))
        c.text("DESCRIPTION", textOf(withoutZeroBytes(*task.field(TaskField::Note))));
    const QByteArray priority = taskPriorityICalendarValue(task->Priority);
    if (!priority.isEmpty())
        c.line("PRIORITY:" + priority);

    const std::optional<quint32> reminderStamp = stampOf(task.field(TaskField::ReminderDate), task.length(TaskField::ReminderDate));
    if (task->HasReminder && reminderStamp) {
        // Start, due and reminder are wall-clock times of one zone: their
        // distance is exact, an absolute UTC time would need the zone.
        const QDateTime reminder = macStampToDateTime(*reminderStamp);
        ICalendarComponent alarm("VALARM");
        alarm.line(QByteArray("ACTION:DISPLAY"));
        alarm.text("DESCRIPTION", summary.isEmpty() ? QStringLiteral("Reminder") : summary);
        if (due)
            alarm.line("TRIGGER;RELATED=END:" + durationText(due->secsTo(reminder)));
        else if (start)
            alarm.line("TRIGGER:" + durationText(start->secsTo(reminder)));
        else
            alarm.line("TRIGGER;VALUE=DATE-TIME:" + utcText(reminder.addSecs(-utcOffsetSeconds)));
        c.nested(alarm);
    }
    return c;
}

// ---- Files -----------------------------------------------------------------

} // namespace

QByteArray validRecurrenceRule(const QByteArray& text, StartForm form, int utcOffsetSeconds, const QTimeZone& zone)
{
    static const QSet<QString> frequencies{QStringLiteral("SECONDLY"), QStringLiteral("MINUTELY"),
                                           QStringLiteral("HOURLY"),   QStringLiteral("DAILY"),
                                           QStringLiteral("WEEKLY"),   QStringLiteral("MONTHLY"),
                                           QStringLiteral("YEARLY")};
    static const QRegularExpression positive(QStringLiteral("^\\d{1,9}$"));
    struct Range {
        int low, high;
        bool signedValues;
    };
    static const QHash<QString, Range> numberLists{
        {QStringLiteral("BYSECOND"), {0, 60, false}},  {QStringLiteral("BYMINUTE"), {0, 59, false}},
        {QStringLiteral("BYHOUR"), {0, 23, false}},    {QStringLiteral("BYMONTHDAY"), {1, 31, true}},
        {QStringLiteral("BYYEARDAY"), {1, 366, true}}, {QStringLiteral("BYWEEKNO"), {1, 53, true}},
        {QStringLiteral("BYMONTH"), {1, 12, false}},   {QStringLiteral("BYSETPOS"), {1, 366, true}}};

    const QString rule = QString::fromLatin1(text).trimmed().toUpper();
    if (rule.isEmpty())
        return QByteArray();
    QSet<QString> seen;
    QStringList parts;
    for (const QString& part : rule.split(QLatin1Char(';'))) {
        const int eq = part.indexOf(QLatin1Char('='));
        if (eq <= 0 || eq == part.size() - 1)
            return QByteArray();
        const QString name = part.left(eq), value = part.mid(eq + 1);
        if (seen.contains(name))
            return QByteArray();
        seen.insert(name);
        bool ok = false;
        if (name == QLatin1String("FREQ"))
            ok = frequencies.contains(value);
        else if (name == QLatin1String("COUNT") || name == QLatin1String("INTERVAL"))
            ok = positive.match(value).hasMatch() && value.toInt() > 0;
        else if (name == QLatin1String("BYDAY"))
            ok = isDayList(value);
        else if (name == QLatin1String("WKST"))
            ok = isWeekday(value);
        else if (numberLists.contains(name))
            ok = isNumberList(value, numberLists[name].low, numberLists[name].high, numberLists[name].signedValues);
        else if (name == QLatin1String("UNTIL")) {
            const std::optional<QByteArray> until = untilValue(value, form, utcOffsetSeconds, zone);
            ok = until.has_value();
            if (ok) {
                parts << QStringLiteral("UNTIL=") + QString::fromLatin1(*until);
                continue;
            }
        }
        if (!ok)
            return QByteArray();
        parts << part;
    }
    if (!seen.contains(QStringLiteral("FREQ"))
        || (seen.contains(QStringLiteral("UNTIL")) && seen.contains(QStringLiteral("COUNT"))))
        return QByteArray();
    return parts.join(QLatin1Char(';')).toLatin1();
}

void writeCalendarICalendar(const EventStore& events, const TaskStore& tasks,
                            bool office2004, int utcOffsetSeconds, const TextSink& out)
{
    // A first pass reads the records only: the zones the events use, each
    // written once, before the first event in it.
    FileZones zones;
    if (!office2004)
        for (const EventView& event : events)
            zones.take(event);
    out(iCalendarHead());
    zones.write(out);
    UidBook uids;
    addComponents(out, uids, events, [&](const EventView& event) {
        return eventComponent(event, office2004, utcOffsetSeconds, zones);
    });
    addComponents(out, uids, tasks, [&](const TaskView& task) { return taskComponent(task, utcOffsetSeconds); });
    out(kICalendarTail);
}

QByteArray calendarICalendarFile(const EventStore& events, const TaskStore& tasks,
                                 bool office2004, int utcOffsetSeconds)
{
    return collectedText([&](const TextSink& out) {
        writeCalendarICalendar(events, tasks, office2004, utcOffsetSeconds, out);
    });
}

} // namespace er
