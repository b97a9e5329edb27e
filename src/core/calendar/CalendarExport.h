#pragma once
// The calendar step of a save: one iCalendar file per event, in the dialect
// Entourage itself exports (one VTIMEZONE, one VEVENT, its own X-properties).
// Office 2008 and Office 2004 databases get different line sets.

#include "calendar/CalendarRecords.h"
#include "output/SaveContext.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QtGlobal>

#include <deque>

namespace er {

// The host's current offset from UTC in seconds, east positive. The one zone
// dependency of the event files: the time-zone block states it, and Office
// 2004 start and end times (stored in UTC) are moved by it.
int hostUtcOffsetSeconds();
// "+hhmm" or "-hhmm".
QByteArray utcOffsetText(int seconds);

// The big-endian u32 in a field's first four bytes; bytes the field does not
// hold read as zero.
quint32 leadingStamp(const QByteArray& field);

// The rule texts of an event's recurrence data, in stored order: each follows
// the marker 04 00 85 00 1E with its length (at most 100) and is cut at its
// first zero byte. A rule that does not fit is left out.
QList<QByteArray> recurrenceRuleTexts(const QByteArray& data);

// One value of an event's alarm data, in stored order; a value that does not
// fit the data is empty.
enum class AlarmField { Description, Trigger, Action };
struct AlarmEntry {
    AlarmField field;
    QByteArray value;
};
// Nothing for alarm data shorter than 6 bytes.
QList<AlarmEntry> alarmEntries(const EventView& event);

// The whole file of one event. utcOffsetSeconds is normally
// hostUtcOffsetSeconds().
QByteArray eventICalendarText(const EventView& event, bool office2004, int utcOffsetSeconds);

// Writes every event of the calendar list into the bundle's "Calendar"
// directory. Honours the stop token between events.
void writeEventFiles(const EventStore& events, SaveContext& context);

} // namespace er
