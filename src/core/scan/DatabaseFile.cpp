#include "scan/DatabaseFile.h"

namespace er {

bool DatabaseFile::open(const QString& path)
{
    m_file.close();
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::ReadOnly)) {
        m_size = 0;
        return false;
    }
    m_size = m_file.size();
    return true;
}

bool DatabaseFile::holds(quint64 offset, quint64 length) const
{
    const quint64 size = static_cast<quint64>(qMax<qint64>(0, m_size));
    return offset <= size && length <= size - offset;
}

bool DatabaseFile::readExactly(quint64 offset, quint64 length, QByteArray* out)
{
    if (!isOpen() || !holds(offset, length) || length > static_cast<quint64>(std::numeric_limits<int>::max()))
        return false;
    const QByteArray data = readUpTo(offset, length);
    if (static_cast<quint64>(data.size()) != length)
        return false;
    if (out)
        *out = data;
    return true;
}

QByteArray DatabaseFile::readUpTo(quint64 offset, quint64 length)
{
    if (!isOpen() || offset >= static_cast<quint64>(qMax<qint64>(0, m_size)))
        return QByteArray();
    const quint64 available = static_cast<quint64>(m_size) - offset;
    const quint64 wanted = qMin<quint64>(qMin(length, available), std::numeric_limits<int>::max());
    if (wanted == 0 || !m_file.seek(static_cast<qint64>(offset)))
        return QByteArray();
    QByteArray data = m_file.read(static_cast<qint64>(wanted));
    return data;
}

bool DatabaseFile::readU32(quint64 offset, quint32* out)
{
    QByteArray b;
    if (!readExactly(offset, 4, &b))
        return false;
    const auto* p = reinterpret_cast<const unsigned char*>(b.constData());
    *out = (quint32(p[0]) << 24) | (quint32(p[1]) << 16) | (quint32(p[2]) << 8) | p[3];
    return true;
}

} // namespace er
