// Drives the real entourage-repair binary as a user or a script would.

#include "DatabaseBuilder.h"
#include "SampleDatabase.h"
#include "CliRun.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace testdb;

namespace {

using ertest::CliRun;

CliRun run(const QStringList& args) { return ertest::runCli(args); }

QString writeDatabase(const QTemporaryDir& dir, const QByteArray& bytes)
{
    const QString path = dir.filePath(QStringLiteral("Database"));
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
    return path;
}

QString counts(int mails, int calendars, int notes, int contacts, int tasks)
{
    return QStringLiteral("Mails: %1\nCalendars: %2\nNotes: %3\nContacts: %4\nTasks: %5\n")
        .arg(mails)
        .arg(calendars)
        .arg(notes)
        .arg(contacts)
        .arg(tasks);
}

} // namespace

TEST(CliScan, PrintsTheFiveCountsOfTheSampleAndItsDamage)
{
    QTemporaryDir dir;
    const QString report = dir.filePath(QStringLiteral("report.json"));
    const CliRun r = run({QStringLiteral("scan"), QStringLiteral(ER_SAMPLE_DATABASE), QStringLiteral("--report"), report});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, counts(kSampleMailCount, kSampleEvents, kSampleNotes, kSampleContacts, kSampleTasks));
    // No progress line when stderr is no terminal: the damage line alone.
    EXPECT_TRUE(r.err.startsWith(QStringLiteral("damage: %1 rejected headers, 0 unreadable bytes, 0 mails without "
                                                "text, %2 orphaned mails, ")
                                     .arg(kSampleDamagedBlocks)
                                     .arg(kSampleOrphanedSummaries)))
        << r.err.toStdString();
    EXPECT_EQ(r.err.count('\n'), 1);
    QFile reportFile(report);
    ASSERT_TRUE(reportFile.open(QIODevice::ReadOnly));
    const QJsonObject json = QJsonDocument::fromJson(reportFile.readAll()).object();
    EXPECT_EQ(json.value(QStringLiteral("rejected_headers")).toInt(), kSampleDamagedBlocks);
    const QJsonObject texts = json.value(QStringLiteral("regions")).toObject().value(QStringLiteral("mail_texts")).toObject();
    EXPECT_EQ(texts.value(QStringLiteral("count")).toInt(), kSampleSummaries);
    EXPECT_FALSE(texts.value(QStringLiteral("runs")).toArray().isEmpty());
}

TEST(CliScan, CountsOfAGeneratedDatabase)
{
    Database db;
    db.add(flidBlock({{1, {}, QStringLiteral("Inbox")}}));
    MailRecordBlock withText;
    withText.folderId = 1;
    withText.mailId = 7;
    db.add(mlrcBlock(withText));
    db.add(msrcBlock(7, "Subject: x\r\r"));
    db.add(msrcBlock(8, "Subject: orphan\r\r"));
    MailRecordBlock textless;
    textless.folderId = 1;
    db.add(mlrcBlock(textless));
    QTemporaryDir dir;
    const CliRun r = run({QStringLiteral("scan"), writeDatabase(dir, db.bytes())});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, counts(3, 0, 0, 0, 0));
}

TEST(CliScan, NothingUsable)
{
    QTemporaryDir dir;
    for (const QByteArray& bytes : {QByteArray(), QByteArray(4096, 'z')}) {
        const CliRun r = run({QStringLiteral("scan"), writeDatabase(dir, bytes)});
        EXPECT_EQ(r.exitCode, 3);
        EXPECT_TRUE(r.out.isEmpty());
        EXPECT_EQ(r.err, QStringLiteral("The scanned file is either an invalid file or heavily damaged.\n"));
    }
}

TEST(CliScan, UnopenableFileNamesThePathAndReason)
{
    const CliRun r = run({QStringLiteral("scan"), QStringLiteral("/no/such/dir/Database")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_TRUE(r.err.contains(QStringLiteral("/no/such/dir/Database"))) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("No such file"))) << r.err.toStdString();
}

TEST(CliUsage, WrongUsageAndHelp)
{
    for (const QStringList& args : {QStringList(), QStringList{QStringLiteral("scan")},
                                    QStringList{QStringLiteral("frobnicate"), QStringLiteral("x")},
                                    QStringList{QStringLiteral("scan"), QStringLiteral("a"), QStringLiteral("b")}}) {
        const CliRun r = run(args);
        EXPECT_EQ(r.exitCode, 2) << args.join(QLatin1Char(' ')).toStdString();
        EXPECT_TRUE(r.err.startsWith(QStringLiteral("Usage:")));
        EXPECT_TRUE(r.out.isEmpty());
    }
    const CliRun help = run({QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains(QStringLiteral("scan DATABASE")));
    EXPECT_TRUE(help.out.contains(QStringLiteral("Exit status")));
}

namespace {

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

TEST(CliSave, WritesTheBundleAndRefusesToOverwriteIt)
{
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("out dir")); // created when missing
    const QString bundle = target + QStringLiteral("/Main Identity.rge");
    const QString sample = QStringLiteral(ER_SAMPLE_DATABASE);

    CliRun r = run({QStringLiteral("save"), sample, target});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, counts(kSampleMailCount, kSampleEvents, kSampleNotes, kSampleContacts, kSampleTasks));
    EXPECT_EQ(fileBytes(bundle + QStringLiteral("/Contents/PkgInfo")), QByteArray("rge OPIM"));
    EXPECT_FALSE(fileBytes(bundle + QStringLiteral("/Mail/Folder1/Folder1.mbox")).isEmpty());

    // An existing bundle is left alone without --replace.
    QFile marker(bundle + QStringLiteral("/marker"));
    ASSERT_TRUE(marker.open(QIODevice::WriteOnly));
    marker.close();
    r = run({QStringLiteral("save"), sample, target});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("already exists"))) << r.err.toStdString();
    EXPECT_TRUE(QFileInfo::exists(marker.fileName()));

    // --replace removes the old bundle completely first.
    r = run({QStringLiteral("save"), QStringLiteral("--replace"), sample, target});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(marker.fileName()));
    EXPECT_TRUE(QFileInfo::exists(bundle + QStringLiteral("/Archive.xml")));
}

TEST(CliSave, NothingUsableWritesNoBundle)
{
    QTemporaryDir dir;
    const CliRun r = run({QStringLiteral("save"), writeDatabase(dir, QByteArray(2048, 'q')), dir.path()});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("Main Identity.rge"))));
}

TEST(CliSave, UnwritableOutputIsAFailureWithItsPath)
{
    // DIRECTORY is a regular file: nothing can be written below it.
    QTemporaryDir dir;
    QFile notADir(dir.filePath(QStringLiteral("target")));
    ASSERT_TRUE(notADir.open(QIODevice::WriteOnly));
    notADir.close();
    const CliRun r = run({QStringLiteral("save"), QStringLiteral(ER_SAMPLE_DATABASE), notADir.fileName()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains(QStringLiteral("could not be written"))) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("  ") + notADir.fileName() + QStringLiteral(": "))) << r.err.toStdString();
}
