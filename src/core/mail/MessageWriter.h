#pragma once
// Composes a message for a mail record that has no stored message text: the
// header lines from the record and the property data it locates, the body
// twice (plain text and HTML alternatives), and the attachments copied in
// their stored, already encoded form from the "Attc" blocks. Line ends are a
// single CR, as in the database.

#include "output/OutputFile.h"
#include "output/SaveContext.h"
#include "mail/MailRecords.h"
#include "format/DatabaseFile.h"

#include <QByteArray>
#include <QHash>

#include <deque>
#include <functional>

namespace er {

// Receives the composed message piece by piece; returning false ends the
// composition (the output failed).
using ByteSink = std::function<bool(const char* data, qint64 size)>;

// The Date header's value for a Mac stamp: English day and month names, the
// stamp's wall-clock time unshifted, then the given offset from UTC as
// "+hhmm" or "-hhmm".
QByteArray dateHeaderText(quint32 macStamp, int offsetFromUtcSeconds);

class MessageWriter {
public:
    MessageWriter(DatabaseFile& database, const MailStore& mail, SaveContext& context);

    // The portable export's form instead of the bundle's: address and
    // subject headers as RFC 5322 and RFC 2047 want them (quoted display
    // names, encoded words, comma-separated lists), and text parts that
    // begin with their text.
    void setPortableForm(bool portable) { m_portable = portable; }

    // Composes the message of a record without stored text, without any
    // separator line. False when nothing is composed: a stop request on entry
    // or a body size of 0. A later stop request ends the message where it
    // stands.
    bool composeMessage(const MailRecord& record, const ByteSink& sink);
    QByteArray composedMessage(const MailRecord& record);

    // Appends the message to a mailbox: the separator line "From ???@???",
    // then the message with "From " lowered at line starts. Nothing at all
    // for a record whose message is not composed.
    void appendComposedMessage(const MailRecord& record, AppendFile& mailbox);

    // Passes the stored payload of the first "Attc" block with this id to
    // the sink, in bounded chunks, when the file holds all of it. False when
    // there is no such block or its payload cannot be read.
    bool writeAttachment(quint64 attachmentId, const ByteSink& sink);

private:
    const AttachmentBlock* firstAttachment(quint64 attachmentId);

    DatabaseFile& m_database;
    const MailStore& m_mail;
    SaveContext& m_context;
    QHash<quint64, const AttachmentBlock*> m_attachments;
    bool m_attachmentsIndexed = false;
    bool m_portable = false;
};

} // namespace er
