#include "archive/MessageActions.h"

#include "archive/BundleLayout.h"
#include "archive/PortableExport.h"
#include "format/DatabaseFile.h"
#include "format/StoredText.h"
#include "mail/MboxrdExport.h"
#include "mail/MessageWriter.h"
#include "output/PathComponents.h"
#include "output/SaveContext.h"

#include <KMime/Content>
#include <KMime/Headers>
#include <KMime/Message>
#include <KMime/Util>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <limits>
#include <memory>

namespace er {

namespace {

// A file name's bytes with its extension, leaving room in the 255 every
// disk takes for a " (N)" that makes it unique.
constexpr int kNameBytes = 255 - 16;

// The whole message, parsed (KMime reads LF line ends).
std::unique_ptr<KMime::Message> parsedMessage(const QByteArray& crlfText)
{
    auto message = std::make_unique<KMime::Message>();
    message->setContent(KMime::CRLFtoLF(crlfText));
    message->parse();
    return message;
}

// The decoded subject, from the header section alone.
QString subjectOf(const QByteArray& messageText)
{
    const QByteArray start = withCrLfLineEnds(messageText.left(256 * 1024));
    const int end = start.startsWith("\r\n") ? 0 : start.indexOf("\r\n\r\n");
    auto message = std::make_unique<KMime::Message>();
    message->setHead(KMime::CRLFtoLF(end < 0 ? start : start.left(end + 2)));
    message->parse();
    return message->subject()->asUnicodeString().simplified();
}

// Names taken in one run and on disk, compared as the disks these files go
// to compare them: without regard to case or normalisation form.
class UniqueNames {
public:
    // directory + "/" + base + extension, or with " (2)", " (3)", ... before
    // the extension: the first that is neither taken nor on disk.
    QString claim(const QString& directory, const QString& name)
    {
        const QString safe = safePathComponent(name, kNameBytes);
        const int dot = safe.lastIndexOf(QLatin1Char('.'));
        const QString base = dot > 0 ? safe.left(dot) : safe;
        const QString extension = dot > 0 ? safe.mid(dot) : QString();
        QString candidate = safe;
        for (int n = 2; taken(directory, candidate); ++n)
            candidate = base + QStringLiteral(" (%1)").arg(n) + extension;
        m_taken.insert(folded(candidate));
        return directory + QLatin1Char('/') + candidate;
    }

private:
    static QString folded(const QString& name) { return name.normalized(QString::NormalizationForm_C).toCaseFolded(); }
    bool taken(const QString& directory, const QString& name) const
    {
        const QString path = directory + QLatin1Char('/') + name;
        return m_taken.contains(folded(name)) || QFileInfo::exists(path) || QFileInfo(path).isSymLink();
    }

    QSet<QString> m_taken;
};

// Writes a new file, never one that is there already (nor through a link).
// A file that could not be written in full is removed and recorded.
bool writeNewFile(const QString& path, const QByteArray& bytes, SaveFailures& failures)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        failures.record(path, file.errorString());
        return false;
    }
    const bool written = file.write(bytes) == bytes.size() && file.flush();
    const QString error = file.errorString();
    file.close();
    if (written && file.error() == QFileDevice::NoError)
        return true;
    failures.record(path, error.isEmpty() ? file.errorString() : error);
    QFile::remove(path);
    return false;
}

// A text that begins with an old mbox envelope line ("From sender date")
// is not a message file's first line: a reader would take it for a broken
// header and show no headers at all.
QByteArray withoutEnvelopeLine(QByteArray text)
{
    if (!text.startsWith("From "))
        return text;
    int end = 0;
    while (end < text.size() && text[end] != '\r' && text[end] != '\n')
        ++end;
    if (end < text.size())
        end += text.mid(end, 2) == "\r\n" ? 2 : 1;
    return text.mid(end);
}

// What names a message that could not be read, in the list of failures.
QString messageLabel(const MailListRow& row)
{
    const QString shown = QString(row.text).replace(QLatin1Char('\n'), QStringLiteral(": ")).simplified();
    const qint64 offset = row.summary ? static_cast<qint64>(row.summary->blockOffset) : row.offset;
    return QStringLiteral("message at offset %1").arg(offset) + (shown.isEmpty() ? QString() : QStringLiteral(" (") + shown + QLatin1Char(')'));
}

// The texts of the selected messages from one open database: a summary's
// stored text, or the message composed for a record without one in the
// portable export's form (the form today's mail programs read best). The
// composition gets no stop token: a message file is never cut short.
class MessageTexts {
public:
    explicit MessageTexts(const ScanState& state) : m_context(QString())
    {
        m_context.office2004 = state.office2004;
        if (!state.databasePath.isEmpty() && m_database.open(state.databasePath)) {
            m_writer = std::make_unique<MessageWriter>(m_database, state.mail, m_context);
            m_writer->setPortableForm(true);
        }
    }

    // Empty when the database cannot be read.
    QByteArray text(const MailListRow& row)
    {
        if (!m_writer)
            return QByteArray();
        if (row.summary)
            return StoredTextReader(m_database, row.summary->text()).readAll();
        return row.record ? m_writer->composedMessage(*row.record) : QByteArray();
    }

private:
    SaveContext m_context;
    DatabaseFile m_database;
    std::unique_ptr<MessageWriter> m_writer;
};

// The steps every per-message run shares: the directory, the range, the
// stop checks and the ticks; `write` handles one message text.
MessageActionResult forEachMessage(const ScanState& state, const std::vector<MailListRow>& rows,
                                   const QString& directory, const MessageActionHooks& hooks,
                                   const std::function<void(const MailListRow&, const QByteArray&, SaveFailures&,
                                                            MessageActionResult&)>& write)
{
    MessageActionResult result;
    SaveFailures failures;
    const QString dir = QDir::cleanPath(directory);
    CreatedPaths created;
    // A directory that cannot be made is recorded; each file below it then
    // fails and is recorded too.
    makeOutputDirectories(dir, true, failures, &created);
    if (hooks.initialSettings)
        hooks.initialSettings(static_cast<unsigned int>(qMin<size_t>(rows.size(), std::numeric_limits<unsigned int>::max())));
    MessageTexts texts(state);
    for (const MailListRow& row : rows) {
        if (hooks.stop && hooks.stop->load(std::memory_order_relaxed)) {
            result.stopped = true;
            break;
        }
        const QByteArray text = withoutEnvelopeLine(texts.text(row));
        if (text.isEmpty())
            failures.record(messageLabel(row), QStringLiteral("the message text cannot be read from the database"));
        else
            write(row, text, failures, result);
        if (hooks.progress)
            hooks.progress();
    }
    result.failureCount = failures.count();
    result.firstFailures = failures.firstFailures();
    return result;
}

const MailRecord* recordOf(const ScanState& state, const MailListRow& row)
{
    if (row.record)
        return row.record;
    return row.summary && row.summary->mailId != 0 ? state.mail.lastRecordWithId(row.summary->mailId) : nullptr;
}

// The attachments below a part, in message order. KMime's own list leaves
// out what multipart/related and multipart/alternative hold (an inline
// image, a file attached to a message with an HTML body): every leaf that
// is not the message's text counts here.
void collectAttachments(KMime::Content* part, QVector<KMime::Content*>* out)
{
    const auto* type = part->contentType(false);
    if (type && type->isMultipart()) {
        for (KMime::Content* child : part->contents())
            collectAttachments(child, out);
    } else if (KMime::isAttachment(part)) {
        out->append(part);
    }
}

QString withoutExtension(const QString& name)
{
    return name.endsWith(QLatin1String(".eml")) ? name.chopped(4) : name;
}

} // namespace

QByteArray withCrLfLineEnds(const QByteArray& text)
{
    QByteArray out;
    out.reserve(text.size() + text.size() / 32 + 2);
    for (int i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            out += "\r\n";
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            out += c;
        }
    }
    if (!out.isEmpty() && !out.endsWith("\r\n"))
        out += "\r\n";
    return out;
}

QString emlFileName(const QByteArray& messageText, const MailRecord* record)
{
    // The date the message itself gives, as its sender's clock read: the
    // name then says what the message says, on any host.
    QDateTime date = messageHeaderDateAsWritten(messageText);
    if (!date.isValid())
        date = mailRecordStoredDate(record);
    QString subject = subjectOf(messageText);
    if (subject.isEmpty())
        subject = QStringLiteral("No Subject");
    const QString name = date.isValid() ? date.toString(QStringLiteral("yyyy-MM-dd ")) + subject : subject;
    return safePathComponent(name, kNameBytes - 4) + QStringLiteral(".eml");
}

MessageActionResult saveMessagesAsEml(const ScanState& state, const std::vector<MailListRow>& rows,
                                      const QString& directory, const MessageActionHooks& hooks)
{
    UniqueNames names;
    const QString dir = QDir::cleanPath(directory);
    return forEachMessage(state, rows, directory, hooks,
                          [&](const MailListRow& row, const QByteArray& text, SaveFailures& failures,
                              MessageActionResult& result) {
                              const QString path = names.claim(dir, emlFileName(text, recordOf(state, row)));
                              if (writeNewFile(path, withCrLfLineEnds(text), failures))
                                  result.written << path;
                          });
}

MessageActionResult saveAttachments(const ScanState& state, const std::vector<MailListRow>& rows,
                                    const QString& directory, const MessageActionHooks& hooks)
{
    UniqueNames names;
    const QString dir = QDir::cleanPath(directory);
    return forEachMessage(
        state, rows, directory, hooks,
        [&](const MailListRow& row, const QByteArray& text, SaveFailures& failures, MessageActionResult& result) {
            const auto message = parsedMessage(withCrLfLineEnds(text));
            QVector<KMime::Content*> attachments;
            collectAttachments(message.get(), &attachments);
            int number = 0;
            for (KMime::Content* part : attachments) {
                ++number;
                QString name;
                if (const auto* disposition = part->contentDisposition(false))
                    name = disposition->filename();
                if (name.trimmed().isEmpty())
                    if (const auto* type = part->contentType(false))
                        name = type->name();
                // A stored name may carry a path: only its last part names
                // the file.
                name = name.section(QLatin1Char('/'), -1).section(QLatin1Char('\\'), -1).trimmed();
                if (name.isEmpty())
                    name = withoutExtension(emlFileName(text, recordOf(state, row))) + QStringLiteral(" part ")
                        + QString::number(number);
                const QString path = names.claim(dir, name);
                if (writeNewFile(path, part->decodedContent(), failures))
                    result.written << path;
            }
        });
}

MessageActionResult exportMailFolder(const ScanState& state, const FolderTreeModel& tree, quint64 folderId,
                                     const QString& directory, const MessageActionHooks& hooks)
{
    MessageActionResult result;
    const QString dir = QDir::cleanPath(directory);
    SaveContext context(dir);
    context.databasePath = state.databasePath;
    context.office2004 = state.office2004;
    context.hooks.progress = hooks.progress;
    context.hooks.stop = hooks.stop;

    // The folder and its subfolders, their paths moved so that the chosen
    // folder sits directly below "Mail": the export's own mailbox layout
    // then puts it at the top of the target.
    const QList<FolderPath> all = folderPathList(tree);
    const QString mailPrefix = bundlePath(QString()) + QStringLiteral("/Mail");
    QString chosen;
    bool found = false;
    for (const FolderPath& folder : all)
        if (folder.folderId == folderId) {
            chosen = folder.path;
            found = true;
            break;
        }
    if (!found) {
        context.failures.record(dir, QStringLiteral("the folder to export is not in the folder tree"));
    } else if (chosen == bundlePath(QString()) || chosen == mailPrefix) {
        context.folderPaths = all;
    } else {
        const QString parent = chosen.left(chosen.lastIndexOf(QLatin1Char('/')));
        for (const FolderPath& folder : all)
            if (folder.path == chosen || folder.path.startsWith(chosen + QLatin1Char('/')))
                context.folderPaths << FolderPath{folder.folderId, mailPrefix + folder.path.mid(parent.size())};
    }

    if (hooks.initialSettings)
        hooks.initialSettings(static_cast<unsigned int>(
            qMin<quint64>(portableMessageCount(state.mail, context), std::numeric_limits<unsigned int>::max())));

    CreatedPaths created;
    // The target is new: whatever is there already is not ours to add to.
    // Its parents may be made; the target itself is made here or refused
    // (mkdir does not take a directory that appeared in the meantime).
    if (found && (QFileInfo::exists(dir) || QFileInfo(dir).isSymLink())) {
        context.failures.record(dir, QStringLiteral("already exists; not written over"));
    } else if (found && makeOutputDirectories(QFileInfo(dir).absolutePath(), true, context.failures, &created)) {
        if (QDir().mkdir(dir)) {
            created.directories << dir;
            writePortableMailboxes(state.mail, context, dir, &created);
        } else {
            context.failures.record(dir, QFileInfo::exists(dir) ? QStringLiteral("already exists; not written over")
                                                                : QStringLiteral("cannot create the directory"));
        }
    }

    result.stopped = context.stopRequested();
    if (result.stopped)
        created.removeAll();
    else
        result.written = created.files;
    result.failureCount = context.failures.count();
    result.firstFailures = context.failures.firstFailures();
    return result;
}

} // namespace er
