// The promises of the database builder that the other tests rely on.

#include "DatabaseBuilder.h"
#include "DescribedDatabase.h"
#include "SampleDatabase.h"

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
        for (const QByteArray& b : {block(kCTRC, be32(0) + filler), propertyBlock(kNTRC, {prop(0x1F01, filler)}),
                                    marcBlock(3, filler), mlrcBlock(r), msrc, attc})
            expectPassesBlockCheck(b);
        EXPECT_EQ(msrc.mid(8, 4) + msrc.mid(16, 4 + n), be32(n) + be32(77) + filler);
        // The export copies S bytes from offset 20: the payload, then the pad bytes.
        EXPECT_EQ(int(wordAt(attc, 4)), attcStoredLength(n));
        EXPECT_EQ(attc.mid(16), be32(5) + filler + QByteArray(attcStoredLength(n) - n, '\r'));
    }
}

TEST(DatabaseBuilderFolders, Words40And42DifferUnlessAskedToBeEqual)
{
    const FlidOptions equal{true, {}};
    QList<FolderEntry> entries;
    for (int n = 0; n <= 11; ++n) {
        SCOPED_TRACE(n);
        const QByteArray b = flidBlock(entries), same = flidBlock(entries, equal);
        expectPassesBlockCheck(b);
        EXPECT_NE(wordAt<quint16>(b, 40), wordAt<quint16>(b, 42));
        EXPECT_EQ(wordAt<quint16>(same, 40), wordAt<quint16>(same, 42));
        // The entries chain from 1052 by their lengths and end at a zero word.
        for (const QByteArray& table : {b, same}) {
            int at = 1052;
            for (int k = 0; k < n; at += wordAt<qint16>(table, 28 + 2 * k++))
                EXPECT_EQ(wordAt(table, at + 8), entries[k].id);
            EXPECT_EQ(wordAt(table, at), 0u);
        }
        entries << FolderEntry{quint32(10 + n), 7, "Same"}; // equal lengths would make the words equal
    }
}

TEST(DatabaseBuilderDatabase, BlocksLandWhereTheScannerLooks)
{
    EXPECT_EQ(Database(true).bytes().left(4) + Database(false).bytes().left(4), be32(3) + be32(4));
    Database db;
    const BlockOptions broken{2, {}, 768};
    // The scanner steps 256 through the broken block at 768: 1024, 1280,
    // then 1536.
    const QList<qint64> at{db.add(msrcBlock(1, "one")), db.add(block(kMLRC, {}, broken)), db.add(msrcBlock(2, "two")),
                           db.addGarbage(2, 7), db.add(attcBlock(3, "three"))};
    EXPECT_EQ(at, QList<qint64>({512, 768, 1536, 1792, 2816}));
    QList<QByteArray> found;
    for (const ScannedBlock& b : scanBlocks(db.bytes()))
        found << b.tag + QByteArray::number(b.offset);
    EXPECT_EQ(found, QList<QByteArray>({"MSrc512", "MSrc1536", "Attc2816"}));
}

TEST(DatabaseBuilderSample, IsDeterministicAndHoldsWhatItsConstantsSay)
{
    const QByteArray sample = buildSampleDatabase();
    EXPECT_EQ(sample, buildSampleDatabase());
    EXPECT_EQ(sample.left(4), be32(4));

    QMap<QByteArray, int> tags;
    for (const ScannedBlock& b : scanBlocks(sample))
        ++tags[b.tag];
    EXPECT_EQ(tags, (QMap<QByteArray, int>{{kFLID, 2}, {kMSrc, kSampleSummaries}, {kMLRC, kSampleMailRecords},
                                           {kAttc, kSampleAttachments}, {kMaRC, kSampleAccounts},
                                           {kCTRC, int(kSampleContactBlocks)}, {kNTRC, int(kSampleNotes)},
                                           {kCLRC, int(kSampleEvents)}, {kTSRC, int(kSampleTasks)}}));
    int damaged = 0;
    for (int at = 0; at + 9 <= sample.size(); ++at)
        damaged += isScannedTag(sample.mid(at, 4)) && quint8(sample[at + 7]) == 0xEC && quint8(sample[at + 8]) > 1;
    EXPECT_EQ(damaged, kSampleDamagedBlocks);
    const QList<SampleFolder> folders = sampleFolders();
    EXPECT_EQ(folders.size(), kSampleFolders + kSampleOrphanFolders);
    int mails = 0;
    for (const SampleFolder& f : folders)
        mails += f.mails;
    EXPECT_EQ(mails, kSampleMailCount);
    EXPECT_EQ(folders.last().mails, kSampleOrphanedSummaries);
}

TEST(DatabaseBuilderDescription, SaysWhereItIsWrong)
{
    QString error;
    EXPECT_TRUE(describedDatabase("folders\n  folder 1 - Auto \"Inbox\"\nmail\n  sender x\n", &error).isEmpty());
    EXPECT_EQ(error, QStringLiteral("line 4: unknown mail field sender"));
    EXPECT_TRUE(describedDatabase("text 1\n  | x\n  poke 300 u32 1\n", &error).isEmpty());
    EXPECT_EQ(error, QStringLiteral("line 1: poke past the block's end"));
}
