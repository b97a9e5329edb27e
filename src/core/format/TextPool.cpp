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
    ref.offset = m_bytes.size();
    ref.length = n;
    char* out = m_bytes.extend(n);
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
