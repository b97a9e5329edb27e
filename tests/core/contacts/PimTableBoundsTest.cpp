// Every personal-information decoder stops its descriptor walk when
// 8(k + 1) > L - 20 (unsigned): L = 12 + 8 * count reads exactly the table's
// descriptors, and an L below 20 leaves only the block's end as the bound.
// Each case puts bytes that read as a descriptor of tag 00 00 1F 01 with
// length 0 where a wrong bound would read one; that tag is wide text in all
// four records, and its length 0 would clear the field.

#include "PimBlocks.h"

#include "archive/BlockScanner.h"
#include "format/BlockView.h"
#include "archive/ScanState.h"

#include <gtest/gtest.h>

#include <functional>

using namespace testdb;

namespace {

struct Decoder {
    const char* name;
    QByteArray tag;
    er::BlockTag blockTag;
    // Whether the last record holds a 00 00 1F 01 text.
    std::function<bool(const er::ScanState&)> probePresent;
};

const Decoder kDecoders[] = {
    {"contacts", kCTRC, er::BlockTag::CTRC, [](const er::ScanState& s) { return s.contacts.back().has(er::ContactField::FirstName); }},
    {"notes", kNTRC, er::BlockTag::NTRC, [](const er::ScanState& s) { return s.notes.back().has(er::NoteField::Summary); }},
    {"events", kCLRC, er::BlockTag::CLRC,
     [](const er::ScanState& s) { return s.events.back().has(er::EventField::Description); }},
    {"tasks", kTSRC, er::BlockTag::TSRC, [](const er::ScanState& s) { return s.tasks.back().has(er::TaskField::TaskName); }},
};

const QByteArray kClearingDescriptor = tag(0x1F01) + be32(0);

bool probeAfterDecoding(const Decoder& d, const QList<Property>& props, std::optional<quint32> tableLength = {})
{
    er::ScanState state;
    er::decodeBlock(state, d.blockTag, er::BlockView::whole(propertyBlock(d.tag, props, tableLength)));
    return d.probePresent(state);
}

} // namespace

TEST(PimTableBounds, TableLengthTwentyReadsOneDescriptor)
{
    for (const Decoder& d : kDecoders) {
        SCOPED_TRACE(d.name);
        // Data from 40, right where a second descriptor would be.
        EXPECT_TRUE(probeAfterDecoding(d, {prop(0x1F01, kClearingDescriptor)}));
    }
}

TEST(PimTableBounds, TableLengthThirtySixReadsThreeDescriptors)
{
    for (const Decoder& d : kDecoders) {
        SCOPED_TRACE(d.name);
        EXPECT_TRUE(probeAfterDecoding(d, {prop(0x7777, kClearingDescriptor), prop(0x7778, {}), wideProp(0x1F01, "A")},
                                       36));
    }
}

TEST(PimTableBounds, TableLengthBelowTwentyWalksToTheBlockEnd)
{
    for (const Decoder& d : kDecoders) {
        SCOPED_TRACE(d.name);
        const QList<Property> props{prop(0x7777, {}), prop(0x7777, {}), prop(0x7777, {}), wideProp(0x1F01, "A")};
        EXPECT_TRUE(probeAfterDecoding(d, props, 4));
        EXPECT_TRUE(probeAfterDecoding(d, props, 0));
    }
}
