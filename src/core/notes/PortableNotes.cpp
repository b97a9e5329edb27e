#include "notes/PortableNotes.h"

#include "format/PropertyText.h"
#include "format/TimeConversion.h"
#include "output/ICalendarFile.h"
#include "output/ItemFiles.h"

namespace er {

namespace {

ICalendarComponent noteComponent(const NoteRecord& note)
{
    ICalendarComponent c("VJOURNAL");
    std::optional<quint32> stamp = stampOf(note.StampTime);
    if (!stamp)
        stamp = stampOf(note.StampTime2004);
    addDtStamp(c, {stamp});
    if (stamp)
        c.line("DTSTART:" + dateTimeICalendarText(macStampToDateTime(*stamp)));
    if (note.Summary && note.SummaryLength != 0)
        c.text("SUMMARY", eightBitText(withoutZeroBytes(*note.Summary)));
    if (note.Description && note.DescriptionLength != 0)
        c.text("DESCRIPTION", eightBitText(withoutZeroBytes(*note.Description)));
    return c;
}

} // namespace

void writeNotesICalendar(const std::deque<NoteRecord>& notes, const TextSink& out)
{
    out(iCalendarHead());
    UidBook uids;
    addComponents(out, uids, notes, noteComponent);
    out(kICalendarTail);
}

QByteArray notesICalendarFile(const std::deque<NoteRecord>& notes)
{
    return collectedText([&](const TextSink& out) { writeNotesICalendar(notes, out); });
}

} // namespace er
