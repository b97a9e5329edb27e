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
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append))
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
    if (n > 0 && m_file.write(bytes, n) != n) {
        fail(m_file.errorString());
        return false;
    }
    return true;
}

bool AppendFile::close()
{
    if (m_file.isOpen()) {
        // QFile::close() reports nothing: flush first to see a failed write
        // (a full disk shows up here).
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
