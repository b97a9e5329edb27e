// The walk over a file: header rules, limits, truncation, stops and the
// damage map. Its steps over damaged headers, and what counts as something
// usable, are in the regression cases (walk-steps, damaged-headers, only-*).

#include "../ScanTestSupport.h"

#include "DatabaseBuilder.h"
#include "DescribedDatabase.h"
#include "format/BlockView.h"

#include <sys/resource.h>

using namespace er;
using namespace testdb;
using ertest::scanBytes;

namespace {

long maxResidentKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

long residentKiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    return statm.readAll().split(' ').value(1).toLong() * 4;
}

} // namespace

TEST(BlockScanner, HeaderRules)
{
    const unsigned char ok0[9] = {'M', 'L', 'R', 'C', 0x00, 0x00, 0x05, 0xEC, 0x00};
    const unsigned char ok1[9] = {'M', 'L', 'R', 'C', 0x00, 0x00, 0x05, 0xEC, 0x01};
    const unsigned char bad8[9] = {'M', 'L', 'R', 'C', 0x00, 0x00, 0x05, 0xEC, 0x02};
    const unsigned char bad7[9] = {'M', 'L', 'R', 'C', 0x00, 0x00, 0x05, 0xED, 0x00};
    EXPECT_TRUE(checkBytesValid(ok0));
    EXPECT_TRUE(checkBytesValid(ok1));
    EXPECT_FALSE(checkBytesValid(bad8));
    EXPECT_FALSE(checkBytesValid(bad7));
    EXPECT_EQ(blockLengthOf(ok0), 1536u);
    const unsigned char zeroSize[8] = {'M', 'L', 'R', 'C', 0, 0, 0, 0};
    EXPECT_EQ(blockLengthOf(zeroSize), 512u);

    const char* tags[] = {"FLID", "MLRC", "MSrc", "MaRC", "Attc", "CTRC", "CLRC", "TSRC", "NTRC"};
    for (const char* t : tags)
        EXPECT_NE(blockTagOf(reinterpret_cast<const unsigned char*>(t)), BlockTag::None) << t;
    for (const char* t : {"mlrc", "MSRC", "flid", "ATTC", "Ctrc", "\0\0\0\0"})
        EXPECT_EQ(blockTagOf(reinterpret_cast<const unsigned char*>(t)), BlockTag::None) << t;
}

TEST(BlockScanner, EmptyAndTinyFilesAndProgressThatEndsAtTheRange)
{
    for (const int size : {0, 1000, 3584}) {
        ScanState state;
        quint64 examined = 0;
        ScanHooks hooks;
        hooks.progress = [&examined](quint64 n, quint32) { examined = n; };
        EXPECT_EQ(scanBytes(QByteArray(size, 'x'), state, hooks).kind, ScanOutcome::NothingUsable) << size;
        EXPECT_EQ(state.progressRange, quint32(size / 512));
        EXPECT_EQ(examined, state.progressRange) << "the last report is the range itself";
        EXPECT_FALSE(state.running);
    }
}

TEST(BlockScanner, SizeLimitIsInclusiveAndAnOversizedBlockIsSteppedOver)
{
    for (const bool tooLarge : {false, true}) {
        const int length = tooLarge ? 30000128 : 29999872;
        QByteArray big = flidBlock({{7, {}, QStringLiteral("On My Computer")}}).leftJustified(length, '\0');
        big.replace(4, 4, be32(length - 20));
        Database file;
        file.add(big);
        file.add(msrcBlock(5, "after"));
        ScanState state;
        scanBytes(file.bytes(), state);
        EXPECT_EQ(state.mail.folderIds.size(), tooLarge ? 0u : 1u) << length;
        ASSERT_EQ(state.mail.messages.size(), 1u) << "the scan resumes right after the block";
        EXPECT_EQ(state.mail.messages.front().mailId, 5u);
    }
}

TEST(BlockScanner, TruncatedLastBlockIsDecodedWithoutAllocatingItsDeclaredSize)
{
    // The size field claims the largest mail record there is.
    const QByteArray db =
        describedDatabase("mail\n folder 3\n id 12\n subject wide \"cut short\"\n poke 4 u32 399999980\n");
    const long before = maxResidentKiB();
    ScanState state;
    scanBytes(db, state);
    const long grown = maxResidentKiB() - before;
    ASSERT_EQ(state.mail.records.size(), 1u);
    EXPECT_EQ(state.mail.records.front().mailId, 12u);
    EXPECT_EQ(state.mail.text(state.mail.records.front().subject), QStringLiteral("cut short"));
    EXPECT_LT(grown, 64 * 1024) << "a truncated block must cost only the bytes the file holds";
}

TEST(BlockScanner, StopDropsEverythingFound)
{
    const QByteArray db = describedDatabase("folders\n folder 7 - Auto \"Root\"\nrepeat 20\ntext {n}\n| text\nend\n");
    ScanState state;
    std::atomic<bool> stop{false};
    ScanHooks hooks;
    hooks.stop = &stop;
    hooks.progress = [&stop](quint64 examined, quint32) {
        if (examined == 10)
            stop = true;
    };
    EXPECT_EQ(scanBytes(db, state, hooks).kind, ScanOutcome::Stopped);
    EXPECT_TRUE(state.mail.folders.empty());
    EXPECT_TRUE(state.mail.messages.empty());
    EXPECT_TRUE(state.mail.messagesById.empty());
    EXPECT_TRUE(state.mail.folderIds.empty());
    EXPECT_FALSE(state.running);
}

TEST(BlockScanner, FoldersAreAnnouncedOnceAtTheNextBlock)
{
    const QByteArray db = describedDatabase("text 1\nfolders\n folder 7 - Auto \"Root\"\ntext 2\ntext 3\n");
    ScanState state;
    int calls = 0;
    std::size_t summariesAtCall = 0;
    ScanHooks hooks;
    hooks.foldersAvailable = [&] {
        ++calls;
        summariesAtCall = state.mail.messages.size();
    };
    scanBytes(db, state, hooks);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(summariesAtCall, 1u);
}

TEST(BlockScanner, PropertiesOfATruncatedBlockCostOnlyWhatTheFileHolds)
{
    // A contact block cut short by the end of the file whose GUID claims
    // almost the whole declared block: the record keeps what the file holds,
    // not 29 MB of zeros.
    QByteArray b = propertyBlock(kCTRC, {prop(0x4800, QByteArray(16, 'g'))});
    b.replace(36, 4, be32(29000000));
    const BlockView cut(reinterpret_cast<const unsigned char*>(b.constData()), static_cast<quint64>(b.size()),
                        30000000 - 128, 0);
    const long before = residentKiB();
    ScanState state;
    decodeBlock(state, BlockTag::CTRC, cut);
    ASSERT_EQ(state.contacts.size(), 1u);
    ASSERT_TRUE(state.contacts[0].has(ContactField::GUID));
    EXPECT_LT(state.contacts[0].field(ContactField::GUID)->size(), 1024);
    EXPECT_EQ(state.contacts[0].length(ContactField::GUID), 29000000u);
    EXPECT_LT(residentKiB() - before, 8 * 1024) << "a stored length must not size an allocation";
}

TEST(ScanMap, StripShowsWhatEachRangeHeldAndDamageFirst)
{
    ScanMap map;
    map.setFileSize(4096);
    map.add(Region::Unrecognised, 0, 1024);
    map.add(Region::MailText, 1024, 2048);
    map.add(Region::RejectedHeader, 2048, 2304);
    map.add(Region::Contact, 2304, 4096);
    map.add(Region::Unreadable, 3000, 3001);
    map.add(Region::Note, 5000, 6000); // past the end: not drawn
    using R = Region;
    EXPECT_EQ(map.strip(4), (std::vector<R>{R::Unrecognised, R::MailText, R::Unreadable, R::Contact}));
    EXPECT_EQ(map.strip(8), (std::vector<R>{R::Unrecognised, R::Unrecognised, R::MailText, R::MailText,
                                            R::RejectedHeader, R::Unreadable, R::Contact, R::Contact}));
    // More columns than sections: every column still shows its range.
    EXPECT_EQ(map.strip(2048).size(), 2048u);
    EXPECT_EQ(map.strip(2048).front(), R::Unrecognised);
    EXPECT_EQ(map.strip(2048).back(), R::Contact);
    EXPECT_TRUE(map.strip(0).empty());
    EXPECT_TRUE(ScanMap().strip(10).empty());
}
