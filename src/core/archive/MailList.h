#pragma once
// The rows of a mail folder's list: what each row says, whether it has an
// attachment, and where its message text lies.

#include "archive/ScanState.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <functional>
#include <vector>

namespace er {

struct MailListRow {
    // "name\nsubject", "\nsubject", or name followed by the sender and
    // subject found in the message text, or by "No Subject".
    QString text;
    bool hasAttachment = false;
    // Where the row's message text lies: a summary's source offset and size,
    // or a record's body offset and size. The size is the list's size.
    qint64 offset = 0;
    quint64 size = 0;
    // The record the row stands for (exactly one is set).
    const StoredMessage* summary = nullptr;
    const MailRecord* record = nullptr;
    // The stores gave no subject: the text says what the row shows.
    bool textFallback = false;
};

// The sender's name (the From value before its first "<") and the subject
// found in a message text, as "name\nsubject", "subject" or "name"; "" when
// neither is found. Header names count only after a CR.
QString senderAndSubjectFromText(const QByteArray& text);
// The same, apart: the name and the subject found ("" for what is not).
struct FoundSenderAndSubject {
    QString sender;
    QString subject;
    bool senderFound = false;
    bool subjectFound = false;
};
FoundSenderAndSubject senderAndSubjectPartsFromText(const QByteArray& text);
// Whether the text has a "\rContent-Description:" header with a non-blank
// value.
bool hasAttachmentDescription(const QByteArray& text);

struct MailListHooks {
    // Called now and then with rows done and rows in all; keep it cheap.
    std::function<void(int done, int total)> progress;
    // Stop token: when set the list built so far is returned.
    const std::atomic<bool>* stop = nullptr;
};

// The message the preview shows for a row: the summary's stored text (bounded
// by its block and the file), or, for a record without stored text, the
// message a save composes for it. Empty when the database cannot be read.
QByteArray messageTextOfRow(const ScanState& state, const MailListRow& row);

// The rows of the folder as the stores give them, without reading any message
// text: the text is "name\nsubject", or the name alone for rows that wait for
// the text's fallback; no attachment marks.
std::vector<MailListRow> storedMailListRows(const ScanState& state, quint64 folderId);

// The rows of the folder: its summaries in scan order, then its mail records
// without stored text. Message texts that are needed (for the attachment
// mark, and the fallback of rows without a subject) are read once, in file
// order, with every read bounded by the file size; results are cached, so a
// second listing of the folder reads nothing.
std::vector<MailListRow> mailListRows(ScanState& state, quint64 folderId, const MailListHooks& hooks = {});

} // namespace er
