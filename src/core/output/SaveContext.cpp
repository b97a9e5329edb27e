#include "output/SaveContext.h"

#include <QFile>
#include <QFileInfo>

#if defined(Q_OS_UNIX)
#include <sys/stat.h>
#endif

namespace er {

namespace {

// Whether nothing, not even a dangling link, is at the path.
bool nothingAt(const QString& path)
{
#if defined(Q_OS_UNIX)
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) != 0;
#else
    return !QFileInfo::exists(path) && !QFileInfo(path).isSymLink();
#endif
}

} // namespace

QString bundlePath(const QString& saveDir)
{
    return saveDir + QStringLiteral("/Main Identity.rge");
}

void SaveFailures::record(const QString& path, const QString& reason)
{
    ++m_count;
    if (m_first.size() < kPathsKept)
        m_first.append(reason.isEmpty() ? path : path + QStringLiteral(": ") + reason);
}

QString ItemFileNames::claim(const QString& dir, const QString& name)
{
    // Each name remembers the next suffix to try, so that a million items
    // sharing one name cost a million steps, not a million squared.
    const QString base = dir + QLatin1Char('/') + name;
    int& next = m_nextSuffix[base]; // 0: the plain name is still to be tried
    QString path;
    do {
        path = next == 0 ? base : base + QLatin1Char('-') + QString::number(next);
        next = next == 0 ? 2 : next + 1;
    } while (m_taken.contains(path) || !nothingAt(path));
    m_taken.insert(path);
    return path;
}

} // namespace er
