#pragma once

#include "format/RecordArray.h"
#include "format/StoredText.h"
#include "format/TextPool.h"
#include "mail/FolderRecords.h"

#include <QByteArray>
#include <QString>
#include <QtAlgorithms>
#include <QtGlobal>

#include <array>
#include <deque>
#include <list>
#include <vector>

namespace er {

// Where one property's data lie in the block of its record: the offset from
// the block's start and the length, bounded by the block when decoded.
struct PropertySpan {
    quint32 offset = 0;
    quint32 size = 0;
};

// The properties of a mail record whose data are read back from the file
// when its message is composed or listed.
enum class MailProperty : quint8 { Body, To, Cc, AttachmentList, MessageId, ThreadIndex, ThreadTopic, Count };

// A property's data in the file: the absolute offset (0 when empty) and the
// length.
struct FileSpan {
    quint64 offset = 0;
    quint32 size = 0;
};

// The mail record of one "MLRC" block. Its texts are in the store's text
// pool; header and body data stay in the database file, located by spans
// (checked by whoever reads them). Only the spans of properties that hold
// data are kept, in the store's span array (MailStore::span).
struct MailRecord {
    // File offset of the record's block; the spans count from it.
    quint64 blockOffset = 0;
    // For a record without stored text whose folder was not found: the orphan
    // folder that linking gave it, else 0.
    quint64 orphanFolderId = 0;
    quint32 parentFolderId = 0;
    // Id of the "MSrc" block holding the message text; 0 when there is none.
    quint32 mailId = 0;
    // The first sender's address (raw bytes, at most 139), the sender's name
    // and the subject, in MailStore::texts.
    TextRef fromAddress;
    TextRef fromName;
    TextRef subject;
    // The 8 data bytes as stored; bytes 4 to 7 are a big-endian Mac stamp.
    std::array<quint8, 8> date{};
    // The record's spans sit in MailStore::spans from firstSpan on, one for
    // each bit of spanMask (bit n for MailProperty n), in property order.
    quint32 firstSpan = 0;
    quint8 spanMask = 0;
    // Set at linking: the record names a mail id whose text block was not
    // found (damaged, or past what the scan reached).
    bool storedTextMissing = false;

    // The folder the message is listed and saved in.
    quint64 folderId() const { return orphanFolderId ? orphanFolderId : parentFolderId; }
    // The message of this record is composed from the record itself: it has
    // no stored text (mail id 0), or its text was lost.
    bool composed() const { return mailId == 0 || storedTextMissing; }
};
static_assert(int(MailProperty::Count) <= 8, "one bit of spanMask per property");

// The summary of one "MSrc" block (the stored message text). Folder, sender
// and subject come from the mail record with the same mail id at linking.
struct StoredMessage {
    quint64 parentFolderId = 0; // folder id; 0 until linked
    quint64 blockOffset = 0;    // file offset of the block's tag
    quint32 mailId = 0;
    quint32 textSize = 0; // stored length of the message text
    // Declared length of the block (tag included); the text lies inside it,
    // so it bounds a damaged source size.
    quint32 blockSize = 0;
    bool linked = false;
    // The record that linking paired with it (the last with its mail id),
    // whose sender and subject it shows: its position in MailStore::records
    // plus one; 0 when there is none (see MailStore::recordOf).
    quint32 pairedRecord = 0;

    // Where the message text lies: behind the block header, bounded by the
    // block.
    StoredText text() const { return storedTextIn(blockOffset, textSize, blockSize); }
};

// One mail account ("MaRC" block).
struct MailAccount {
    quint64 accountId = 0;
    // Property 00 00 1F 10, raw; its stored length even when the data could
    // not be copied.
    QByteArray property1F10;
    quint32 property1F10Length = 0;
    // Property 00 00 1F 12, UTF-16 text as UTF-8; length n/2 + 1 as stored.
    QByteArray property1F12;
    quint32 property1F12Length = 0;
    // The account name (property 00 00 1E 10), 8-bit text up to its first
    // zero byte; the length is the stored length plus one.
    QByteArray accountName;
    quint32 accountNameLength = 0;
};

// Where one "Attc" attachment block lies.
struct AttachmentBlock {
    quint64 blockOffset = 0;
    quint64 attachmentId = 0;
};

// A record's id and its position in its list.
struct IdEntry {
    quint32 id = 0;
    quint32 position = 0;
};

// Everything the scan found of the mail: folders, mail records, stored
// message texts, accounts and attachment blocks, in the order their blocks
// were found, with the lookups that linking and the writers use. Records sit
// side by side in arrays and their texts in one pool; the lookups are sorted
// arrays built once, when the walk is done (indexIds). Nothing is allocated
// per record while the file is read.
struct MailStore {
    std::list<FolderRecord> folders;
    // Duplicate folders unlinked from `folders` after the scan; their ids
    // still count as decoded folders.
    std::list<FolderRecord> unlinkedFolders;
    RecordArray<MailRecord> records;
    // The records' non-empty property spans (see MailRecord::firstSpan).
    RecordArray<PropertySpan> spans;
    RecordArray<StoredMessage> messages;
    std::deque<MailAccount> accounts;
    RecordArray<AttachmentBlock> attachments;
    TextPool texts;

    // Sorted by id; records sharing an id keep their scan order, so the
    // last of them is the one found last. Every mail record (mail id 0
    // too), every stored message whose block held its id, and the id of
    // every decoded folder (orphan folders are not decoded).
    RecordArray<IdEntry> recordsById;
    RecordArray<IdEntry> messagesById;
    std::vector<quint64> folderIds;

    // Messages recovered into a folder (recomputed at linking).
    quint32 count = 0;
    // The stored lengths of every message text, summed.
    quint64 storedBytes = 0;
    int orphanFolderCount = 0;
    // The id of "Folder1"; the others follow. 100000 unless a decoded
    // folder holds an id in that range.
    quint64 firstOrphanFolderId = kFirstOrphanFolderID;

    void clear() { *this = MailStore(); }

    // Builds the lookups from the lists as they stand.
    void indexIds();
    // The record, or the stored message, with the id that was found last;
    // null when there is none.
    const MailRecord* lastRecordWithId(quint64 mailId) const;
    StoredMessage* lastMessageWithId(quint64 mailId);
    // How many records, or stored messages, carry the id.
    int recordsWithId(quint64 mailId) const;
    int messagesWithId(quint64 mailId) const;

    // Where a record's property lies in the file; empty when the record has
    // no data for it.
    FileSpan span(const MailRecord& record, MailProperty property) const
    {
        const unsigned bit = 1u << unsigned(property);
        if (!(record.spanMask & bit))
            return FileSpan();
        const PropertySpan& s = spans[record.firstSpan + qPopulationCount(quint8(record.spanMask & (bit - 1)))];
        return FileSpan{record.blockOffset + s.offset, s.size};
    }

    // The record paired with a stored message at linking; null when none.
    const MailRecord* recordOf(const StoredMessage& message) const
    {
        return message.pairedRecord ? &records[message.pairedRecord - 1] : nullptr;
    }
    // A paired record's texts; empty without one.
    TextRef fromAddressOf(const StoredMessage& m) const { return recordOf(m) ? recordOf(m)->fromAddress : TextRef(); }
    TextRef fromNameOf(const StoredMessage& m) const { return recordOf(m) ? recordOf(m)->fromName : TextRef(); }
    TextRef subjectOf(const StoredMessage& m) const { return recordOf(m) ? recordOf(m)->subject : TextRef(); }

    // A text of a record or stored message, decoded.
    QString text(TextRef ref) const { return texts.text(ref); }
    QByteArray bytes(TextRef ref) const { return texts.bytes(ref); }
};

} // namespace er
