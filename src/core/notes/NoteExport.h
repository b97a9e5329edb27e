#pragma once
// The note step of a save: one iCalendar file holding one VJOURNAL per note
// in the bundle's "Notes" directory. Office 2004 and 2008 notes give the same
// file.

#include "notes/NoteRecords.h"
#include "output/SaveContext.h"

#include <QByteArray>

#include <deque>

namespace er {

// The note file: CR LF line ends, no zero byte, carriage returns of the body
// written as "\n".
QByteArray noteICalendar(const NoteView& note);

// Writes every note. Reports its status text with each note and stops
// between notes; failed files are recorded in the context.
void writeNoteFiles(const NoteStore& notes, SaveContext& context);

} // namespace er
