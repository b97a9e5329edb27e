#pragma once
// Reading back what a test wrote.

#include <QByteArray>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QStringList>

#include "DatabaseBuilder.h"

#include <gtest/gtest.h>

namespace ertest {

// The file's bytes; "<missing>" when it cannot be read, so that a comparison
// fails visibly.
inline QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Writes the bytes to the path, making its folder; a failure fails the test.
inline void writeFile(const QString& path, const QByteArray& bytes = "x")
{
    EXPECT_TRUE(testdb::writeBytes(path, bytes)) << path.toStdString();
}

// The lines of a CR LF text file, checking on the way that every line ends
// in CR LF and that no zero byte is in the file.
inline QList<QByteArray> crlfLines(const QByteArray& file)
{
    EXPECT_TRUE(file.endsWith("\r\n"));
    EXPECT_FALSE(file.contains('\0'));
    QList<QByteArray> lines = file.split('\n');
    lines.removeLast();
    for (QByteArray& line : lines) {
        EXPECT_TRUE(line.endsWith('\r')) << line.constData();
        line.chop(1);
    }
    return lines;
}

// Every mailbox file below a folder, one after the other.
inline QByteArray allMailboxes(const QString& root)
{
    QByteArray all;
    QDirIterator it(root, {QStringLiteral("*.mbox")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        all += readFile(it.next());
    return all;
}

} // namespace ertest
