#pragma once
// Runs the real scanner over bytes made by the database builder.

#include "archive/BlockScanner.h"
#include "archive/ScanState.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace ertest {

inline er::ScanOutcome scanBytes(const QByteArray& file, er::ScanState& state, const er::ScanHooks& hooks = {})
{
    QTemporaryDir dir;
    EXPECT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("Database"));
    QFile out(path);
    EXPECT_TRUE(out.open(QIODevice::WriteOnly));
    EXPECT_EQ(out.write(file), file.size());
    out.close();
    return er::scanDatabase(path, state, hooks);
}

// A database written to a private directory and scanned; the file stays
// for the reads that come after the scan.
struct ScannedDatabase {
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("Database"));
    er::ScanState state;

    explicit ScannedDatabase(const QByteArray& bytes)
    {
        QFile out(path);
        EXPECT_TRUE(out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size());
        out.close();
        EXPECT_EQ(er::scanDatabase(path, state).kind, er::ScanOutcome::Completed);
    }
};

} // namespace ertest
