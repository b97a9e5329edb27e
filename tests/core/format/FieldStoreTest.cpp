#include "format/ByteOrder.h"
#include "format/FieldStore.h"

#include <gtest/gtest.h>

using namespace er;

namespace {

enum class Field : quint8 { A, B, C };

struct Record {
    quint32 id = 0;
    FieldRange fields;
};

using Store = FieldStore<Record, Field>;

QByteArray utf16BE(const std::initializer_list<quint16>& units)
{
    QByteArray out;
    for (quint16 u : units)
        out += char(u >> 8), out += char(u & 0xFF);
    return out;
}

} // namespace

// The UTF-8 the pool writes from UTF-16 is byte for byte the general
// conversion's, NUL characters dropped, odd bytes and lone surrogates included.
TEST(FieldStore, WideTextIntoThePoolMatchesTheGeneralConversion)
{
    const QByteArray cases[] = {
        utf16BE({'A', 0x00E9, 0x6771, 0xD83D, 0xDE00}), // 1, 2, 3 and 4 UTF-8 bytes
        utf16BE({'a', 0, 'b', 0}),                      // NULs dropped
        utf16BE({0xD83D, 0, 0xDE00}),                   // a pair around a NUL
        utf16BE({'x', 0xD800}),                         // lone high surrogate at the end
        utf16BE({0xDC00, 'y'}),                         // lone low surrogate
        utf16BE({'z'}) + 'q',                           // an odd last byte
        utf16BE({0, 0}),                                // nothing left
    };
    for (const QByteArray& stored : cases) {
        TextPool pool;
        const auto* data = reinterpret_cast<const unsigned char*>(stored.constData());
        const TextRef ref = pool.addUtf8OfUtf16BE(data, quint64(stored.size()));
        EXPECT_EQ(pool.bytes(ref), utf16BEToUtf8(data, static_cast<unsigned long>(stored.size())))
            << stored.toHex().constData();
    }
}

// Absent, present and empty, and a length without the field stay distinct;
// a later value replaces an earlier one and removing frees the slot for the
// same record only.
TEST(FieldStore, PresenceReplacementAndRemoval)
{
    Store store;
    const QByteArray block = QByteArray("hello") + QByteArray(3, '\0');
    const BlockView view = BlockView::whole(block);
    {
        Store::Appended first = store.append();
        first.record.id = 1;
        first.fields.raw(Field::A, view, 0, 5);
        first.fields.raw(Field::B, view, 0, 2);
        first.fields.raw(Field::B, view, 6, 20); // past the block: present, empty
        first.fields.lengthOnly(Field::C, 36);
        first.fields.raw(Field::A, view, 0, 0);  // length 0 removes the field
    }
    {
        Store::Appended second = store.append();
        second.record.id = 2;
        second.fields.raw(Field::C, view, 1, 3);
    }

    ASSERT_EQ(store.size(), 2u);
    const Store::View first = store[0], second = store[1];
    EXPECT_EQ(first->id, 1u);
    EXPECT_FALSE(first.has(Field::A));
    EXPECT_EQ(first.field(Field::A), std::nullopt);
    EXPECT_EQ(first.length(Field::A), 0u);
    ASSERT_TRUE(first.field(Field::B));
    EXPECT_TRUE(first.field(Field::B)->isEmpty());
    EXPECT_EQ(first.length(Field::B), 20u);
    EXPECT_FALSE(first.field(Field::C));
    EXPECT_EQ(first.length(Field::C), 36u);
    EXPECT_EQ(*second.field(Field::C), "ell");
    EXPECT_FALSE(second.has(Field::B));

    // A copy into another store reads the same.
    Store copy;
    copy.appendCopy(first);
    EXPECT_EQ(copy[0].length(Field::C), 36u);
    EXPECT_FALSE(copy[0].has(Field::C));
    EXPECT_EQ(copy[0].field(Field::B), QByteArray(""));

    store.clear();
    EXPECT_TRUE(store.empty());
}
