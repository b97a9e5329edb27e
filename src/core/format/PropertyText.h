#pragma once
// Decoding of the property encodings shared by contacts, notes, events and
// tasks into the field pairs of the record headers (see ContactRecords.h).
// Every read is bounded by the block; nothing is allocated beyond what the
// block holds.

#include "format/BlockView.h"

#include <QByteArray>
#include <QtGlobal>

#include <array>
#include <cstddef>
#include <optional>

namespace er {

// What one property decodes to.
struct FieldValue {
    std::optional<QByteArray> bytes;
    quint32 length = 0;
};

// Whether the UTF-16 form of wide text counts a terminating zero in its
// length (n/2 + 1) or not (n/2).
enum class WideLength { WithTerminator, WithoutTerminator };

// The n raw bytes at d.
FieldValue rawField(const BlockView& block, quint64 d, quint32 n);
// 8-bit text: the n bytes at d as stored (a terminating zero, if the
// database wrote one, stays); the length is n.
FieldValue eightBitField(const BlockView& block, quint64 d, quint32 n);
// Wide text (tags 00 00 1F xx): FF FF then 8-bit text (length n - 2), or
// UTF-16BE decoded to UTF-8 with NUL characters dropped (length n/2 + 1, or
// n/2 without the terminator). Data past the block's end give the empty text
// with the UTF-16 form's length.
FieldValue wideTextField(const BlockView& block, quint64 d, quint32 n,
                         WideLength form = WideLength::WithTerminator);
// The same rules for text already in hand: `text` holds the n stored bytes,
// or nothing when they did not fit the block. Present even for n = 0.
FieldValue wideTextOf(const QByteArray& text, bool fits, quint32 n, WideLength form = WideLength::WithTerminator);

template <class Length>
void assignField(std::optional<QByteArray>& field, Length& length, const FieldValue& value)
{
    field = value.bytes;
    length = value.length;
}

// The first `count` bytes of an N-byte field from d; all zeros when they do
// not lie inside the block.
template <std::size_t N>
std::array<quint8, N> fixedBytes(const BlockView& block, quint64 d, std::size_t count = N)
{
    std::array<quint8, N> out{};
    if (count <= N && block.contains(d, count))
        for (std::size_t i = 0; i < count; ++i)
            out[i] = block.u8(d + i);
    return out;
}

} // namespace er
