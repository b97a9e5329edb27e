#pragma once
// The calendar and note files of the portable export (see
// export/PortableExport.h): one standard VCALENDAR each, written for today's
// calendar programs rather than in the bundle's dialect.
//
// Times are what the database stores: Office 2008 start and end times are
// wall-clock times and are written as floating local times; Office 2004 ones
// are stored in UTC and are written in UTC. No component depends on the clock
// of the machine that writes it: DTSTAMP comes from the item's own stamps (or
// kFallbackDtStamp), and an item without GUID gets a UID made from its
// position and content.

#include "output/ContentLines.h"
#include "archive/ScanState.h"

#include <QByteArray>

namespace er {

// The DTSTAMP of an item without a stamp that decodes.
extern const char kFallbackDtStamp[];

// The two files with the host's offset from UTC given (seconds, east
// positive); calendarICalendarFile(state) passes hostUtcOffsetSeconds(). The
// offset only turns what Office 2004 stores in UTC into a day or a local time
// where a wall-clock value is required: the dates of all-day events, the end
// of a recurrence, and a task reminder with neither start nor due date.
QByteArray calendarICalendarFile(const ScanState& state, int utcOffsetSeconds);
// The same two files handed to `out` piece by piece (a component at a
// time), so that writing them never holds a whole file in memory.
void writeCalendarICalendar(const ScanState& state, int utcOffsetSeconds, const TextSink& out);
void writeNotesICalendar(const ScanState& state, const TextSink& out);

// The recurrence rule text as a valid RRULE value whose UNTIL has the form
// of the event's DTSTART (a date, a floating or a UTC date-time, converted
// with utcOffsetSeconds where needed), or empty when the text is not a valid
// rule.
enum class StartForm { Date, Floating, Utc };
QByteArray validRecurrenceRule(const QByteArray& text, StartForm form, int utcOffsetSeconds);

} // namespace er
