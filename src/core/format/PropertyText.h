#pragma once
// The property encodings shared by contacts, notes, events and tasks, and
// how their fields read (format/FieldStore.h decodes them into a store).
//
// Every property field is a pair: the field itself and its length.
//  - Absent: std::nullopt with length 0 (the property was not in the block,
//    or had length 0).
//  - Present: the length the record format gives the field (for wide text
//    n/2 + 1, the text and its terminating zero, or n - 2 after the FF FF
//    marker; for 8-bit text and raw data the stored length n). Consumers use
//    it only for their "non-empty" (length > 1) and "non-zero" tests; for
//    text decoded from UTF-16 it counts characters, not UTF-8 bytes.
//  - The bytes: text decoded from UTF-16 is UTF-8 without terminator (NUL
//    characters dropped); 8-bit text (FF FF marker form, 1D/1E tags) and raw
//    fields hold the stored bytes, which may end in a zero byte: show such
//    text up to its first zero byte.
//    When the data did not fit the block nothing is held (an empty array):
//    the format's zero-filled field, so read missing bytes as zeros.
//
// Every read is bounded by the block; nothing is allocated beyond what the
// block holds.

#include "format/BlockView.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <array>
#include <cstddef>
#include <optional>

namespace er {

using OptionalBytes = std::optional<QByteArray>;

// Whether the UTF-16 form of wide text counts a terminating zero in its
// length (n/2 + 1) or not (n/2).
enum class WideLength { WithTerminator, WithoutTerminator };

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

// Upper-case hexadecimal, two digits per byte, with "-" after the 4th, 6th,
// 8th and 10th byte (8-4-4-4-12 for 16 bytes).
QByteArray dashedUid(const QByteArray& guid);
// The dashed UID of an item's GUID field. A GUID whose data lay past the
// block's end was never copied and reads as zeros (at most 16 bytes,
// whatever length the block claimed), as its file name does.
QByteArray uidOf(const std::optional<QByteArray>& guid, quint64 length);
// The one rule for 8-bit text of unrecorded character set: valid UTF-8 (all
// text decoded from UTF-16 is) stays UTF-8; anything else is the Mac's
// 8-bit Roman character set, which Office for Mac stores 8-bit text in.
// Every byte keeps its meaning: never a replacement character.
bool isValidUtf8(const QByteArray& bytes);
QString eightBitText(const QByteArray& bytes);

// A field as the window shows it: its bytes up to the first zero byte, read
// by the rule above; empty when absent.
QString previewText(const OptionalBytes& field);
// The same, cut to the 254 characters the old fixed preview buffer held (on a
// character boundary).
QString cappedPreviewText(const OptionalBytes& field);
// The GUID's bytes as upper-case hexadecimal, two digits per byte, no
// separators; empty without a GUID. Bytes the block did not hold read as
// zeros, as in the item's file name and UID.
QString guidKeyText(const OptionalBytes& guid, quint64 length);

} // namespace er
