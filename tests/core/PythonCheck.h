#pragma once
// Reads written files back with tests/support/read_back.py, whose readers
// (Python's email package, vobject, icalendar) are independent of ours.

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringList>

#include <gtest/gtest.h>

namespace ertest {

// Whether /usr/bin/python3 can run the statement (an import).
inline bool pythonRuns(const QString& statement)
{
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), statement});
    return python.waitForFinished(60000) && python.exitStatus() == QProcess::NormalExit && python.exitCode() == 0;
}

// What the reader of `kind` (mbox, eml, vcard, ical: see read_back.py)
// saw in each path, one object per path. An object with an "error" fails the
// test.
inline QJsonArray readBack(const char* kind, const QStringList& paths)
{
    QProcess python;
    const QString script =
        QFileInfo(QStringLiteral(__FILE__)).dir().filePath(QStringLiteral("../support/read_back.py"));
    python.start(QStringLiteral("/usr/bin/python3"), QStringList{script, QLatin1String(kind)} + paths);
    EXPECT_TRUE(python.waitForFinished(120000));
    EXPECT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    const QJsonArray files = QJsonDocument::fromJson(python.readAllStandardOutput()).array();
    EXPECT_EQ(files.size(), paths.size());
    for (const QJsonValue file : files)
        EXPECT_FALSE(file.toObject().contains(QLatin1String("error")))
            << QJsonDocument(file.toObject()).toJson().constData();
    return files;
}

} // namespace ertest

#define ERTEST_REQUIRE_PYTHON(modules)                                                                                 \
    if (!ertest::pythonRuns(QStringLiteral("import " modules)))                                                        \
    GTEST_SKIP() << "/usr/bin/python3 with " modules " is not installed"
