#pragma once
// Everything one scan produces: the record lists in file order, their lookups,
// the counters and the flags. The GUI owns one process-wide instance;
// every core function takes the state by reference, so tests and fuzzers make
// their own.

#include "archive/ScanMap.h"
#include "calendar/CalendarRecords.h"
#include "contacts/ContactRecords.h"
#include "mail/MailRecords.h"
#include "notes/NoteRecords.h"

#include <QHash>
#include <QString>

#include <atomic>
#include <deque>

namespace er {

struct ScanState {
    ScanState();
    ScanState(const ScanState&) = delete;
    ScanState& operator=(const ScanState&) = delete;

    // Records in the order their blocks were found.
    MailStore mail;
    ContactStore contacts;
    NoteStore notes;
    EventStore events;
    TaskStore tasks;

    // The summary's counts: contacts with a name or an address, every note,
    // event and task.
    quint32 contactCount = 0;
    quint32 eventCount = 0;
    quint32 taskCount = 0;
    quint32 noteCount = 0;
    quint32 progressRange = 0;

    // Shared between the GUI thread and the saving thread.
    std::atomic<bool> stopFlag{false};
    std::atomic<bool> running{false};
    // Whether the window's scan dialog belongs to the scan in hand; when it
    // does not, the next Open makes a fresh one.
    bool scanDialogCurrent = false;
    bool office2004 = false;

    // What the mail list found in message texts (the sender and subject of
    // rows without them, the attachment mark), by the address of the summary
    // or record, so that each text is read once per scan.
    struct MailListText {
        QString senderAndSubject;
        // The same two found apart, for the list's sender and subject columns.
        QString foundSender;
        QString foundSubject;
        bool hasAttachment = false;
    };
    QHash<const void*, MailListText> mailListTexts;

    QString databasePath;
    qint64 fileSize = 0;
    // File offset of the first recognised block of the scan.
    qint64 firstBlockOffset = 0;
    // Bytes of the database that could not be read (I/O errors); they were
    // scanned as zeros.
    qint64 unreadableBytes = 0;
    // What was found where, for the damage report.
    ScanMap map;
};

// Empties the record lists and their lookups and resets the counters, ready for
// a new scan. Flags and the database path are left alone.
void clearScanState(ScanState& state);

} // namespace er
