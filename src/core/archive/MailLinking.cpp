#include "archive/MailLinking.h"

#include <vector>

namespace er {

namespace {

// Whether a folder id was decoded, answered from an open-addressing table
// of the decoded ids: linking asks once per stored message, and mail of one
// folder is rarely stored together.
class FolderLookup {
public:
    explicit FolderLookup(const MailStore& mail)
    {
        std::size_t size = 16;
        while (size < mail.folderIds.size() * 2)
            size *= 2;
        m_slots.assign(size, kEmpty);
        for (const quint64 id : mail.folderIds) {
            if (id == kEmpty)
                m_hasEmptyId = true;
            else
                m_slots[slotOf(id)] = id;
        }
    }
    bool has(quint64 folderId) const
    {
        return folderId == kEmpty ? m_hasEmptyId : m_slots[slotOf(folderId)] == folderId;
    }

private:
    static constexpr quint64 kEmpty = ~quint64(0);
    // The slot holding id, or the empty slot where it would go.
    std::size_t slotOf(quint64 id) const
    {
        const std::size_t mask = m_slots.size() - 1;
        std::size_t slot = static_cast<std::size_t>((id * 0x9E3779B97F4A7C15ull) >> 32) & mask;
        while (m_slots[slot] != kEmpty && m_slots[slot] != id)
            slot = (slot + 1) & mask;
        return slot;
    }

    std::vector<quint64> m_slots;
    bool m_hasEmptyId = false;
};

} // namespace

void linkMail(ScanState& state)
{
    MailStore& mail = state.mail;
    mail.indexIds();
    FolderLookup folders(mail);
    // Both lookups are sorted by id (and by scan order within one id), so
    // one pass over the two pairs each id's summaries with its records.
    //
    // Under a repeated mail id the summary found last is linked; earlier
    // ones stay unlinked and end up in an orphan folder with their text
    // intact. A summary is linked when a record carries its id and names a
    // decoded folder; folder 0 is where mail without a record waits for an
    // orphan folder, and mail filed there (a decoded folder may carry id 0)
    // goes to an orphan folder as well. The record found last with the id is
    // the one that counts.
    const IdEntry* record = mail.recordsById.begin();
    const IdEntry* const recordsEnd = mail.recordsById.end();
    for (const IdEntry* it = mail.messagesById.begin(); it != mail.messagesById.end();) {
        const IdEntry* next = it;
        while (next != mail.messagesById.end() && next->id == it->id)
            ++next;
        StoredMessage& summary = mail.messages[std::prev(next)->position];
        while (record != recordsEnd && record->id < it->id)
            ++record;
        const IdEntry* lastRecord = nullptr;
        for (; record != recordsEnd && record->id == it->id; ++record)
            lastRecord = record;
        if (lastRecord) {
            const MailRecord& r = mail.records[lastRecord->position];
            summary.parentFolderId = r.parentFolderId;
            summary.pairedRecord = lastRecord->position + 1;
            summary.linked = r.parentFolderId != 0 && folders.has(r.parentFolderId);
        } else {
            summary.pairedRecord = 0;
            summary.linked = false;
        }
        it = next;
    }

    // A record whose text block is lost still locates its body, sender,
    // recipients and subject: it is composed like a record without text.
    const IdEntry* message = mail.messagesById.begin();
    for (const IdEntry& entry : mail.recordsById) {
        while (message != mail.messagesById.end() && message->id < entry.id)
            ++message;
        const bool found = message != mail.messagesById.end() && message->id == entry.id;
        mail.records[entry.position].storedTextMissing = entry.id != 0 && !found;
    }

    // Orphans are numbered in scan order: first the summaries, then the mail
    // records without stored text whose folder was not decoded (without an
    // orphan folder those would be dropped by the export).
    quint64 orphans = 0;
    for (const StoredMessage& summary : state.mail.messages)
        orphans += summary.linked ? 0 : 1;
    const auto folderless = [&folders](const MailRecord& record) {
        return record.parentFolderId == 0 || !folders.has(record.parentFolderId);
    };
    for (const MailRecord& record : state.mail.records)
        orphans += record.composed() && folderless(record) ? 1 : 0;
    state.mail.orphanFolderCount = static_cast<int>(orphans / kMailsPerOrphanFolder + 1);
    // The orphan folders' ids start at 100000, moved past any decoded folder
    // whose id falls in their range: a damaged table may hold one.
    quint64 first = kFirstOrphanFolderID;
    for (bool moved = true; moved;) {
        moved = false;
        for (const quint64 id : mail.folderIds) {
            if (id >= first && id < first + quint64(mail.orphanFolderCount)) {
                first = id + 1;
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
