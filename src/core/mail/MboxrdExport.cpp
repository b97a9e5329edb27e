#include "mail/MboxrdExport.h"

#include "format/TimeConversion.h"
#include "output/OutputFile.h"
#include "output/PathComponents.h"
#include "mail/MailboxExport.h"
#include "mail/MessageWriter.h"
#include "format/ByteOrder.h"
#include "format/DatabaseFile.h"

#include <KMime/Headers>

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QVector>

#include <cstring>

namespace er {

namespace {

const char kFrom[] = "From ";
constexpr int kFromLength = 5;
// A composed message is held only until its header section has been seen;
// a header section longer than this is searched no further for its Date.
constexpr int kHeadLimit = 256 * 1024;
// Path components stay well inside the usual 255-byte limit of a file name,
// with room for ".mbox" or ".d".
constexpr int kComponentBytes = 240;
constexpr int kFirstYear = 1970;
constexpr int kLastYear = 9999;

// Records without stored text whose message MessageWriter composes (a
// record without body gives a message of its header lines).
bool composable(const MailRecord& record)
{
    return record.composed() && record.folderId() != 0;
}

bool inYearRange(const QDateTime& date)
{
    return date.isValid() && date.date().year() >= kFirstYear && date.date().year() <= kLastYear;
}

} // namespace

QDateTime mailRecordStoredDate(const MailRecord* record)
{
    if (!record)
        return {};
    const quint32 stamp = (quint32(record->date[4]) << 24) | (quint32(record->date[5]) << 16)
        | (quint32(record->date[6]) << 8) | record->date[7];
    if (stamp == 0)
        return {};
    const QDateTime date = macStampToDateTime(stamp);
    return inYearRange(date) ? date : QDateTime();
}

namespace {

QDateTime firstValid(const QDateTime& a, const QDateTime& b)
{
    if (a.isValid())
        return a;
    return b.isValid() ? b : mboxFallbackDate();
}

QByteArray withLfLineEnds(const QByteArray& text)
{
    QByteArray out;
    out.reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

bool headerSectionEnded(const QByteArray& start)
{
    const QByteArray lf = withLfLineEnds(start);
    return lf.startsWith('\n') || lf.contains("\n\n");
}

// A folder name as a file or directory name: never empty, and short enough
// for any file system (cut on a character boundary).
QString fileNameComponent(const QString& name)
{
    return name.isEmpty() ? QStringLiteral("-") : cutToUtf8Bytes(name, kComponentBytes);
}

// A folder's directory beside its mailbox. A name ending in ".mbox" would
// make it collide with the mailbox of a sibling folder named without that
// ending (and some programs take such a directory for a mailbox).
QString directoryComponent(const QString& name)
{
    const QString part = fileNameComponent(name);
    return part.endsWith(QLatin1String(".mbox"), Qt::CaseInsensitive) ? part + QStringLiteral(".d") : part;
}

QString mailPrefix()
{
    return bundlePath(QString()) + QStringLiteral("/Mail");
}

// One mailbox file and the folders whose messages go into it (sibling
// folders of one name share it), in folder path list order.
struct MailboxPlan {
    QString path; // below the mail directory, beginning "/"
    QVector<const StoredMessage*> stored;
    QVector<const MailRecord*> composed;
};

QVector<MailboxPlan> planMailboxes(const MailStore& mail, const SaveContext& context)
{
    QHash<quint64, QVector<const StoredMessage*>> storedByFolder;
    for (const StoredMessage& summary : mail.messages)
        if (storedTextWorthWriting(mail, summary))
            storedByFolder[summary.parentFolderId].append(&summary);
    QHash<quint64, QVector<const MailRecord*>> composedByFolder;
    for (const MailRecord& record : mail.records)
        if (composable(record))
            composedByFolder[record.folderId()].append(&record);

    QVector<MailboxPlan> plans;
    QHash<QString, int> planOfPath;
    QSet<quint64> done;
    for (const FolderPath& folder : context.folderPaths) {
        // A folder's messages go once, to its first entry.
        if (folder.folderId == 0 || done.contains(folder.folderId))
            continue;
        const auto stored = storedByFolder.constFind(folder.folderId);
        const auto composed = composedByFolder.constFind(folder.folderId);
        if (stored == storedByFolder.cend() && composed == composedByFolder.cend())
            continue;
        const QString path = portableMailboxPath(QString(), folder.path);
        if (path.isEmpty())
            continue;
        done.insert(folder.folderId);
        int at = planOfPath.value(path, -1);
        if (at < 0) {
            at = plans.size();
            planOfPath.insert(path, at);
            MailboxPlan plan;
            plan.path = path;
            plans.append(plan);
        }
        if (stored != storedByFolder.cend())
            plans[at].stored += *stored;
        if (composed != composedByFolder.cend())
            plans[at].composed += *composed;
    }
    return plans;
}

void makeDirectory(const QString& path, SaveFailures& failures, CreatedPaths* created)
{
    const QFileInfo info(path);
    if (info.isDir() && !info.isSymLink())
        return;
    if (QDir().mkdir(path))
        created->directories << path;
    else
        failures.record(path, QStringLiteral("cannot create the directory"));
}

// Writes one message: the From_ line, then the text through the quoter, then
// the empty line that ends it in the mailbox. `start` holds the message's
// first bytes (for its Date header); `rest` writes the remainder through the
// given writer and returns false once output failed.
class MessageOut {
public:
    explicit MessageOut(AppendFile& mailbox) : m_mailbox(mailbox) {}

    bool begin(const QByteArray& sender, const QDateTime& date, const QByteArray& start)
    {
        m_ok = m_mailbox.write(mboxrdFromLine(sender, date));
        return put(start.constData(), start.size());
    }
    bool put(const char* data, qint64 size)
    {
        if (!m_ok)
            return false;
        m_buffer.clear();
        m_quoter.feed(data, size, &m_buffer);
        m_ok = m_mailbox.write(m_buffer);
        return m_ok;
    }
    void end()
    {
        m_buffer.clear();
        m_quoter.finish(&m_buffer);
        m_buffer += '\n';
        if (m_ok)
            m_mailbox.write(m_buffer);
        m_buffer = QByteArray();
    }

private:
    AppendFile& m_mailbox;
    MboxrdQuoter m_quoter;
    QByteArray m_buffer;
    bool m_ok = true;
};

// `piece` is the read buffer, kept from message to message.
void writeStoredMessage(const MailStore& mail, const StoredMessage& summary, DatabaseFile& database,
                        AppendFile& mailbox, QByteArray& piece)
{
    StoredTextReader text(database, summary.text());
    text.next(&piece);
    QByteArray& first = piece;
    const MailRecord* record =
        summary.mailId != 0 ? mail.lastRecordWithId(summary.mailId) : nullptr;
    // A text that begins with an old mbox envelope line ("From sender date")
    // would show no headers at all behind its quoted form: our own From_
    // line takes its place, with its sender and date where the message has
    // none of its own.
    QByteArray sender = mail.bytes(mail.fromAddressOf(summary));
    QDateTime envelopeDate;
    if (first.startsWith("From ")) {
        int end = 0;
        while (end < first.size() && first[end] != '\r' && first[end] != '\n')
            ++end;
        const QList<QByteArray> words = first.left(end).simplified().split(' ');
        if (sender.trimmed().isEmpty())
            sender = words.value(1);
        envelopeDate = messageHeaderDate("Date: " + words.mid(2).join(' ') + "\r\r");
        if (end < first.size())
            end += first.mid(end, 2) == "\r\n" ? 2 : 1;
        first.remove(0, end);
    }
    MessageOut out(mailbox);
    bool ok = out.begin(sender,
                        firstValid(messageHeaderDate(first), envelopeDate.isValid() ? envelopeDate : mailRecordStoredDate(record)),
                        first);
    while (ok && text.next(&piece))
        ok = out.put(piece.constData(), piece.size());
    out.end();
}

void writeComposedMessage(const MailStore& mail, const MailRecord& record, MessageWriter& writer, AppendFile& mailbox)
{
    // The From_ line needs the composed Date header, which comes early: the
    // message is held only until its header section is complete.
    MessageOut out(mailbox);
    QByteArray head;
    bool begun = false;
    const auto begin = [&] {
        begun = true;
        const bool ok = out.begin(mail.bytes(record.fromAddress),
                                  firstValid(messageHeaderDate(head), mailRecordStoredDate(&record)), head);
        head = QByteArray();
        return ok;
    };
    const bool composed = writer.composeMessage(record, [&](const char* data, qint64 size) {
        if (begun)
            return out.put(data, size);
        head.append(data, static_cast<int>(size));
        return head.size() < kHeadLimit && !headerSectionEnded(head) ? true : begin();
    });
    if (!composed)
        return;
    if (!begun)
        begin();
    out.end();
}

} // namespace

// ---- Created paths ---------------------------------------------------------

bool CreatedPaths::removeAll() const
{
    bool clean = true;
    for (const QString& file : files) {
        const QFileInfo info(file);
        if ((info.exists() || info.isSymLink()) && !QFile::remove(file))
            clean = false;
    }
    for (auto dir = directories.crbegin(); dir != directories.crend(); ++dir)
        if (QFileInfo(*dir).isDir() && !QDir().rmdir(*dir))
            clean = false;
    return clean;
}

// ---- Quoting ---------------------------------------------------------------

void MboxrdQuoter::flushPrefix(QByteArray* out)
{
    if (m_fromMatched > 0) {
        out->append(kFrom, m_fromMatched);
        m_empty = false;
        m_endsWithLf = false;
    }
    m_fromMatched = 0;
    m_inPrefix = false;
}

void MboxrdQuoter::feed(const char* data, qint64 size, QByteArray* out)
{
    qint64 i = 0;
    while (i < size) {
        char c = data[i];
        if (m_afterCr) {
            m_afterCr = false;
            if (c == '\n') {
                ++i;
                continue;
            }
        }
        if (m_inPrefix) {
            // Leading ">" go out at once: one more of them in front of
            // "From " gives the same bytes wherever it is put.
            if (m_fromMatched == 0 && c == '>') {
                out->append('>');
                m_empty = false;
                m_endsWithLf = false;
                ++i;
                continue;
            }
            if (c == kFrom[m_fromMatched]) {
                ++i;
                if (++m_fromMatched == kFromLength) {
                    out->append('>');
                    flushPrefix(out);
                }
                continue;
            }
            flushPrefix(out);
        }
        // Inside a line: copy up to the next line end.
        qint64 end = i;
        while (end < size && data[end] != '\r' && data[end] != '\n')
            ++end;
        if (end > i) {
            out->append(data + i, static_cast<int>(end - i));
            m_empty = false;
            m_endsWithLf = false;
        }
        if (end == size)
            return;
        m_afterCr = data[end] == '\r';
        out->append('\n');
        m_empty = false;
        m_endsWithLf = true;
        m_inPrefix = true;
        i = end + 1;
    }
}

void MboxrdQuoter::finish(QByteArray* out)
{
    flushPrefix(out);
    if (!m_empty && !m_endsWithLf)
        out->append('\n');
    *this = MboxrdQuoter();
}

QByteArray mboxrdText(const QByteArray& text)
{
    MboxrdQuoter quoter;
    QByteArray out;
    quoter.feed(text, &out);
    quoter.finish(&out);
    return out;
}

// ---- From_ line ------------------------------------------------------------

QDateTime messageHeaderDate(const QByteArray& messageStart)
{
    return messageHeaderDateAsWritten(messageStart).toUTC();
}

QDateTime messageHeaderDateAsWritten(const QByteArray& messageStart)
{
    QByteArray head = withLfLineEnds(messageStart.left(kHeadLimit));
    if (head.startsWith('\n'))
        return {};
    const int end = head.indexOf("\n\n");
    if (end >= 0)
        head.truncate(end + 1);

    for (int at = 0; at < head.size();) {
        int lineEnd = head.indexOf('\n', at);
        if (lineEnd < 0)
            lineEnd = head.size();
        if (lineEnd - at >= 5 && qstrnicmp(head.constData() + at, "date:", 5) == 0) {
            // The value with its folded continuation lines.
            QByteArray value = head.mid(at + 5, lineEnd - at - 5);
            while (lineEnd + 1 < head.size() && (head[lineEnd + 1] == ' ' || head[lineEnd + 1] == '\t')) {
                const int next = head.indexOf('\n', lineEnd + 1);
                const int stop = next < 0 ? head.size() : next;
                value += head.mid(lineEnd + 1, stop - lineEnd - 1);
                lineEnd = stop;
            }
            KMime::Headers::Date header;
            header.from7BitString(value);
            const QDateTime date = header.dateTime();
            if (inYearRange(date.toUTC()))
                return date;
        }
        at = lineEnd + 1;
    }
    return {};
}

QDateTime mboxFallbackDate()
{
    return QDateTime(QDate(kFirstYear, 1, 1), QTime(0, 0), Qt::UTC);
}

QByteArray mboxrdFromLine(const QByteArray& senderAddress, const QDateTime& date)
{
    static const char* const days[] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    QByteArray sender;
    for (const char c : cutAtNul(senderAddress))
        if (quint8(c) > 0x20 && quint8(c) != 0x7F)
            sender += c;
    if (sender.isEmpty())
        sender = "MAILER-DAEMON";
    const QDateTime utc = inYearRange(date.toUTC()) ? date.toUTC() : mboxFallbackDate();
    const QDate d = utc.date();
    const QTime t = utc.time();
    return "From " + sender + ' '
        + QString::asprintf("%s %s %2d %02d:%02d:%02d %d\n", days[d.dayOfWeek() - 1], months[d.month() - 1],
                            d.day(), t.hour(), t.minute(), t.second(), d.year())
              .toLatin1();
}

// ---- Mailboxes -------------------------------------------------------------

QString portableMailboxPath(const QString& mailDir, const QString& folderPath)
{
    const QString prefix = mailPrefix();
    // Messages filed under the "Mail" item itself keep a mailbox of that name.
    if (folderPath == prefix)
        return mailDir + QStringLiteral("/Mail.mbox");
    if (!folderPath.startsWith(prefix + QLatin1Char('/')))
        return {};
    const QStringList names = folderPath.mid(prefix.size() + 1).split(QLatin1Char('/'));
    QString path = mailDir;
    for (int i = 0; i + 1 < names.size(); ++i)
        path += QLatin1Char('/') + directoryComponent(names[i]);
    return path + QLatin1Char('/') + fileNameComponent(names.last()) + QStringLiteral(".mbox");
}

quint64 portableMessageCount(const MailStore& mail, const SaveContext& context)
{
    quint64 count = 0;
    for (const MailboxPlan& plan : planMailboxes(mail, context))
        count += static_cast<quint64>(plan.stored.size() + plan.composed.size());
    return count;
}

void writePortableMailboxes(const MailStore& mail, SaveContext& context, const QString& mailDir,
                            CreatedPaths* created)
{
    DatabaseFile database;
    if (context.databasePath.isEmpty() || !database.open(context.databasePath)) {
        // No mail can be written: the export must not look complete.
        context.failures.record(context.databasePath, context.databasePath.isEmpty()
                                                           ? QStringLiteral("no database to read the mail from")
                                                           : database.errorString());
        return;
    }

    MessageWriter writer(database, mail, context);
    writer.setPortableForm(true);
    // One read buffer for every stored text: it grows to the largest piece once.
    QByteArray piece;
    // Every directory once, in one set: deep trees cost their number of
    // directories, not the sum of their depths.
    QSet<QString> directoriesTried;
    for (const MailboxPlan& plan : planMailboxes(mail, context)) {
        if (context.stopRequested())
            return;
        QStringList missing; // parents first
        for (int slash = plan.path.lastIndexOf(QLatin1Char('/')); slash > 0;
             slash = plan.path.lastIndexOf(QLatin1Char('/'), slash - 1)) {
            const QString dir = plan.path.left(slash);
            if (directoriesTried.contains(dir))
                break;
            missing.prepend(dir);
        }
        for (const QString& dir : missing) {
            directoriesTried.insert(dir);
            makeDirectory(mailDir + dir, context.failures, created);
        }
        // Nothing is ever written over: a name a disk that folds case or
        // normalisation took already (for this run's own mailbox) gets
        // "-2", "-3", ....
        QString path = mailDir + plan.path;
        for (int n = 2; QFileInfo::exists(path) || QFileInfo(path).isSymLink(); ++n)
            path = mailDir + plan.path.chopped(5) + QLatin1Char('-') + QString::number(n) + QStringLiteral(".mbox");
        AppendFile mailbox(path, context.failures);
        if (mailbox.isOpen())
            created->files << path;
        for (const StoredMessage* summary : plan.stored) {
            if (context.stopRequested())
                return;
            if (mailbox.isOpen())
                writeStoredMessage(mail, *summary, database, mailbox, piece);
            context.progress();
        }
        for (const MailRecord* record : plan.composed) {
            if (context.stopRequested())
                return;
            if (mailbox.isOpen())
                writeComposedMessage(mail, *record, writer, mailbox);
            context.progress();
        }
        mailbox.close();
    }
}

} // namespace er
