#pragma once
// The property table shared by the record blocks ("MLRC", "MaRC", contacts,
// notes, events, tasks): a u32 table length L at offset 24, 8-byte
// descriptors (4-byte tag, u32 data length) from offset 32, and the data of
// all properties one after the other, in descriptor order, from 20 + L.

#include "format/BlockView.h"

#include <QtGlobal>

namespace er {

struct PropertyDescriptor {
    int index = 0;          // k
    quint32 tag = 0;        // the 4 tag bytes as a big-endian number, e.g. 0x00000301
    quint32 length = 0;     // n
    quint64 dataOffset = 0; // D, from the block's first byte
};

// Where each decoder stops reading descriptors. Every walk also stops before a
// descriptor whose bytes would reach the block's end (36 + 8k not below the
// block length).
enum class TableBound {
    // Stop after descriptor k when 8(k + 1) > L (mail records).
    TableLength,
    // Stop after descriptor k when 8(k + 1) > L - 20, computed unsigned: a
    // table length below 20 leaves only the block's end as the bound.
    TableLengthLess20,
};

template <class Handler>
void walkPropertyTable(const BlockView& block, TableBound bound, Handler&& handle)
{
    const quint64 tableLength = block.u32(24);
    quint64 limit = tableLength;
    if (bound == TableBound::TableLengthLess20)
        limit = tableLength >= 20 ? tableLength - 20 : ~quint64(0);
    quint64 data = 20 + tableLength;
    for (quint64 k = 0;; ++k) {
        const quint64 at = 32 + 8 * k;
        if (at + 4 >= block.length())
            break;
        // Past the bytes the file holds every descriptor reads as tag 0 with
        // length 0, which no decoder handles and which moves nothing.
        if (at >= block.available())
            break;
        PropertyDescriptor d;
        d.index = static_cast<int>(k);
        d.tag = block.u32(at);
        d.length = block.u32(at + 4);
        d.dataOffset = data;
        handle(d);
        if (8 * (k + 1) > limit)
            break;
        data += d.length;
    }
}

} // namespace er
