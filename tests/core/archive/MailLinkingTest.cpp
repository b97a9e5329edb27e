#include "../ScanTestSupport.h"

#include "DatabaseBuilder.h"
#include "archive/MailLinking.h"

using namespace er;

namespace {

// Builds the decoded state by hand: linking only looks at the lists.
struct StateBuilder {
    ScanState state;

    void folder(quint64 id)
    {
        state.mail.folders.emplace_back();
        state.mail.folders.back().folderId = id;
        state.mail.folders.back().name = QStringLiteral("F%1").arg(id);
        state.mail.folders.back().nameLength = 4;
    }
    StoredMessage& summary(quint64 mailId)
    {
        state.mail.messages.emplace_back();
        state.mail.messages.back().mailId = mailId;
        // A block long enough to hold its mail id.
        state.mail.messages.back().blockSize = 256;
        return state.mail.messages.back();
    }
    MailRecord& record(quint64 mailId, quint64 folderId, const QString& subject = QString())
    {
        state.mail.records.emplace_back();
        MailRecord& r = state.mail.records.back();
        r.mailId = mailId;
        r.parentFolderId = folderId;
        r.subject = state.mail.texts.addText(subject);
        r.fromName = state.mail.texts.addText(QStringLiteral("Sender of ") + subject);
        r.fromAddress = state.mail.texts.add(QByteArray("s@example.com"), TextKind::Bytes);
        return r;
    }
    std::vector<const FolderRecord*> orphanFolders() const
    {
        std::vector<const FolderRecord*> out;
        for (const FolderRecord& f : state.mail.folders)
            if (f.kind == kOrphanFolderKind)
                out.push_back(&f);
        return out;
    }
};

} // namespace

TEST(MailLinking, SummariesTakeFolderSenderAndSubjectFromTheirRecord)
{
    StateBuilder b;
    b.folder(1);
    b.record(10, 1, QStringLiteral("Hello"));
    StoredMessage& s = b.summary(10);
    linkMail(b.state);
    EXPECT_TRUE(s.linked);
    EXPECT_EQ(s.parentFolderId, 1u);
    EXPECT_EQ(b.state.mail.text(s.subject), QStringLiteral("Hello"));
    EXPECT_EQ(b.state.mail.text(s.fromName), QStringLiteral("Sender of Hello"));
    EXPECT_EQ(b.state.mail.bytes(s.fromAddress), QByteArray("s@example.com"));

    // Every scan gets one orphan folder, even without orphans.
    const auto orphans = b.orphanFolders();
    ASSERT_EQ(orphans.size(), 1u);
    EXPECT_EQ(orphans[0]->folderId, 100000u);
    EXPECT_EQ(orphans[0]->name, QStringLiteral("Folder1"));
    EXPECT_EQ(orphans[0]->parentFolderId, 4294967294u);
    EXPECT_NE(orphans[0]->nameLength, 0) << "an orphan folder is no account folder";
    EXPECT_EQ(&b.state.mail.folders.back(), orphans[0]);
}

TEST(MailLinking, MissingRecordOrFolderMakesAnOrphan)
{
    StateBuilder b;
    b.folder(1);
    b.record(20, 99, QStringLiteral("Folder lost")); // folder 99 was never decoded
    b.record(21, 0, QStringLiteral("Folder zero"));  // 0 is no folder unless decoded
    StoredMessage& lostFolder = b.summary(20);
    StoredMessage& zeroFolder = b.summary(21);
    StoredMessage& noRecord = b.summary(22);
    linkMail(b.state);
    EXPECT_FALSE(lostFolder.linked);
    EXPECT_EQ(lostFolder.parentFolderId, 100000u);
    EXPECT_EQ(b.state.mail.text(lostFolder.subject), QStringLiteral("Folder lost")) << "the record's fields are still taken";
    EXPECT_EQ(zeroFolder.parentFolderId, 100000u);
    EXPECT_EQ(noRecord.parentFolderId, 100000u);
    EXPECT_TRUE(noRecord.subject.isEmpty());

    // A decoded folder 0 changes nothing: mail is never written or counted
    // under folder 0, so all of these go to the orphan folder.
    StateBuilder zero;
    zero.folder(0);
    zero.record(30, 0);
    StoredMessage& inZero = zero.summary(30);
    StoredMessage& withoutRecord = zero.summary(31);
    MailRecord& textless = zero.record(0, 0);
    linkMail(zero.state);
    EXPECT_FALSE(inZero.linked);
    EXPECT_EQ(inZero.parentFolderId, 100000u);
    EXPECT_EQ(withoutRecord.parentFolderId, 100000u);
    EXPECT_EQ(textless.folderId(), 100000u);
    EXPECT_EQ(recomputeMailCount(zero.state), 3u);
}

// Of the summaries and of the records that share a mail id, the ones found
// last are linked.
TEST(MailLinking, RepeatedMailIdLinksTheLaterSummaryToTheLaterRecord)
{
    StateBuilder b;
    b.folder(1);
    b.folder(2);
    b.record(40, 2, QStringLiteral("Earlier record"));
    b.record(40, 1, QStringLiteral("Subject"));
    StoredMessage& earlier = b.summary(40);
    StoredMessage& later = b.summary(40);
    linkMail(b.state);
    EXPECT_TRUE(later.linked);
    EXPECT_EQ(later.parentFolderId, 1u);
    EXPECT_EQ(b.state.mail.text(later.subject), QStringLiteral("Subject"));
    EXPECT_FALSE(earlier.linked);
    EXPECT_EQ(earlier.parentFolderId, 100000u) << "its text is kept in an orphan folder";
    EXPECT_TRUE(earlier.subject.isEmpty());
    EXPECT_EQ(recomputeMailCount(b.state), 2u);
}

TEST(MailLinking, OrphanFoldersHoldAtMost5000Mails)
{
    for (const int orphanCount : {4999, 5000, 5001}) {
        StateBuilder b;
        for (int i = 0; i < orphanCount; ++i)
            b.summary(static_cast<quint64>(i + 1));
        linkMail(b.state);
        const int expectedFolders = orphanCount / 5000 + 1;
        EXPECT_EQ(b.state.mail.orphanFolderCount, expectedFolders) << orphanCount;
        ASSERT_EQ(b.orphanFolders().size(), static_cast<size_t>(expectedFolders));
        // With no decoded folders the orphan folders start the folder list.
        EXPECT_EQ(b.state.mail.folders.front().name, QStringLiteral("Folder1"));
        EXPECT_EQ(b.state.mail.messages[4999 < orphanCount ? 4999 : 0].parentFolderId, 100000u);
        if (orphanCount == 5001) {
            EXPECT_EQ(b.state.mail.messages.back().parentFolderId, 100001u);
        }
        if (orphanCount == 5000) {
            EXPECT_EQ(b.orphanFolders().back()->name, QStringLiteral("Folder2"));
        }
    }
}

TEST(MailLinking, OrphanFolderIdsMovePastDecodedFolders)
{
    // Decoded folders at 100000 and 100001: "Folder1" and "Folder2" keep their
    // names and take the next free ids, so no two folders share a mailbox.
    StateBuilder b;
    b.folder(100000);
    b.folder(100001);
    b.record(1, 100000);
    b.summary(1);
    for (int i = 0; i < 5001; ++i)
        b.summary(static_cast<quint64>(i + 2));
    linkMail(b.state);
    const auto orphans = b.orphanFolders();
    ASSERT_EQ(orphans.size(), 2u);
    EXPECT_EQ(orphans[0]->folderId, 100002u);
    EXPECT_EQ(orphans[1]->folderId, 100003u);
    EXPECT_EQ(orphans[1]->name, QStringLiteral("Folder2"));
    EXPECT_EQ(b.state.mail.messages[0].parentFolderId, 100000u);
    EXPECT_EQ(b.state.mail.messages[1].parentFolderId, 100002u);
    EXPECT_EQ(b.state.mail.messages.back().parentFolderId, 100003u);
}

TEST(MailLinking, RecordsWithoutTextAndWithoutFolderGetOrphanFoldersAfterTheSummaries)
{
    StateBuilder b;
    b.folder(1);
    for (int i = 0; i < 4999; ++i)
        b.summary(static_cast<quint64>(i + 1)); // no records: all orphans
    MailRecord& housed = b.record(0, 1, QStringLiteral("in folder 1"));
    MailRecord& homeless = b.record(0, 77, QStringLiteral("folder lost"));
    MailRecord& parentZero = b.record(0, 0, QStringLiteral("no folder at all"));
    MailRecord& noParent = b.record(0, kNoParentFolder, QStringLiteral("no parent"));
    linkMail(b.state);

    EXPECT_EQ(housed.orphanFolderId, 0u);
    EXPECT_EQ(housed.folderId(), 1u);
    EXPECT_EQ(homeless.folderId(), 100000u); // orphan number 4999
    EXPECT_EQ(homeless.parentFolderId, 77u) << "the stored folder id is kept";
    EXPECT_EQ(parentZero.folderId(), 100001u); // number 5000 starts the second folder
    EXPECT_EQ(noParent.folderId(), 100001u);
    EXPECT_EQ(b.state.mail.orphanFolderCount, 2);
    EXPECT_EQ(b.orphanFolders().size(), 2u);
    // 4999 summaries + 4 records without text, all in a folder now.
    EXPECT_EQ(recomputeMailCount(b.state), 5003u);
    EXPECT_EQ(b.state.mail.count, 5003u);
}

TEST(MailLinking, MailCountCountsSummariesWithAFolderAndTextlessRecords)
{
    // 3 summaries (2 linked, 1 orphan) and 1 record with a folder but no text.
    StateBuilder b;
    b.folder(1);
    b.folder(2);
    b.record(1, 1);
    b.record(2, 2);
    b.summary(1);
    b.summary(2);
    b.summary(3);
    b.record(0, 2);
    linkMail(b.state);
    EXPECT_EQ(recomputeMailCount(b.state), 4u);

    // A record that carries a mail id is counted through its summary; when
    // its text block is lost it is counted (and composed) on its own.
    StateBuilder c;
    c.folder(1);
    MailRecord& lost = c.record(5, 1);
    MailRecord& found = c.record(6, 1);
    c.summary(6);
    linkMail(c.state);
    EXPECT_TRUE(lost.storedTextMissing && lost.composed());
    EXPECT_FALSE(found.storedTextMissing || found.composed());
    EXPECT_EQ(recomputeMailCount(c.state), 2u);
}
