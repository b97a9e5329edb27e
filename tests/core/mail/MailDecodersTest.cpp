// The mail record, message text, account and attachment decoders with data
// that runs past the block, and what the scan keeps of each record. Each
// record field at and past its limit is in the golden files (mail-fields),
// where composed messages show what was read.

#include "DatabaseBuilder.h"
#include "archive/BlockScanner.h"
#include "format/BlockView.h"
#include "mail/MailDecoders.h"

#include <gtest/gtest.h>

using namespace er;
using namespace testdb;

// The writers cut text at a zero as well, so the decoder's own cut shows
// only here.
TEST(MailRecordDecoder, TextsEndAtTheirZero)
{
    MailRecordBlock r{1, 1};
    r.sender = Address{QByteArray("a@b\0junk", 8), QStringLiteral("Ann") + QChar(0) + "hidden"};
    r.subject = utf16be(QStringLiteral("cut") + QChar(0) + "x");
    ScanState state;
    decodeBlock(state, BlockTag::MLRC, BlockView::whole(mlrcBlock(r)));
    const MailRecord& m = state.mail.records.back();
    EXPECT_EQ(state.mail.bytes(m.fromAddress), QByteArray("a@b"));
    EXPECT_EQ(state.mail.text(m.fromName), QStringLiteral("Ann"));
    EXPECT_EQ(state.mail.text(m.subject), QStringLiteral("cut"));
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
    EXPECT_LT(state.mail.span(state.mail.records.back(), MailProperty::Body).size, quint32(b.size()));
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
