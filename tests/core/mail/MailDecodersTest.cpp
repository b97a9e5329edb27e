// The mail record, message text, account and attachment decoders, one
// table each: what a field becomes for the bytes stored, at and past every
// limit, and with data that runs past the block.

#include "DatabaseBuilder.h"
#include "archive/BlockScanner.h"
#include "format/BlockView.h"
#include "mail/MailDecoders.h"

#include <gtest/gtest.h>

using namespace er;
using namespace testdb;

namespace {

enum class Field { Subject, FromName, FromAddress, MailId };

// The field as a string; "-" when the record holds no text for it at all
// (the writers ask whether a record has one).
QString decodedField(const MailRecordBlock& r, Field field)
{
    ScanState state;
    decodeBlock(state, BlockTag::MLRC, BlockView::whole(mlrcBlock(r), 5120));
    const MailRecord& m = state.mail.records.back();
    const auto text = [&](TextRef ref) { return ref.isEmpty() ? QStringLiteral("-") : state.mail.text(ref); };
    switch (field) {
    case Field::Subject: return text(m.subject);
    case Field::FromName: return text(m.fromName);
    case Field::FromAddress:
        return m.fromAddress.isEmpty() ? QStringLiteral("-") : QString::fromLatin1(state.mail.bytes(m.fromAddress));
    case Field::MailId: return QString::number(m.mailId);
    }
    return {};
}

MailRecordBlock withSubject(const QByteArray& stored)
{
    MailRecordBlock r{1, 1};
    r.subject = stored;
    return r;
}

MailRecordBlock withSender(const QByteArray& address, const QString& name)
{
    MailRecordBlock r{1, 1};
    r.sender = Address{address, name};
    return r;
}

MailRecordBlock senderPastTheBlock()
{
    QByteArray list = addressList({{"someone@example.com", QStringLiteral("Someone")}});
    list.replace(29, 4, be32(0x7FFFFFF0));
    MailRecordBlock r{1, 9};
    r.extra = {prop(kSenderTag, list), prop(kSubjectTag, utf16be(QStringLiteral("fine")))};
    return r;
}

} // namespace

TEST(MailRecordDecoder, FieldsAtAndPastTheirLimits)
{
    const QString wideSubject = QString::fromUtf8("\xE4\xB8\xAD\xE6\x96\x87");
    const QString fullWidth = QString::fromUtf8("\xEF\xBC\xA8\xEF\xBD\x89"); // U+FF28 U+FF49: bytes FF 28 FF 49
    const struct {
        const char* what;
        MailRecordBlock record;
        Field field;
        QString expected;
    } rows[] = {
        {"8-bit subject of 127 bytes", withSubject(narrow(QByteArray(127, 'a'))), Field::Subject, QString(127, 'a')},
        {"8-bit subject of 128 bytes", withSubject(narrow(QByteArray(128, 'a'))), Field::Subject, "-"},
        {"8-bit subject, Mac Roman", withSubject(narrow("caf\x8E")), Field::Subject, QString::fromUtf8("café")},
        {"8-bit subject, UTF-8", withSubject(narrow("caf\xC3\xA9")), Field::Subject, QString::fromUtf8("café")},
        // 255 bytes are 127 characters and half of one.
        {"UTF-16 subject of 255 bytes", withSubject(utf16be(QString(128, 'b')).left(255)), Field::Subject,
         QString(127, 'b')},
        {"UTF-16 subject of 256 bytes", withSubject(utf16be(QString(128, 'b'))), Field::Subject, "-"},
        {"UTF-16 subject beyond Latin-1", withSubject(utf16be(wideSubject)), Field::Subject, wideSubject},
        {"UTF-16 subject whose first unit is FFxx", withSubject(utf16be(fullWidth)), Field::Subject, fullWidth},
        {"UTF-16 subject cut at its zero unit", withSubject(utf16be(QStringLiteral("cut") + QChar(0) + "x")),
         Field::Subject, "cut"},
        {"sender address of 139 bytes", withSender(QByteArray(139, 'x'), "Name"), Field::FromAddress,
         QString(139, 'x')},
        {"sender address of 140 bytes", withSender(QByteArray(140, 'x'), "Name"), Field::FromAddress, "-"},
        {"name behind a dropped address", withSender(QByteArray(140, 'x'), "Still found"), Field::FromName,
         "Still found"},
        {"name of 99 characters", withSender("a@b", QString(99, 'n')), Field::FromName, QString(99, 'n')},
        {"name of 100 characters", withSender("a@b", QString(100, 'n')), Field::FromName, "-"},
        {"address cut at its zero byte", withSender(QByteArray("a@b\0junk", 8), "Ann"), Field::FromAddress, "a@b"},
        {"name cut at its zero unit", withSender("a@b", QStringLiteral("Ann") + QChar(0) + "hidden"),
         Field::FromName, "Ann"},
        {"address that starts with zero", withSender(QByteArray("\0a@b", 4), "Ann"), Field::FromAddress, "-"},
        {"name that starts with zero", withSender("a@b", QChar(0) + QStringLiteral("hidden")), Field::FromName, "-"},
        {"address length past the block", senderPastTheBlock(), Field::FromAddress, "-"},
        {"name behind an address past the block", senderPastTheBlock(), Field::FromName, "-"},
        {"subject after a sender past the block", senderPastTheBlock(), Field::Subject, "fine"},
        {"no mail id", MailRecordBlock{4}, Field::MailId, "0"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(decodedField(row.record, row.field), row.expected) << row.what;
}

TEST(MailRecordDecoder, APropertyEndsWithItsBlock)
{
    // A descriptor claiming 4 GB: the walk goes on without reading it.
    MailRecordBlock huge;
    huge.extra = {prop(kBodyTag, QByteArray()), prop(kMailIdTag, be32(5))};
    QByteArray b = mlrcBlock(huge);
    b.replace(36, 4, be32(0xFFFFFFF0)); // descriptor 0, the body's length
    ScanState state;
    decodeBlock(state, BlockTag::MLRC, BlockView::whole(b));
    EXPECT_LT(state.mail.records.back().body.size, quint32(b.size()));
    EXPECT_EQ(state.mail.records.back().mailId, 0u) << "its data lie past the block";
}

TEST(MailSourceDecoder, SummariesCountAndRepeatIds)
{
    ScanState state;
    decodeBlock(state, BlockTag::MSrc, BlockView::whole(msrcBlock(42, "Subject: one\r\r"), 1024));
    decodeBlock(state, BlockTag::MSrc, BlockView::whole(msrcBlock(42, "Subject: two\r\rlonger body"), 4096));
    ASSERT_EQ(state.mail.messages.size(), 2u);
    EXPECT_EQ(state.mail.messages[0].blockOffset, 1024u);
    EXPECT_EQ(state.mail.messages[0].textSize, 14u);
    state.mail.indexIds();
    EXPECT_EQ(state.mail.messagesWithId(42), 2);
    EXPECT_EQ(state.mail.lastMessageWithId(42), &state.mail.messages[1]) << "the one found last";
    EXPECT_EQ(state.mail.storedBytes, 14u + 25u);
}

TEST(AccountAndAttachmentDecoders, FieldsAndBounds)
{
    ScanState state;
    const QByteArray wide = utf16be(QString::fromUtf8("José"));
    decodeBlock(state, BlockTag::MaRC,
                BlockView::whole(marcBlock(3, "Work Account", {prop(0x1F12, wide), prop(0x1F10, "raw")})));
    const MailAccount& a = state.mail.accounts.back();
    EXPECT_EQ(a.accountId, 3u);
    EXPECT_EQ(a.accountName, QByteArray("Work Account"));
    EXPECT_EQ(a.property1F12, QString::fromUtf8("José").toUtf8());
    EXPECT_EQ(a.property1F10, QByteArray("raw"));

    // A name that lies past the block is empty.
    QByteArray cut = marcBlock(4, "Name");
    cut.replace(32 + 8 + 4, 4, be32(100000));
    decodeBlock(state, BlockTag::MaRC, BlockView::whole(cut));
    EXPECT_EQ(state.mail.accounts.back().accountId, 4u);
    EXPECT_TRUE(state.mail.accounts.back().accountName.isEmpty());

    decodeBlock(state, BlockTag::Attc, BlockView::whole(attcBlock(77, "payload"), 8192));
    EXPECT_EQ(state.mail.attachments.back().attachmentId, 77u);
    EXPECT_EQ(state.mail.attachments.back().blockOffset, 8192u);
}
