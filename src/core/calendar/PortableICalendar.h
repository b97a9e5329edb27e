#pragma once
// The calendar file of the portable export: one standard VCALENDAR with every
// event (VEVENT) and task (VTODO), written for today's calendar programs
// rather than in the bundle's dialect.
//
// Times are what the database stores. Office 2008 start and end times are
// wall-clock times: written with the TZID of the zone the event's record
// names (calendar/ICalendarTimeZone.h) and that zone's VTIMEZONE, one per
// zone, before the first component; where the record names no zone the
// database knows, as floating local times with the stored names kept in
// X-ENTOURAGE-TZID (the Windows-style name) and X-ENTOURAGE-CFTIMEZONE (the
// IANA-style one). All-day events are dates. Office 2004 times are stored in
// UTC and are written in UTC; task times stay floating. No component depends
// on the clock or the zone of the machine that writes it: DTSTAMP comes from
// the item's own stamps (or kFallbackDtStamp), and an item without GUID gets
// a UID made from its position and content.

#include "calendar/CalendarRecords.h"
#include "output/ContentLines.h"

#include <QByteArray>
#include <QTimeZone>

#include <deque>

namespace er {

// The file, handed to `out` a component at a time so that writing it never
// holds it whole, with the host's offset from UTC given (seconds, east
// positive; normally hostUtcOffsetSeconds()). The offset only turns what
// Office 2004 stores in UTC into a day or a local time where a wall-clock
// value is required: the dates of all-day events, the end of a recurrence,
// and a task reminder with neither start nor due date.
void writeCalendarICalendar(const EventStore& events, const TaskStore& tasks,
                            bool office2004, int utcOffsetSeconds, const TextSink& out);
QByteArray calendarICalendarFile(const EventStore& events, const TaskStore& tasks,
                                 bool office2004, int utcOffsetSeconds);

// The recurrence rule text as a valid RRULE value whose UNTIL has the form
// of the event's DTSTART (a date, a floating or a UTC date-time, converted
// with utcOffsetSeconds where needed; for a start in `zone`, a UTC
// date-time, a local bound converted with the zone), or empty when the text
// is not a valid rule.
enum class StartForm { Date, Floating, Utc, Zoned };
QByteArray validRecurrenceRule(const QByteArray& text, StartForm form, int utcOffsetSeconds,
                               const QTimeZone& zone = QTimeZone());

} // namespace er
