#include "format/DatabaseFile.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace er {

bool openDatabase(const QString& path, QFile& file, qint64* size, QString* reason)
{
    file.close();
    *size = 0;
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a
    // writer forever.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *reason = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !(S_ISREG(info.st_mode) || S_ISBLK(info.st_mode))) {
        ::close(fd);
        *reason = S_ISDIR(info.st_mode) ? QStringLiteral("it is a folder, not a database file")
                                        : QStringLiteral("it is neither a regular file nor a disk device");
        return false;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    // A device's size is where its end lies; stat says 0 for it.
    const off_t end = S_ISBLK(info.st_mode) ? ::lseek(fd, 0, SEEK_END) : info.st_size;
    if (end < 0 || ::lseek(fd, 0, SEEK_SET) != 0
        || !file.open(fd, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        *reason = QString::fromLocal8Bit(std::strerror(errno));
        ::close(fd);
        return false;
    }
    *size = end;
    return true;
}

bool DatabaseFile::open(const QString& path)
{
    m_error.clear();
    return openDatabase(path, m_file, &m_size, &m_error);
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
    QByteArray data;
    readInto(offset, length, &data);
    return data;
}

quint64 DatabaseFile::readInto(quint64 offset, quint64 length, QByteArray* out)
{
    out->resize(0);
    if (!isOpen() || offset >= static_cast<quint64>(qMax<qint64>(0, m_size)))
        return 0;
    const quint64 available = static_cast<quint64>(m_size) - offset;
    const quint64 wanted = qMin<quint64>(qMin(length, available), std::numeric_limits<int>::max());
    if (wanted == 0)
        return 0;
#if defined(Q_OS_UNIX)
    // Positioned reads: one call per piece, no seek before it. The array
    // keeps its storage when it is large enough (resize never shrinks it);
    // a new one is allocated to the size wanted, no more.
    if (static_cast<quint64>(out->capacity()) < wanted || !out->isDetached())
        *out = QByteArray(static_cast<int>(wanted), Qt::Uninitialized);
    else
        out->resize(static_cast<int>(wanted));
    qint64 got = 0;
    while (got < static_cast<qint64>(wanted)) {
        const ssize_t n = ::pread(m_file.handle(), out->data() + got, static_cast<size_t>(wanted) - got,
                                  static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += n;
    }
    out->resize(static_cast<int>(got));
    return static_cast<quint64>(got);
#else
    if (!m_file.seek(static_cast<qint64>(offset)))
        return 0;
    *out = m_file.read(static_cast<qint64>(wanted));
    return static_cast<quint64>(out->size());
#endif
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
