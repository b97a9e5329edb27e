#include "mail/MessagePreview.h"

#include "format/ByteOrder.h"
#include "format/PropertyText.h"

#include <KMime/Content>
#include <KMime/Headers>

#include <QTextCodec>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace er {

namespace {

// Texts this short hold no message worth showing.
constexpr int kMinimumTextSize = 22;
// The scan looks at a position only while position + 22 is inside the text:
// the longest header name ("\rContent-Description:", 21 bytes) then always
// fits, and a name in the last 22 bytes is not taken.
constexpr int kScanMargin = 22;
constexpr int kAttachmentNameLimit = 255;

// Beyond this a multipart is left unsplit: real messages nest a handful of
// levels, and each level scans its part again.
constexpr int kMaxMultipartDepth = 16;
// Boundaries are at most 70 characters; a longer one is damage, and would
// make the delimiter search slow.
constexpr size_t kMaxBoundaryLength = 200;

const char kDocumentStart[] = "<!DOCTYPE html><html><head><meta charset=\"utf-8\"></head><body>";
const char kDocumentEnd[] = "</body></html>";
const char kPlainStart[] = "<pre style=\"white-space: pre-wrap; font-family: sans-serif\">";
const char kPlainEnd[] = "</pre>";
const char kUtf8Meta[] = "<meta charset=\"utf-8\">";

// ---- Header lines, found in the raw text -------------------------------------

struct HeaderName {
    const char* name; // what follows the line end, colon included
    int length;
};

enum Field { Date, From, To, Subject, Cc, Bcc, FieldCount };
const HeaderName kFields[FieldCount] = {
    {"Date:", 5}, {"From:", 5}, {"To:", 3}, {"Subject:", 8}, {"Cc:", 3}, {"Bcc:", 4},
};
const HeaderName kDescription = {"Content-Description:", 20};

bool isLineEnd(char c)
{
    return c == '\r' || c == '\n';
}

bool isFoldingSpace(char c)
{
    return c == '\t' || c == ' ';
}

// A header value as a person reads it: unfolded (the line ends go, the
// white space after them stays) and with its encoded words decoded. Raw 8-bit
// text is read first (UTF-8 when valid, else Mac Roman), so that the decoder
// only ever sees UTF-8 around the encoded words.
QString valueText(const QByteArray& text, int valueStart, int maxBytes = -1)
{
    const int end = headerValueEnd(text, valueStart);
    QByteArray value =
        headerText(QByteArray::fromRawData(text.constData() + valueStart, end - valueStart), maxBytes).toUtf8();
    value.replace('\r', QByteArray()).replace('\n', QByteArray());
    KMime::Headers::Generic header("X-Preview");
    header.from7BitString(value);
    return header.asUnicodeString();
}

// ---- Body, decoded with the MIME parser --------------------------------------

// The database ends lines with a bare CR, which the MIME parser does not
// split on: CR LF and bare CR both become LF.
QByteArray withLfLineEnds(const QByteArray& text)
{
    QByteArray out;
    out.reserve(text.size());
    const char* p = text.constData();
    const int n = text.size();
    for (int i = 0; i < n; ++i) {
        if (p[i] == '\r') {
            out += '\n';
            if (i + 1 < n && p[i + 1] == '\n')
                ++i;
        } else {
            out += p[i];
        }
    }
    return out;
}

struct Entity {
    std::string_view head;
    std::string_view body;
};

// Header and body of a MIME entity: the head ends at the first empty line.
Entity splitEntity(std::string_view entity)
{
    if (!entity.empty() && entity.front() == '\n')
        return {std::string_view(), entity.substr(1)};
    const size_t blank = entity.find("\n\n");
    if (blank == std::string_view::npos)
        return {entity, std::string_view()};
    return {entity.substr(0, blank + 1), entity.substr(blank + 2)};
}

bool startsWithNoCase(std::string_view s, std::string_view prefix)
{
    if (s.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(s[i])) != std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    return true;
}

// The first field of that name in a head, unfolded; empty when absent.
QByteArray headField(std::string_view head, std::string_view name)
{
    size_t line = 0;
    while (line < head.size()) {
        size_t end = head.find('\n', line);
        if (end == std::string_view::npos)
            end = head.size();
        const std::string_view text = head.substr(line, end - line);
        if (startsWithNoCase(text, name) && text.size() > name.size() && text[name.size()] == ':') {
            QByteArray value(text.data() + name.size() + 1, static_cast<int>(text.size() - name.size() - 1));
            // Continuation lines start with white space.
            while (end + 1 < head.size() && (head[end + 1] == ' ' || head[end + 1] == '\t')) {
                const size_t next = std::min(head.find('\n', end + 1), head.size());
                value.append(head.data() + end + 1, static_cast<int>(next - end - 1));
                end = next;
            }
            return value.trimmed();
        }
        line = end + 1;
    }
    return QByteArray();
}

bool isBlank(std::string_view s)
{
    for (char c : s)
        if (c != ' ' && c != '\t')
            return false;
    return true;
}

// The parts of a multipart body between its delimiter lines. A body without
// a closing delimiter ends its last part at the end of the text.
std::vector<std::string_view> splitMultipart(std::string_view body, const QByteArray& boundary)
{
    std::vector<std::string_view> parts;
    const std::string delimiter = "--" + boundary.toStdString();
    size_t from = 0;
    size_t partStart = std::string_view::npos;
    for (;;) {
        const size_t at = body.find(delimiter, from);
        if (at == std::string_view::npos)
            break;
        from = at + 1;
        if (at != 0 && body[at - 1] != '\n')
            continue;
        const size_t after = at + delimiter.size();
        const bool closing = body.substr(after, 2) == "--";
        const size_t eol = std::min(body.find('\n', after), body.size());
        if (!closing && !isBlank(body.substr(after, eol - after)))
            continue;
        if (partStart != std::string_view::npos) {
            // The line break before a delimiter belongs to the delimiter.
            const size_t end = std::max(partStart, at - 1);
            parts.push_back(body.substr(partStart, end - partStart));
        }
        if (closing) {
            partStart = std::string_view::npos;
            break;
        }
        partStart = std::min(eol + 1, body.size());
        from = partStart;
    }
    if (partStart != std::string_view::npos)
        parts.push_back(body.substr(partStart));
    return parts;
}

struct BodyCandidates {
    // The first HTML part and the first plain-text part, in document order.
    std::string_view html;
    std::string_view plain;
    bool hasHtml = false;
    bool hasPlain = false;
};

void collectTextParts(std::string_view entity, int depth, BodyCandidates* found)
{
    if (found->hasHtml)
        return;
    const Entity e = splitEntity(entity);
    const QByteArray disposition = headField(e.head, "Content-Disposition");
    if (!disposition.isEmpty()) {
        KMime::Headers::ContentDisposition cd;
        cd.from7BitString(disposition);
        if (cd.disposition() == KMime::Headers::CDattachment)
            return;
    }
    KMime::Headers::ContentType type;
    type.from7BitString(headField(e.head, "Content-Type"));
    // No type, or one that does not parse, is plain text.
    const bool plain = type.mimeType().isEmpty() || type.isPlainText();
    if (type.isMultipart()) {
        const QByteArray boundary = type.boundary();
        if (depth >= kMaxMultipartDepth || boundary.isEmpty() || static_cast<size_t>(boundary.size()) > kMaxBoundaryLength)
            return;
        const std::vector<std::string_view> parts = splitMultipart(e.body, boundary);
        if (parts.empty() && !found->hasPlain) {
            // A multipart that cannot be split is shown as text, the way
            // MIME readers treat it: its words are still recovered.
            found->plain = entity;
            found->hasPlain = true;
        }
        for (std::string_view part : parts)
            collectTextParts(part, depth + 1, found);
    } else if (type.isHTMLText()) {
        found->html = entity;
        found->hasHtml = true;
    } else if (plain && !found->hasPlain) {
        found->plain = entity;
        found->hasPlain = true;
    }
}

QString textInCharset(const QByteArray& bytes, QByteArray charset)
{
    charset = charset.trimmed().toLower();
    // Absent, ASCII and UTF-8 labels are often wrong on 8-bit text.
    if (charset.isEmpty() || charset == "us-ascii" || charset == "ascii" || charset == "utf-8" || charset == "utf8")
        return eightBitText(bytes);
    if (QTextCodec* codec = QTextCodec::codecForName(charset))
        return codec->toUnicode(bytes);
    return eightBitText(bytes);
}

// The decoded text of a text entity (transfer encoding and charset undone).
QString decodedText(std::string_view entity)
{
    const Entity e = splitEntity(entity);
    KMime::Headers::ContentType type;
    type.from7BitString(headField(e.head, "Content-Type"));
    KMime::Content part;
    part.contentTransferEncoding()->from7BitString(headField(e.head, "Content-Transfer-Encoding"));
    part.setBody(QByteArray(e.body.data(), static_cast<int>(e.body.size())));
    QString text = textInCharset(part.decodedContent(), type.charset());
    text.remove(QChar(0));
    // Line breaks that end the text would show as empty lines.
    int end = text.size();
    while (end > 0 && text[end - 1] == QLatin1Char('\n'))
        --end;
    text.truncate(end);
    return text;
}

int indexOfNoCase(const QString& s, QLatin1String what, int from)
{
    return s.indexOf(what, from, Qt::CaseInsensitive);
}

// The HTML as a document read as UTF-8: charset declarations of its own are
// replaced (we write UTF-8, whatever the message used), and one is added
// when it has none.
QString asUtf8Document(QString html)
{
    int at = 0;
    while ((at = indexOfNoCase(html, QLatin1String("<meta"), at)) >= 0) {
        const int close = html.indexOf(QLatin1Char('>'), at);
        if (close < 0)
            break;
        if (html.midRef(at, close - at).contains(QLatin1String("charset"), Qt::CaseInsensitive)) {
            html.replace(at, close + 1 - at, QLatin1String(kUtf8Meta));
            at += static_cast<int>(sizeof kUtf8Meta) - 1;
        } else {
            at = close + 1;
        }
    }
    const auto openingTag = [&html](QLatin1String name) {
        for (int from = 0;;) {
            const int tag = indexOfNoCase(html, name, from);
            if (tag < 0)
                return -1;
            const int next = tag + name.size();
            if (next < html.size() && (html[next] == QLatin1Char('>') || html[next].isSpace())) {
                const int close = html.indexOf(QLatin1Char('>'), next);
                return close < 0 ? -1 : close + 1;
            }
            from = next;
        }
    };
    int insertAt = openingTag(QLatin1String("<head"));
    if (insertAt >= 0)
        return html.insert(insertAt, QLatin1String(kUtf8Meta));
    insertAt = openingTag(QLatin1String("<html"));
    if (insertAt >= 0)
        return html.insert(insertAt, QLatin1String("<head>") + QLatin1String(kUtf8Meta) + QLatin1String("</head>"));
    return QLatin1String(kDocumentStart) + html + QLatin1String(kDocumentEnd);
}

QByteArray bodyDocument(const QByteArray& text)
{
    const QByteArray message = withLfLineEnds(text);
    BodyCandidates found;
    collectTextParts(std::string_view(message.constData(), static_cast<size_t>(message.size())), 0, &found);
    if (found.hasHtml) {
        const QString html = decodedText(found.html);
        if (!html.trimmed().isEmpty())
            return asUtf8Document(html).toUtf8();
    }
    if (found.hasPlain) {
        const QString plain = decodedText(found.plain);
        if (!plain.trimmed().isEmpty())
            return (QLatin1String(kDocumentStart) + QLatin1String(kPlainStart) + plain.toHtmlEscaped()
                    + QLatin1String(kPlainEnd) + QLatin1String(kDocumentEnd))
                .toUtf8();
    }
    return QByteArray();
}

} // namespace

int headerValueEnd(const QByteArray& text, int from)
{
    const char* p = text.constData();
    const int n = text.size();
    for (int i = qMax(0, from); i < n; ++i) {
        if (!isLineEnd(p[i]))
            continue;
        int next = i + 1;
        if (p[i] == '\r' && next < n && p[next] == '\n')
            ++next;
        if (next >= n || !isFoldingSpace(p[next]))
            return i;
        i = next;
    }
    return n;
}

QString headerText(const QByteArray& bytes, int maxBytes)
{
    QByteArray value = cutAtNul(bytes);
    const bool utf8 = isValidUtf8(value);
    if (maxBytes >= 0 && value.size() > maxBytes) {
        int cut = maxBytes;
        // Back off continuation bytes so that no sequence is split.
        while (utf8 && cut > 0 && (static_cast<unsigned char>(value[cut]) & 0xC0) == 0x80)
            --cut;
        value.truncate(cut);
    }
    return eightBitText(value);
}

MessagePreview previewMessage(const QByteArray& text)
{
    MessagePreview preview;
    if (text.size() < kMinimumTextSize)
        return preview;

    int valueAt[FieldCount];
    std::fill(std::begin(valueAt), std::end(valueAt), -1);
    QStringList attachments;
    const char* p = text.constData();
    const int last = text.size() - kScanMargin; // line ends below this are looked behind
    // A name counts behind any line end: CR (as the database stores mail),
    // LF, or CR LF (whose LF is a line end of its own here).
    const auto nameAt = [p](int at, const HeaderName& name) {
        return qstrnicmp(p + at + 1, name.name, static_cast<uint>(name.length)) == 0;
    };
    for (int at = 0; at < last; ++at) {
        if (!isLineEnd(p[at]))
            continue;
        if (nameAt(at, kDescription)) {
            attachments << valueText(text, at + 1 + kDescription.length, kAttachmentNameLimit);
            continue;
        }
        for (int f = 0; f < FieldCount; ++f) {
            if (valueAt[f] < 0 && nameAt(at, kFields[f])) {
                valueAt[f] = at + 1 + kFields[f].length;
                break;
            }
        }
    }

    static const char* const kLabels[FieldCount] = {"Date: ", "From: ", "To: ", "Subject: ", "Cc: ", "Bcc: "};
    for (Field f : {Date, From, Subject, To, Cc, Bcc})
        if (valueAt[f] >= 0)
            preview.headerLines << QLatin1String(kLabels[f]) + valueText(text, valueAt[f]);
    if (!attachments.isEmpty())
        preview.headerLines << QStringLiteral("Attachments: ") + QLatin1Char(' ')
                + attachments.join(QStringLiteral(", "));

    preview.bodyHtml = bodyDocument(text);
    return preview;
}

} // namespace er
