#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <array>

namespace er {

// The mail record of one "MLRC" block. It keeps no header or body text:
// offset/length pairs locate the property data in the database file
// (absolute file offsets, stored as found and checked by whoever reads them).
struct MailMLRC {
    quint64 MSRCMailParentID = 0;
    // Id of the "MSrc" block holding the message text; 0 when there is none.
    quint64 MSRCMailID = 0;
    // Raw address bytes as stored (at most 139).
    QByteArray MSRCMailFromAddress;
    QString MSRCMailFromName;
    QString MSRCMailSubject;
    quint64 MSRCMailBodyOffset = 0;
    quint64 MSRCMailBodySize = 0;
    quint64 MSRCMailToFieldOffset = 0;
    quint32 MSRCMailToFieldSize = 0;
    quint64 MSRCMailCcFieldOffset = 0;
    quint32 MSRCMailCcFieldSize = 0;
    quint64 MSRCMailProperty0D20Offset = 0;
    quint32 MSRCMailProperty0D20Size = 0;
    quint64 MSRCMailAttachmentOffset = 0;
    quint32 MSRCMailAttachmentSize = 0;
    quint64 MSRCMailMessageIDOffset = 0;
    quint32 MSRCMailMessageIDSize = 0;
    quint64 MSRCMailProperty1E1EOffset = 0;
    quint32 MSRCMailProperty1E1ESize = 0;
    quint64 MSRCMailThreadIndexOffset = 0;
    quint32 MSRCMailThreadIndexSize = 0;
    // The 8 data bytes as stored; bytes 4 to 7 are a big-endian Mac stamp.
    std::array<quint8, 8> MSRCMailDate{};
    quint64 MSRCMailThreadTopicOffset = 0;
    quint32 MSRCMailThreadTopicSize = 0;
    quint64 MSRCMailProperty0D06Offset = 0;
    quint32 MSRCMailProperty0D06Size = 0;
    // For a record without stored text whose folder was not found: the orphan
    // folder that linking gave it, else 0.
    quint64 MSRCMailOrphanFolderID = 0;

    // The folder the message is listed and saved in.
    quint64 folderId() const { return MSRCMailOrphanFolderID ? MSRCMailOrphanFolderID : MSRCMailParentID; }
    // Set at linking: the record names a mail id whose text block was not
    // found (damaged, or past what the scan reached).
    bool storedTextMissing = false;
    // The message of this record is composed from the record itself: it has
    // no stored text (mail id 0), or its text was lost.
    bool composed() const { return MSRCMailID == 0 || storedTextMissing; }
};

// The summary of one "MSrc" block (the stored message text). Folder, sender
// and subject come from the mail record with the same mail id at linking.
struct MailMSRC {
    quint64 MSRCMailParentID = 0;     // folder id; 0 until linked
    quint64 MSRCMailSourceOffset = 0; // file offset of the block's tag
    quint64 MSRCMailID = 0;
    quint64 MSRCMailSourceSize = 0;   // stored length of the message text
    // Declared length of the block (tag included); the text lies inside it,
    // so it bounds a damaged source size.
    quint64 MSRCMailBlockSize = 0;
    QByteArray MSRCMailFromAddress;
    QString MSRCMailFromName;
    QString MSRCMailSubject;
    bool MSRCMailLinked = false;
};

// One mail account ("MaRC" block).
struct MailMARC {
    quint64 dwAccountID = 0;
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
struct MailAttc {
    quint64 dwBlockOffset = 0;
    quint64 dwAttachmentID = 0;
};

} // namespace er
