#pragma once

#include "format/StoredText.h"
#include "mail/FolderRecords.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <array>
#include <deque>
#include <list>
#include <vector>

namespace er {

// The mail record of one "MLRC" block. It keeps no header or body text:
// offset/length pairs locate the property data in the database file
// (absolute file offsets, stored as found and checked by whoever reads them).
struct MailRecord {
    quint64 parentFolderId = 0;
    // Id of the "MSrc" block holding the message text; 0 when there is none.
    quint64 mailId = 0;
    // Raw address bytes as stored (at most 139).
    QByteArray fromAddress;
    QString fromName;
    QString subject;
    quint64 bodyOffset = 0;
    quint64 bodySize = 0;
    quint64 toOffset = 0;
    quint32 toSize = 0;
    quint64 ccOffset = 0;
    quint32 ccSize = 0;
    quint64 property0D20Offset = 0;
    quint32 property0D20Size = 0;
    quint64 attachmentListOffset = 0;
    quint32 attachmentListSize = 0;
    quint64 messageIdOffset = 0;
    quint32 messageIdSize = 0;
    quint64 property1E1EOffset = 0;
    quint32 property1E1ESize = 0;
    quint64 threadIndexOffset = 0;
    quint32 threadIndexSize = 0;
    // The 8 data bytes as stored; bytes 4 to 7 are a big-endian Mac stamp.
    std::array<quint8, 8> date{};
    quint64 threadTopicOffset = 0;
    quint32 threadTopicSize = 0;
    quint64 property0D06Offset = 0;
    quint32 property0D06Size = 0;
    // For a record without stored text whose folder was not found: the orphan
    // folder that linking gave it, else 0.
    quint64 orphanFolderId = 0;

    // The folder the message is listed and saved in.
    quint64 folderId() const { return orphanFolderId ? orphanFolderId : parentFolderId; }
    // Set at linking: the record names a mail id whose text block was not
    // found (damaged, or past what the scan reached).
    bool storedTextMissing = false;
    // The message of this record is composed from the record itself: it has
    // no stored text (mail id 0), or its text was lost.
    bool composed() const { return mailId == 0 || storedTextMissing; }
};

// The summary of one "MSrc" block (the stored message text). Folder, sender
// and subject come from the mail record with the same mail id at linking.
struct StoredMessage {
    quint64 parentFolderId = 0;     // folder id; 0 until linked
    quint64 blockOffset = 0; // file offset of the block's tag
    quint64 mailId = 0;
    quint64 textSize = 0;   // stored length of the message text
    // Declared length of the block (tag included); the text lies inside it,
    // so it bounds a damaged source size.
    quint64 blockSize = 0;
    QByteArray fromAddress;
    QString fromName;
    QString subject;
    bool linked = false;

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
    quint64 id = 0;
    quint32 position = 0;
};

// Everything the scan found of the mail: folders, mail records, stored
// message texts, accounts and attachment blocks, in the order their blocks
// were found, with the lookups that linking and the writers use. The lookups
// are sorted arrays built once, when the walk is done (indexIds): nothing is
// allocated per record while the file is read.
struct MailStore {
    std::list<FolderRecord> folders;
    // Duplicate folders unlinked from `folders` after the scan; their ids
    // still count as decoded folders.
    std::list<FolderRecord> unlinkedFolders;
    std::deque<MailRecord> records;
    std::deque<StoredMessage> messages;
    std::deque<MailAccount> accounts;
    std::deque<AttachmentBlock> attachments;

    // Sorted by id; records sharing an id keep their scan order, so the
    // last of them is the one found last. Every mail record (mail id 0
    // too), every stored message whose block held its id, and the id of
    // every decoded folder (orphan folders are not decoded).
    std::vector<IdEntry> recordsById;
    std::vector<IdEntry> messagesById;
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
    bool hasFolder(quint64 folderId) const;
};

} // namespace er
