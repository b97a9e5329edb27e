#include "DatabaseBuilder.h"
#include "mail/MailDecoders.h"
#include "archive/BlockScanner.h"
#include "format/BlockView.h"

#include <gtest/gtest.h>

using namespace er;
using namespace testdb;

namespace {

constexpr qint64 kBlockOffset = 5120;

// A decoded record with its texts read out of the store's pool.
struct DecodedRecord : MailRecord {
    QByteArray fromAddress;
    QString fromName;
    QString subject;
};

DecodedRecord decodeRecord(const MailRecordBlock& r, ScanState* keep = nullptr)
{
    ScanState local;
    ScanState& state = keep ? *keep : local;
    decodeBlock(state, BlockTag::MLRC, BlockView::whole(mlrcBlock(r), kBlockOffset));
    EXPECT_FALSE(state.mail.records.empty());
    DecodedRecord out;
    if (state.mail.records.empty())
        return out;
    const MailRecord& m = state.mail.records.back();
    static_cast<MailRecord&>(out) = m;
    out.fromAddress = state.mail.bytes(m.fromAddress);
    out.fromName = state.mail.text(m.fromName);
    out.subject = state.mail.text(m.subject);
    return out;
}

// Where descriptor `index` puts its data, read back from the block's bytes.
qint64 dataOffsetOf(const QByteArray& b, int index)
{
    auto be32At = [&b](int at) {
        return (quint32(quint8(b[at])) << 24) | (quint32(quint8(b[at + 1])) << 16) | (quint32(quint8(b[at + 2])) << 8)
            | quint8(b[at + 3]);
    };
    qint64 d = 20 + be32At(24);
    for (int k = 0; k < index; ++k)
        d += be32At(32 + 8 * k + 4);
    return d;
}

} // namespace

TEST(MailRecordDecoder, IdsSenderSubjectDateAndLocations)
{
    MailRecordBlock r;
    r.folderId = 12;
    r.mailId = 345;
    r.sender = Address{"ann@example.com", QString::fromUtf8("Ann \xC3\x85str\xC3\xB6m")};
    r.subject = utf16be(QStringLiteral("Quarterly figures"));
    r.date = macStamp(2008, 3, 30, 2, 30, 0);
    r.to = QList<Address>{{"bob@example.com", QStringLiteral("Bob")}};
    r.cc = QList<Address>{};
    r.body = narrow("Hello Bob");
    r.attachmentIds = {7, 8};
    r.messageId = "<1@example.com>";
    r.threadTopic = utf16be(QStringLiteral("Quarterly"));
    ScanState state;
    const DecodedRecord m = decodeRecord(r, &state);

    EXPECT_EQ(m.parentFolderId, 12u);
    EXPECT_EQ(m.mailId, 345u);
    EXPECT_EQ(m.fromAddress, QByteArray("ann@example.com"));
    EXPECT_EQ(m.fromName, QString::fromUtf8("Ann \xC3\x85str\xC3\xB6m"));
    EXPECT_EQ(m.subject, QStringLiteral("Quarterly figures"));
    const quint32 stamp = macStamp(2008, 3, 30, 2, 30, 0);
    EXPECT_EQ(m.date[4], quint8(stamp >> 24));
    EXPECT_EQ(m.date[7], quint8(stamp));
    state.mail.indexIds();
    EXPECT_EQ(state.mail.lastRecordWithId(345), &state.mail.records.back());

    // Every location is the block's file offset plus the data offset.
    const QByteArray bytes = mlrcBlock(r);
    const QList<Property> props = mailProperties(r);
    for (int k = 0; k < props.size(); ++k) {
        const quint32 code = (quint32(quint8(props[k].tag[2])) << 8) | quint8(props[k].tag[3]);
        const quint64 at = kBlockOffset + dataOffsetOf(bytes, k);
        const quint32 n = static_cast<quint32>(props[k].data.size());
        switch (code) {
        case kBodyTag:
            EXPECT_EQ(m.fileOffset(m.body), at);
            EXPECT_EQ(m.body.size, n);
            break;
        case kToTag:
            EXPECT_EQ(m.fileOffset(m.to), at);
            EXPECT_EQ(m.to.size, n);
            break;
        case kCcTag:
            EXPECT_EQ(n, 5u);
            EXPECT_EQ(m.cc.size, 5u);
            break;
        case kAttachmentsTag:
            EXPECT_EQ(m.fileOffset(m.attachmentList), at);
            EXPECT_EQ(m.attachmentList.size, 24u);
            break;
        case kMessageIdTag:
            EXPECT_EQ(m.fileOffset(m.messageId), at);
            break;
        case kThreadTopicTag:
            EXPECT_EQ(m.fileOffset(m.threadTopic), at);
            break;
        default:
            break;
        }
    }
}

TEST(MailRecordDecoder, MissingMailIdIsZeroAndStillHashed)
{
    MailRecordBlock r;
    r.folderId = 4;
    ScanState state;
    const DecodedRecord m = decodeRecord(r, &state);
    EXPECT_EQ(m.mailId, 0u);
    state.mail.indexIds();
    EXPECT_EQ(state.mail.recordsWithId(0), 1);
}

TEST(MailRecordDecoder, SubjectBounds)
{
    auto subjectOf = [](const QByteArray& stored) {
        MailRecordBlock r;
        r.mailId = 1;
        r.subject = stored;
        return decodeRecord(r).subject;
    };
    EXPECT_EQ(subjectOf(narrow(QByteArray(127, 'a'))), QString(127, QLatin1Char('a')));
    EXPECT_TRUE(subjectOf(narrow(QByteArray(128, 'a'))).isEmpty());
    EXPECT_EQ(subjectOf(narrow("caf\x8E")), QString::fromUtf8("caf\xC3\xA9")) << "8-bit text is Mac Roman";
    EXPECT_EQ(subjectOf(narrow("caf\xC3\xA9")), QString::fromUtf8("caf\xC3\xA9")) << "unless it is UTF-8";
    // UTF-16: 255 bytes are kept (127 characters, the odd byte is half of one),
    // 256 are dropped.
    EXPECT_EQ(subjectOf(utf16be(QString(128, QLatin1Char('b'))).left(255)), QString(127, QLatin1Char('b')));
    EXPECT_TRUE(subjectOf(utf16be(QString(128, QLatin1Char('b')))).isEmpty());
    EXPECT_EQ(subjectOf(utf16be(QString::fromUtf8("\xE4\xB8\xAD\xE6\x96\x87"))), QString::fromUtf8("\xE4\xB8\xAD\xE6\x96\x87"));
}

TEST(MailRecordDecoder, SenderBounds)
{
    auto senderOf = [](const QByteArray& address, const QString& name) {
        MailRecordBlock r;
        r.mailId = 1;
        r.sender = Address{address, name};
        return decodeRecord(r);
    };
    DecodedRecord m = senderOf(QByteArray(139, 'x'), QStringLiteral("Name"));
    EXPECT_EQ(m.fromAddress.size(), 139);
    EXPECT_EQ(m.fromName, QStringLiteral("Name"));

    m = senderOf(QByteArray(140, 'x'), QStringLiteral("Still found"));
    EXPECT_TRUE(m.fromAddress.isEmpty());
    EXPECT_EQ(m.fromName, QStringLiteral("Still found"));

    // 99 characters are 198 bytes (kept); 100 are 200 (dropped).
    m = senderOf("a@b", QString(99, QLatin1Char('n')));
    EXPECT_EQ(m.fromName.size(), 99);
    m = senderOf("a@b", QString(100, QLatin1Char('n')));
    EXPECT_TRUE(m.fromName.isEmpty());
    EXPECT_EQ(m.fromAddress, QByteArray("a@b"));

    // Texts end at their first zero byte or unit; one that starts with it is
    // no text at all, for the writers that ask whether a record has one.
    m = senderOf(QByteArray("a@b\0junk", 8), QStringLiteral("Ann") + QChar(0) + QStringLiteral("hidden"));
    EXPECT_EQ(m.fromAddress, QByteArray("a@b"));
    EXPECT_EQ(m.fromName, QStringLiteral("Ann"));
    ScanState state;
    MailRecordBlock r;
    r.mailId = 2;
    r.sender = Address{QByteArray("\0a@b", 4), QChar(0) + QStringLiteral("hidden")};
    decodeRecord(r, &state);
    EXPECT_TRUE(state.mail.records.back().fromAddress.isEmpty());
    EXPECT_TRUE(state.mail.records.back().fromName.isEmpty());
}

TEST(MailRecordDecoder, DataPastTheBlockEndLeavesFieldsEmpty)
{
    // A sender whose address length points past the block.
    QByteArray list = addressList({{"someone@example.com", QStringLiteral("Someone")}});
    list.replace(29, 4, be32(0x7FFFFFF0));
    MailRecordBlock r;
    r.mailId = 9;
    r.extra = {prop(kSenderTag, list), prop(kSubjectTag, utf16be(QStringLiteral("fine")))};
    const DecodedRecord m = decodeRecord(r);
    EXPECT_EQ(m.mailId, 9u);
    EXPECT_TRUE(m.fromAddress.isEmpty());
    EXPECT_TRUE(m.fromName.isEmpty());
    EXPECT_EQ(m.subject, QStringLiteral("fine"));

    // A descriptor claiming 4 GB: the walk goes on without reading it.
    MailRecordBlock huge;
    huge.extra = {prop(kBodyTag, QByteArray()), prop(kMailIdTag, be32(5))};
    QByteArray b = mlrcBlock(huge);
    // Descriptor 0 is the body's: give it an absurd length.
    b.replace(36, 4, be32(0xFFFFFFF0));
    ScanState state;
    decodeBlock(state, BlockTag::MLRC, BlockView::whole(b));
    EXPECT_LT(state.mail.records.back().body.size, quint32(b.size())) << "a property ends with its block";
    EXPECT_EQ(state.mail.records.back().mailId, 0u) << "its data lie past the block";
}

TEST(MailSourceDecoder, SummariesCountAndRepeatIds)
{
    ScanState state;
    const QByteArray first = msrcBlock(42, "Subject: one\r\r");
    const QByteArray second = msrcBlock(42, "Subject: two\r\rlonger body");
    decodeBlock(state, BlockTag::MSrc, BlockView::whole(first, 1024));
    decodeBlock(state, BlockTag::MSrc, BlockView::whole(second, 4096));
    ASSERT_EQ(state.mail.messages.size(), 2u);
    EXPECT_EQ(state.mail.messages[0].blockOffset, 1024u);
    EXPECT_EQ(state.mail.messages[0].textSize, 14u);
    EXPECT_EQ(state.mail.messages[1].blockOffset, 4096u);
    state.mail.indexIds();
    EXPECT_EQ(state.mail.messagesWithId(42), 2);
    EXPECT_EQ(state.mail.lastMessageWithId(42), &state.mail.messages[1]) << "the one found last";
    EXPECT_EQ(state.mail.count, 2u);
    EXPECT_EQ(state.mail.storedBytes, 14u + 25u);
}

TEST(AccountDecoder, FieldsAndBounds)
{
    ScanState state;
    const QByteArray wide = utf16be(QString::fromUtf8("Jos\xC3\xA9"));
    decodeBlock(state, BlockTag::MaRC,
                BlockView::whole(marcBlock(3, "Work Account", {prop(0x1F12, wide), prop(0x1F10, "raw")})));
    const MailAccount& a = state.mail.accounts.back();
    EXPECT_EQ(a.accountId, 3u);
    EXPECT_EQ(a.accountName, QByteArray("Work Account"));
    EXPECT_EQ(a.accountNameLength, 13u);
    EXPECT_EQ(a.property1F12, QByteArray("Jos\xC3\xA9"));
    EXPECT_EQ(a.property1F12Length, static_cast<quint32>(wide.size() / 2 + 1));
    EXPECT_EQ(a.property1F10, QByteArray("raw"));

    // An account record whose name lies past the block keeps an empty name.
    QByteArray cut = marcBlock(4, "Name");
    cut.replace(32 + 8 + 4, 4, be32(100000));
    ScanState state2;
    decodeBlock(state2, BlockTag::MaRC, BlockView::whole(cut));
    EXPECT_EQ(state2.mail.accounts.back().accountId, 4u);
    EXPECT_TRUE(state2.mail.accounts.back().accountName.isEmpty());
}

TEST(AttachmentDecoder, IdAndOffset)
{
    ScanState state;
    decodeBlock(state, BlockTag::Attc, BlockView::whole(attcBlock(77, "payload"), 8192));
    EXPECT_EQ(state.mail.attachments.back().attachmentId, 77u);
    EXPECT_EQ(state.mail.attachments.back().blockOffset, 8192u);
}
