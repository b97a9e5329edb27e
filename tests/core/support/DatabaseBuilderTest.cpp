// The promises of the database builder and the description reader that the
// other tests and the benchmarks rely on.

#include "DatabaseBuilder.h"
#include "DescribedDatabase.h"

#include <QtEndian>
#include <gtest/gtest.h>

using namespace testdb;

namespace {

template <typename T = quint32>
T wordAt(const QByteArray& b, int at)
{
    return qFromBigEndian<T>(b.constData() + at);
}

// What the scanner's block check asks of a block.
void expectPassesBlockCheck(const QByteArray& b)
{
    EXPECT_TRUE(b.size() >= 256 && b.size() % 256 == 0 && quint8(b.at(7)) == 0xEC && quint8(b.at(8)) <= 1
                && qint64(wordAt(b, 4)) + 20 == b.size())
        << b.size() << " bytes, starting " << b.left(9).toHex().constData();
}

} // namespace

TEST(DatabaseBuilderBlocks, EveryKindPassesTheBlockCheckAndKeepsItsPayload)
{
    for (int n : {0, 227, 228, 229, 236, 237, 484, 485, 1000}) { // both sides of the 256-byte steps
        SCOPED_TRACE(n);
        const QByteArray filler(n, 'x');
        const MailRecordBlock r{1, {}, {}, narrow(filler.left(100)), {}, {}, QList<Address>{}, utf16be(QString(filler))};
        const QByteArray msrc = msrcBlock(77, filler), attc = attcBlock(5, filler);
        QList<FolderEntry> folders;
        for (int k = 0; k < n / 100; ++k)
            folders << FolderEntry{quint32(10 + k), 7, "Same"}; // equal lengths would make words 40 and 42 equal
        const QByteArray flid = flidBlock(folders);
        for (const QByteArray& b : {propertyBlock(kNTRC, {prop(0x1F01, filler)}),
                                    marcBlock(3, filler), mlrcBlock(r), msrc, attc, flid})
            expectPassesBlockCheck(b);
        EXPECT_EQ(msrc.mid(8, 4) + msrc.mid(16, 4 + n), be32(n) + be32(77) + filler);
        // The export copies S bytes from offset 20: the payload, then CR pad bytes.
        EXPECT_EQ(attc.mid(16), be32(5) + filler + QByteArray(attc.size() - 20 - n, '\r'));
        EXPECT_NE(wordAt<quint16>(flid, 40), wordAt<quint16>(flid, 42));
    }
}

TEST(DatabaseBuilderDatabase, BlocksLandWhereTheScannerLooks)
{
    EXPECT_EQ(Database(true).bytes().left(4) + Database(false).bytes().left(4), be32(3) + be32(4));
    Database db;
    // Byte 8 of 2 breaks the block at 768: the scanner steps 256 through it,
    // to 1024, 1280, then 1536.
    QByteArray broken = propertyBlock(kMLRC, {}).leftJustified(768, '\0');
    broken[8] = 2;
    const QList<qint64> at{db.add(msrcBlock(1, "one")), db.add(broken), db.add(msrcBlock(2, "two")),
                           db.addGarbage(2, 7), db.add(attcBlock(3, "three"))};
    EXPECT_EQ(at, QList<qint64>({512, 768, 1536, 1792, 2816}));
    QList<QByteArray> found;
    for (const ScannedBlock& b : scanBlocks(db.bytes()))
        found << b.tag + QByteArray::number(b.offset);
    EXPECT_EQ(found, QList<QByteArray>({"MSrc512", "MSrc1536", "Attc2816"}));
}

// Each description reads as the second one does, or fails with that error.
TEST(DatabaseBuilderDescription, ReadsTheShorthandsAndSaysWhereItIsWrong)
{
    const std::pair<const char*, const char*> cases[] = {
        {"text 1\n  line fill 3 \"ab\" u8 65\n  | x\n", "text 1\n  | abababA\n  | x\n"},
        {"repeat 2 5 3\ntext {n}\n  | id {n}\nend\ntext 9\n", "text 5\n| id 5\ntext 8\n| id 8\ntext 9\n"},
        {"repeat 0\ntext 1\nend\n", ""},
        {"folders\n  folder 1 - Auto \"Inbox\"\nmail\n  sender x\n", "error: line 4: unknown mail field sender"},
        {"text 1\n  | x\n  poke 300 u32 1\n", "error: line 1: poke past the block's end"},
        {"repeat 3\nmail\n  folder x\nend\n", "error: line 3: not a number: x"},
        {"repeat 2\ntext 1\n", "error: line 1: repeat without end"},
        {"repeat 2\nrepeat 2\nend\nend\n", "error: line 1: repeats do not nest"},
        {"repeat 1000000\ntext 1\n| x\nend\n", "error: line 1: repeat too large"},
        {"raw fill 99999999 \"ab\"\n", "error: line 1: fill too large"},
        {"end\n", "error: line 1: unexpected end"},
    };
    for (const auto& [description, expected] : cases) {
        SCOPED_TRACE(description);
        QString error;
        const QByteArray bytes = describedDatabase(description, &error);
        if (QByteArray(expected).startsWith("error: ")) {
            EXPECT_EQ(error.toStdString(), expected + 7);
            EXPECT_TRUE(bytes.isEmpty());
        } else {
            EXPECT_EQ(error, QString());
            EXPECT_EQ(bytes, describedDatabase(expected));
        }
    }
}
