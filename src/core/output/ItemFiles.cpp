#include "output/ItemFiles.h"

#include "format/ByteOrder.h"

#include <QFileInfo>

namespace er {

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
    } while (m_taken.contains(path) || QFileInfo::exists(path) || QFileInfo(path).isSymLink());
    m_taken.insert(path);
    return path;
}

QByteArray dashedUid(const QByteArray& guid)
{
    QByteArray out;
    out.reserve(guid.size() * 2 + 4);
    for (int i = 0; i < guid.size(); ++i) {
        out += Bytes2Hex(static_cast<unsigned char>(guid[i]));
        if (i == 3 || i == 5 || i == 7 || i == 9)
            out += '-';
    }
    return out;
}

QByteArray uidOf(const std::optional<QByteArray>& guid, quint64 length)
{
    if (!guid || length == 0)
        return QByteArray();
    // Bytes the file did not hold were never stored: they read as zeros.
    QByteArray bytes = *guid;
    const int width = static_cast<int>(qMin<quint64>(length, 16));
    if (bytes.size() < width)
        bytes.append(QByteArray(width - bytes.size(), '\0'));
    return dashedUid(bytes);
}

QByteArray withoutZeroBytes(const QByteArray& text)
{
    QByteArray out = text;
    out.replace('\0', QByteArray());
    return out;
}

QByteArray crAsBackslashN(const QByteArray& text)
{
    QByteArray out = withoutZeroBytes(text);
    out.replace('\r', QByteArrayLiteral("\\n"));
    return out;
}

QString itemFilePath(SaveContext& context, const QString& dir, const std::optional<QByteArray>& guid)
{
    return context.itemFileNames.claim(dir, guidFileName(guid.value_or(QByteArray())));
}

bool writeItemFile(const QString& path, const QByteArray& bytes, FinderCodes codes, SaveFailures& failures)
{
    if (!createWithFinderInfo(path, codes, failures))
        return false;
    AppendFile file(path, failures);
    file.write(bytes);
    return file.close();
}

} // namespace er
