#include "format/TextPool.h"

#include "format/ByteOrder.h"
#include "format/PropertyText.h"

namespace er {

TextRef TextPool::add(const char* data, quint64 n, TextKind kind)
{
    TextRef ref;
    ref.kind = static_cast<quint64>(kind);
    n = qMin(n, kMaxLength);
    if (n == 0 || !data)
        return ref;
    ref.offset = m_bytes.size();
    ref.length = n;
    std::memcpy(m_bytes.extend(n), data, n);
    return ref;
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
    ref.offset = m_bytes.size();
    ref.length = static_cast<quint64>(length);
    auto* out = reinterpret_cast<unsigned char*>(m_bytes.extend(static_cast<size_t>(length)));
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
    case TextKind::Bytes: break;
    }
    return QString::fromLatin1(data(ref), static_cast<int>(ref.length));
}

} // namespace er
