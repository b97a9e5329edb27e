#pragma once
// What the window shows of a note: the text of its list row, its key (the
// GUID as hex digits) and its preview, line by line.

#include "notes/NoteRecords.h"

#include <QString>
#include <QStringList>

namespace er {

// The title followed by one blank.
QString noteRowText(const NoteView& note);
QString itemKeyText(const NoteView& note);
// "Summary: " when the note has one, then always "Description: ".
QStringList notePreviewLines(const NoteView& note);

} // namespace er
