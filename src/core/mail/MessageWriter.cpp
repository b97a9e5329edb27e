#include "mail/MessageWriter.h"

#include "format/TimeConversion.h"
#include "mail/MailboxExport.h"
#include "format/ByteOrder.h"
#include "format/PropertyText.h"
#include "format/Clock.h"

#include <KMime/Headers>
#include <KMime/Types>

#include <QDateTime>
#include <QLocale>
#include <QSet>
#include <QString>

#include <array>
#include <cstring>
#include <optional>

namespace er {

namespace {

const char kOuterBoundary[] = "B_3363326825_117679";
const char kInnerBoundary[] = "B_3363326825_103213";
const char kAttachmentMarker[] = "cmNoeApD";
constexpr int kAttachmentMarkerLength = 8;

constexpr quint32 kToLimit = 1000;
constexpr quint32 kCcLimit = 40000;
constexpr quint32 kHeaderPropertyLimit = 4000;
constexpr quint64 kBodyLimit = 40000000;
constexpr quint32 kAttachmentListLimit = 40000000;
constexpr quint32 kEmptyAddressList = 5;
// The old 100-byte cut of UTF-16 text.
constexpr int kNameCharacters = 50;
constexpr int kAddressBytes = 70;
// Names of this many bytes or more are written empty.
constexpr quint32 kListNameLimit = 256;
// Quoted-printable lines hold at most 76 characters, the soft break's "="
// included.
constexpr int kQpLineLength = 75;

quint32 u32At(const QByteArray& data, qint64 at)
{
    const auto* p = reinterpret_cast<const unsigned char*>(data.constData()) + at;
    return (quint32(p[0]) << 24) | (quint32(p[1]) << 16) | (quint32(p[2]) << 8) | p[3];
}

bool startsWithMarker(const QByteArray& data)
{
    return data.size() >= 2 && quint8(data[0]) == 0xFF && quint8(data[1]) == 0xFF;
}

bool isAscii(const QByteArray& bytes)
{
    for (const char c : bytes)
        if (quint8(c) >= 0x80)
            return false;
    return true;
}

// 8-bit text of unrecorded character set, by the one rule for it, as the
// UTF-8 the composed message declares.
QByteArray utf8OfEightBit(const QByteArray& bytes)
{
    if (isAscii(bytes))
        return bytes;
    return eightBitText(bytes).toUtf8();
}

// Text properties: FF FF then 8-bit text (up to its first NUL), or UTF-16BE
// (NULs dropped).
QByteArray utf8OfWideProperty(const QByteArray& data)
{
    if (startsWithMarker(data))
        return utf8OfEightBit(cutAtNul(data.mid(2)));
    return utf16BEToUtf8(reinterpret_cast<const unsigned char*>(data.constData()),
                               static_cast<unsigned long>(data.size()));
}

// A header value stays on its line: a stored CR or LF would start a header
// of its own, a NUL ends the value.
QByteArray headerSafe(QByteArray value)
{
    value = cutAtNul(value);
    for (char& c : value)
        if (c == '\r' || c == '\n')
            c = ' ';
    return value;
}

QByteArray leftCharacters(const QString& text, int count)
{
    int units = 0;
    for (int chars = 0; units < text.size() && chars < count; ++chars)
        units += text.at(units).isHighSurrogate() && units + 1 < text.size() ? 2 : 1;
    return text.left(units).toUtf8();
}

// At most n bytes, backing off rather than cutting a UTF-8 sequence.
QByteArray leftBytes(const QByteArray& bytes, int n)
{
    if (bytes.size() <= n)
        return bytes;
    while (n > 0 && (quint8(bytes[n]) & 0xC0) == 0x80)
        --n;
    return bytes.left(n);
}

// One entry of a stored address list: the name (UTF-8) and the address as
// stored.
struct ListedAddress {
    QByteArray name;
    QByteArray address;
};

// The entries of an address list. An entry whose address runs past the data
// ends the list; a name that does not fit is empty.
QList<ListedAddress> addressListEntries(const QByteArray& data)
{
    QList<ListedAddress> entries;
    const quint64 size = static_cast<quint64>(data.size());
    if (size >= kEmptyAddressList) {
        const quint32 count = u32At(data, 0);
        quint64 pos = kEmptyAddressList;
        for (quint32 k = 0; k < count && pos + 28 <= size; ++k) {
            const quint64 addressLength = u32At(data, static_cast<qint64>(pos + 24));
            const quint64 addressAt = pos + 28;
            if (addressLength > size - addressAt)
                break;
            const QByteArray address = data.mid(static_cast<int>(addressAt), static_cast<int>(addressLength));
            const quint64 lengthAt = addressAt + addressLength;
            QByteArray name;
            pos = size;
            if (lengthAt + 4 <= size) {
                const quint64 nameLength = u32At(data, static_cast<qint64>(lengthAt));
                const quint64 nameAt = lengthAt + 4;
                if (nameLength < kListNameLimit && nameLength <= size - nameAt)
                    name = utf16BEToUtf8(reinterpret_cast<const unsigned char*>(data.constData()) + nameAt,
                                               static_cast<unsigned long>(nameLength));
                pos = nameAt + nameLength;
            }
            entries << ListedAddress{name, address};
        }
    }
    return entries;
}

// The bundle's form: "name<address>" entries folded onto continuation lines.
QByteArray addressListText(const QList<ListedAddress>& entries)
{
    QList<QByteArray> texts;
    for (const ListedAddress& entry : entries)
        texts << headerSafe(entry.name) + '<' + headerSafe(entry.address) + '>';
    return texts.join(",\r\t");
}

// ---- The portable form's header lines ---------------------------------------
//
// Built with the MIME library's header classes: display names quoted where
// they hold specials, text outside ASCII as encoded words, lists separated
// by commas. The address is handed over as stored, never parsed (a parser
// would drop or rewrite a damaged one).

QString portableHeaderText(const QByteArray& utf8)
{
    QString text = QString::fromUtf8(headerSafe(utf8));
    for (QChar& c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = QLatin1Char(' ');
    return text.trimmed();
}

// The stored address as a local part and a domain, split at its last "@";
// nothing when it has no such form.
std::optional<KMime::Types::AddrSpec> addrSpecOf(const QByteArray& address)
{
    const QByteArray stored = headerSafe(address).trimmed();
    const int at = stored.lastIndexOf('@');
    if (at <= 0 || at + 1 >= stored.size())
        return std::nullopt;
    KMime::Types::AddrSpec spec;
    spec.localPart = QString::fromUtf8(stored.left(at));
    spec.domain = QString::fromUtf8(stored.mid(at + 1));
    return spec;
}

// A display name as a phrase, in the library's own quoting and encoding.
QByteArray phraseOf(const QString& name)
{
    KMime::Types::Mailbox box;
    box.setName(name);
    box.setAddress(*addrSpecOf("a@b"));
    KMime::Headers::To header;
    header.addAddress(box);
    QByteArray text = header.as7BitString(false);
    text.chop(int(qstrlen(" <a@b>")));
    return text;
}

// "Name: list" of the entries. An entry without an address keeps its name
// as an empty group ("Name:;"); a header left without any entry is empty.
template <class Header>
QByteArray portableAddressHeader(const QList<ListedAddress>& entries)
{
    Header header;
    QList<QByteArray> groups;
    for (const ListedAddress& entry : entries) {
        const QString name = portableHeaderText(entry.name);
        if (const std::optional<KMime::Types::AddrSpec> spec = addrSpecOf(entry.address)) {
            KMime::Types::Mailbox box;
            box.setName(name);
            box.setAddress(*spec);
            header.addAddress(box);
        } else {
            const QString shown = name.isEmpty() ? portableHeaderText(entry.address) : name;
            if (!shown.isEmpty())
                groups << phraseOf(shown) + ":;";
        }
    }
    if (header.isEmpty() && groups.isEmpty())
        return QByteArray();
    QByteArray line = header.isEmpty() ? QByteArray(header.type()) + ": " : header.as7BitString(true);
    if (!groups.isEmpty())
        line += (header.isEmpty() ? QByteArray() : QByteArray(", ")) + groups.join(", ");
    return line + '\r';
}

QByteArray portableTextHeader(KMime::Headers::Generics::Unstructured&& header, const QByteArray& utf8)
{
    header.fromUnicodeString(portableHeaderText(utf8), "utf-8");
    return header.as7BitString(true) + '\r';
}

// Body for the HTML alternative: markup characters escaped, every line
// break (CR, LF or CR LF) a <br> ending a line.
QByteArray htmlOf(const QByteArray& text)
{
    // Written through a pointer into room for the longest outcome (five
    // bytes per input byte); the runs between the bytes that change are
    // copied whole.
    static const auto kChanges = [] {
        std::array<bool, 256> changes{};
        for (const unsigned char c : {'&', '<', '>', '\r', '\n'})
            changes[c] = true;
        return changes;
    }();
    QByteArray out(text.size() * 5, Qt::Uninitialized);
    char* o = out.data();
    const auto put = [&o](const char* s, int n) {
        std::memcpy(o, s, static_cast<size_t>(n));
        o += n;
    };
    const char* in = text.constData();
    const int n = text.size();
    for (int i = 0; i < n; ++i) {
        int run = i;
        while (run < n && !kChanges[static_cast<unsigned char>(in[run])])
            ++run;
        put(in + i, run - i);
        if (run == n)
            break;
        i = run;
        switch (in[i]) {
        case '&': put("&amp;", 5); break;
        case '<': put("&lt;", 4); break;
        case '>': put("&gt;", 4); break;
        case '\r':
            if (i + 1 < n && in[i + 1] == '\n')
                ++i;
            put("<br>\r", 5);
            break;
        default: put("<br>\r", 5); break; // LF
        }
    }
    out.truncate(static_cast<int>(o - out.constData()));
    return out;
}

// Quoted-printable with CR as the hard line break. An "F" that would begin
// a line as "From " is encoded, so that no encoded line reads as a mailbox
// separator.
QByteArray quotedPrintable(const QByteArray& in)
{
    static const char hex[] = "0123456789ABCDEF";
    const int n = in.size();
    // Room for the longest outcome: three bytes per input byte, and a soft
    // break ("=" CR) at most every kQpLineLength - 3 of them.
    QByteArray out(3 * n + 2 * (3 * n / (kQpLineLength - 3) + 1), Qt::Uninitialized);
    char* o = out.data();
    const char* p = in.constData();
    // Whether the byte at i is written as it is (a blank only when its line
    // goes on behind it).
    const auto literalAt = [p, n](int i) {
        const quint8 c = quint8(p[i]);
        return (c >= 33 && c <= 126 && c != '=') || ((c == ' ' || c == '\t') && i + 1 < n && p[i + 1] != '\r');
    };
    const auto startsFrom = [p, n](int i) { return p[i] == 'F' && n - i >= 5 && std::memcmp(p + i, "From ", 5) == 0; };
    int lineLength = 0;
    int i = 0;
    while (i < n) {
        const quint8 c = quint8(p[i]);
        if (c == '\r') {
            *o++ = '\r';
            lineLength = 0;
            ++i;
            continue;
        }
        bool literal = literalAt(i);
        if (literal && lineLength < kQpLineLength && !(lineLength == 0 && startsFrom(i))) {
            // A run of literal bytes, as far as the line has room.
            const int end = qMin(n, i + (kQpLineLength - lineLength));
            int run = i + 1;
            while (run < end && literalAt(run))
                ++run;
            std::memcpy(o, p + i, static_cast<size_t>(run - i));
            o += run - i;
            lineLength += run - i;
            i = run;
            continue;
        }
        if (lineLength + (literal ? 1 : 3) > kQpLineLength) {
            *o++ = '=';
            *o++ = '\r';
            lineLength = 0;
        }
        // An "F" that would begin a line as "From " is encoded.
        if (lineLength == 0 && startsFrom(i))
            literal = false;
        if (literal) {
            *o++ = char(c);
            lineLength += 1;
        } else {
            *o++ = '=';
            *o++ = hex[c >> 4];
            *o++ = hex[c & 15];
            lineLength += 3;
        }
        ++i;
    }
    out.truncate(static_cast<int>(o - out.constData()));
    return out;
}

bool inRange(quint64 size, quint64 limit)
{
    return size >= 1 && size <= limit;
}

} // namespace

QByteArray dateHeaderText(quint32 macStamp, int offsetFromUtcSeconds)
{
    // The C locale gives the English names that mail headers need.
    const QString text = QLocale::c().toString(macStampToDateTime(macStamp), QStringLiteral("ddd, d MMM yyyy hh:mm:ss"));
    const int offset = offsetFromUtcSeconds < 0 ? -offsetFromUtcSeconds : offsetFromUtcSeconds;
    const QString zone = QString::asprintf("%c%02d%02d", offsetFromUtcSeconds < 0 ? '-' : '+', offset / 3600,
                                           offset % 3600 / 60);
    return (text + QLatin1Char(' ') + zone).toLatin1();
}

MessageWriter::MessageWriter(DatabaseFile& database, const MailStore& mail,
                             SaveContext& context)
    : m_database(database), m_mail(mail), m_context(context)
{
}

const AttachmentBlock* MessageWriter::firstAttachment(quint64 attachmentId)
{
    if (!m_attachmentsIndexed) {
        m_attachmentsIndexed = true;
        for (const AttachmentBlock& attachment : m_mail.attachments)
            if (!m_attachments.contains(attachment.attachmentId))
                m_attachments.insert(attachment.attachmentId, &attachment);
    }
    return m_attachments.value(attachmentId, nullptr);
}

bool MessageWriter::composeMessage(const MailRecord& r, const ByteSink& sink)
{
    if (m_context.stopRequested())
        return false;

    bool failed = false;
    const auto put = [&](const QByteArray& bytes) {
        if (!failed && !bytes.isEmpty())
            failed = !sink(bytes.constData(), bytes.size());
        return !failed;
    };
    const auto goOn = [&] { return !failed && !m_context.stopRequested(); };

    put(m_context.office2004 ? "User-Agent: Microsoft-Entourage/11.0.0\r"
                                            : "User-Agent: Microsoft-Entourage/12.0.0\r");

    if (!goOn())
        return true;
    const quint32 stamp = (quint32(r.date[4]) << 24) | (quint32(r.date[5]) << 16)
        | (quint32(r.date[6]) << 8) | r.date[7];
    put("Date: " + dateHeaderText(stamp, currentDateTime().offsetFromUtc()) + '\r');

    if (!goOn())
        return true;
    const QByteArray subject = leftCharacters(m_mail.text(r.subject), kNameCharacters);
    put(m_portable ? portableTextHeader(KMime::Headers::Subject(), subject)
                   : "Subject: " + headerSafe(subject) + '\r');

    if (!goOn())
        return true;
    const ListedAddress sender{leftCharacters(m_mail.text(r.fromName), kNameCharacters),
                               leftBytes(cutAtNul(m_mail.bytes(r.fromAddress)), kAddressBytes)};
    put(m_portable ? portableAddressHeader<KMime::Headers::From>({sender})
                   : "From: " + headerSafe(sender.name) + '<' + headerSafe(sender.address) + ">\r");

    if (!goOn())
        return true;
    const FileSpan to = m_mail.span(r, MailProperty::To);
    if (inRange(to.size, kToLimit)) {
        QByteArray list;
        m_database.readExactly(to.offset, to.size, &list);
        const QList<ListedAddress> entries = addressListEntries(list);
        put(m_portable ? portableAddressHeader<KMime::Headers::To>(entries) : "To: " + addressListText(entries) + '\r');
    }

    if (!goOn())
        return true;
    const FileSpan cc = m_mail.span(r, MailProperty::Cc);
    if (cc.size != kEmptyAddressList && inRange(cc.size, kCcLimit)) {
        QByteArray list;
        m_database.readExactly(cc.offset, cc.size, &list);
        const QList<ListedAddress> entries = addressListEntries(list);
        put(m_portable ? portableAddressHeader<KMime::Headers::Cc>(entries) : "Cc: " + addressListText(entries) + '\r');
    }

    QByteArray data;
    if (!goOn())
        return true;
    const FileSpan messageId = m_mail.span(r, MailProperty::MessageId);
    if (inRange(messageId.size, kHeaderPropertyLimit) && m_database.readExactly(messageId.offset, messageId.size, &data))
        put("Message-ID: <" + headerSafe(data) + ">\r");

    if (!goOn())
        return true;
    const FileSpan threadTopic = m_mail.span(r, MailProperty::ThreadTopic);
    if (inRange(threadTopic.size, kHeaderPropertyLimit)
        && m_database.readExactly(threadTopic.offset, threadTopic.size, &data))
        put(m_portable ? portableTextHeader(KMime::Headers::Generic("Thread-Topic"), utf8OfWideProperty(data))
                       : "Thread-Topic: " + headerSafe(utf8OfWideProperty(data)) + '\r');

    if (!goOn())
        return true;
    const FileSpan threadIndex = m_mail.span(r, MailProperty::ThreadIndex);
    if (inRange(threadIndex.size, kHeaderPropertyLimit)
        && m_database.readExactly(threadIndex.offset, threadIndex.size, &data))
        put("Thread-Index: " + headerSafe(data) + '\r');

    put("Mime-version: 1.1\r");

    if (!goOn())
        return true;
    const QByteArray outer = kOuterBoundary;
    const auto openMultipart = [&] {
        put("Content-type: multipart/related;\r\tboundary=\"" + outer + "\"\r\r>");
        put("This message is in MIME format. Since your mail reader does not understand\r"
            "this format, some or all of this message may not be legible.\r\r\r");
    };
    const FileSpan attachmentList = m_mail.span(r, MailProperty::AttachmentList);
    const FileSpan bodySpan = m_mail.span(r, MailProperty::Body);
    if (bodySpan.size == 0) {
        // Without a body the record's header lines are still the message:
        // alone, or before the attachments.
        if (attachmentList.size == 0) {
            put("\r");
            return true;
        }
        openMultipart();
    }
    QByteArray body;
    if (bodySpan.size != 0 && bodySpan.size <= kBodyLimit
        && m_database.readExactly(bodySpan.offset, bodySpan.size, &body)) {
        body = utf8OfWideProperty(body);
        const bool ascii = isAscii(body);
        const QByteArray charset = ascii ? "\"US-ASCII\"" : "\"UTF-8\"";
        const QByteArray inner = kInnerBoundary;
        openMultipart();
        put("--" + outer + '\r');
        put("Content-type: multipart/alternative;\r\tboundary=\"" + inner + "\"\r\r\r");
        put("--" + inner + '\r');
        put("Content-type: text/plain;\r\tcharset=" + charset + "\rContent-transfer-encoding: "
            + (ascii ? "7bit" : "8bit") + (m_portable ? "\r\r" : "\r\r\r\r"));
        put(body);
        put("\r\r");
        put("--" + inner + '\r');
        put("Content-type: text/html;\r\tcharset=" + charset + "\rContent-transfer-encoding: quoted-printable\r\r");
        body = quotedPrintable(htmlOf(body));
        put(body);
        put("\r\r");
        put("--" + inner + "--\r");
    }
    body = QByteArray();

    if (!goOn())
        return true;
    QByteArray references;
    if (inRange(attachmentList.size, kAttachmentListLimit)
        && m_database.readExactly(attachmentList.offset, attachmentList.size, &references)) {
        const qint64 size = references.size();
        // Each attachment goes into the message once, however often the
        // list names it.
        QSet<quint64> written;
        // A marker counts while 8 bytes follow its position within the data;
        // an id that would pass the end is 0.
        for (qint64 at = references.indexOf(kAttachmentMarker); at >= 0 && at + kAttachmentMarkerLength < size;
             at = references.indexOf(kAttachmentMarker, static_cast<int>(at + 1))) {
            if (!goOn())
                return true;
            const qint64 idAt = at + kAttachmentMarkerLength;
            const quint64 id = idAt + 4 <= size ? u32At(references, idAt) : 0;
            if (written.contains(id))
                continue;
            written.insert(id);
            put("\r--" + QByteArray(kOuterBoundary) + '\r');
            if (goOn())
                writeAttachment(id, [&](const char* bytes, qint64 n) {
                    return put(QByteArray::fromRawData(bytes, static_cast<int>(n)));
                });
        }
    }

    if (goOn())
        put("\r--" + QByteArray(kOuterBoundary) + "--\r\r\r");
    return true;
}

QByteArray MessageWriter::composedMessage(const MailRecord& record)
{
    QByteArray message;
    composeMessage(record, [&message](const char* data, qint64 size) {
        message.append(data, static_cast<int>(size));
        return true;
    });
    return message;
}

void MessageWriter::appendComposedMessage(const MailRecord& record, AppendFile& mailbox)
{
    if (m_context.stopRequested())
        return;
    if (!mailbox.write(QByteArray(kMboxSeparatorStart) + '\r'))
        return;
    bool ok = true;
    const MboxFromEscaper::Sink toMailbox = [&](const char* span, qint64 n) {
        if (ok && n > 0)
            ok = mailbox.write(span, n);
    };
    MboxFromEscaper escaper;
    composeMessage(record, [&](const char* data, qint64 size) {
        escaper.feed(data, size, toMailbox);
        return ok;
    });
    escaper.finish(toMailbox);
}

bool MessageWriter::writeAttachment(quint64 attachmentId, const ByteSink& sink)
{
    if (m_context.stopRequested())
        return false;
    const AttachmentBlock* attachment = firstAttachment(attachmentId);
    quint32 length = 0;
    if (!attachment || !m_database.readU32(attachment->blockOffset + 4, &length))
        return false;
    // Only a payload the file holds whole is written: half an encoded
    // attachment would not decode.
    const StoredText payload = storedTextIn(attachment->blockOffset, length, 0);
    if (!m_database.holds(payload.offset, payload.length))
        return false;
    StoredTextReader reader(m_database, payload);
    while (!reader.atEnd()) {
        const QByteArray piece = reader.next();
        if (piece.isEmpty() || !sink(piece.constData(), piece.size()))
            return false;
    }
    return reader.length() == payload.length;
}

} // namespace er
