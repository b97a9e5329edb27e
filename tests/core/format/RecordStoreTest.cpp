#include "format/RecordArray.h"
#include "format/TextPool.h"

#include <gtest/gtest.h>

using namespace er;

namespace {

struct Row {
    quint64 id = 7; // default member values are kept by emplace_back
    quint32 value = 0;
};

} // namespace

// Growth remaps the memory: every record survives many moves, and copies and
// moves of the array hold the same records.
TEST(RecordArray, RecordsSurviveGrowthCopiesAndMoves)
{
    RecordArray<Row> rows;
    EXPECT_EQ(rows.emplace_back().id, 7u);
    rows.clear();
    for (quint32 i = 0; i < 300000; ++i)
        rows.emplace_back().value = i;
    ASSERT_EQ(rows.size(), 300000u);
    bool intact = true;
    for (quint32 i = 0; i < rows.size(); ++i)
        intact = intact && rows[i].value == i && rows[i].id == 7;
    EXPECT_TRUE(intact);
    EXPECT_EQ(rows.indexOf(rows[1234]), 1234u);

    RecordArray<Row> copy(rows);
    RecordArray<Row> moved(std::move(rows));
    EXPECT_TRUE(rows.empty());
    ASSERT_EQ(copy.size(), moved.size());
    EXPECT_EQ(copy.back().value, 299999u);
    EXPECT_EQ(moved.at(42).value, 42u);
    EXPECT_THROW(moved.at(300000), std::out_of_range);
}

// Each kind of stored text reads back as the decoders used to make it.
TEST(TextPool, TextsReadBackAsTheirKindSays)
{
    struct Case {
        const char* what;
        QByteArray stored;
        TextKind kind;
        QString text;
    };
    const QByteArray wideAnn("\x00" "A\x00n\x00n", 6);
    const QByteArray wideGreek("\x03\x91\x00 \x03\xA9", 6);
    const Case cases[] = {
        {"raw bytes", "a@b.example", TextKind::Bytes, QStringLiteral("a@b.example")},
        {"8-bit UTF-8", "Z\xC3\xBCrich", TextKind::EightBit, QString::fromUtf8("Z\xC3\xBCrich")},
        {"8-bit Mac Roman", "caf\x8E", TextKind::EightBit, QString::fromUtf8("caf\xC3\xA9")},
        {"UTF-16 beyond Latin-1", wideGreek, TextKind::Utf16BE, QString::fromUtf8("\xCE\x91 \xCE\xA9")},
        {"empty", QByteArray(), TextKind::EightBit, QString()},
    };
    TextPool pool;
    for (const Case& c : cases) {
        const TextRef ref = pool.add(c.stored, c.kind);
        EXPECT_EQ(pool.text(ref), c.text) << c.what;
        EXPECT_EQ(pool.bytes(ref), c.stored) << c.what;
        EXPECT_EQ(ref.isEmpty(), c.stored.isEmpty()) << c.what;
    }

    // Wide text that fits a byte per unit takes half the room and reads the
    // same; wider text stays as stored. An odd last byte is no unit.
    const quint64 before = pool.size();
    const TextRef ann = pool.addWide(reinterpret_cast<const unsigned char*>(wideAnn.constData()), 7);
    EXPECT_EQ(pool.size() - before, 3u);
    EXPECT_EQ(pool.text(ann), QStringLiteral("Ann"));
    const TextRef greek = pool.addWide(reinterpret_cast<const unsigned char*>(wideGreek.constData()), 6);
    EXPECT_EQ(pool.text(greek), QString::fromUtf8("\xCE\x91 \xCE\xA9"));
    const QString astral = QString::fromUtf8("mail \xF0\x9F\x93\xA7");
    EXPECT_EQ(pool.text(pool.addText(astral)), astral);
}
