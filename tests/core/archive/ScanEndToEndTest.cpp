#include "../ScanTestSupport.h"

#include "DatabaseBuilder.h"
#include "archive/MailLinking.h"

using namespace er;
using namespace testdb;

namespace {

MailRecord mail(quint32 folder, std::optional<quint32> mailId, const QString& subject)
{
    MailRecord r;
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
        EXPECT_EQ(folders[i]->dwFolderID, expected[i].id) << i;
        EXPECT_EQ(folders[i]->dwParentFolderID, expected[i].parent) << i;
        EXPECT_EQ(folders[i]->szFolderName, QString::fromUtf8(expected[i].name)) << i;
        EXPECT_EQ(folders[i]->nNameLength, expected[i].nameLength) << i;
    }
    EXPECT_EQ(folders[4]->dwAccountID, 5u);

    ASSERT_EQ(state.msrcList.size(), 4u);
    EXPECT_EQ(state.msrcList[0].MSRCMailParentID, 1u);
    EXPECT_EQ(state.msrcList[0].MSRCMailSubject, QStringLiteral("First"));
    EXPECT_EQ(state.msrcList[1].MSRCMailParentID, 1u);
    EXPECT_EQ(state.msrcList[2].MSRCMailParentID, 3u);
    EXPECT_EQ(state.msrcList[3].MSRCMailParentID, 100000u);
    EXPECT_EQ(state.mlrcList.size(), 6u);
    EXPECT_EQ(state.mlrcList[5].folderId(), 100000u);
    EXPECT_EQ(state.attcList.size(), 1u);
    EXPECT_EQ(state.marcList.size(), 1u);
    EXPECT_FALSE(state.OfficeEntourage2004);

    // 4 texts + 2 textless records in folder 200 + 1 textless orphan.
    EXPECT_EQ(recomputeMailItemCount(state), 7u);
    EXPECT_EQ(state.CalendarItemCount, 0u);
    EXPECT_EQ(state.ContactItemCount, 0u);
}
