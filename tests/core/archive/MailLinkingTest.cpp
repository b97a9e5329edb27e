#include "../ScanTestSupport.h"

#include "DatabaseBuilder.h"
#include "archive/MailLinking.h"

using namespace er;

namespace {

// Builds the decoded state by hand: linking only looks at lists and hashes.
struct StateBuilder {
    ScanState state;

    void folder(quint64 id)
    {
        state.folderList.emplace_back();
        state.folderList.back().dwFolderID = id;
        state.folderList.back().szFolderName = QStringLiteral("F%1").arg(id);
        state.folderList.back().nNameLength = 4;
        state.hashFlrc.insert(id, &state.folderList.back());
    }
    MailMSRC& summary(quint64 mailId)
    {
        state.msrcList.emplace_back();
        state.msrcList.back().MSRCMailID = mailId;
        state.hashMsrc.insert(mailId, &state.msrcList.back());
        return state.msrcList.back();
    }
    MailMLRC& record(quint64 mailId, quint64 folderId, const QString& subject = QString())
    {
        state.mlrcList.emplace_back();
        MailMLRC& r = state.mlrcList.back();
        r.MSRCMailID = mailId;
        r.MSRCMailParentID = folderId;
        r.MSRCMailSubject = subject;
        r.MSRCMailFromName = QStringLiteral("Sender of ") + subject;
        r.MSRCMailFromAddress = "s@example.com";
        state.hashMlrc.insert(mailId, &r);
        return r;
    }
    std::vector<const FolderAttrib*> orphanFolders() const
    {
        std::vector<const FolderAttrib*> out;
        for (const FolderAttrib& f : state.folderList)
            if (f.nFolderKind == kOrphanFolderKind)
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
    MailMSRC& s = b.summary(10);
    FillInfoInMSRCFromMLRC(b.state);
    EXPECT_TRUE(s.MSRCMailLinked);
    EXPECT_EQ(s.MSRCMailParentID, 1u);
    EXPECT_EQ(s.MSRCMailSubject, QStringLiteral("Hello"));
    EXPECT_EQ(s.MSRCMailFromName, QStringLiteral("Sender of Hello"));
    EXPECT_EQ(s.MSRCMailFromAddress, QByteArray("s@example.com"));

    // Every scan gets one orphan folder, even without orphans.
    const auto orphans = b.orphanFolders();
    ASSERT_EQ(orphans.size(), 1u);
    EXPECT_EQ(orphans[0]->dwFolderID, 100000u);
    EXPECT_EQ(orphans[0]->szFolderName, QStringLiteral("Folder1"));
    EXPECT_EQ(orphans[0]->dwParentFolderID, 4294967294u);
    EXPECT_NE(orphans[0]->nNameLength, 0) << "an orphan folder is no account folder";
    EXPECT_EQ(&b.state.folderList.back(), orphans[0]);
}

TEST(MailLinking, MissingRecordOrFolderMakesAnOrphan)
{
    StateBuilder b;
    b.folder(1);
    b.record(20, 99, QStringLiteral("Folder lost")); // folder 99 was never decoded
    b.record(21, 0, QStringLiteral("Folder zero"));  // 0 is no folder unless decoded
    MailMSRC& lostFolder = b.summary(20);
    MailMSRC& zeroFolder = b.summary(21);
    MailMSRC& noRecord = b.summary(22);
    FillInfoInMSRCFromMLRC(b.state);
    EXPECT_FALSE(lostFolder.MSRCMailLinked);
    EXPECT_EQ(lostFolder.MSRCMailParentID, 100000u);
    EXPECT_EQ(lostFolder.MSRCMailSubject, QStringLiteral("Folder lost")) << "the record's fields are still taken";
    EXPECT_EQ(zeroFolder.MSRCMailParentID, 100000u);
    EXPECT_EQ(noRecord.MSRCMailParentID, 100000u);
    EXPECT_TRUE(noRecord.MSRCMailSubject.isEmpty());

    // A decoded folder 0 changes nothing: mail is never written or counted
    // under folder 0, so all of these go to the orphan folder.
    StateBuilder zero;
    zero.folder(0);
    zero.record(30, 0);
    MailMSRC& inZero = zero.summary(30);
    MailMSRC& withoutRecord = zero.summary(31);
    MailMLRC& textless = zero.record(0, 0);
    FillInfoInMSRCFromMLRC(zero.state);
    EXPECT_FALSE(inZero.MSRCMailLinked);
    EXPECT_EQ(inZero.MSRCMailParentID, 100000u);
    EXPECT_EQ(withoutRecord.MSRCMailParentID, 100000u);
    EXPECT_EQ(textless.folderId(), 100000u);
    EXPECT_EQ(recomputeMailItemCount(zero.state), 3u);
}

TEST(MailLinking, RepeatedMailIdLinksTheLaterSummary)
{
    StateBuilder b;
    b.folder(1);
    b.record(40, 1, QStringLiteral("Subject"));
    MailMSRC& earlier = b.summary(40);
    MailMSRC& later = b.summary(40);
    FillInfoInMSRCFromMLRC(b.state);
    EXPECT_TRUE(later.MSRCMailLinked);
    EXPECT_EQ(later.MSRCMailParentID, 1u);
    EXPECT_FALSE(earlier.MSRCMailLinked);
    EXPECT_EQ(earlier.MSRCMailParentID, 100000u) << "its text is kept in an orphan folder";
    EXPECT_TRUE(earlier.MSRCMailSubject.isEmpty());
    EXPECT_EQ(recomputeMailItemCount(b.state), 2u);
}

TEST(MailLinking, OrphanFoldersHoldAtMost5000Mails)
{
    for (const int orphanCount : {4999, 5000, 5001}) {
        StateBuilder b;
        for (int i = 0; i < orphanCount; ++i)
            b.summary(static_cast<quint64>(i + 1));
        FillInfoInMSRCFromMLRC(b.state);
        const int expectedFolders = orphanCount / 5000 + 1;
        EXPECT_EQ(b.state.NumberOfExtraFoldersToAdd, expectedFolders) << orphanCount;
        ASSERT_EQ(b.orphanFolders().size(), static_cast<size_t>(expectedFolders));
        // With no decoded folders the orphan folders start the folder list.
        EXPECT_EQ(b.state.folderList.front().szFolderName, QStringLiteral("Folder1"));
        EXPECT_EQ(b.state.msrcList[4999 < orphanCount ? 4999 : 0].MSRCMailParentID, 100000u);
        if (orphanCount == 5001) {
            EXPECT_EQ(b.state.msrcList.back().MSRCMailParentID, 100001u);
        }
        if (orphanCount == 5000) {
            EXPECT_EQ(b.orphanFolders().back()->szFolderName, QStringLiteral("Folder2"));
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
    FillInfoInMSRCFromMLRC(b.state);
    const auto orphans = b.orphanFolders();
    ASSERT_EQ(orphans.size(), 2u);
    EXPECT_EQ(orphans[0]->dwFolderID, 100002u);
    EXPECT_EQ(orphans[1]->dwFolderID, 100003u);
    EXPECT_EQ(orphans[1]->szFolderName, QStringLiteral("Folder2"));
    EXPECT_EQ(b.state.msrcList[0].MSRCMailParentID, 100000u);
    EXPECT_EQ(b.state.msrcList[1].MSRCMailParentID, 100002u);
    EXPECT_EQ(b.state.msrcList.back().MSRCMailParentID, 100003u);
}

TEST(MailLinking, RecordsWithoutTextAndWithoutFolderGetOrphanFoldersAfterTheSummaries)
{
    StateBuilder b;
    b.folder(1);
    for (int i = 0; i < 4999; ++i)
        b.summary(static_cast<quint64>(i + 1)); // no records: all orphans
    MailMLRC& housed = b.record(0, 1, QStringLiteral("in folder 1"));
    MailMLRC& homeless = b.record(0, 77, QStringLiteral("folder lost"));
    MailMLRC& parentZero = b.record(0, 0, QStringLiteral("no folder at all"));
    MailMLRC& noParent = b.record(0, kNoParentFolder, QStringLiteral("no parent"));
    FillInfoInMSRCFromMLRC(b.state);

    EXPECT_EQ(housed.MSRCMailOrphanFolderID, 0u);
    EXPECT_EQ(housed.folderId(), 1u);
    EXPECT_EQ(homeless.folderId(), 100000u); // orphan number 4999
    EXPECT_EQ(homeless.MSRCMailParentID, 77u) << "the stored folder id is kept";
    EXPECT_EQ(parentZero.folderId(), 100001u); // number 5000 starts the second folder
    EXPECT_EQ(noParent.folderId(), 100001u);
    EXPECT_EQ(b.state.NumberOfExtraFoldersToAdd, 2);
    EXPECT_EQ(b.orphanFolders().size(), 2u);
    // 4999 summaries + 4 records without text, all in a folder now.
    EXPECT_EQ(recomputeMailItemCount(b.state), 5003u);
    EXPECT_EQ(b.state.MailItemCount, 5003u);
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
    FillInfoInMSRCFromMLRC(b.state);
    EXPECT_EQ(recomputeMailItemCount(b.state), 4u);

    // A record that carries a mail id is counted through its summary; when
    // its text block is lost it is counted (and composed) on its own.
    StateBuilder c;
    c.folder(1);
    MailMLRC& lost = c.record(5, 1);
    MailMLRC& found = c.record(6, 1);
    c.summary(6);
    FillInfoInMSRCFromMLRC(c.state);
    EXPECT_TRUE(lost.storedTextMissing && lost.composed());
    EXPECT_FALSE(found.storedTextMissing || found.composed());
    EXPECT_EQ(recomputeMailItemCount(c.state), 2u);
}
