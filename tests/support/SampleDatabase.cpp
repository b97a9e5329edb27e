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

QString caseFile(const QString& name)
{
    return QFileInfo(QStringLiteral(ER_SAMPLE_DESCRIPTION)).dir().filePath(QStringLiteral("../cases/") + name);
}

QByteArray describedCase(const QString& name)
{
    return describedOrFatal(caseFile(name + QStringLiteral(".db.txt")));
}

} // namespace testdb
