// Folder tables at their edges: names longer than their field, lengths that
// repeat, skip or end the table, and a block the file cuts short. Every entry
// layout and the account folders are in the regression cases
// (folder-tables).

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
