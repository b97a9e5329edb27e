#pragma once
// The mail of the portable export: one mboxrd file per mail folder, LF line
// ends, for today's mail programs. The bundle's mailboxes (MailboxExport.h)
// keep their own form; both take the messages of a folder and the composed
// messages from the same records and the same folder path list.
//
// Layout below the export's "Mail" directory: a folder is "<name>.mbox", and
// its subfolders live in a directory "<name>" beside it:
//
//     Mail/Inbox.mbox
//     Mail/Projects.mbox
//     Mail/Projects/Budget 2008.mbox
//
// Names are the folder tree's path components ("/" already "-"). Only folders
// that hold messages get a mailbox; their parents get the directories.

#include "mail/MailRecords.h"
#include "output/SaveContext.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

namespace er {

// What an export created, so that a stopped export takes back exactly that
// and nothing that was there before.
struct CreatedPaths {
    QStringList files;
    QStringList directories; // parents before children

    // Removes the files, then the directories (deepest first, and only while
    // they are empty). True when none of them is left.
    bool removeAll() const;
};

// Turns a message text into its mboxrd form, fed in pieces of any size:
// CR LF and bare CR become LF, and every line matching ^>*From  gets one
// more ">" in front (a reader that removes one ">" from each ^>+From  line
// gets the text back). Holds back at most a line's leading ">" count and
// four letters between pieces, never a whole line.
class MboxrdQuoter {
public:
    void feed(const char* data, qint64 size, QByteArray* out);
    void feed(const QByteArray& data, QByteArray* out) { feed(data.constData(), data.size(), out); }
    // Ends the text: releases what was held and ends the last line with LF
    // (an empty text stays empty). The next byte fed starts a new text.
    void finish(QByteArray* out);

private:
    void flushPrefix(QByteArray* out);

    bool m_afterCr = false;     // the last byte was a CR: a following LF is its pair
    bool m_inPrefix = true;     // at a line's start, still deciding about quoting
    qint64 m_quotes = 0;        // ">" at the start of the current line
    int m_fromMatched = 0;      // letters of "From " after them
    bool m_empty = true;        // nothing written for this text yet
    bool m_endsWithLf = false;
};
QByteArray mboxrdText(const QByteArray& text);

// The date of the first Date header in the header section of a message's
// start (the section ends at the first empty line, in any line-end form), in
// UTC. Invalid when there is none, it cannot be read, or its year lies
// outside 1970 to 9999.
QDateTime messageHeaderDate(const QByteArray& messageStart);
// The same date at the offset from UTC its header gives: the sender's
// wall-clock time, whatever zone the host is in.
QDateTime messageHeaderDateAsWritten(const QByteArray& messageStart);

// The record's stored date (a Mac stamp in bytes 4 to 7), taken as UTC: the
// database does not say in which zone it was made. Invalid for no record, a
// zero stamp, or a year outside 1970 to 9999.
QDateTime mailRecordStoredDate(const MailRecord* record);

// The fixed date of a message with neither a readable Date header nor a
// stored date: the start of 1970, UTC.
QDateTime mboxFallbackDate();

// "From SENDER Www Mmm dd hh:mm:ss yyyy\n", the date as asctime() writes it
// (English names, the day padded with a space) in UTC. The sender is the
// address up to its first zero byte without blanks or control bytes;
// "MAILER-DAEMON" when that leaves nothing.
QByteArray mboxrdFromLine(const QByteArray& senderAddress, const QDateTime& date);

// The mailbox of a folder, from its path in the folder path list (beginning
// "/Main Identity.rge/Mail/"); empty for the root and "Mail" themselves.
QString portableMailboxPath(const QString& mailDir, const QString& folderPath);

// The number of messages writePortableMailboxes writes for the folder path
// list (one progress tick each).
quint64 portableMessageCount(const MailStore& mail, const SaveContext& context);

// Writes every folder's mailbox below mailDir (which exists): its stored
// texts in scan order, then the composed messages of its records without
// stored text. Reads the database from context.databasePath; a database
// that cannot be opened is a failure (and no mail is written). Records every
// output failure in context.failures, ticks context.progress() per message,
// returns at once on a stop request, and lists in `created` every file and
// directory it made.
void writePortableMailboxes(const MailStore& mail, SaveContext& context, const QString& mailDir,
                            CreatedPaths* created);

} // namespace er
