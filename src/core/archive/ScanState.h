#pragma once
// Everything one scan produces: the record lists in file order, the lookup
// hashes, the counters and the flags. The GUI owns one process-wide instance;
// every core function takes the state by reference, so tests and fuzzers make
// their own.

#include "calendar/CalendarRecords.h"
#include "contacts/ContactRecords.h"
#include "mail/MailRecords.h"
#include "mail/FolderRecords.h"
#include "archive/ScanMap.h"

#include <QHash>
#include <QMultiHash>
#include <QString>

#include <atomic>
#include <deque>
#include <list>

namespace er {

struct ScanState {
    ScanState();
    ScanState(const ScanState&) = delete;
    ScanState& operator=(const ScanState&) = delete;

    // Record lists, in the order their blocks were found. Deques and lists
    // keep element addresses stable while they grow, so the hashes can point
    // into them.
    std::list<FolderAttrib> folderList;
    // Duplicate folders unlinked from folderList after the scan; kept alive
    // because hashFlrc still points at them.
    std::list<FolderAttrib> unlinkedFolders;
    std::deque<MailMLRC> mlrcList;
    std::deque<MailMSRC> msrcList;
    std::deque<MailMARC> marcList;
    std::deque<MailAttc> attcList;
    std::deque<ContactInformation> ctrcList;
    std::deque<NotesInformation> ntrcList;
    std::deque<CalenderInformation> clrcList;
    std::deque<TasksInformation> tsrcList;

    // Multi-valued: one key may hold several records. They own nothing.
    QMultiHash<quint64, FolderAttrib*> hashFlrc;    // folder id
    QMultiHash<quint64, MailMLRC*> hashMlrc;        // mail id (also 0)
    QMultiHash<quint64, MailMSRC*> hashMsrc;        // mail id
    QMultiHash<quint64, MailMSRC*> hashMsrcParentID; // folder id at linking

    quint32 MailItemCount = 0;
    quint32 ContactItemCount = 0;
    quint32 CalendarItemCount = 0;
    quint32 TaskItemCount = 0;
    quint32 NotesItemCount = 0;
    quint64 SizeOfAllMails = 0;
    int NumberOfExtraFoldersToAdd = 0;
    // The id of "Folder1"; the others follow. 100000 unless a decoded
    // folder holds an id in that range.
    quint64 firstOrphanFolderId = kFirstOrphanFolderID;
    quint32 MaxProgress = 0;

    // Shared between the GUI thread and the saving thread.
    std::atomic<bool> bStopFlag{false};
    std::atomic<bool> bProcessRunning{false};
    bool bParseDatabase = false;
    bool OfficeEntourage2004 = false;

    // What the mail list found in message texts (the sender and subject of
    // rows without them, the attachment mark), by the address of the summary
    // or record, so that each text is read once per scan.
    struct MailListText {
        QString senderAndSubject;
        bool hasAttachment = false;
    };
    QHash<const void*, MailListText> mailListTexts;

    QString m_strDatabasePath;
    qint64 lSize = 0;
    // File offset of the first recognised block of the scan.
    qint64 dwPointertoFileLocation = 0;
    // Bytes of the database that could not be read (I/O errors); they were
    // scanned as zeros.
    qint64 unreadableBytes = 0;
    // What was found where, for the damage report.
    ScanMap map;
};

// Empties the record lists and the hashes and resets the counters, ready for
// a new scan. Flags and the database path are left alone.
void CleanListAndHash(ScanState& state);

} // namespace er
