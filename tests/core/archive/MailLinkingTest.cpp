// How orphan folders are filled and numbered, on decoded stores built by
// hand: thousands of mails are more than a regression case should hold.
// Which summary and record win under a repeated id and which mail becomes an
// orphan are in the regression cases (linking) and the golden files.

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
    size_t record(quint64 mailId, quint64 folderId)
    {
        MailRecord& r = state.mail.records.emplace_back();
        r.mailId = mailId;
        r.parentFolderId = folderId;
        return state.mail.records.size() - 1;
    }
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

