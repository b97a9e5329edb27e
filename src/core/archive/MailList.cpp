#include "archive/MailList.h"

#include "mail/MessagePreview.h"
#include "mail/MessageWriter.h"
#include "format/ByteOrder.h"
#include "format/DatabaseFile.h"

#include <QHash>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <limits>

namespace er {

namespace {

const char kFromName[] = "\rFrom:";
constexpr int kFromNameLength = 6;
const char kSubjectName[] = "\rSubject:";
constexpr int kSubjectNameLength = 9;
// The fallback looks at a position only while position + 9 is inside the
// text.
constexpr int kFallbackMargin = 9;
const char kDescriptionName[] = "\rContent-Description:";
constexpr int kDescriptionNameLength = 21;
constexpr int kDescriptionValueLimit = 255;

constexpr int kRowFieldLimit = 128;
constexpr int kProgressEvery = 256;
// Texts close to each other are read together, in windows of up to this
// size, reading through gaps of up to kReadThroughGap.
constexpr quint64 kReadWindow = 4 * 1024 * 1024;
constexpr quint64 kReadThroughGap = 64 * 1024;

QString rowField(const QString& stored)
{
    return truncateUtf16(cutAtNul(stored), kRowFieldLimit);
}

bool stopRequested(const MailListHooks& hooks)
{
    return hooks.stop && hooks.stop->load();
}

// One range of the file that a row needs, and what is looked for in it.
struct TextRead {
    quint64 offset = 0;
    quint64 length = 0;  // already bounded by the file
    int row = 0;
    // Bytes [0, attachmentEnd) take the attachment test, bytes
    // [fallbackBegin, length) the sender and subject search.
    bool attachment = false;
    quint64 attachmentEnd = 0;
    bool fallback = false;
    quint64 fallbackBegin = 0;
};

// What the first listing still has to find out for a row.
struct PendingRow {
    ScanState::MailListText found;
    int readsLeft = 0;
};

class TextReadPlan {
public:
    explicit TextReadPlan(quint64 fileSize) : m_fileSize(fileSize) {}

    // The attachment test reads [offset, offset + size).
    void attachment(int row, quint64 offset, quint64 size)
    {
        if (TextRead* r = add(row, offset, size)) {
            r->attachment = true;
            r->attachmentEnd = r->length;
        }
    }
    // The fallback reads [offset + 20, offset + 20 + size).
    void fallback(int row, quint64 offset, quint64 size)
    {
        if (offset > std::numeric_limits<quint64>::max() - kStoredTextStart)
            return;
        if (TextRead* r = add(row, offset + kStoredTextStart, size))
            r->fallback = true;
    }
    // A stored text needs both tests: one read covers both ranges.
    void attachmentAndFallback(int row, quint64 offset, quint64 size)
    {
        const quint64 wanted =
            size > std::numeric_limits<quint64>::max() - kStoredTextStart ? size : size + kStoredTextStart;
        if (TextRead* r = add(row, offset, wanted)) {
            r->attachment = true;
            r->attachmentEnd = qMin(size, r->length);
            r->fallback = true;
            r->fallbackBegin = qMin(kStoredTextStart, r->length);
        }
    }
    std::vector<TextRead>& reads() { return m_reads; }

private:
    // Ranges outside the file read nothing, which leaves the row's results
    // empty; only what the file holds is ever planned.
    TextRead* add(int row, quint64 offset, quint64 size)
    {
        if (offset >= m_fileSize || size == 0)
            return nullptr;
        TextRead r;
        r.offset = offset;
        r.length = qMin(size, m_fileSize - offset);
        r.row = row;
        m_reads.push_back(r);
        return &m_reads.back();
    }

    quint64 m_fileSize;
    std::vector<TextRead> m_reads;
};

} // namespace

namespace {

// "name\nsubject", "subject" or "name", as the list row shows them.
QString joinedSenderAndSubject(const FoundSenderAndSubject& found)
{
    QString result = found.sender;
    if (found.subjectFound) {
        if (found.senderFound)
            result += QLatin1Char('\n');
        result += found.subject;
    }
    return result;
}

} // namespace

QString senderAndSubjectFromText(const QByteArray& text)
{
    return joinedSenderAndSubject(senderAndSubjectPartsFromText(text));
}

FoundSenderAndSubject senderAndSubjectPartsFromText(const QByteArray& text)
{
    const char* p = text.constData();
    const int last = text.size() - kFallbackMargin; // positions below this are searched
    int fromAt = -1, subjectAt = -1;
    for (int i = 0; i < last && (fromAt < 0 || subjectAt < 0);) {
        const void* cr = std::memchr(p + i, '\r', static_cast<size_t>(last - i));
        if (!cr)
            break;
        const int at = static_cast<int>(static_cast<const char*>(cr) - p);
        i = at + 1;
        if (fromAt < 0 && std::memcmp(p + at, kFromName, kFromNameLength) == 0)
            fromAt = at + kFromNameLength;
        else if (subjectAt < 0 && std::memcmp(p + at, kSubjectName, kSubjectNameLength) == 0)
            subjectAt = at + kSubjectNameLength;
    }

    FoundSenderAndSubject found;
    if (fromAt >= 0) {
        const int end = headerValueEnd(text, fromAt);
        const QByteArray from = QByteArray::fromRawData(p + fromAt, end - fromAt);
        const int angle = from.indexOf('<');
        found.sender = headerText(angle < 0 ? from : from.left(angle));
        found.senderFound = true;
    }
    if (subjectAt >= 0) {
        found.subject = headerText(QByteArray::fromRawData(p + subjectAt, headerValueEnd(text, subjectAt) - subjectAt));
        found.subjectFound = true;
    }
    return found;
}

bool hasAttachmentDescription(const QByteArray& text)
{
    const char* p = text.constData();
    const int n = text.size();
    for (int i = 0; i + kDescriptionNameLength <= n;) {
        const void* cr = std::memchr(p + i, '\r', static_cast<size_t>(n - kDescriptionNameLength + 1 - i));
        if (!cr)
            break;
        const int at = static_cast<int>(static_cast<const char*>(cr) - p);
        i = at + 1;
        if (std::memcmp(p + at, kDescriptionName, kDescriptionNameLength) != 0)
            continue;
        const int valueAt = at + kDescriptionNameLength;
        const int end = qMin(headerValueEnd(text, valueAt), valueAt + kDescriptionValueLimit);
        // Checked in place: trimming a copy of a raw view would write into
        // the caller's buffer.
        for (int k = valueAt; k < end; ++k)
            if (!std::isspace(static_cast<unsigned char>(p[k])))
                return true;
    }
    return false;
}

QByteArray messageTextOfRow(const ScanState& state, const MailListRow& row)
{
    if (state.databasePath.isEmpty() || (!row.summary && !row.record))
        return QByteArray();
    DatabaseFile database(state.databasePath);
    if (!database.isOpen())
        return QByteArray();
    if (row.summary)
        return StoredTextReader(database, row.summary->text()).readAll();
    // No stop token: a preview is never asked to stop, whatever a save left
    // in the state.
    SaveContext context{QString()};
    context.office2004 = state.office2004;
    MessageWriter writer(database, state.mail, context);
    return writer.composedMessage(*row.record);
}

std::vector<MailListRow> storedMailListRows(const ScanState& state, quint64 folderId)
{
    std::vector<MailListRow> rows;
    const auto addRow = [&](const QString& storedName, const QString& storedSubject) -> MailListRow& {
        const QString name = rowField(storedName), subject = rowField(storedSubject);
        rows.emplace_back();
        MailListRow& row = rows.back();
        row.textFallback = subject.isEmpty();
        if (!subject.isEmpty())
            row.text = name + QLatin1Char('\n') + subject;
        else
            row.text = name;
        return row;
    };
    for (const StoredMessage& summary : state.mail.messages) {
        if (summary.parentFolderId != folderId)
            continue;
        MailListRow& row = addRow(state.mail.text(state.mail.fromNameOf(summary)),
                                    state.mail.text(state.mail.subjectOf(summary)));
        row.offset = static_cast<qint64>(summary.blockOffset);
        row.size = summary.textSize;
        row.summary = &summary;
    }
    for (const MailRecord& record : state.mail.records) {
        if (!record.composed() || record.folderId() != folderId)
            continue;
        MailListRow& row = addRow(state.mail.text(record.fromName), state.mail.text(record.subject));
        const FileSpan body = state.mail.span(record, MailProperty::Body);
        row.offset = static_cast<qint64>(body.offset);
        row.size = body.size;
        row.record = &record;
    }
    return rows;
}

std::vector<MailListRow> mailListRows(ScanState& state, quint64 folderId, const MailListHooks& hooks)
{
    std::vector<MailListRow> rows = storedMailListRows(state, folderId);
    // Rows without a subject show what the text says instead.
    std::vector<bool> needsFallback;
    needsFallback.reserve(rows.size());
    for (const MailListRow& row : rows)
        needsFallback.push_back(row.textFallback);
    const int total = static_cast<int>(rows.size());
    const auto keyOf = [](const MailListRow& row) -> const void* {
        return row.summary ? static_cast<const void*>(row.summary) : static_cast<const void*>(row.record);
    };

    // Texts not seen before are read in one pass in file order, each range
    // once, and what they say is kept for the next listing.
    QHash<int, PendingRow> pending;
    DatabaseFile database;
    bool anyUnread = false;
    for (const MailListRow& row : rows)
        if (!state.mailListTexts.contains(keyOf(row))) {
            anyUnread = true;
            break;
        }
    const bool canRead = anyUnread && !state.databasePath.isEmpty() && database.open(state.databasePath);
    if (canRead) {
        TextReadPlan plan(static_cast<quint64>(qMax<qint64>(0, database.size())));
        for (int i = 0; i < total; ++i) {
            const MailListRow& row = rows[static_cast<size_t>(i)];
            if (state.mailListTexts.contains(keyOf(row)))
                continue;
            pending.insert(i, PendingRow());
            if (row.summary) {
                const quint64 size = row.summary->text().length;
                if (needsFallback[static_cast<size_t>(i)])
                    plan.attachmentAndFallback(i, row.summary->blockOffset, size);
                else
                    plan.attachment(i, row.summary->blockOffset, size);
            } else {
                const FileSpan body = state.mail.span(*row.record, MailProperty::Body);
                const FileSpan attachments = state.mail.span(*row.record, MailProperty::AttachmentList);
                if (needsFallback[static_cast<size_t>(i)])
                    plan.fallback(i, body.offset, body.size);
                plan.attachment(i, attachments.offset, attachments.size);
            }
        }
        std::vector<TextRead>& reads = plan.reads();
        for (const TextRead& r : reads)
            ++pending[r.row].readsLeft;
        // Rows with nothing inside the file to read are settled at once.
        for (auto it = pending.begin(); it != pending.end();) {
            if (it.value().readsLeft == 0) {
                state.mailListTexts.insert(keyOf(rows[static_cast<size_t>(it.key())]), it.value().found);
                it = pending.erase(it);
            } else {
                ++it;
            }
        }
        std::sort(reads.begin(), reads.end(),
                  [](const TextRead& a, const TextRead& b) { return a.offset < b.offset; });

        int settled = total - pending.size();
        int reported = settled;
        size_t next = 0;
        while (next < reads.size() && !stopRequested(hooks)) {
            // One window: neighbouring texts read together.
            const quint64 start = reads[next].offset;
            quint64 end = start + reads[next].length;
            size_t stop = next + 1;
            while (stop < reads.size() && reads[stop].offset <= end + kReadThroughGap
                   && qMax(end, reads[stop].offset + reads[stop].length) - start <= kReadWindow) {
                end = qMax(end, reads[stop].offset + reads[stop].length);
                ++stop;
            }
            const QByteArray window = database.readUpTo(start, end - start);
            for (; next < stop; ++next) {
                const TextRead& r = reads[next];
                // A short read (an I/O error) leaves what could be read.
                const quint64 from = r.offset - start;
                const quint64 held = from < static_cast<quint64>(window.size())
                    ? qMin(r.length, static_cast<quint64>(window.size()) - from)
                    : 0;
                const char* text = held > 0 ? window.constData() + from : window.constData();
                PendingRow& row = pending[r.row];
                if (r.attachment && !row.found.hasAttachment)
                    row.found.hasAttachment = hasAttachmentDescription(
                        QByteArray::fromRawData(text, static_cast<int>(qMin(r.attachmentEnd, held))));
                if (r.fallback && held > r.fallbackBegin) {
                    const QByteArray searched = QByteArray::fromRawData(text + r.fallbackBegin,
                                                                        static_cast<int>(held - r.fallbackBegin));
                    const FoundSenderAndSubject parts = senderAndSubjectPartsFromText(searched);
                    row.found.senderAndSubject = joinedSenderAndSubject(parts);
                    row.found.foundSender = parts.sender.trimmed();
                    row.found.foundSubject = parts.subject.trimmed();
                }
                if (--row.readsLeft == 0) {
                    state.mailListTexts.insert(keyOf(rows[static_cast<size_t>(r.row)]), row.found);
                    pending.remove(r.row);
                    ++settled;
                }
            }
            if (hooks.progress && settled - reported >= kProgressEvery) {
                hooks.progress(settled, total);
                reported = settled;
            }
        }
    }

    // A stop during the reads keeps the rows before the first unsettled one.
    int shown = total;
    if (canRead)
        for (int i = 0; i < total; ++i)
            if (!state.mailListTexts.contains(keyOf(rows[static_cast<size_t>(i)]))) {
                shown = i;
                break;
            }
    rows.resize(static_cast<size_t>(shown));
    for (size_t i = 0; i < rows.size(); ++i) {
        const ScanState::MailListText found = state.mailListTexts.value(keyOf(rows[i]));
        rows[i].hasAttachment = found.hasAttachment;
        if (needsFallback[i])
            rows[i].text += found.senderAndSubject.isEmpty() ? QStringLiteral("No Subject") : found.senderAndSubject;
    }
    if (hooks.progress)
        hooks.progress(static_cast<int>(rows.size()), total);
    return rows;
}

} // namespace er
