#include "mail/MailRecords.h"

#include <algorithm>
#include <vector>

namespace er {

namespace {

bool byId(const IdEntry& a, const IdEntry& b)
{
    return a.id < b.id;
}

// Sorts entries by id with a least-significant-digit radix sort, three
// passes of 11 bits: stable, so entries made in position order stay in it
// within one id. A pass whose digit is the same for every entry is skipped.
// `scratch` is room for the passes, as long as `entries`, uninitialised.
void sortByIdKeepingOrder(RecordArray<IdEntry>& entries, IdEntry* scratch)
{
    const std::size_t n = entries.size();
    if (n < 2)
        return;
    constexpr int kBits = 11;
    constexpr std::size_t kBuckets = std::size_t(1) << kBits;
    IdEntry* from = entries.begin();
    IdEntry* to = scratch;
    std::vector<std::size_t> counts(kBuckets);
    for (int shift = 0; shift < 32; shift += kBits) {
        std::fill(counts.begin(), counts.end(), 0);
        for (std::size_t i = 0; i < n; ++i)
            ++counts[(from[i].id >> shift) & (kBuckets - 1)];
        if (counts[(from[0].id >> shift) & (kBuckets - 1)] == n)
            continue;
        std::size_t start = 0;
        for (std::size_t& count : counts) {
            const std::size_t c = count;
            count = start;
            start += c;
        }
        for (std::size_t i = 0; i < n; ++i)
            to[counts[(from[i].id >> shift) & (kBuckets - 1)]++] = from[i];
        std::swap(from, to);
    }
    if (from != entries.begin())
        std::copy(from, from + n, entries.begin());
}

// Sorted by id, then by position: within one id the scan order stays.
template <class List, class Wanted>
void sortIds(RecordArray<IdEntry>& out, const List& list, Wanted wanted, RecordArray<IdEntry>& scratch)
{
    out.clear();
    out.reserve(list.size());
    quint32 position = 0;
    for (const auto& item : list) {
        if (wanted(item))
            out.push_back({item.mailId, position});
        ++position;
    }
    scratch.clear();
    sortByIdKeepingOrder(out, scratch.extend(out.size()));
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
    // One scratch area serves both sorts.
    RecordArray<IdEntry> scratch;
    sortIds(recordsById, records, [](const MailRecord&) { return true; }, scratch);
    // A block too short to hold its mail id is no stored message of any id.
    sortIds(messagesById, messages, [](const StoredMessage& m) { return m.blockSize >= 21; }, scratch);
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

} // namespace er
