#include "DatabaseBuilder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>
#include <QVector>

#include <algorithm>

namespace testdb {

namespace {

int roundUpToBlock(int length)
{
    return std::max(256, (length + 255) / 256 * 256);
}

QByteArray be16(quint16 v)
{
    return be32(v).mid(2);
}

void putBe32(QByteArray& b, int at, quint32 v)
{
    b.replace(at, 4, be32(v));
}

bool isScannedTag(const QByteArray& fourBytes)
{
    for (const char* t : {kFLID, kMLRC, kMSrc, kMaRC, kAttc, kCTRC, kCLRC, kTSRC, kNTRC})
        if (fourBytes == QByteArray(t, 4))
            return true;
    return false;
}

// Where the scanner goes after examining `pos`: over the block when a scanned
// tag with valid check bytes stands there, else one 256-byte step.
qint64 scanStep(const QByteArray& file, qint64 pos, bool* isBlock)
{
    const auto byteAt = [&](qint64 p) { return p < file.size() ? quint8(file.at(int(p))) : 0; };
    const bool valid = pos + 4 <= file.size() && isScannedTag(file.mid(int(pos), 4)) && byteAt(pos + 7) == 0xEC
        && byteAt(pos + 8) <= 1;
    if (isBlock)
        *isBlock = valid;
    return valid ? pos + qint64(qFromBigEndian<quint32>(file.constData() + pos + 4)) + 20 : pos + 256;
}

// A whole block: tag, size field, then bodyFrom8 (the bytes from offset 8 on),
// zero-padded so that L is a multiple of 256 (which makes byte 7 0xEC). Byte 8
// is the body's first byte: the check needs it to be 0 or 1.
QByteArray block(const QByteArray& tag4, const QByteArray& bodyFrom8)
{
    QByteArray b = tag4.left(4).leftJustified(8, '\0') + bodyFrom8;
    const int length = roundUpToBlock(b.size());
    b += zeros(length - b.size());
    b.replace(4, 4, be32(quint32(length - 20)));
    return b;
}

} // namespace

// ---- Bytes -----------------------------------------------------------------

QByteArray zeros(int n)
{
    return QByteArray(std::max(n, 0), '\0');
}

QByteArray be32(quint32 v)
{
    QByteArray b(4, '\0');
    qToBigEndian(v, b.data());
    return b;
}

QByteArray utf16be(const QString& s)
{
    QByteArray b;
    b.reserve(s.size() * 2);
    for (const QChar c : s)
        b += be16(c.unicode());
    return b;
}

QByteArray narrow(const QByteArray& bytes)
{
    return QByteArray("\xFF\xFF", 2) + bytes;
}

QByteArray wrapped(const QByteArray& text)
{
    QByteArray preamble = zeros(32);
    putBe32(preamble, 24, quint32(text.size()));
    return preamble + text;
}

qint64 secondsSince(int epochYear, const QDateTime& at)
{
    QDateTime utc = at;
    utc.setTimeSpec(Qt::UTC);
    return QDateTime(QDate(epochYear, 1, 1), QTime(0, 0), Qt::UTC).secsTo(utc);
}

quint32 macStamp(int year, int month, int day, int hour, int minute, int second)
{
    return quint32(secondsSince(1904, QDateTime(QDate(year, month, day), QTime(hour, minute, second), Qt::UTC)));
}

QByteArray macTime(quint32 stamp)
{
    return be32(0) + be32(stamp);
}

// ---- Property tables -------------------------------------------------------

Property prop(quint32 tagCode, const QByteArray& data)
{
    return Property{be32(tagCode), data};
}

Property prop32(quint32 tagCode, quint32 value)
{
    return prop(tagCode, be32(value));
}

QByteArray propertyBlock(const QByteArray& tag4, const QList<Property>& props, std::optional<quint32> tableLength)
{
    const quint32 natural = quint32(12 + 8 * props.size());
    const quint32 table = tableLength.value_or(natural);

    // Bytes from offset 8: spare header words up to 24, the table length, a
    // spare word, then the descriptors from 32.
    QByteArray body = zeros(16) + be32(table) + zeros(4);
    for (const Property& p : props)
        body += p.tag.left(4) + zeros(4 - std::min(4, int(p.tag.size()))) + be32(quint32(p.data.size()));
    if (table > natural)
        body += zeros(int(table - natural));
    for (const Property& p : props)
        body += p.data;
    return block(tag4, body);
}

// ---- Mail ------------------------------------------------------------------

namespace {

QByteArray addressList(const QList<Address>& entries)
{
    QByteArray b = be32(quint32(entries.size())) + zeros(1);
    for (const Address& a : entries) {
        const QByteArray name = utf16be(a.name);
        b += zeros(24) + be32(quint32(a.address.size())) + a.address + be32(quint32(name.size())) + name;
    }
    return b;
}

QList<Property> mailProperties(const MailRecordBlock& r)
{
    QList<Property> props;
    if (r.folderId)
        props << prop32(kFolderIdTag, *r.folderId);
    if (r.mailId)
        props << prop32(kMailIdTag, *r.mailId);
    if (r.sender)
        props << prop(kSenderTag, addressList({*r.sender}));
    if (r.subject)
        props << prop(kSubjectTag, *r.subject);
    if (r.date)
        props << prop(kDateTag, macTime(*r.date));
    if (r.to)
        props << prop(kToTag, addressList(*r.to));
    if (r.cc)
        props << prop(kCcTag, addressList(*r.cc));
    if (r.body)
        props << prop(kBodyTag, *r.body);
    if (!r.attachmentIds.isEmpty()) {
        QByteArray refs;
        for (quint32 id : r.attachmentIds)
            refs += QByteArray("cmNoeApD") + be32(id);
        props << prop(kAttachmentsTag, refs);
    }
    if (r.messageId)
        props << prop(kMessageIdTag, *r.messageId);
    if (r.threadIndex)
        props << prop(kThreadIndexTag, *r.threadIndex);
    if (r.threadTopic)
        props << prop(kThreadTopicTag, *r.threadTopic);
    props << r.extra;
    return props;
}

} // namespace

QByteArray mlrcBlock(const MailRecordBlock& record, std::optional<quint32> tableLength)
{
    return propertyBlock(kMLRC, mailProperties(record), tableLength);
}

QByteArray msrcBlock(quint32 mailId, const QByteArray& messageText, std::optional<quint32> textLengthField)
{
    return block(kMSrc, be32(textLengthField.value_or(quint32(messageText.size()))) + zeros(4) + be32(mailId)
                     + messageText);
}

QByteArray attcBlock(quint32 attachmentId, const QByteArray& payload)
{
    const QByteArray stored = payload.leftJustified(roundUpToBlock(20 + payload.size()) - 20, '\r');
    return block(kAttc, zeros(8) + be32(attachmentId) + stored);
}

QByteArray marcBlock(quint32 accountId, const QByteArray& accountName, const QList<Property>& extra)
{
    QList<Property> props{prop32(0x0311, accountId), prop(0x1E10, accountName)};
    props << extra;
    return propertyBlock(kMaRC, props);
}

// ---- Folder tables ---------------------------------------------------------

namespace {

struct EntryShape {
    std::array<quint8, 3> flags;
    bool hasParent;
    int marker;
    int eightBitAt;
    int wideAt;
};

EntryShape shapeOf(FolderLayout layout)
{
    switch (layout) {
    case FolderLayout::ParentWide: return {{0, 4, 4}, true, 24, 26, 24};
    case FolderLayout::Parent: return {{0, 0, 4}, true, 20, 22, 24};
    case FolderLayout::ParentOddB1: return {{0, 1, 4}, true, 20, 26, 24};
    case FolderLayout::ParentB1: return {{0, 4, 0}, true, 20, 22, 20};
    case FolderLayout::NoParentB0: return {{1, 0, 0}, false, 18, 20, 18};
    case FolderLayout::NoParentOther: return {{0, 0, 1}, false, 20, 22, 20};
    case FolderLayout::NoParent:
    case FolderLayout::Auto: break;
    }
    return {{0, 0, 0}, false, 16, 18, 16};
}

FolderLayout resolvedLayout(const FolderEntry& e)
{
    if (e.layout != FolderLayout::Auto)
        return e.layout;
    if (e.parent)
        return FolderLayout::Parent;
    // An all-zero first word would end the table, so a parentless account
    // folder (name length 0) needs a non-zero flag byte.
    return e.accountId ? FolderLayout::NoParentB0 : FolderLayout::NoParent;
}

QByteArray folderEntry(const FolderEntry& e)
{
    const FolderLayout layout = resolvedLayout(e);
    const EntryShape shape = shapeOf(layout);

    QByteArray name;
    if (!e.accountId)
        name = e.eightBit ? e.name.toUtf8() : utf16be(e.name);
    // Longer names are stored with a negative length, which the decoder reads
    // as 255 bytes; keep a terminator inside those 255.
    const bool readAs255 = name.size() > 127 || (layout == FolderLayout::ParentWide && !name.isEmpty());
    if (name.size() > 254)
        name.truncate(254);
    const int storedLength = name.size() > 127 ? -1 : name.size();

    const int nameAt = e.eightBit ? shape.eightBitAt : shape.wideAt;
    const int nameEnd = nameAt + name.size() + (readAs255 ? 2 : 0);
    int size = std::max(24, name.isEmpty() ? 0 : nameEnd);
    size += size % 2;

    QByteArray b = zeros(size);
    b[0] = char(shape.flags[0]);
    b[1] = char(shape.flags[1]);
    b[2] = char(shape.flags[2]);
    b[3] = char(storedLength);
    putBe32(b, 8, e.id);
    if (shape.hasParent)
        putBe32(b, 16, e.parent.value_or(0xFFFFFFFEu));
    if (e.accountId)
        putBe32(b, 20, *e.accountId);
    if (!name.isEmpty()) {
        if (e.eightBit)
            b.replace(shape.marker, 2, QByteArray("\xFF\xFF", 2));
        b.replace(nameAt, name.size(), name);
    }
    return b;
}

} // namespace

QByteArray flidBlock(const QList<FolderEntry>& entries)
{
    QList<QByteArray> bytes;
    for (const FolderEntry& e : entries)
        bytes << folderEntry(e);

    // Words 40 and 42 are the lengths of entries 6 and 7 (past the table's
    // end, free words): equal ones make the decoder skip the block.
    const int n = bytes.size();
    if (n >= 8 && bytes[6].size() == bytes[7].size())
        bytes[7] += zeros(2);
    QVector<qint16> lengths(512, 0);
    for (int k = 0; k < std::min(n, 512); ++k)
        lengths[k] = qint16(bytes[k].size());
    if (lengths[6] == lengths[7])
        lengths[7] = qint16(lengths[6] + 2);
    QByteArray body = zeros(20);
    for (qint16 len : lengths)
        body += be16(quint16(len));
    for (const QByteArray& e : bytes)
        body += e;
    body += zeros(4);
    return block(kFLID, body);
}

// ---- Whole files -----------------------------------------------------------

Database::Database(bool office2004)
    : m_bytes(zeros(512))
{
    putBe32(m_bytes, 0, office2004 ? 3 : 4);
    advanceScan();
}

void Database::advanceScan()
{
    while (m_next < m_bytes.size())
        m_next = scanStep(m_bytes, m_next, nullptr);
}

qint64 Database::add(const QByteArray& blockBytes)
{
    const qint64 gap = m_next - m_bytes.size();
    if (gap > 64 * 1024 * 1024)
        qFatal("testdb::Database::add: the previous block's size field points %lld bytes past the end; "
               "use addRaw to place bytes after it",
               gap);
    m_bytes += zeros(int(gap));
    const qint64 at = m_bytes.size();
    m_bytes += blockBytes;
    advanceScan();
    return at;
}

qint64 Database::addRaw(const QByteArray& bytes)
{
    const qint64 at = m_bytes.size();
    m_bytes += bytes;
    advanceScan();
    return at;
}

qint64 Database::addGarbage(int units512, quint32 seed)
{
    quint32 state = seed ? seed : 0x9E3779B9u;
    QByteArray noise(units512 * 512, '\0');
    for (int i = 0; i < noise.size(); ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        noise[i] = char(state >> 24);
    }
    for (int unit = 0; unit < units512; ++unit) {
        const int start = unit * 512;
        for (const int at : {start, start + 256})
            if (isScannedTag(noise.mid(at, 4)))
                noise[at] = '\0';
        // A well-formed header where the scanner never looks: a scanner that
        // examines the wrong positions decodes it.
        noise.replace(start + 300, 9, QByteArray(kMSrc) + QByteArray("\x00\x00\x01\xEC\x00", 5));
    }
    return add(noise);
}

bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    const bool written = QDir().mkpath(QFileInfo(path).absolutePath())
        && file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
    file.close();
    return written && file.error() == QFileDevice::NoError;
}

QList<ScannedBlock> scanBlocks(const QByteArray& file)
{
    QList<ScannedBlock> found;
    for (qint64 pos = 0; pos < file.size();) {
        bool isBlock = false;
        const qint64 next = scanStep(file, pos, &isBlock);
        if (isBlock)
            found << ScannedBlock{file.mid(int(pos), 4), pos, next - pos};
        pos = next;
    }
    return found;
}

} // namespace testdb
