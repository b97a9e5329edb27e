// Linking on decoded stores built by hand: which summary and record win
// under a repeated id, which mail becomes an orphan, how orphan folders are
// filled and numbered, and what the mail count counts.

#include "../ScanTestSupport.h"

#include "archive/MailLinking.h"

using namespace er;

namespace {

// Records live in arrays that move as they grow: tests hold indexes.
struct StateBuilder {
    ScanState state;

    void folder(quint64 id)
    {
        FolderRecord& f = state.mail.folders.emplace_back();
        f.folderId = id;
        f.name = QStringLiteral("F%1").arg(id);
        f.nameLength = 4;
    }
    size_t summary(quint64 mailId)
    {
        StoredMessage& s = state.mail.messages.emplace_back();
        s.mailId = mailId;
        s.blockSize = 256;
        return state.mail.messages.size() - 1;
    }
    size_t record(quint64 mailId, quint64 folderId, const QString& subject = QString())
    {
        MailRecord& r = state.mail.records.emplace_back();
        r.mailId = mailId;
        r.parentFolderId = folderId;
        r.subject = state.mail.texts.addText(subject);
        return state.mail.records.size() - 1;
    }
    const StoredMessage& s(size_t i) const { return state.mail.messages[i]; }
    const MailRecord& r(size_t i) const { return state.mail.records[i]; }
    std::vector<quint64> orphanFolderIds() const
    {
        std::vector<quint64> ids;
        for (const FolderRecord& f : state.mail.folders)
            if (f.kind == kOrphanFolderKind)
                ids.push_back(f.folderId);
        return ids;
    }
};

} // namespace

TEST(MailLinking, OrphansAndTheirFolder)
{
    StateBuilder b;
    b.folder(1);
    b.record(10, 1, QStringLiteral("Hello"));
    b.record(20, 99); // folder 99 was never decoded
    b.record(21, 0);  // 0 is no folder unless decoded
    const size_t linked = b.summary(10), lostFolder = b.summary(20), zero = b.summary(21), noRecord = b.summary(22);
    linkMail(b.state);
    EXPECT_TRUE(b.s(linked).linked);
    EXPECT_EQ(b.s(linked).parentFolderId, 1u);
    EXPECT_EQ(b.state.mail.text(b.s(linked).subject), QStringLiteral("Hello"));
    for (const size_t orphan : {lostFolder, zero, noRecord}) {
        EXPECT_FALSE(b.s(orphan).linked);
        EXPECT_EQ(b.s(orphan).parentFolderId, 100000u);
    }
    const FolderRecord& folder1 = b.state.mail.folders.back();
    EXPECT_EQ(folder1.folderId, 100000u);
    EXPECT_EQ(folder1.name, QStringLiteral("Folder1"));
    EXPECT_EQ(folder1.parentFolderId, 4294967294u);
    EXPECT_NE(folder1.nameLength, 0) << "an orphan folder is no account folder";

    // A decoded folder 0 changes nothing: mail is never written or counted
    // under folder 0.
    StateBuilder z;
    z.folder(0);
    z.record(30, 0);
    const size_t inZero = z.summary(30), withoutRecord = z.summary(31), textless = z.record(0, 0);
    linkMail(z.state);
    EXPECT_EQ(z.s(inZero).parentFolderId, 100000u);
    EXPECT_EQ(z.s(withoutRecord).parentFolderId, 100000u);
    EXPECT_EQ(z.r(textless).folderId(), 100000u);
    EXPECT_EQ(recomputeMailCount(z.state), 3u);
}

// Of the summaries and of the records that share a mail id, the ones found
// last are linked; the earlier summary keeps its text in an orphan folder.
TEST(MailLinking, RepeatedMailIdLinksTheLaterSummaryToTheLaterRecord)
{
    StateBuilder b;
    b.folder(1);
    b.folder(2);
    b.record(40, 2, QStringLiteral("Earlier record"));
    b.record(40, 1, QStringLiteral("Subject"));
    const size_t earlier = b.summary(40), later = b.summary(40);
    linkMail(b.state);
    EXPECT_EQ(b.s(later).parentFolderId, 1u);
    EXPECT_EQ(b.state.mail.text(b.s(later).subject), QStringLiteral("Subject"));
    EXPECT_EQ(b.s(earlier).parentFolderId, 100000u);
    EXPECT_TRUE(b.s(earlier).subject.isEmpty());
    EXPECT_EQ(recomputeMailCount(b.state), 2u);
}

// 5000 mails to an orphan folder, summaries first, then records without
// text or folder; the folders' ids move past decoded ones in their range.
TEST(MailLinking, OrphanFoldersHoldAtMost5000Mails)
{
    const struct {
        int summaries;
        std::vector<quint64> decoded;
        std::vector<quint64> folders;
        quint64 lastSummaryIn;
    } cases[] = {
        {4999, {}, {100000}, 100000},
        {5000, {}, {100000, 100001}, 100000},
        {5001, {}, {100000, 100001}, 100001},
        {5001, {100000, 100001}, {100002, 100003}, 100003},
    };
    for (const auto& c : cases) {
        StateBuilder b;
        for (const quint64 id : c.decoded)
            b.folder(id);
        for (int i = 0; i < c.summaries; ++i)
            b.summary(static_cast<quint64>(i + 1));
        linkMail(b.state);
        EXPECT_EQ(b.orphanFolderIds(), c.folders) << c.summaries;
        EXPECT_EQ(b.state.mail.messages.front().parentFolderId, c.folders.front()) << c.summaries;
        EXPECT_EQ(b.state.mail.messages.back().parentFolderId, c.lastSummaryIn) << c.summaries;
    }

    StateBuilder b;
    b.folder(1);
    for (int i = 0; i < 4999; ++i)
        b.summary(static_cast<quint64>(i + 1));
    const size_t housed = b.record(0, 1), homeless = b.record(0, 77), parentZero = b.record(0, 0),
                 noParent = b.record(0, kNoParentFolder);
    linkMail(b.state);
    EXPECT_EQ(b.r(housed).folderId(), 1u);
    EXPECT_EQ(b.r(homeless).folderId(), 100000u); // orphan number 4999
    EXPECT_EQ(b.r(homeless).parentFolderId, 77u) << "the stored folder id is kept";
    EXPECT_EQ(b.r(parentZero).folderId(), 100001u);
    EXPECT_EQ(b.r(noParent).folderId(), 100001u);
    EXPECT_EQ(recomputeMailCount(b.state), 5003u);
}

// A record that carries a mail id is counted through its summary; when its
// text block is lost it is counted (and composed) on its own.
TEST(MailLinking, RecordsWhoseTextIsLostAreComposed)
{
    StateBuilder c;
    c.folder(1);
    const size_t lost = c.record(5, 1), found = c.record(6, 1);
    c.summary(6);
    linkMail(c.state);
    EXPECT_TRUE(c.r(lost).storedTextMissing && c.r(lost).composed());
    EXPECT_FALSE(c.r(found).storedTextMissing || c.r(found).composed());
    EXPECT_EQ(recomputeMailCount(c.state), 2u);
}
