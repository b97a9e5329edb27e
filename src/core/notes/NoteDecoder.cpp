#include "notes/NoteDecoder.h"

#include "format/PropertyTable.h"
#include "format/PropertyText.h"

namespace er {

namespace {

enum NoteTag : quint32 {
    kTagNote0D83 = 0x00000D83,
    kTagNote0D80 = 0x00000D80,
    kTagNoteSummary = 0x00001F01,
    kTagNoteDescription = 0x00001F02,
    kTagNote1F06 = 0x00001F06,
    kTagNoteStampTime2004 = 0x00000780,
    kTagNoteStampTime = 0x00000703,
    kTagNote0D2B = 0x00000D2B,
    kTagNoteGUID = 0x00004800,
};

} // namespace

NoteRecord decodeNote(const BlockView& b)
{
    NoteRecord note;

    walkPropertyTable(b, TableBound::TableLengthLess20, [&](const PropertyDescriptor& p) {
        const quint64 d = p.dataOffset;
        const quint32 n = p.length;
        switch (p.tag) {
        case kTagNote0D83:
            assignField(note.Property0D83, note.Property0D83Length, rawField(b, d, n));
            break;
        case kTagNote0D80:
            assignField(note.Property0D80, note.Property0D80Length, rawField(b, d, n));
            break;
        case kTagNoteSummary:
            assignField(note.Summary, note.SummaryLength, wideTextField(b, d, n));
            break;
        case kTagNoteDescription:
            assignField(note.Description, note.DescriptionLength, wideTextField(b, d, n));
            break;
        case kTagNote1F06:
            assignField(note.Property1F06, note.Property1F06Length,
                        wideTextField(b, d, n, WideLength::WithoutTerminator));
            break;
        case kTagNoteStampTime2004:
            note.StampTime2004 = fixedBytes<4>(b, d + 4);
            note.StampTime2004Length = n;
            break;
        case kTagNoteStampTime:
            note.StampTime = fixedBytes<4>(b, d + 4);
            note.StampTimeLength = n;
            break;
        case kTagNote0D2B:
            assignField(note.Property0D2B, note.Property0D2BLength, rawField(b, d, n));
            break;
        case kTagNoteGUID:
            assignField(note.GUID, note.GUIDLength, rawField(b, d, n));
            break;
        default:
            break;
        }
    });

    return note;
}

} // namespace er
