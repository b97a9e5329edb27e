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

void decodeNote(const BlockView& b, NoteStore& store)
{
    NoteStore::Appended note = store.append();
    FieldWriter<NoteField>& fields = note.fields;

    walkPropertyTable(b, TableBound::TableLengthLess20, [&](const PropertyDescriptor& p) {
        const quint64 d = p.dataOffset;
        const quint32 n = p.length;
        switch (p.tag) {
        case kTagNote0D83:
            fields.raw(NoteField::Property0D83, b, d, n);
            break;
        case kTagNote0D80:
            fields.raw(NoteField::Property0D80, b, d, n);
            break;
        case kTagNoteSummary:
            fields.wideText(NoteField::Summary, b, d, n);
            break;
        case kTagNoteDescription:
            fields.wideText(NoteField::Description, b, d, n);
            break;
        case kTagNote1F06:
            fields.wideText(NoteField::Property1F06, b, d, n, WideLength::WithoutTerminator);
            break;
        case kTagNoteStampTime2004:
            note.record.StampTime2004 = fixedBytes<4>(b, d + 4);
            note.record.StampTime2004Length = n;
            break;
        case kTagNoteStampTime:
            note.record.StampTime = fixedBytes<4>(b, d + 4);
            note.record.StampTimeLength = n;
            break;
        case kTagNote0D2B:
            fields.raw(NoteField::Property0D2B, b, d, n);
            break;
        case kTagNoteGUID:
            fields.raw(NoteField::GUID, b, d, n);
            break;
        default:
            break;
        }
    });

}

} // namespace er
