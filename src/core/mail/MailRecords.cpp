#include "mail/MailRecords.h"

#include <algorithm>

namespace er {

namespace {

bool byId(const IdEntry& a, const IdEntry& b)
{
    return a.id < b.id;
}

template <class List, class Wanted>
std::vector<IdEntry> sortedIds(const List& list, Wanted wanted)
{
    std::vector<IdEntry> out;
    out.reserve(list.size());
    quint32 position = 0;
    for (const auto& item : list) {
        if (wanted(item))
            out.push_back({item.mailId, position});
        ++position;
    }
    // Stable: within one id the scan order stays.
    std::stable_sort(out.begin(), out.end(), byId);
    return out;
}

std::pair<std::vector<IdEntry>::const_iterator, std::vector<IdEntry>::const_iterator>
entriesWithId(const std::vector<IdEntry>& index, quint64 id)
{
    return std::equal_range(index.cbegin(), index.cend(), IdEntry{id, 0}, byId);
}

} // namespace

void MailStore::indexIds()
{
    recordsById = sortedIds(records, [](const MailRecord&) { return true; });
    // A block too short to hold its mail id is no stored message of any id.
    messagesById = sortedIds(messages, [](const StoredMessage& m) { return m.blockSize >= 21; });
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
