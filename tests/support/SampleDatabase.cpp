#include "SampleDatabase.h"

#include "DescribedDatabase.h"

#include <QDir>
#include <QFileInfo>

namespace testdb {

namespace {

QByteArray describedOrFatal(const QString& path)
{
    QString error;
    const QByteArray bytes = describedDatabaseFile(path, &error);
    if (!error.isEmpty())
        qFatal("%s", qPrintable(error));
    return bytes;
}

} // namespace

QByteArray buildSampleDatabase()
{
    return describedOrFatal(QStringLiteral(ER_SAMPLE_DESCRIPTION));
}

QByteArray describedCase(const QString& name)
{
    return describedOrFatal(QFileInfo(QStringLiteral(ER_SAMPLE_DESCRIPTION)).dir().filePath(
        QStringLiteral("../cases/") + name + QStringLiteral(".db.txt")));
}

} // namespace testdb
