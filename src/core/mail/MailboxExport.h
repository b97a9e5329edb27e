#pragma once
// The mail step of a save: one mailbox file per folder of the folder path
// list. Stored message texts ("MSrc" blocks) are copied behind a separator
// line made from their Date header; records without stored text get a
// composed message (MessageWriter).

#include "format/DatabaseFile.h"
#include "mail/MailRecords.h"
#include "output/SaveContext.h"

#include <QByteArray>

#include <functional>
#include <QString>

namespace er {

// The separator line's fixed start.
extern const char kMboxSeparatorStart[];

// Lowers "From " to "from " at the start of a line (the start of the text,
// or right after CR or LF), so that no line of a message reads as a
// separator. Works on a text fed in pieces: a line start that might begin
// "From " is held back until the next piece or finish().
class MboxFromEscaper {
public:
    // Receives the escaped text in spans, as they are passed.
    using Sink = std::function<void(const char* data, qint64 size)>;

    void feed(const char* data, qint64 size, const Sink& sink);
    void feed(const char* data, qint64 size, QByteArray* out);
    void feed(const QByteArray& data, QByteArray* out) { feed(data.constData(), data.size(), out); }
    // Ends the text; the next byte fed starts a new text (at a line start).
    void finish(const Sink& sink);
    void finish(QByteArray* out);

private:
    QByteArray m_held;
    bool m_atLineStart = true;
};
QByteArray escapeMboxFromLines(const QByteArray& text);

// The separator line of a stored message: "From ???@???", five words read
// from the message's Date header, CR. Fed the text in pieces; the line is
// known as soon as a fitting Date value has been read, usually long before
// the end of the text.
class SeparatorLineFinder {
public:
    void feed(const char* data, qint64 size);
    void feed(const QByteArray& data) { feed(data.constData(), data.size()); }
    // True once a fitting Date value was read to its end.
    bool done() const { return m_state == State::Done; }
    // The line; before done() it assumes that the whole text was fed.
    QByteArray line() const;

    enum class Shape { DayFirst, Weekday, WeekdayComma };

private:
    enum class State { Searching, Testing, Collecting, Done };
    void feedByte(char c);
    void decideShape();

    State m_state = State::Searching;
    Shape m_shape = Shape::Weekday;
    quint64 m_position = 0;     // bytes fed so far
    int m_matched = 0;          // bytes of "\rDate:" matched
    quint64 m_candidate = 0;    // position of the candidate's CR
    QByteArray m_value;         // the candidate's value, from p + 7
    // Without a fitting Date header the words come from byte 7 of the text.
    QByteArray m_fallback;
    bool m_fallbackComplete = false;
};
QByteArray separatorLineFor(const QByteArray& text);

// saveDir + P + "/" + N + ".mbox", N being the last component of the folder
// path P.
QString mailboxPathFor(const QString& saveDir, const QString& folderPath);

// The whole mail step: opens the database from context.databasePath (a
// database that cannot be opened is recorded as a failure and the step
// ends: false), reports the progress range and the status, copies the
// stored messages folder by folder, then writes the messages without stored
// text.
bool writeMailboxes(const MailStore& mail, SaveContext& context);
// The progress ticks of writeMailboxes: one per stored message it copies into
// a mailbox of the folder path list.
quint64 storedMessagesToCopy(const MailStore& mail, const QList<FolderPath>& folderPaths);
// The messages of records without stored text, each into the mailbox of the
// first folder path list entry of its folder.
void writeComposedMessages(const MailStore& mail, SaveContext& context, DatabaseFile& database);

// Whether a stored message text is written to a mailbox at all: its folder is
// known, and the text is at least a header's worth or its record gave it a
// sender or subject. (The bundle and the portable export agree on this.)
bool storedTextWorthWriting(const MailStore& mail, const StoredMessage& summary);

} // namespace er
