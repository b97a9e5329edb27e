// The export command, driven through the real binary.

#include "SampleDatabase.h"
#include "CliRun.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace testdb;

namespace {

using ExportRun = ertest::CliRun;
using ertest::runCli;

void touch(const QString& path)
{
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
}

const QString kSample = QStringLiteral(ER_SAMPLE_DATABASE);
const QStringList kEntries = {QStringLiteral("Mail/Folder1.mbox"), QStringLiteral("contacts.vcf"),
                              QStringLiteral("calendar.ics"), QStringLiteral("notes.ics"), QStringLiteral("README.txt")};

} // namespace

TEST(CliExport, WritesTheExportAndReplacesOnlyWithReplace)
{
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("out dir")); // created when missing
    ExportRun r = runCli({QStringLiteral("export"), kSample, target});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("Mails: %1\nCalendars: %2\nNotes: %3\nContacts: %4\nTasks: %5\n")
                         .arg(kSampleMailCount)
                         .arg(kSampleEvents)
                         .arg(kSampleNotes)
                         .arg(kSampleContacts)
                         .arg(kSampleTasks));
    EXPECT_TRUE(r.err.startsWith(QStringLiteral("damage: "))) << "no progress line when stderr is no terminal";
    EXPECT_EQ(r.err.count('\n'), 1);
    for (const QString& entry : kEntries)
        EXPECT_GT(QFileInfo(target + '/' + entry).size(), 0) << entry.toStdString();
    EXPECT_FALSE(QFileInfo::exists(target + QStringLiteral("/Main Identity.rge"))) << "the bundle is another command";

    // Any one export entry makes the directory taken; the user's own files
    // there are never touched.
    touch(target + QStringLiteral("/Mail/marker"));
    touch(target + QStringLiteral("/mine.txt"));
    r = runCli({QStringLiteral("export"), kSample, target});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("already holds an export"))) << r.err.toStdString();
    EXPECT_TRUE(r.out.isEmpty()) << "refused before scanning";
    EXPECT_TRUE(QFileInfo::exists(target + QStringLiteral("/Mail/marker")));

    QTemporaryDir other;
    touch(other.filePath(QStringLiteral("README.txt")));
    EXPECT_EQ(runCli({QStringLiteral("export"), kSample, other.path()}).exitCode, 1);

    r = runCli({QStringLiteral("export"), QStringLiteral("--replace"), kSample, target});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(target + QStringLiteral("/Mail/marker")));
    EXPECT_TRUE(QFileInfo::exists(target + QStringLiteral("/mine.txt")));
    for (const QString& entry : kEntries)
        EXPECT_GT(QFileInfo(target + '/' + entry).size(), 0) << entry.toStdString();
}

TEST(CliExport, FailuresUsageAndNothingUsable)
{
    // DIRECTORY is a regular file: nothing can be written below it.
    QTemporaryDir dir;
    const QString notADir = dir.filePath(QStringLiteral("target"));
    touch(notADir);
    ExportRun r = runCli({QStringLiteral("export"), kSample, notADir});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("could not be written"))) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("  ") + notADir + QStringLiteral(": "))) << r.err.toStdString();

    for (const QStringList& args : {QStringList{QStringLiteral("export"), kSample},
                                    QStringList{QStringLiteral("export"), kSample, dir.path(), QStringLiteral("x")}}) {
        r = runCli(args);
        EXPECT_EQ(r.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(r.err.startsWith(QStringLiteral("Usage:")));
    }
    r = runCli({QStringLiteral("--help")});
    EXPECT_TRUE(r.out.contains(QStringLiteral("export DATABASE DIRECTORY [--replace]")));

    // Nothing usable in the file: exit 3 and no export.
    const QString junk = dir.filePath(QStringLiteral("junk"));
    QFile f(junk);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(2048, 'q'));
    f.close();
    const QString empty = dir.filePath(QStringLiteral("empty"));
    r = runCli({QStringLiteral("export"), junk, empty});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_FALSE(QFileInfo::exists(empty));
}
