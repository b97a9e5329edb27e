#include "mail/MailboxExport.h"

#include "output/OutputFile.h"
#include "mail/MessageWriter.h"

#include <QHash>
#include <QVector>

#include <cstring>
#include <limits>
#include <map>

namespace er {

const char kMboxSeparatorStart[] = "From ???@???";

namespace {

const char kFrom[] = "From ";
constexpr int kFromLength = 5;
const char kDateMarker[] = "\rDate:";
constexpr int kDateMarkerLength = 6;
// The date value starts 7 bytes behind the marker's CR.
constexpr quint64 kValueStart = 7;
// The shape test looks at the value's bytes 1 to 4 (p + 8 to p + 11).
constexpr quint64 kLastTestedByte = 11;
// A Date value is one header line; longer ones are cut at the line limit of
// a message.
constexpr int kValueLimit = 998;
constexpr quint64 kSummaryMinimumSize = 20;

bool isLineEnd(char c)
{
    return c == '\r' || c == '\n';
}

char byteAt(const QByteArray& bytes, int i)
{
    return i < bytes.size() ? bytes[i] : '\0';
}

// The shape of a Date value from its first bytes: a day number first (one
// or two digits), or a three-letter weekday followed by ", " or " ".
bool shapeOfValue(const QByteArray& value, SeparatorLineFinder::Shape* shape)
{
    if (byteAt(value, 1) == ' ' || byteAt(value, 2) == ' ')
        *shape = SeparatorLineFinder::Shape::DayFirst;
    else if (byteAt(value, 3) == ',' && byteAt(value, 4) == ' ')
        *shape = SeparatorLineFinder::Shape::WeekdayComma;
    else if (byteAt(value, 3) == ' ')
        *shape = SeparatorLineFinder::Shape::Weekday;
    else
        return false;
    return true;
}

QByteArray upToLineEnd(const QByteArray& value)
{
    for (int i = 0; i < value.size(); ++i)
        if (isLineEnd(value[i]))
            return value.left(i);
    return value;
}

// The word at *i, ending at a single space (or the end of the value).
QByteArray nextWord(const QByteArray& value, int* i)
{
    const int start = *i;
    while (*i < value.size() && value[*i] != ' ')
        ++*i;
    const QByteArray word = value.mid(start, *i - start);
    if (*i < value.size())
        ++*i;
    return word;
}

QByteArray dayWord(const QByteArray& word)
{
    return word.size() == 1 ? '0' + word : word;
}

// The first i in [from, size - 1) where data[i] ends a line (a CR, or also an
// LF when lfEndsLines) and data[i + 1] is `next`; size when there is none.
// Both the From escaper and the Date search look only at line starts, and a
// line start followed by their letter is rare: sixteen bytes are tested at a
// time (vector code on every processor the compilers know).
qint64 findLineStartWith(const char* data, qint64 from, qint64 size, char next, bool lfEndsLines)
{
    qint64 i = from;
#if defined(__GNUC__)
    using Bytes = unsigned char __attribute__((vector_size(16)));
    constexpr qint64 kWidth = static_cast<qint64>(sizeof(Bytes));
    for (; i + kWidth < size; i += kWidth) {
        Bytes here, after;
        std::memcpy(&here, data + i, sizeof here);
        std::memcpy(&after, data + i + 1, sizeof after);
        Bytes hit = (here == '\r');
        if (lfEndsLines)
            hit |= (here == '\n');
        hit &= (after == static_cast<unsigned char>(next));
        quint64 halves[2];
        std::memcpy(halves, &hit, sizeof halves);
        if ((halves[0] | halves[1]) != 0)
            break; // the scalar loop below finds which byte
    }
#endif
    for (; i + 1 < size; ++i)
        if ((data[i] == '\r' || (lfEndsLines && data[i] == '\n')) && data[i + 1] == next)
            return i;
    return size;
}

// Appends one stored message: separator line, text in bounded chunks with
// line-start "From " lowered, one CR.
void copyStoredMessage(const StoredMessage& summary, DatabaseFile& database, AppendFile& mailbox, QByteArray& piece)
{
    StoredTextReader text(database, summary.text());
    text.next(&piece);
    SeparatorLineFinder finder;
    finder.feed(piece);
    // The separator precedes the text: when the first piece does not settle
    // it, the rest is searched first and the text read again to copy it,
    // rather than holding a large text whole.
    bool firstPieceHeld = true;
    if (!finder.done() && !text.atEnd()) {
        while (!finder.done() && text.next(&piece))
            finder.feed(piece);
        firstPieceHeld = false;
        text.rewind();
    }
    if (!mailbox.write(finder.line()))
        return;

    // The escaped text goes straight into the mailbox's gathered piece.
    bool ok = true;
    const MboxFromEscaper::Sink toMailbox = [&](const char* span, qint64 n) {
        if (ok && n > 0)
            ok = mailbox.write(span, n);
    };
    MboxFromEscaper escaper;
    if (firstPieceHeld)
        escaper.feed(piece.constData(), piece.size(), toMailbox);
    while (ok && text.next(&piece))
        escaper.feed(piece.constData(), piece.size(), toMailbox);
    escaper.finish(toMailbox);
    toMailbox("\r", 1);
}

} // namespace

// Stored message texts reach the mailbox only when they are something: the
// folder is known, and the text is at least a header's worth or the record
// gave it a sender or subject.
bool storedTextWorthWriting(const MailStore& mail, const StoredMessage& summary)
{
    return summary.parentFolderId != 0
        && (summary.textSize >= kSummaryMinimumSize || !mail.fromAddressOf(summary).isEmpty()
            || !mail.subjectOf(summary).isEmpty() || !mail.fromNameOf(summary).isEmpty());
}

// ---- From escaping ---------------------------------------------------------

void MboxFromEscaper::feed(const char* data, qint64 size, const Sink& sink)
{
    if (size <= 0)
        return;
    qint64 i = 0;
    if (!m_held.isEmpty()) {
        // Complete the held line start, or learn that it is no "From ".
        while (m_held.size() < kFromLength && i < size && data[i] == kFrom[m_held.size()])
            m_held += data[i++];
        if (m_held.size() < kFromLength && i == size)
            return;
        if (m_held.size() == kFromLength)
            m_held[0] = 'f';
        sink(m_held.constData(), m_held.size());
        m_held.clear();
        m_atLineStart = false;
    }
    qint64 spanStart = i;
    // The next line start to test: here when a line ended just before,
    // else behind the next line end followed by an "F".
    qint64 lineStart = m_atLineStart ? i : findLineStartWith(data, i, size, 'F', true) + 1;
    while (lineStart < size) {
        qint64 k = 0;
        while (k < kFromLength && lineStart + k < size && data[lineStart + k] == kFrom[k])
            ++k;
        if (k == kFromLength) {
            sink(data + spanStart, lineStart - spanStart);
            sink("f", 1);
            spanStart = lineStart + 1;
        } else if (lineStart + k == size) {
            // A start of "From " at the end of the piece waits for the next.
            sink(data + spanStart, lineStart - spanStart);
            m_held = QByteArray(data + lineStart, static_cast<int>(k));
            m_atLineStart = false;
            return;
        }
        lineStart = findLineStartWith(data, lineStart, size, 'F', true) + 1;
    }
    sink(data + spanStart, size - spanStart);
    m_atLineStart = i < size ? isLineEnd(data[size - 1]) : m_atLineStart;
}

void MboxFromEscaper::feed(const char* data, qint64 size, QByteArray* out)
{
    feed(data, size, [out](const char* span, qint64 n) { out->append(span, static_cast<int>(n)); });
}

void MboxFromEscaper::finish(const Sink& sink)
{
    sink(m_held.constData(), m_held.size());
    m_held.clear();
    m_atLineStart = true;
}

void MboxFromEscaper::finish(QByteArray* out)
{
    finish([out](const char* span, qint64 n) { out->append(span, static_cast<int>(n)); });
}

QByteArray escapeMboxFromLines(const QByteArray& text)
{
    MboxFromEscaper escaper;
    QByteArray out;
    escaper.feed(text, &out);
    escaper.finish(&out);
    return out;
}

// ---- Separator line --------------------------------------------------------

void SeparatorLineFinder::feed(const char* data, qint64 size)
{
    for (qint64 i = 0; i < size; ++i) {
        if (m_fallbackComplete && (m_state == State::Done || (m_state == State::Searching && m_matched == 0))) {
            if (m_state == State::Done) {
                m_position += static_cast<quint64>(size - i);
                return;
            }
            // Nothing can start a Date header before a CR followed by a "D"
            // (or a CR that ends this piece).
            qint64 next = findLineStartWith(data, i, size, 'D', false);
            if (next == size && data[size - 1] == '\r')
                next = size - 1;
            m_position += static_cast<quint64>(next - i);
            i = next;
            if (i == size)
                return;
        }
        feedByte(data[i]);
    }
}

void SeparatorLineFinder::feedByte(char c)
{
    const quint64 pos = m_position++;
    if (!m_fallbackComplete && pos >= kValueStart) {
        if (isLineEnd(c) || m_fallback.size() >= kValueLimit)
            m_fallbackComplete = true;
        else
            m_fallback += c;
    }

    switch (m_state) {
    case State::Searching:
        if (c == kDateMarker[m_matched])
            ++m_matched;
        else
            m_matched = c == '\r' ? 1 : 0;
        if (m_matched == kDateMarkerLength) {
            m_matched = 0;
            m_candidate = pos - (kDateMarkerLength - 1);
            m_value.clear();
            m_state = State::Testing;
        }
        break;
    case State::Testing:
        if (pos >= m_candidate + kValueStart)
            m_value += c;
        if (pos == m_candidate + kLastTestedByte)
            decideShape();
        break;
    case State::Collecting:
        if (isLineEnd(c) || m_value.size() >= kValueLimit)
            m_state = State::Done;
        else
            m_value += c;
        break;
    case State::Done:
        break;
    }
}

void SeparatorLineFinder::decideShape()
{
    if (!shapeOfValue(m_value, &m_shape)) {
        // The next candidate may start at p + 11, the byte just tested.
        m_matched = !m_value.isEmpty() && m_value.back() == '\r' ? 1 : 0;
        m_state = State::Searching;
        return;
    }
    const QByteArray line = upToLineEnd(m_value);
    const bool ended = line.size() < m_value.size();
    m_value = line;
    m_state = ended ? State::Done : State::Collecting;
}

QByteArray SeparatorLineFinder::line() const
{
    Shape shape = m_shape;
    QByteArray value;
    if (m_state == State::Done || m_state == State::Collecting)
        value = m_value;
    else if (m_state == State::Testing && shapeOfValue(m_value, &shape))
        value = upToLineEnd(m_value);
    else {
        shape = Shape::Weekday;
        value = m_fallback;
    }

    int i = 0;
    QList<QByteArray> words;
    switch (shape) {
    case Shape::DayFirst: {
        const QByteArray day = nextWord(value, &i);
        const QByteArray month = nextWord(value, &i);
        const QByteArray year = nextWord(value, &i);
        const QByteArray time = nextWord(value, &i);
        words = {QByteArray(), month, dayWord(day), time, year};
        break;
    }
    case Shape::WeekdayComma: {
        // Written in the order of an mbox "From " line: weekday, month, day,
        // time, year.
        const QByteArray weekday = value.left(3);
        i = 5;
        const QByteArray day = nextWord(value, &i);
        const QByteArray month = nextWord(value, &i);
        const QByteArray year = nextWord(value, &i);
        const QByteArray time = nextWord(value, &i);
        words = {weekday, month, dayWord(day), time, year};
        break;
    }
    case Shape::Weekday:
        for (int k = 0; k < 5; ++k)
            words << nextWord(value, &i);
        words[2] = dayWord(words[2]);
        break;
    }

    QByteArray out(kMboxSeparatorStart);
    for (const QByteArray& word : words)
        out += ' ' + word;
    out += '\r';
    return out;
}

QByteArray separatorLineFor(const QByteArray& text)
{
    SeparatorLineFinder finder;
    finder.feed(text);
    return finder.line();
}

// ---- Mailboxes -------------------------------------------------------------

QString mailboxPathFor(const QString& saveDir, const QString& folderPath)
{
    const QString name = folderPath.mid(folderPath.lastIndexOf(QLatin1Char('/')) + 1);
    return saveDir + folderPath + QLatin1Char('/') + name + QStringLiteral(".mbox");
}

namespace {

// The summaries of each folder that are written, in scan order.
QHash<quint64, QVector<const StoredMessage*>> storedMessagesByFolder(const MailStore& mail)
{
    QHash<quint64, QVector<const StoredMessage*>> byFolder;
    for (const StoredMessage& summary : mail.messages)
        if (storedTextWorthWriting(mail, summary))
            byFolder[summary.parentFolderId].append(&summary);
    return byFolder;
}

} // namespace

quint64 storedMessagesToCopy(const MailStore& mail, const QList<FolderPath>& folderPaths)
{
    const auto byFolder = storedMessagesByFolder(mail);
    quint64 count = 0;
    for (const FolderPath& folder : folderPaths)
        if (folder.folderId != 0)
            count += static_cast<quint64>(byFolder.value(folder.folderId).size());
    return count;
}

bool writeMailboxes(const MailStore& mail, SaveContext& context)
{
    DatabaseFile database;
    if (context.databasePath.isEmpty() || !database.open(context.databasePath)) {
        // No mail can be written: the save must not look complete.
        context.failures.record(context.databasePath, context.databasePath.isEmpty()
                                                           ? QStringLiteral("no database to read the mail from")
                                                           : database.errorString());
        return false;
    }
    if (context.hooks.initialSettings)
        context.hooks.initialSettings(static_cast<unsigned int>(
            qMin<quint64>(mail.storedBytes / 512, std::numeric_limits<unsigned int>::max())));
    context.status(QStringLiteral("Saving Mail Folders..."));

    const auto byFolder = storedMessagesByFolder(mail);
    // One read buffer for every text: it grows to the largest piece once.
    QByteArray piece;

    for (const FolderPath& folder : context.folderPaths) {
        if (context.stopRequested())
            break;
        const auto messages = byFolder.constFind(folder.folderId);
        if (folder.folderId == 0 || messages == byFolder.cend())
            continue;
        const QString path = mailboxPathFor(context.saveDir, folder.path);
        if (!createWithFinderInfo(path, kMailboxCodes, context.failures))
            continue;
        AppendFile mailbox(path, context.failures);
        if (!mailbox.isOpen())
            continue;
        for (const StoredMessage* summary : *messages) {
            if (context.stopRequested())
                break;
            copyStoredMessage(*summary, database, mailbox, piece);
            context.progress();
        }
        mailbox.close();
    }

    writeComposedMessages(mail, context, database);
    return true;
}

void writeComposedMessages(const MailStore& mail, SaveContext& context, DatabaseFile& database)
{
    // Each record goes to the first folder path list entry of its folder;
    // the records of one mailbox keep their scan order.
    QHash<quint64, int> firstEntry;
    for (int i = 0; i < context.folderPaths.size(); ++i)
        if (!firstEntry.contains(context.folderPaths[i].folderId))
            firstEntry.insert(context.folderPaths[i].folderId, i);
    std::map<int, QVector<const MailRecord*>> byEntry;
    for (const MailRecord& record : mail.records) {
        // Folder id 0 is the bundle's root, never a mailbox.
        if (!record.composed() || record.folderId() == 0)
            continue;
        const int entry = firstEntry.value(record.folderId(), -1);
        if (entry >= 0)
            byEntry[entry].append(&record);
    }

    MessageWriter writer(database, mail, context);
    for (const auto& [entry, records] : byEntry) {
        if (context.stopRequested())
            return;
        const QString path = mailboxPathFor(context.saveDir, context.folderPaths[entry].path);
        if (!createWithFinderInfo(path, kMailboxCodes, context.failures))
            continue;
        AppendFile mailbox(path, context.failures);
        if (!mailbox.isOpen())
            continue;
        for (const MailRecord* record : records) {
            if (context.stopRequested())
                break;
            writer.appendComposedMessage(*record, mailbox);
        }
        mailbox.close();
    }
}

} // namespace er
