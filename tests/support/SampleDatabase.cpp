#include "SampleDatabase.h"

#include "DatabaseBuilder.h"
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

QList<SampleFolder> sampleFolders()
{
    constexpr quint32 kNoParent = 0xFFFFFFFEu;
    return {
        {7, kNoParent, QStringLiteral("On My Computer"), 0},
        {1, 7, QStringLiteral("Inbox"), 14},
        {2, 7, QStringLiteral("Outbox"), 0},
        {3, 7, QStringLiteral("Sent Items"), 8},
        {4, 7, QStringLiteral("Drafts"), 1},
        {5, 7, QStringLiteral("Deleted Items"), 3},
        {6, 7, QStringLiteral("Junk E-mail"), 0},
        {101, 7, QStringLiteral("Projects"), 6},
        {102, 101, QStringLiteral("Budget 2008"), 4},
        {103, 101, QStringLiteral("Q1/Q2 Reports"), 3},
        {104, 1, QStringLiteral("Family"), 4},
        {105, 101, QString::fromUtf8("Z\u00fcrich Office"), 1},
        {kSampleAccountFolderId, kNoParent, QString::fromLatin1(kSampleAccountName), 0},
        {201, kSampleAccountFolderId, QStringLiteral("Inbox"), 4},
        {100000, kNoParent, QStringLiteral("Folder1"), kSampleOrphanedSummaries},
    };
}

} // namespace testdb
