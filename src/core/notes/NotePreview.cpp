#include "notes/NotePreview.h"

namespace er {

QString noteRowText(const NoteView& note)
{
    return previewText(note.field(NoteField::Summary)) + QLatin1Char(' ');
}

QString itemKeyText(const NoteView& note)
{
    return guidKeyText(note.field(NoteField::GUID), note.length(NoteField::GUID));
}

QStringList notePreviewLines(const NoteView& note)
{
    QStringList lines;
    if (note.has(NoteField::Summary))
        lines << QStringLiteral("Summary: ") + previewText(note.field(NoteField::Summary));
    lines << QStringLiteral("Description: ") + previewText(note.field(NoteField::Description));
    return lines;
}

} // namespace er
