#include "mail/MailboxExport.h"

#include "output/OutputFile.h"
#include "archive/SaveRun.h"
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
constexpr qint64 kCopyChunk = DatabaseFile::kCopyChunk;
// The message text lies behind the block's 20-byte header.
constexpr quint64 kTextStart = 20;
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

// Appends one stored message: separator line, text in bounded chunks with
// line-start "From " lowered, one CR.
void copyStoredMessage(const MailMSRC& summary, DatabaseFile& database, AppendFile& mailbox)
{
    const quint64 from = summary.MSRCMailSourceOffset + kTextStart;
    quint64 length = copyableTextLength(summary, database);
    const auto readChunk = [&](quint64 at) {
        const QByteArray chunk = database.readUpTo(from + at, qMin<quint64>(kCopyChunk, length - at));
        // A failed read ends the text where it stands.
        if (static_cast<quint64>(chunk.size()) < qMin<quint64>(kCopyChunk, length - at))
            length = at + static_cast<quint64>(chunk.size());
        return chunk;
    };

    QByteArray first = length > 0 ? readChunk(0) : QByteArray();
    SeparatorLineFinder finder;
    finder.feed(first);
    // The separator precedes the text: when the first chunk does not settle
    // it, the rest is searched first and the text read again to copy it,
    // rather than holding a large text whole.
    quint64 copied = static_cast<quint64>(first.size());
    if (!finder.done() && copied < length) {
        for (quint64 at = copied; !finder.done() && at < length;) {
            const QByteArray chunk = readChunk(at);
            finder.feed(chunk);
            at += static_cast<quint64>(chunk.size());
        }
        first.clear();
        copied = 0;
    }
    if (!mailbox.write(finder.line()))
        return;

    MboxFromEscaper escaper;
    QByteArray escaped;
    escaper.feed(first, &escaped);
    first.clear();
    bool ok = mailbox.write(escaped);
    while (ok && copied < length) {
        const QByteArray chunk = readChunk(copied);
        copied += static_cast<quint64>(chunk.size());
        escaped.clear();
        escaper.feed(chunk, &escaped);
        ok = mailbox.write(escaped);
    }
    escaped.clear();
    escaper.finish(&escaped);
    escaped += '\r';
    mailbox.write(escaped);
}

} // namespace

// Stored message texts reach the mailbox only when they are something: the
// folder is known, and the text is at least a header's worth or the record
// gave it a sender or subject.
bool storedTextWorthWriting(const MailMSRC& summary)
{
    return summary.MSRCMailParentID != 0
        && (summary.MSRCMailSourceSize >= kSummaryMinimumSize || !summary.MSRCMailFromAddress.isEmpty()
            || !summary.MSRCMailSubject.isEmpty() || !summary.MSRCMailFromName.isEmpty());
}

// The bytes of a stored message's text that can be copied: the stored
// length, bounded by the block that holds the text and by the file.
quint64 copyableTextLength(const MailMSRC& summary, const DatabaseFile& database)
{
    quint64 length = summary.MSRCMailSourceSize;
    // The scanner always records the block's length; 0 means unknown.
    if (summary.MSRCMailBlockSize != 0)
        length = qMin(length, summary.MSRCMailBlockSize > kTextStart ? summary.MSRCMailBlockSize - kTextStart : 0);
    const quint64 fileSize = static_cast<quint64>(qMax<qint64>(0, database.size()));
    const quint64 from = summary.MSRCMailSourceOffset + kTextStart;
    if (from < summary.MSRCMailSourceOffset || from >= fileSize)
        return 0;
    return qMin(length, fileSize - from);
}


// ---- From escaping ---------------------------------------------------------

void MboxFromEscaper::feed(const char* data, qint64 size, QByteArray* out)
{
    qint64 i = 0;
    if (!m_held.isEmpty()) {
        // Complete the held line start, or learn that it is no "From ".
        while (m_held.size() < kFromLength && i < size && data[i] == kFrom[m_held.size()])
            m_held += data[i++];
        if (m_held.size() < kFromLength && i == size)
            return;
        if (m_held.size() == kFromLength)
            m_held[0] = 'f';
        out->append(m_held);
        m_held.clear();
        m_atLineStart = false;
    }
    qint64 spanStart = i;
    for (; i < size; ++i) {
        if (m_atLineStart) {
            m_atLineStart = false;
            qint64 k = 0;
            while (k < kFromLength && i + k < size && data[i + k] == kFrom[k])
                ++k;
            if (k == kFromLength) {
                out->append(data + spanStart, static_cast<int>(i - spanStart));
                out->append('f');
                spanStart = i + 1;
            } else if (i + k == size) {
                out->append(data + spanStart, static_cast<int>(i - spanStart));
                m_held = QByteArray(data + i, static_cast<int>(k));
                return;
            }
        }
        if (isLineEnd(data[i]))
            m_atLineStart = true;
    }
    out->append(data + spanStart, static_cast<int>(size - spanStart));
}

void MboxFromEscaper::finish(QByteArray* out)
{
    out->append(m_held);
    m_held.clear();
    m_atLineStart = true;
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
            // Nothing can start a Date header before the next CR.
            const void* cr = std::memchr(data + i, '\r', static_cast<size_t>(size - i));
            const qint64 next = cr ? static_cast<const char*>(cr) - data : size;
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
QHash<quint64, QVector<const MailMSRC*>> storedMessagesByFolder(const ScanState& state)
{
    QHash<quint64, QVector<const MailMSRC*>> byFolder;
    for (const MailMSRC& summary : state.msrcList)
        if (storedTextWorthWriting(summary))
            byFolder[summary.MSRCMailParentID].append(&summary);
    return byFolder;
}

} // namespace

quint64 storedMessagesToCopy(const ScanState& state, const QList<TreeInfo>& treeInfo)
{
    const auto byFolder = storedMessagesByFolder(state);
    quint64 count = 0;
    for (const TreeInfo& folder : treeInfo)
        if (folder.folderId != 0)
            count += static_cast<quint64>(byFolder.value(folder.folderId).size());
    return count;
}

bool OnMailSaving(SaveContext& context)
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
            qMin<quint64>(context.state.SizeOfAllMails / 512, std::numeric_limits<unsigned int>::max())));
    context.status(QString::fromLatin1(kSavingMailText));

    const auto byFolder = storedMessagesByFolder(context.state);

    for (const TreeInfo& folder : context.treeInfo) {
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
        for (const MailMSRC* summary : *messages) {
            if (context.stopRequested())
                break;
            copyStoredMessage(*summary, database, mailbox);
            context.progress();
        }
        mailbox.close();
    }

    SavingOfSentItemsWithNoMSRC(context, database);
    return true;
}

void SavingOfSentItemsWithNoMSRC(SaveContext& context, DatabaseFile& database)
{
    // Each record goes to the first folder path list entry of its folder;
    // the records of one mailbox keep their scan order.
    QHash<quint64, int> firstEntry;
    for (int i = 0; i < context.treeInfo.size(); ++i)
        if (!firstEntry.contains(context.treeInfo[i].folderId))
            firstEntry.insert(context.treeInfo[i].folderId, i);
    std::map<int, QVector<const MailMLRC*>> byEntry;
    for (const MailMLRC& record : context.state.mlrcList) {
        // Folder id 0 is the bundle's root, never a mailbox.
        if (!record.composed() || record.folderId() == 0)
            continue;
        const int entry = firstEntry.value(record.folderId(), -1);
        if (entry >= 0)
            byEntry[entry].append(&record);
    }

    MessageWriter writer(database, context);
    for (const auto& [entry, records] : byEntry) {
        if (context.stopRequested())
            return;
        const QString path = mailboxPathFor(context.saveDir, context.treeInfo[entry].path);
        if (!createWithFinderInfo(path, kMailboxCodes, context.failures))
            continue;
        AppendFile mailbox(path, context.failures);
        if (!mailbox.isOpen())
            continue;
        for (const MailMLRC* record : records) {
            if (context.stopRequested())
                break;
            writer.WriteTheFileForSentITems(*record, mailbox);
        }
        mailbox.close();
    }
}

} // namespace er
