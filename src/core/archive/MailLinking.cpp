#include "archive/MailLinking.h"

namespace er {

void FillInfoInMSRCFromMLRC(ScanState& state)
{
    state.hashMsrcParentID.clear();
    // Under a repeated mail id the hash answers with the summary inserted
    // last, so that one is linked (once per entry) and earlier ones stay
    // unlinked and end up in an orphan folder with their text intact.
    for (auto it = state.hashMsrc.cbegin(); it != state.hashMsrc.cend(); ++it) {
        MailMSRC* summary = state.hashMsrc.value(it.key());
        MailMLRC* record = state.hashMlrc.value(it.key(), nullptr);
        if (record) {
            summary->MSRCMailLinked = true;
            summary->MSRCMailParentID = record->MSRCMailParentID;
            summary->MSRCMailFromAddress = record->MSRCMailFromAddress;
            summary->MSRCMailFromName = record->MSRCMailFromName;
            summary->MSRCMailSubject = record->MSRCMailSubject;
            state.hashMsrcParentID.insert(summary->MSRCMailParentID, summary);
        } else {
            summary->MSRCMailLinked = false;
            state.hashMsrcParentID.insert(0, summary);
        }
    }

    ParentFolderExistOrNotForMail(state);

    // A record whose text block is lost still locates its body, sender,
    // recipients and subject: it is composed like a record without text.
    for (MailMLRC& record : state.mlrcList)
        record.storedTextMissing = record.MSRCMailID != 0 && !state.hashMsrc.contains(record.MSRCMailID);

    // Orphans are numbered in scan order: first the summaries, then the mail
    // records without stored text whose folder was not decoded (without an
    // orphan folder those would be dropped by the export).
    quint64 orphans = 0;
    for (const MailMSRC& summary : state.msrcList)
        orphans += summary.MSRCMailLinked ? 0 : 1;
    const auto folderless = [&state](const MailMLRC& record) {
        return record.MSRCMailParentID == 0 || !state.hashFlrc.contains(record.MSRCMailParentID);
    };
    for (const MailMLRC& record : state.mlrcList)
        orphans += record.composed() && folderless(record) ? 1 : 0;
    state.NumberOfExtraFoldersToAdd = static_cast<int>(orphans / kMailsPerOrphanFolder + 1);
    // The orphan folders' ids start at 100000, moved past any decoded folder
    // whose id falls in their range: a damaged table may hold one.
    quint64 first = kFirstOrphanFolderID;
    for (bool moved = true; moved;) {
        moved = false;
        for (auto id = state.hashFlrc.keyBegin(); id != state.hashFlrc.keyEnd(); ++id) {
            if (*id >= first && *id < first + quint64(state.NumberOfExtraFoldersToAdd)) {
                first = *id + 1;
                moved = true;
            }
        }
    }
    state.firstOrphanFolderId = first;

    quint64 orphan = 0;
    for (MailMSRC& summary : state.msrcList) {
        if (summary.MSRCMailLinked)
            continue;
        summary.MSRCMailParentID = first + orphan / kMailsPerOrphanFolder;
        ++orphan;
    }
    for (MailMLRC& record : state.mlrcList) {
        record.MSRCMailOrphanFolderID = 0;
        if (!record.composed() || !folderless(record))
            continue;
        record.MSRCMailOrphanFolderID = first + orphan / kMailsPerOrphanFolder;
        ++orphan;
    }

    ExtraNodeAdditionForOrphanedMessages(state);
}

// Folder 0 is where mail without a record waits for an orphan folder; mail
// filed there (a decoded folder may carry id 0) is never written under that
// id, so it goes to an orphan folder as well.
void ParentFolderExistOrNotForMail(ScanState& state)
{
    for (auto it = state.hashMsrcParentID.begin(); it != state.hashMsrcParentID.end(); ++it)
        it.value()->MSRCMailLinked = it.key() != 0 && state.hashFlrc.contains(it.key());
}

void ExtraNodeAdditionForOrphanedMessages(ScanState& state)
{
    for (int j = 0; j < state.NumberOfExtraFoldersToAdd; ++j) {
        FolderAttrib folder;
        folder.dwFolderID = state.firstOrphanFolderId + static_cast<quint64>(j);
        folder.szFolderName = QStringLiteral("Folder") + QString::number(j + 1);
        // A non-zero length: a zero would mark an account folder and let
        // account naming rename it.
        folder.nNameLength = 2 * folder.szFolderName.size();
        folder.dwParentFolderID = kNoParentFolder;
        folder.nFolderKind = kOrphanFolderKind;
        state.folderList.push_back(folder);
    }
}

quint32 recomputeMailItemCount(ScanState& state)
{
    quint32 count = 0;
    for (const MailMSRC& summary : state.msrcList)
        if (summary.MSRCMailParentID != 0)
            ++count;
    for (const MailMLRC& record : state.mlrcList)
        if (record.composed() && record.folderId() != 0)
            ++count;
    state.MailItemCount = count;
    return count;
}

} // namespace er
