#include "archive/MailLinking.h"

namespace er {

void linkMail(ScanState& state)
{
    state.mail.messagesByFolder.clear();
    // Under a repeated mail id the hash answers with the summary inserted
    // last, so that one is linked (once per entry) and earlier ones stay
    // unlinked and end up in an orphan folder with their text intact.
    for (auto it = state.mail.messagesById.cbegin(); it != state.mail.messagesById.cend(); ++it) {
        StoredMessage* summary = state.mail.messagesById.value(it.key());
        MailRecord* record = state.mail.recordsById.value(it.key(), nullptr);
        if (record) {
            summary->linked = true;
            summary->parentFolderId = record->parentFolderId;
            summary->fromAddress = record->fromAddress;
            summary->fromName = record->fromName;
            summary->subject = record->subject;
            state.mail.messagesByFolder.insert(summary->parentFolderId, summary);
        } else {
            summary->linked = false;
            state.mail.messagesByFolder.insert(0, summary);
        }
    }

    markMessagesInKnownFolders(state);

    // A record whose text block is lost still locates its body, sender,
    // recipients and subject: it is composed like a record without text.
    for (MailRecord& record : state.mail.records)
        record.storedTextMissing = record.mailId != 0 && !state.mail.messagesById.contains(record.mailId);

    // Orphans are numbered in scan order: first the summaries, then the mail
    // records without stored text whose folder was not decoded (without an
    // orphan folder those would be dropped by the export).
    quint64 orphans = 0;
    for (const StoredMessage& summary : state.mail.messages)
        orphans += summary.linked ? 0 : 1;
    const auto folderless = [&state](const MailRecord& record) {
        return record.parentFolderId == 0 || !state.mail.foldersById.contains(record.parentFolderId);
    };
    for (const MailRecord& record : state.mail.records)
        orphans += record.composed() && folderless(record) ? 1 : 0;
    state.mail.orphanFolderCount = static_cast<int>(orphans / kMailsPerOrphanFolder + 1);
    // The orphan folders' ids start at 100000, moved past any decoded folder
    // whose id falls in their range: a damaged table may hold one.
    quint64 first = kFirstOrphanFolderID;
    for (bool moved = true; moved;) {
        moved = false;
        for (auto id = state.mail.foldersById.keyBegin(); id != state.mail.foldersById.keyEnd(); ++id) {
            if (*id >= first && *id < first + quint64(state.mail.orphanFolderCount)) {
                first = *id + 1;
                moved = true;
            }
        }
    }
    state.mail.firstOrphanFolderId = first;

    quint64 orphan = 0;
    for (StoredMessage& summary : state.mail.messages) {
        if (summary.linked)
            continue;
        summary.parentFolderId = first + orphan / kMailsPerOrphanFolder;
        ++orphan;
    }
    for (MailRecord& record : state.mail.records) {
        record.orphanFolderId = 0;
        if (!record.composed() || !folderless(record))
            continue;
        record.orphanFolderId = first + orphan / kMailsPerOrphanFolder;
        ++orphan;
    }

    addOrphanFolders(state);
}

// Folder 0 is where mail without a record waits for an orphan folder; mail
// filed there (a decoded folder may carry id 0) is never written under that
// id, so it goes to an orphan folder as well.
void markMessagesInKnownFolders(ScanState& state)
{
    for (auto it = state.mail.messagesByFolder.begin(); it != state.mail.messagesByFolder.end(); ++it)
        it.value()->linked = it.key() != 0 && state.mail.foldersById.contains(it.key());
}

void addOrphanFolders(ScanState& state)
{
    for (int j = 0; j < state.mail.orphanFolderCount; ++j) {
        FolderRecord folder;
        folder.folderId = state.mail.firstOrphanFolderId + static_cast<quint64>(j);
        folder.name = QStringLiteral("Folder") + QString::number(j + 1);
        // A non-zero length: a zero would mark an account folder and let
        // account naming rename it.
        folder.nameLength = 2 * folder.name.size();
        folder.parentFolderId = kNoParentFolder;
        folder.kind = kOrphanFolderKind;
        state.mail.folders.push_back(folder);
    }
}

quint32 recomputeMailCount(ScanState& state)
{
    quint32 count = 0;
    for (const StoredMessage& summary : state.mail.messages)
        if (summary.parentFolderId != 0)
            ++count;
    for (const MailRecord& record : state.mail.records)
        if (record.composed() && record.folderId() != 0)
            ++count;
    state.mail.count = count;
    return count;
}

} // namespace er
