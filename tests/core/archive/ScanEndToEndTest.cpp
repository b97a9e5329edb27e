#include "../ScanTestSupport.h"

#include "DatabaseBuilder.h"
#include "archive/MailLinking.h"

using namespace er;
using namespace testdb;

namespace {

MailRecordBlock mail(quint32 folder, std::optional<quint32> mailId, const QString& subject)
{
    MailRecordBlock r;
    r.folderId = folder;
    r.mailId = mailId;
    r.subject = utf16be(subject);
    r.sender = Address{"carol@example.org", QStringLiteral("Carol")};
    r.date = macStamp(2007, 11, 5, 9, 15, 0);
    if (!mailId)
        r.body = narrow("Body kept in the record itself.");
    return r;
}

} // namespace

TEST(ScanEndToEnd, GeneratedDatabaseGivesTheStatedRecords)
{
    Database db;
    db.addGarbage(3, 11);
    FolderEntry root{7, {}, QStringLiteral("On My Computer")};
    FolderEntry inbox{1, 7, QStringLiteral("Inbox")};
    FolderEntry sent{3, 7, QStringLiteral("Sent Items")};
    sent.eightBit = true;
    FolderEntry projects{200, 7, QStringLiteral("Projects/2008")};
    FolderEntry account{300, {}, QString()};
    account.accountId = 5;
    db.add(flidBlock({root, inbox, sent, projects, account}));
    db.add(marcBlock(5, "Home Mail"));

    db.add(mlrcBlock(mail(1, 1001, QStringLiteral("First"))));
    db.add(msrcBlock(1001, "Subject: First\r\rOne\r"));
    db.add(msrcBlock(1002, "Subject: Second\r\rTwo\r"));
    db.add(mlrcBlock(mail(1, 1002, QStringLiteral("Second"))));
    db.addGarbage(2, 12);
    db.add(mlrcBlock(mail(3, 1003, QStringLiteral("Sent one"))));
    db.add(msrcBlock(1003, "Subject: Sent one\r\r"));
    db.add(mlrcBlock(mail(200, {}, QStringLiteral("Textless A"))));
    db.add(mlrcBlock(mail(200, {}, QStringLiteral("Textless B"))));
    db.add(mlrcBlock(mail(4242, {}, QStringLiteral("Textless, folder lost"))));
    db.add(msrcBlock(1004, "Subject: No record\r\r"));
    db.add(attcBlock(9, "QmFzZTY0"));
    db.addGarbage(1, 13);

    ScanState state;
    ASSERT_EQ(ertest::scanBytes(db.bytes(), state).kind, ScanOutcome::Completed);

    struct Expected {
        quint64 id;
        quint64 parent;
        const char* name;
        qint32 nameLength;
    };
    const Expected expected[] = {
        {7, 4294967294u, "On My Computer", 28}, {1, 7, "Inbox", 10},          {3, 7, "Sent Items", 20},
        {200, 7, "Projects/2008", 26},          {300, 4294967294u, "Home Mail", 0}, {100000, 4294967294u, "Folder1", 14},
    };
    const auto folders = ertest::folders(state);
    ASSERT_EQ(folders.size(), std::size(expected));
    for (size_t i = 0; i < folders.size(); ++i) {
        EXPECT_EQ(folders[i]->folderId, expected[i].id) << i;
        EXPECT_EQ(folders[i]->parentFolderId, expected[i].parent) << i;
        EXPECT_EQ(folders[i]->name, QString::fromUtf8(expected[i].name)) << i;
        EXPECT_EQ(folders[i]->nameLength, expected[i].nameLength) << i;
    }
    EXPECT_EQ(folders[4]->accountId, 5u);

    ASSERT_EQ(state.mail.messages.size(), 4u);
    EXPECT_EQ(state.mail.messages[0].parentFolderId, 1u);
    EXPECT_EQ(state.mail.text(state.mail.messages[0].subject), QStringLiteral("First"));
    EXPECT_EQ(state.mail.messages[1].parentFolderId, 1u);
    EXPECT_EQ(state.mail.messages[2].parentFolderId, 3u);
    EXPECT_EQ(state.mail.messages[3].parentFolderId, 100000u);
    EXPECT_EQ(state.mail.records.size(), 6u);
    EXPECT_EQ(state.mail.records[5].folderId(), 100000u);
    EXPECT_EQ(state.mail.attachments.size(), 1u);
    EXPECT_EQ(state.mail.accounts.size(), 1u);
    EXPECT_FALSE(state.office2004);

    // 4 texts + 2 textless records in folder 200 + 1 textless orphan.
    EXPECT_EQ(recomputeMailCount(state), 7u);
    EXPECT_EQ(state.eventCount, 0u);
    EXPECT_EQ(state.contactCount, 0u);
}
