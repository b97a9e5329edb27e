#include "PimBlocks.h"

#include "contacts/ContactRecords.h"
#include "archive/BlockScanner.h"
#include "format/BlockView.h"
#include "format/ByteOrder.h"
#include "archive/ScanState.h"

#include <gtest/gtest.h>

using namespace testdb;
using er::NoteField;

namespace {

er::NoteView decode(er::ScanState& state, const QByteArray& block)
{
    er::decodeBlock(state, er::BlockTag::NTRC, er::BlockView::whole(block));
    return state.notes.back();
}

} // namespace

TEST(NoteDecoder, TextFormsAndStamp)
{
    er::ScanState state;
    const auto& n = decode(state, noteBlock({wideProp(kNoteSummaryTag, QString::fromUtf8("Ideen für März")),
                                             markedProp(kNoteDescriptionTag, "a\rb"), wideProp(kNote1F06Tag, "abc"),
                                             prop(kNoteStampTimeTag, macTime(123456))}));
    EXPECT_EQ(*n.field(NoteField::Summary), QString::fromUtf8("Ideen für März").toUtf8());
    EXPECT_EQ(n.length(NoteField::Summary), 15u);
    EXPECT_EQ(*n.field(NoteField::Description), "a\rb");
    EXPECT_EQ(n.length(NoteField::Description), 3u);
    EXPECT_EQ(*n.field(NoteField::Property1F06), "abc");
    EXPECT_EQ(n.length(NoteField::Property1F06), 3u); // no terminator counted
    EXPECT_EQ(er::bigEndianU32(n->StampTime->data()), 123456u);
    EXPECT_FALSE(n.field(NoteField::GUID));
}

TEST(NoteDecoder, EveryBlockCounts)
{
    er::ScanState state;
    QByteArray unusable = noteBlock({wideProp(kNoteSummaryTag, "lost")});
    unusable.replace(36, 4, be32(4000));
    const auto& n = decode(state, unusable);
    EXPECT_EQ(state.noteCount, 1u);
    EXPECT_TRUE(n.field(NoteField::Summary) && n.field(NoteField::Summary)->isEmpty());
    decode(state, noteBlock({}));
    EXPECT_EQ(state.noteCount, 2u);
}
