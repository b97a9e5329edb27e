#include "../ScanTestSupport.h"

#include "DatabaseBuilder.h"
#include "mail/MailDecoders.h"
#include "format/BlockView.h"
#include "mail/FolderTable.h"

using namespace er;
using namespace testdb;

namespace {

std::vector<FolderRecord> decode(const QByteArray& flid)
{
    ScanState state;
    decodeBlock(state, BlockTag::FLID, BlockView::whole(flid));
    return {state.mail.folders.begin(), state.mail.folders.end()};
}

FolderRecord decodeOne(const FolderEntry& e)
{
    const auto all = decode(flidBlock({e}));
    EXPECT_EQ(all.size(), 1u);
    return all.empty() ? FolderRecord() : all.front();
}

} // namespace

// Every flag case, with a UTF-16 and an 8-bit name: where the parent id
// and the name are read, and the name's length in bytes of UTF-16.
TEST(FolderTable, EveryNamePositionCase)
{
    const struct {
        FolderLayout layout;
        bool hasParent;
    } cases[] = {{FolderLayout::ParentWide, true}, {FolderLayout::Parent, true},      {FolderLayout::ParentOddB1, true},
                 {FolderLayout::ParentB1, true},   {FolderLayout::NoParent, false},   {FolderLayout::NoParentB0, false},
                 {FolderLayout::NoParentOther, false}};
    for (const auto& c : cases) {
        for (const bool eightBit : {false, true}) {
            FolderEntry e{42, 9, QString::fromUtf8("R\xC3\xA9sum\xC3\xA9s")};
            e.layout = c.layout;
            e.eightBit = eightBit;
            const FolderRecord f = decodeOne(e);
            const int i = int(&c - cases);
            EXPECT_EQ(f.name, e.name) << "case " << i << " eightBit " << eightBit;
            EXPECT_EQ(f.nameLength, 14) << "case " << i << " eightBit " << eightBit;
            EXPECT_EQ(f.parentFolderId, c.hasParent ? 9u : 4294967294u) << "case " << i;
            EXPECT_EQ(f.folderId, 42u);
        }
    }
}

TEST(FolderTable, LongAndOddNameLengths)
{
    // An 8-bit name of 200 characters fills more than the 255-byte field:
    // whole characters up to the field, length 255.
    FolderEntry longName{11, {}, QString(200, QLatin1Char('x'))};
    longName.eightBit = true;
    longName.nameLength = 200;
    FolderRecord f = decodeOne(longName);
    EXPECT_EQ(f.nameLength, 255);
    EXPECT_EQ(f.name, QString(127, QLatin1Char('x')));

    // A "negative" length byte counts as 255 bytes; the name still ends at
    // its terminating zero.
    FolderEntry negative{12, {}, QStringLiteral("Archive")};
    negative.nameLength = -112;
    negative.padding = 300;
    f = decodeOne(negative);
    EXPECT_EQ(f.name, QStringLiteral("Archive"));
    EXPECT_EQ(f.nameLength, -112);
}

TEST(FolderTable, AccountFoldersAreNamedAfterTheirAccount)
{
    FolderEntry account{20, {}, QString()};
    account.accountId = 3;
    FolderRecord f = decodeOne(account);
    EXPECT_EQ(f.nameLength, 0);
    EXPECT_EQ(f.accountId, 3u);
    EXPECT_EQ(f.name, QStringLiteral("ACCOUNT"));

    Database db;
    db.add(flidBlock({account, {21, {}, QStringLiteral("Plain")}}));
    db.add(marcBlock(2, "Other"));
    db.add(marcBlock(3, "B\xC3\xBCro"));
    db.add(marcBlock(3, "Second with id 3"));
    ScanState state;
    ertest::scanBytes(db.bytes(), state);
    const auto all = ertest::folders(state);
    ASSERT_GE(all.size(), 2u);
    EXPECT_EQ(all[0]->name, QString::fromUtf8("B\xC3\xBCro"));
    EXPECT_EQ(all[0]->nameLength, 0);
    EXPECT_EQ(all[1]->name, QStringLiteral("Plain"));

    // Without a matching account the placeholder stays.
    ScanState lonely;
    decodeBlock(lonely, BlockTag::FLID, BlockView::whole(flidBlock({account})));
    nameAccountFolders(lonely.mail);
    EXPECT_EQ(lonely.mail.folders.front().name, QStringLiteral("ACCOUNT"));
}

TEST(FolderTable, TableLengthsAndEnds)
{
    // Length 0 repeats the entry.
    FlidOptions zero;
    zero.lengthOverrides[0] = 0;
    const auto repeated = decode(flidBlock({{5, {}, QStringLiteral("A")}, {6, {}, QStringLiteral("B")}}, zero));
    ASSERT_GE(repeated.size(), 2u);
    EXPECT_EQ(repeated[0].folderId, 5u);
    EXPECT_EQ(repeated[1].folderId, 5u);

    // Equal words at 40 and 42: the table is not decoded.
    FlidOptions equal;
    equal.equalWords40And42 = true;
    QList<FolderEntry> nine;
    for (quint32 i = 0; i < 9; ++i)
        nine.append({100 + i, {}, QStringLiteral("F%1").arg(i)});
    EXPECT_TRUE(decode(flidBlock(nine, equal)).empty());
    EXPECT_EQ(decode(flidBlock(nine)).size(), 9u);

    // A length of 0x8000 or more jumps past the block and ends the table.
    FlidOptions jump;
    jump.lengthOverrides[1] = static_cast<qint16>(0x8000);
    EXPECT_EQ(decode(flidBlock(nine, jump)).size(), 2u);

    // At most 513 entries.
    QList<FolderEntry> many;
    for (quint32 i = 0; i < 600; ++i)
        many.append({1000 + i, {}, QStringLiteral("N%1").arg(i)});
    EXPECT_EQ(decode(flidBlock(many)).size(), 513u);
}

TEST(FolderTable, EntriesRunningOffATruncatedBlockReadAsZero)
{
    QList<FolderEntry> three{{1, {}, QStringLiteral("One")}, {2, {}, QStringLiteral("Two")},
                             {3, {}, QStringLiteral("Three")}};
    const QByteArray full = flidBlock(three);
    const QByteArray entry0 = folderEntry(three[0]);
    // Hold only the first entry and a few bytes of the second.
    const QByteArray held = full.left(1052 + entry0.size() + 2);
    ScanState state;
    decodeBlock(state, BlockTag::FLID,
                BlockView(reinterpret_cast<const unsigned char*>(held.constData()), held.size(), full.size(), 0));
    ASSERT_GE(state.mail.folders.size(), 1u);
    EXPECT_EQ(state.mail.folders.front().name, QStringLiteral("One"));
    EXPECT_LE(state.mail.folders.size(), 2u);
}
