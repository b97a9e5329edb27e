#pragma once
// The notes file of the portable export: one standard VCALENDAR with a
// VJOURNAL per note. DTSTAMP and DTSTART come from the note's own stamps; a
// note without GUID gets a UID made from its position and content.

#include "notes/NoteRecords.h"
#include "output/ContentLines.h"

#include <QByteArray>

#include <deque>

namespace er {

// The file handed to `out` a note at a time.
void writeNotesICalendar(const NoteStore& notes, const TextSink& out);
QByteArray notesICalendarFile(const NoteStore& notes);

} // namespace er
