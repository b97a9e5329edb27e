#pragma once
// Runs a checker script of tests/support over written files with
// /usr/bin/python3 and returns what it printed.

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

// The JSON array the script prints for the paths, one entry per path. An
// entry with a non-empty "error" or "exception" fails the test.
inline QJsonArray pythonCheck(const char* script, const QStringList& paths)
{
    QProcess python;
    const QString checker =
        QFileInfo(QStringLiteral(__FILE__)).dir().filePath(QStringLiteral("../support/") + QLatin1String(script));
    python.start(QStringLiteral("/usr/bin/python3"), QStringList{checker} + paths);
    EXPECT_TRUE(python.waitForFinished(120000));
    EXPECT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    const QJsonArray files = QJsonDocument::fromJson(python.readAllStandardOutput()).array();
    EXPECT_EQ(files.size(), paths.size());
    for (const QJsonValue file : files)
        for (const char* key : {"error", "exception"})
            EXPECT_TRUE(file[QLatin1String(key)].toString().isEmpty())
                << QJsonDocument(file.toObject()).toJson().constData();
    return files;
}

} // namespace ertest

#define ERTEST_REQUIRE_PYTHON(modules)                                                                                 \
    if (!ertest::pythonRuns(QStringLiteral("import " modules)))                                                        \
    GTEST_SKIP() << "/usr/bin/python3 with " modules " is not installed"
