#include "output/OutputFile.h"

#include <QFileInfo>

#include <cstring>

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

void setFinderInfo(const QString& path, FinderCodes codes)
{
    char info[32];
    std::memset(info, 0, sizeof info);
    std::memcpy(info, codes.type, 4);
    std::memcpy(info + 4, codes.creator, 4);
    const QByteArray name = QFile::encodeName(path);
#if defined(Q_OS_MACOS)
    setxattr(name.constData(), "com.apple.FinderInfo", info, sizeof info, 0, 0);
#elif defined(Q_OS_LINUX)
    // Not every file system keeps extended attributes; the file is written
    // all the same.
    setxattr(name.constData(), "user.com.apple.FinderInfo", info, sizeof info, 0);
#else
    Q_UNUSED(name);
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
