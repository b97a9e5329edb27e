#include "notes/NoteExport.h"

#include "output/ItemFiles.h"

namespace er {

QByteArray noteICalendar(const NoteRecord& note)
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
    if (note.GUID && note.GUIDLength != 0)
        line("UID:", uidOf(note.GUID, note.GUIDLength));
    if (note.Summary && note.SummaryLength != 0)
        line("SUMMARY:", withoutZeroBytes(*note.Summary));
    // A raw CR would end the property line; the body's line breaks survive
    // as the escaped "\n".
    if (note.Description && note.DescriptionLength != 0)
        line("DESCRIPTION:", crAsBackslashN(*note.Description));
    line("END:VJOURNAL");
    line("END:VCALENDAR");
    return out;
}

void writeNoteFiles(const std::deque<NoteRecord>& notes, SaveContext& context)
{
    writeItemFiles(notes, context, "Notes", "Saving Note Items...", kICalendarCodes, everyRecord<NoteRecord>,
                   noteICalendar);
}

} // namespace er
