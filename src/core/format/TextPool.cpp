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
