#include "notes/NoteExport.h"

#include "output/ItemFiles.h"

namespace er {

QByteArray noteICalendar(const NoteView& note)
{
    QByteArray out;
    auto line = [&out](const char* prefix, const QByteArray& value = QByteArray()) {
        out += prefix;
        out += value;
        out += "\r\n";
    };
    line("BEGIN:VCALENDAR");
    line("VERSION:2.0");
    line("PRODID:-//Microsoft Corporation//Entourage Mac 11.1 MIMEDIR//EN");
    line("METHOD:PUBLISH");
    line("BEGIN:VJOURNAL");
    if (note.has(NoteField::GUID) && note.length(NoteField::GUID) != 0)
        line("UID:", uidOf(note.field(NoteField::GUID), note.length(NoteField::GUID)));
    if (note.has(NoteField::Summary) && note.length(NoteField::Summary) != 0)
        line("SUMMARY:", withoutZeroBytes(*note.field(NoteField::Summary)));
    // A raw CR would end the property line; the body's line breaks survive
    // as the escaped "\n".
    if (note.has(NoteField::Description) && note.length(NoteField::Description) != 0)
        line("DESCRIPTION:", crAsBackslashN(*note.field(NoteField::Description)));
    line("END:VJOURNAL");
    line("END:VCALENDAR");
    return out;
}

void writeNoteFiles(const NoteStore& notes, SaveContext& context)
{
    writeItemFiles(notes, context, "Notes", "Saving Note Items...", kICalendarCodes, everyRecord<NoteView>,
                   noteICalendar);
}

} // namespace er
