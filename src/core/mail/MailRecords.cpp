#include "mail/MailRecords.h"

#include <algorithm>

namespace er {

namespace {

bool byId(const IdEntry& a, const IdEntry& b)
{
    return a.id < b.id;
}

// Sorted by id, then by position: within one id the scan order stays.
template <class List, class Wanted>
void sortIds(RecordArray<IdEntry>& out, const List& list, Wanted wanted)
{
    out.clear();
    out.reserve(list.size());
    quint32 position = 0;
    for (const auto& item : list) {
        if (wanted(item))
            out.push_back({item.mailId, position});
        ++position;
    }
    std::sort(out.begin(), out.end(), [](const IdEntry& a, const IdEntry& b) {
        return a.id != b.id ? a.id < b.id : a.position < b.position;
    });
}

std::pair<const IdEntry*, const IdEntry*> entriesWithId(const RecordArray<IdEntry>& index, quint64 id)
{
    // Ids are stored in 32 bits: a wider one names nothing.
    if (id > 0xFFFFFFFFu)
        return {index.end(), index.end()};
    return std::equal_range(index.begin(), index.end(), IdEntry{static_cast<quint32>(id), 0}, byId);
}

} // namespace

void MailStore::indexIds()
{
    sortIds(recordsById, records, [](const MailRecord&) { return true; });
    // A block too short to hold its mail id is no stored message of any id.
    sortIds(messagesById, messages, [](const StoredMessage& m) { return m.blockSize >= 21; });
    folderIds.clear();
    for (const std::list<FolderRecord>* list : {&folders, &unlinkedFolders})
        for (const FolderRecord& folder : *list)
            if (folder.kind != kOrphanFolderKind)
                folderIds.push_back(folder.folderId);
    std::sort(folderIds.begin(), folderIds.end());
}

const MailRecord* MailStore::lastRecordWithId(quint64 mailId) const
{
    const auto [first, last] = entriesWithId(recordsById, mailId);
    return first == last ? nullptr : &records[std::prev(last)->position];
}

StoredMessage* MailStore::lastMessageWithId(quint64 mailId)
{
    const auto [first, last] = entriesWithId(messagesById, mailId);
    return first == last ? nullptr : &messages[std::prev(last)->position];
}

int MailStore::recordsWithId(quint64 mailId) const
{
    const auto [first, last] = entriesWithId(recordsById, mailId);
    return static_cast<int>(last - first);
}

int MailStore::messagesWithId(quint64 mailId) const
{
    const auto [first, last] = entriesWithId(messagesById, mailId);
    return static_cast<int>(last - first);
}

bool MailStore::hasFolder(quint64 folderId) const
{
    return std::binary_search(folderIds.cbegin(), folderIds.cend(), folderId);
}

} // namespace er
