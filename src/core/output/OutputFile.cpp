#include "output/OutputFile.h"

#include <QFileInfo>

#include <cerrno>
#include <cstring>

#if defined(Q_OS_UNIX)
#include <fcntl.h>
#include <unistd.h>
#endif
#if defined(Q_OS_LINUX) || defined(Q_OS_MACOS)
#include <sys/xattr.h>
#endif

namespace er {

QStringList missingFolders(const QString& folder)
{
    QStringList missing;
    for (QString dir = folder; !QFileInfo(dir).exists() && !QFileInfo(dir).isSymLink();) {
        missing.prepend(dir);
        const QString parent = QFileInfo(dir).path();
        if (parent == dir)
            break;
        dir = parent;
    }
    return missing;
}

bool createEmptyFile(const QString& path, SaveFailures& failures)
{
    if (path.isEmpty())
        return false;
    if (QFileInfo::exists(path))
        return true;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        failures.record(path, file.errorString());
        return false;
    }
    file.close();
    return true;
}

bool createWithFinderInfo(const QString& path, FinderCodes codes, SaveFailures& failures)
{
    if (QFileInfo::exists(path))
        return true;
    if (!createEmptyFile(path, failures))
        return false;
    setFinderInfo(path, codes);
    return true;
}

namespace {

// The 32-byte Finder information: type, creator, and zeros.
struct FinderInfo {
    char bytes[32];
    explicit FinderInfo(FinderCodes codes)
    {
        std::memset(bytes, 0, sizeof bytes);
        std::memcpy(bytes, codes.type, 4);
        std::memcpy(bytes + 4, codes.creator, 4);
    }
};

#if defined(Q_OS_MACOS)
const char kFinderInfoAttribute[] = "com.apple.FinderInfo";
#elif defined(Q_OS_LINUX)
const char kFinderInfoAttribute[] = "user.com.apple.FinderInfo";
#endif

} // namespace

void setFinderInfo(const QString& path, FinderCodes codes)
{
    const FinderInfo info(codes);
    const QByteArray name = QFile::encodeName(path);
    // Not every file system keeps extended attributes; the file is written
    // all the same.
#if defined(Q_OS_MACOS)
    setxattr(name.constData(), kFinderInfoAttribute, info.bytes, sizeof info.bytes, 0, 0);
#elif defined(Q_OS_LINUX)
    setxattr(name.constData(), kFinderInfoAttribute, info.bytes, sizeof info.bytes, 0);
#else
    Q_UNUSED(name);
#endif
}

bool writeNewFile(const QString& path, const QByteArray& bytes, FinderCodes codes, SaveFailures& failures)
{
#if defined(Q_OS_UNIX)
    // One open that creates the file or fails, the attribute set through the
    // open descriptor: a few calls per file instead of a path lookup each.
    // O_EXCL also refuses a link, even a dangling one: nothing is written
    // through it or over what is there.
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        failures.record(path, errno == EEXIST ? QStringLiteral("already exists; not written over")
                                              : QString::fromLocal8Bit(std::strerror(errno)));
        return true;
    }
    const FinderInfo info(codes);
#if defined(Q_OS_MACOS)
    fsetxattr(fd, kFinderInfoAttribute, info.bytes, sizeof info.bytes, 0, 0);
#elif defined(Q_OS_LINUX)
    fsetxattr(fd, kFinderInfoAttribute, info.bytes, sizeof info.bytes, 0);
#endif
    QFile file;
    if (!file.open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        failures.record(path, file.errorString());
        return true;
    }
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        failures.record(path, file.errorString());
        return true;
    }
    file.close();
    if (file.error() != QFileDevice::NoError)
        failures.record(path, file.errorString());
    return true;
#else
    Q_UNUSED(path);
    Q_UNUSED(bytes);
    Q_UNUSED(codes);
    Q_UNUSED(failures);
    return false;
#endif
}

AppendFile::AppendFile(const QString& path, SaveFailures& failures) : m_path(path), m_file(path), m_failures(failures)
{
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        fail(m_file.errorString());
}

AppendFile::~AppendFile()
{
    close();
}

bool AppendFile::write(const QByteArray& bytes)
{
    return write(bytes.constData(), bytes.size());
}

bool AppendFile::write(const char* bytes, qint64 n)
{
    if (m_failed || !m_file.isOpen())
        return false;
    while (n > 0) {
        if (m_piece.isEmpty() && n >= kPieceSize) {
            // Whole pieces straight from the caller's bytes.
            const qint64 whole = n / kPieceSize * kPieceSize;
            if (!writeOut(bytes, whole))
                return false;
            bytes += whole;
            n -= whole;
            continue;
        }
        if (m_piece.capacity() < kPieceSize)
            m_piece.reserve(static_cast<int>(kPieceSize));
        const qint64 room = qMin(n, kPieceSize - m_piece.size());
        m_piece.append(bytes, static_cast<int>(room));
        bytes += room;
        n -= room;
        if (m_piece.size() == kPieceSize && !flushPiece())
            return false;
    }
    return true;
}

bool AppendFile::writeOut(const char* bytes, qint64 n)
{
    if (m_file.write(bytes, n) != n) {
        fail(m_file.errorString());
        return false;
    }
    return true;
}

bool AppendFile::flushPiece()
{
    const bool ok = m_piece.isEmpty() || writeOut(m_piece.constData(), m_piece.size());
    m_piece.resize(0);
    return ok;
}

bool AppendFile::close()
{
    if (m_file.isOpen()) {
        // QFile::close() reports nothing: write what is gathered and flush
        // first to see a failed write (a full disk shows up here).
        if (!m_failed)
            flushPiece();
        if (!m_file.flush() && !m_failed)
            fail(m_file.errorString());
        m_file.close();
        if (m_file.error() != QFileDevice::NoError && !m_failed)
            fail(m_file.errorString());
    }
    return !m_failed;
}

void AppendFile::fail(const QString& reason)
{
    if (m_failed)
        return;
    m_failed = true;
    m_failures.record(m_path, reason);
}

} // namespace er
