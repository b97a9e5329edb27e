#include "format/TextPool.h"

#include "format/ByteOrder.h"
#include "format/PropertyText.h"

namespace er {

char* TextPool::room(quint64 n, TextRef& ref)
{
    if (n > kMaxSize - m_bytes.size())
        throw std::bad_alloc();
    ref.offset = m_bytes.size();
    ref.length = n;
    return m_bytes.extend(n);
}

TextRef TextPool::add(const char* data, quint64 n, TextKind kind)
{
    TextRef ref;
    ref.kind = static_cast<quint64>(kind);
    n = qMin(n, kMaxLength);
    if (n == 0 || !data)
        return ref;
    std::memcpy(room(n, ref), data, n);
    return ref;
}

TextRef TextPool::addWide(const unsigned char* data, quint64 n)
{
    n = qMin(n / 2, kMaxLength / 2);
    bool narrow = true;
    for (quint64 i = 0; i < n && narrow; ++i)
        narrow = data[2 * i] == 0;
    if (!narrow)
        return add(reinterpret_cast<const char*>(data), 2 * n, TextKind::Utf16BE);
    TextRef ref;
    ref.kind = static_cast<quint64>(TextKind::Latin1);
    if (n == 0)
        return ref;
    char* out = room(n, ref);
    for (quint64 i = 0; i < n; ++i)
        out[i] = static_cast<char>(data[2 * i + 1]);
    return ref;
}

TextRef TextPool::addText(const QString& text)
{
    QByteArray wide;
    wide.reserve(2 * text.size());
    for (const QChar c : text) {
        wide.append(static_cast<char>(c.unicode() >> 8));
        wide.append(static_cast<char>(c.unicode() & 0xFF));
    }
    return addWide(reinterpret_cast<const unsigned char*>(wide.constData()), static_cast<quint64>(wide.size()));
}

namespace {

// UTF-8 bytes of the code units from p, NUL units skipped (as if removed
// first); -1 when a surrogate is unpaired.
qint64 utf8LengthOfUtf16BE(const unsigned char* p, quint64 units)
{
    qint64 length = 0;
    quint16 high = 0;
    for (quint64 i = 0; i < units; ++i) {
        const quint16 u = static_cast<quint16>((p[2 * i] << 8) | p[2 * i + 1]);
        if (u == 0)
            continue;
        if (high) {
            if (u < 0xDC00 || u > 0xDFFF)
                return -1;
            high = 0;
            length += 4;
        } else if (u >= 0xD800 && u <= 0xDBFF) {
            high = u;
        } else if (u >= 0xDC00 && u <= 0xDFFF) {
            return -1;
        } else {
            length += u < 0x80 ? 1 : u < 0x800 ? 2 : 3;
        }
    }
    return high ? -1 : length;
}

} // namespace

TextRef TextPool::addUtf8OfUtf16BE(const unsigned char* data, quint64 n)
{
    const quint64 units = data ? n / 2 : 0;
    const qint64 length = utf8LengthOfUtf16BE(data, units);
    if (length < 0) {
        // Unpaired surrogates are rare: the general conversion handles them.
        const QByteArray text = utf16BEToUtf8(data, static_cast<unsigned long>(units * 2));
        return add(text, TextKind::EightBit);
    }
    TextRef ref;
    ref.kind = static_cast<quint64>(TextKind::EightBit);
    if (length == 0 || static_cast<quint64>(length) > kMaxLength)
        return length == 0 ? ref : add(utf16BEToUtf8(data, static_cast<unsigned long>(units * 2)), TextKind::EightBit);
    auto* out = reinterpret_cast<unsigned char*>(room(static_cast<quint64>(length), ref));
    quint32 high = 0;
    for (quint64 i = 0; i < units; ++i) {
        const quint32 u = static_cast<quint32>((data[2 * i] << 8) | data[2 * i + 1]);
        if (u == 0)
            continue;
        if (u >= 0xD800 && u <= 0xDBFF) {
            high = u;
            continue;
        }
        quint32 c = u;
        if (high) {
            c = 0x10000 + ((high - 0xD800) << 10) + (u - 0xDC00);
            high = 0;
        }
        if (c < 0x80) {
            *out++ = static_cast<unsigned char>(c);
        } else if (c < 0x800) {
            *out++ = static_cast<unsigned char>(0xC0 | (c >> 6));
            *out++ = static_cast<unsigned char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            *out++ = static_cast<unsigned char>(0xE0 | (c >> 12));
            *out++ = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
            *out++ = static_cast<unsigned char>(0x80 | (c & 0x3F));
        } else {
            *out++ = static_cast<unsigned char>(0xF0 | (c >> 18));
            *out++ = static_cast<unsigned char>(0x80 | ((c >> 12) & 0x3F));
            *out++ = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
            *out++ = static_cast<unsigned char>(0x80 | (c & 0x3F));
        }
    }
    return ref;
}

QByteArray TextPool::bytes(TextRef ref) const
{
    return ref.length ? QByteArray(data(ref), static_cast<int>(ref.length)) : QByteArray();
}

QString TextPool::text(TextRef ref) const
{
    if (!ref.length)
        return QString();
    switch (ref.textKind()) {
    case TextKind::EightBit: return eightBitText(bytes(ref));
    case TextKind::Utf16BE:
        return decodeUtf16BEUpToNul(reinterpret_cast<const unsigned char*>(data(ref)), static_cast<qint64>(ref.length));
    case TextKind::Latin1:
    case TextKind::Bytes: break;
    }
    return QString::fromLatin1(data(ref), static_cast<int>(ref.length));
}

} // namespace er
