#include "notes/NotePreview.h"

namespace er {

QString noteRowText(const NoteRecord& note)
{
    return previewText(note.Summary) + QLatin1Char(' ');
}

QString itemKeyText(const NoteRecord& note)
{
    return guidKeyText(note.GUID, note.GUIDLength);
}

QStringList notePreviewLines(const NoteRecord& note)
{
    QStringList lines;
    if (note.Summary)
        lines << QStringLiteral("Summary: ") + previewText(note.Summary);
    lines << QStringLiteral("Description: ") + previewText(note.Description);
    return lines;
}

} // namespace er
