#pragma once
// The calendar step of a save: one iCalendar file per event, in the dialect
// Entourage itself exports (one VTIMEZONE, one VEVENT, its own X-properties).
// Office 2008 and Office 2004 databases get different line sets.

#include "calendar/CalendarRecords.h"
#include "export/SaveContext.h"

#include <QByteArray>
#include <QtGlobal>

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
// A Mac stamp as "yyyyMMddThhmmss", with "Z" appended when utcMark is set.
QByteArray macStampICalendarText(quint32 stamp, bool utcMark);

// The whole file of one event. utcOffsetSeconds is normally
// hostUtcOffsetSeconds().
QByteArray eventICalendarText(const CalenderInformation& event, bool office2004, int utcOffsetSeconds);

// Writes every event of the calendar list into the bundle's "Calendar"
// directory. Honours the stop token between events.
void OnCalenderSaving(SaveContext& context);

} // namespace er
