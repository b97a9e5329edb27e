// The promises of the database builder that every other test relies on.

#include "DatabaseBuilder.h"
#include "SampleDatabase.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace testdb;

namespace {

quint8 u8At(const QByteArray& b, int at)
{
    return quint8(b.at(at));
}

quint16 u16At(const QByteArray& b, int at)
{
    return quint16(u8At(b, at) << 8 | u8At(b, at + 1));
}

quint32 u32At(const QByteArray& b, int at)
{
    return quint32(u16At(b, at)) << 16 | u16At(b, at + 2);
}

void expectPassesBlockCheck(const QByteArray& b)
{
    ASSERT_GE(b.size(), 256);
    EXPECT_EQ(b.size() % 256, 0);
    EXPECT_EQ(u8At(b, 7), 0xEC);
    EXPECT_LE(u8At(b, 8), 1);
    EXPECT_EQ(qint64(u32At(b, 4)) + 20, b.size());
}

FolderEntry folder(quint32 id, const QString& name)
{
    FolderEntry e;
    e.id = id;
    e.parent = 7;
    e.name = name;
    return e;
}

} // namespace

TEST(DatabaseBuilderBlocks, EveryKindPassesTheBlockCheck)
{
    // Sizes on both sides of the 256-byte steps.
    for (int n : {0, 227, 228, 229, 236, 237, 484, 485, 1000}) {
        SCOPED_TRACE(n);
        const QByteArray filler(n, 'x');
        expectPassesBlockCheck(block(kCTRC, be32(0) + filler));
        expectPassesBlockCheck(propertyBlock(kNTRC, {prop(0x1F01, filler)}));
        expectPassesBlockCheck(attcBlock(9, filler));
        expectPassesBlockCheck(marcBlock(3, filler));

        const QByteArray msrc = msrcBlock(77, filler);
        expectPassesBlockCheck(msrc);
        EXPECT_EQ(u32At(msrc, 8), quint32(n));
        EXPECT_EQ(u32At(msrc, 16), 77u);
        EXPECT_EQ(msrc.mid(20, n), filler);

        MailRecord r;
        r.folderId = 1;
        r.mailId = 2;
        r.subject = narrow(filler.left(100));
        r.body = utf16be(QString(filler));
        r.cc = QList<Address>{};
        expectPassesBlockCheck(mlrcBlock(r));
    }
    QList<FolderEntry> entries;
    for (int k = 0; k < 12; ++k) {
        expectPassesBlockCheck(flidBlock(entries));
        entries << folder(100 + k, QString(k * 7, 'n'));
    }
}

TEST(DatabaseBuilderBlocks, AttachmentPayloadFillsTheSizeField)
{
    // The export copies S bytes from offset 20: the payload, then the pad bytes.
    for (int n : {0, 236, 237, 600}) {
        SCOPED_TRACE(n);
        const QByteArray payload(n, 'p');
        const QByteArray b = attcBlock(5, payload);
        const int stored = int(u32At(b, 4));
        EXPECT_EQ(stored, attcStoredLength(n));
        EXPECT_EQ(u32At(b, 16), 5u);
        EXPECT_EQ(b.mid(20, n), payload);
        EXPECT_EQ(b.mid(20 + n), QByteArray(stored - n, '\r'));
    }
}

TEST(DatabaseBuilderBlocks, OptionsBreakOnlyWhatTheyAreAskedTo)
{
    const QByteArray plain = block(kMLRC, QByteArray(300, '\0'));
    EXPECT_EQ(plain.size(), 512);

    BlockOptions badByte8;
    badByte8.byte8 = 2;
    const QByteArray b8 = block(kMLRC, QByteArray(300, '\0'), badByte8);
    EXPECT_EQ(u8At(b8, 8), 2);
    EXPECT_EQ(b8.mid(9), plain.mid(9));

    BlockOptions forced;
    forced.sizeField = 1516;
    forced.minLength = 700;
    const QByteArray f = block(kMLRC, {}, forced);
    EXPECT_EQ(f.size(), 768);
    EXPECT_EQ(u32At(f, 4), 1516u);

    BlockOptions cut;
    cut.cutTo = 100;
    EXPECT_EQ(block(kMLRC, QByteArray(300, '\0'), cut), plain.left(100));

    // A text length whose top byte is 2 fails the check, as in a real file.
    EXPECT_EQ(u8At(msrcBlock(1, "x", 0x02000001u), 8), 2);
}

TEST(DatabaseBuilderProperties, DataLiesWhereTheTableWalkFindsIt)
{
    const QList<Property> props{prop32(0x0301, 7), prop(0x1234, {}), prop(0x1F01, utf16be("Inbox")),
                                prop(0x0D1F, addressList({}))};
    const QByteArray b = propertyBlock(kCLRC, props);
    const quint32 table = u32At(b, 24);
    EXPECT_EQ(table, 12u + 8 * 4);

    int data = 20 + int(table);
    for (int k = 0; k < props.size(); ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(b.mid(32 + 8 * k, 4), props[k].tag);
        const int n = int(u32At(b, 36 + 8 * k));
        EXPECT_EQ(n, props[k].data.size());
        EXPECT_EQ(b.mid(data, n), props[k].data);
        data += n;
    }

    // A longer table moves the data; a shorter one changes only the word.
    const QByteArray longer = propertyBlock(kCLRC, props, 100);
    EXPECT_EQ(longer.mid(120, 4), be32(7));
    const QByteArray shorter = propertyBlock(kCLRC, props, 20);
    EXPECT_EQ(u32At(shorter, 24), 20u);
    EXPECT_EQ(shorter.mid(28), b.mid(28));
}

TEST(DatabaseBuilderProperties, MailRecordAndAddressListLayout)
{
    const QByteArray list = addressList({{"ann@example.org", "Ann"}, {"b@x.y", ""}});
    EXPECT_EQ(u32At(list, 0), 2u);
    EXPECT_EQ(u32At(list, 29), 15u);
    EXPECT_EQ(list.mid(33, 15), QByteArray("ann@example.org"));
    EXPECT_EQ(u32At(list, 48), 6u);
    EXPECT_EQ(list.mid(52, 6), utf16be("Ann"));
    EXPECT_EQ(u32At(list, 58 + 24), 5u); // the second entry follows the name directly
    EXPECT_EQ(list.size(), 58 + 24 + 4 + 5 + 4);
    EXPECT_EQ(addressList({}).size(), 5);

    MailRecord r;
    r.folderId = 3;
    r.date = macStamp(2008, 1, 1);
    r.attachmentIds = {501, 502};
    const QList<Property> props = mailProperties(r);
    ASSERT_EQ(props.size(), 3);
    EXPECT_EQ(props[0].tag, tag(kFolderIdTag)); // no mail id descriptor at all
    EXPECT_EQ(props[1].data, be32(0) + be32(3281990400u));
    EXPECT_EQ(props[2].data, QByteArray("cmNoeApD") + be32(501) + QByteArray("cmNoeApD") + be32(502));

    EXPECT_EQ(macStamp(1904, 1, 1), 0u);
    EXPECT_EQ(narrow("Hi"), QByteArray("\xFF\xFFHi"));
    EXPECT_EQ(u32At(wrapped("abc"), 24), 3u);
}

TEST(DatabaseBuilderFolders, Words40And42DifferUnlessAskedToBeEqual)
{
    FlidOptions equal;
    equal.equalWords40And42 = true;
    QList<FolderEntry> entries;
    for (int n = 0; n <= 10; ++n) {
        SCOPED_TRACE(n);
        const QByteArray b = flidBlock(entries);
        EXPECT_NE(u16At(b, 40), u16At(b, 42));
        const QByteArray same = flidBlock(entries, equal);
        EXPECT_EQ(u16At(same, 40), u16At(same, 42));

        // The entries chain from 1052 by their lengths and end at a zero word.
        for (const QByteArray& table : {b, same}) {
            int at = 1052;
            for (int k = 0; k < n; ++k) {
                EXPECT_EQ(u32At(table, at + 8), entries[k].id);
                at += qint16(u16At(table, 28 + 2 * k));
            }
            EXPECT_EQ(u32At(table, at), 0u);
        }
        entries << folder(10 + n, "Same"); // every entry has the same length
    }
}

TEST(DatabaseBuilderFolders, NamesSitWhereEachFlagCaseReadsThem)
{
    struct Case {
        FolderLayout layout;
        quint8 b0, b1, b2;
        bool parent;
        int marker, eightBitAt, wideAt;
    };
    const Case cases[] = {
        {FolderLayout::ParentWide, 0, 4, 4, true, 24, 26, 24},
        {FolderLayout::Parent, 0, 0, 4, true, 20, 22, 24},
        {FolderLayout::ParentOddB1, 0, 1, 4, true, 20, 26, 24},
        {FolderLayout::ParentB1, 0, 4, 0, true, 20, 22, 20},
        {FolderLayout::NoParent, 0, 0, 0, false, 16, 18, 16},
        {FolderLayout::NoParentB0, 1, 0, 0, false, 18, 20, 18},
        {FolderLayout::NoParentOther, 0, 0, 1, false, 20, 22, 20},
    };
    for (const Case& c : cases) {
        for (bool eightBit : {false, true}) {
            SCOPED_TRACE(int(c.layout) * 10 + eightBit);
            FolderEntry e = folder(42, "Inbox");
            e.layout = c.layout;
            e.eightBit = eightBit;
            const QByteArray b = folderEntry(e);
            EXPECT_EQ(u8At(b, 0), c.b0);
            EXPECT_EQ(u8At(b, 1), c.b1);
            EXPECT_EQ(u8At(b, 2), c.b2);
            EXPECT_EQ(u8At(b, 3), eightBit ? 5 : 10);
            EXPECT_EQ(u32At(b, 8), 42u);
            if (c.parent) {
                EXPECT_EQ(u32At(b, 16), 7u);
            }
            const QByteArray name = eightBit ? QByteArray("Inbox") : utf16be("Inbox");
            const int at = eightBit ? c.eightBitAt : c.wideAt;
            EXPECT_EQ(b.mid(c.marker, 2) == "\xFF\xFF", eightBit);
            EXPECT_EQ(b.mid(at, name.size()), name);
            // The wide case reads 255 bytes: the name must end inside them.
            if (c.layout == FolderLayout::ParentWide) {
                EXPECT_EQ(b.mid(at + name.size(), 2), QByteArray(2, '\0'));
            }
        }
    }

    FolderEntry account;
    account.id = 200;
    account.accountId = 12;
    const QByteArray a = folderEntry(account);
    EXPECT_EQ(u8At(a, 3), 0);
    EXPECT_EQ(u32At(a, 20), 12u);
    EXPECT_NE(u32At(a, 0), 0u); // an all-zero first word would end the table
}

TEST(DatabaseBuilderDatabase, BlocksLandWhereTheScannerLooks)
{
    EXPECT_EQ(Database(true).bytes().left(4), be32(3));
    EXPECT_EQ(Database(false).bytes().left(4), be32(4));

    Database db;
    const qint64 first = db.add(msrcBlock(1, "one"));
    EXPECT_EQ(first, 512);
    BlockOptions broken;
    broken.byte8 = 2;
    broken.minLength = 768;
    const qint64 skipped = db.add(block(kMLRC, {}, broken));
    EXPECT_EQ(skipped, 768);
    // The scanner steps 512 over the broken block: 1280, then 1792.
    const qint64 second = db.add(msrcBlock(2, "two"));
    EXPECT_EQ(second, 1792);
    const qint64 noise = db.addGarbage(2, 7);
    EXPECT_EQ(noise, 2048);
    const qint64 third = db.add(attcBlock(3, "three"));
    EXPECT_EQ(third, 3072);

    const QList<ScannedBlock> found = scanBlocks(db.bytes());
    ASSERT_EQ(found.size(), 3);
    EXPECT_EQ(found[0].offset, first);
    EXPECT_EQ(found[1].offset, second);
    EXPECT_EQ(found[2].offset, third);
    EXPECT_EQ(found[2].tag, kAttc);

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("Database");
    ASSERT_TRUE(db.writeTo(path));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), db.bytes());
    EXPECT_FALSE(db.writeTo(dir.filePath("missing/Database")));
}

TEST(DatabaseBuilderSample, IsDeterministicAndHoldsWhatItsConstantsSay)
{
    const QByteArray sample = buildSampleDatabase();
    EXPECT_EQ(sample, buildSampleDatabase());
    EXPECT_EQ(sample.left(4), be32(4)); // Office 2008

    QMap<QByteArray, int> tags;
    for (const ScannedBlock& b : scanBlocks(sample))
        ++tags[b.tag];
    EXPECT_EQ(tags.value(kFLID), 2);
    EXPECT_EQ(tags.value(kMSrc), kSampleSummaries);
    EXPECT_EQ(tags.value(kMLRC), kSampleMailRecords);
    EXPECT_EQ(tags.value(kAttc), kSampleAttachments);
    EXPECT_EQ(tags.value(kMaRC), kSampleAccounts);
    EXPECT_EQ(tags.value(kCTRC), int(kSampleContactBlocks));
    EXPECT_EQ(tags.value(kNTRC), int(kSampleNotes));
    EXPECT_EQ(tags.value(kCLRC), int(kSampleEvents));
    EXPECT_EQ(tags.value(kTSRC), int(kSampleTasks));

    int damaged = 0;
    for (int at = 0; at + 9 <= sample.size(); ++at)
        damaged += isScannedTag(sample.mid(at, 4)) && u8At(sample, at + 7) == 0xEC && u8At(sample, at + 8) > 1;
    EXPECT_EQ(damaged, kSampleDamagedBlocks);

    const QList<SampleFolder> folders = sampleFolders();
    EXPECT_EQ(folders.size(), kSampleFolders + kSampleOrphanFolders);
    int mails = 0;
    for (const SampleFolder& f : folders)
        mails += f.mails;
    EXPECT_EQ(mails, kSampleMailCount);
    EXPECT_EQ(folders.last().mails, kSampleOrphanedSummaries);
}
