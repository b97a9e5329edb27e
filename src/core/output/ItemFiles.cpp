#include "output/ItemFiles.h"

#include "format/ByteOrder.h"
#include "format/PropertyText.h"

#include <QFileInfo>

namespace er {

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
    const int before = failures.count();
    if (writeNewFile(path, bytes, codes, failures))
        return failures.count() == before;
    if (!createWithFinderInfo(path, codes, failures))
        return false;
    AppendFile file(path, failures);
    file.write(bytes);
    return file.close();
}

} // namespace er
