#include "notes/PortableNotes.h"

#include "format/PropertyText.h"
#include "format/TimeConversion.h"
#include "output/ICalendarFile.h"
#include "output/ItemFiles.h"

namespace er {

namespace {

ICalendarComponent noteComponent(const NoteView& note)
{
    ICalendarComponent c("VJOURNAL");
    std::optional<quint32> stamp = stampOf(note->StampTime);
    if (!stamp)
        stamp = stampOf(note->StampTime2004);
    addDtStamp(c, {stamp});
    if (stamp)
        c.line("DTSTART:" + dateTimeICalendarText(macStampToDateTime(*stamp)));
    if (note.has(NoteField::Summary) && note.length(NoteField::Summary) != 0)
        c.text("SUMMARY", eightBitText(withoutZeroBytes(*note.field(NoteField::Summary))));
    if (note.has(NoteField::Description) && note.length(NoteField::Description) != 0)
        c.text("DESCRIPTION", eightBitText(withoutZeroBytes(*note.field(NoteField::Description))));
    return c;
}

} // namespace

void writeNotesICalendar(const NoteStore& notes, const TextSink& out)
{
    out(iCalendarHead());
    UidBook uids;
    addComponents(out, uids, notes, noteComponent);
    out(kICalendarTail);
}

QByteArray notesICalendarFile(const NoteStore& notes)
{
    return collectedText([&](const TextSink& out) { writeNotesICalendar(notes, out); });
}

} // namespace er
