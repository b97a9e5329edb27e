#pragma once
// Runs the real entourage-repair binary as a user or a script would.

#include <QProcess>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

namespace ertest {

struct CliRun {
    int exitCode = -1;
    QString out;
    QString err;
};

inline CliRun runCli(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral(ER_CLI_PATH), args);
    EXPECT_TRUE(p.waitForFinished(120000));
    CliRun r;
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

} // namespace ertest
