// Drives the real entourage-repair binary as a user or a script would: what
// it prints, its exit status, and that it never writes over what is there
// without --replace.

#include "DatabaseBuilder.h"
#include "SampleDatabase.h"
#include "CliRun.h"
#include "../core/TestFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace testdb;

namespace {

using ertest::CliRun;

CliRun run(const QStringList& args) { return ertest::runCli(args); }

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    ertest::writeFile(dir.filePath(name), bytes);
    return dir.filePath(name);
}

void touch(const QString& path) { ertest::writeFile(path, QByteArray()); }

QString counts(int mails, int calendars, int notes, int contacts, int tasks)
{
    return QStringLiteral("Mails: %1\nCalendars: %2\nNotes: %3\nContacts: %4\nTasks: %5\n")
        .arg(mails)
        .arg(calendars)
        .arg(notes)
        .arg(contacts)
        .arg(tasks);
}

const QString kSample = QStringLiteral(ER_SAMPLE_DATABASE);
const QStringList kEntries = {QStringLiteral("Mail/Folder1.mbox"), QStringLiteral("contacts.vcf"),
                              QStringLiteral("calendar.ics"), QStringLiteral("notes.ics"), QStringLiteral("README.txt")};

} // namespace

// One run each: its exit status, its output, and what its error output
// names. Nothing is written for a file without anything usable. A scan
// says its damage in one line (no progress when the error output is no
// terminal) and in the report asked for.
TEST(Cli, ExitStatusAndMessages)
{
    QTemporaryDir dir;
    const QString report = dir.filePath(QStringLiteral("report.json"));
    const QString sampleCounts = counts(kSampleMailCount, kSampleEvents, kSampleNotes, kSampleContacts, kSampleTasks);
    Database db;
    db.add(flidBlock({{1, {}, QStringLiteral("Inbox")}}));
    db.add(mlrcBlock({1, 7}));
    db.add(msrcBlock(7, "Subject: x\r\r"));
    db.add(msrcBlock(8, "Subject: orphan\r\r")); // no record: an orphan
    db.add(mlrcBlock({1}));                        // no text: composed
    const QString generated = writeFile(dir, QStringLiteral("generated"), db.bytes());
    const QString empty = writeFile(dir, QStringLiteral("empty"), QByteArray());
    const QString junk = writeFile(dir, QStringLiteral("junk"), QByteArray(4096, 'z'));
    const QString file = writeFile(dir, QStringLiteral("a file"), "x"); // where a directory belongs
    const QString nowhere = dir.filePath(QStringLiteral("nowhere"));
    const QString nothing = QStringLiteral("The scanned file is either an invalid file or heavily damaged.\n");
    const struct {
        QStringList args;
        int exitCode;
        QString out;
        QStringList errHas;
    } rows[] = {
        {{"scan", kSample, "--report", report}, 0, sampleCounts,
         {QStringLiteral("damage: %1 rejected headers, 0 unreadable bytes, 0 mails without text, %2 orphaned mails, ")
              .arg(kSampleDamagedBlocks)
              .arg(kSampleOrphanedSummaries)}},
        {{"scan", generated}, 0, counts(3, 0, 0, 0, 0), {"damage: "}},
        {{"scan", empty}, 3, "", {nothing}},
        {{"scan", junk}, 3, "", {nothing}},
        {{"save", junk, nowhere}, 3, "", {nothing}},
        {{"export", junk, nowhere}, 3, "", {nothing}},
        {{"scan", "/no/such/dir/Database"}, 1, "", {"/no/such/dir/Database", "No such file"}},
        {{"save", kSample, file}, 1, sampleCounts, {"could not be written", "  " + file + ": "}},
        {{"export", kSample, file}, 1, sampleCounts, {"could not be written", "  " + file + ": "}},
        {{}, 2, "", {"Usage:"}},
        {{"scan"}, 2, "", {"Usage:"}},
        {{"frobnicate", "x"}, 2, "", {"Usage:"}},
        {{"scan", "a", "b"}, 2, "", {"Usage:"}},
        {{"export", kSample}, 2, "", {"Usage:"}},
        {{"export", kSample, dir.path(), "x"}, 2, "", {"Usage:"}},
    };
    for (const auto& row : rows) {
        const CliRun r = run(row.args);
        const std::string what = row.args.join(' ').toStdString();
        EXPECT_EQ(r.exitCode, row.exitCode) << what << "\n" << r.err.toStdString();
        EXPECT_EQ(r.out, row.out) << what;
        for (const QString& part : row.errHas)
            EXPECT_TRUE(r.err.contains(part)) << what << ": " << r.err.toStdString();
        if (row.args.startsWith(QStringLiteral("scan")) && row.exitCode == 0) {
            EXPECT_EQ(r.err.count('\n'), 1) << what << ": " << r.err.toStdString();
        }
    }
    QFile reportFile(report);
    ASSERT_TRUE(reportFile.open(QIODevice::ReadOnly));
    const QJsonObject json = QJsonDocument::fromJson(reportFile.readAll()).object();
    EXPECT_EQ(json.value(QStringLiteral("rejected_headers")).toInt(), kSampleDamagedBlocks);
    const QJsonObject texts = json.value(QStringLiteral("regions")).toObject().value(QStringLiteral("mail_texts")).toObject();
    EXPECT_EQ(texts.value(QStringLiteral("count")).toInt(), kSampleSummaries);
    EXPECT_FALSE(texts.value(QStringLiteral("runs")).toArray().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(nowhere)) << "nothing usable, nothing written";

    const CliRun help = run({QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* part : {"scan DATABASE", "export DATABASE DIRECTORY [--replace]", "Exit status"})
        EXPECT_TRUE(help.out.contains(QLatin1String(part))) << part;
}

// Each writing command makes its missing directory, refuses one that
// already holds its output (before scanning, the user's own files there
// untouched), and with --replace writes it anew.
TEST(CliWrite, WritesAndReplacesOnlyWithReplace)
{
    const struct {
        QString command;
        QStringList written;  // below the directory
        QString notWritten;   // the other command's output
        QString taken;        // an entry that makes the directory taken
        QString refusal;
    } rows[] = {
        {"save", {"Main Identity.rge/Archive.xml"}, "Mail", "Main Identity.rge/marker", "already exists"},
        {"export", kEntries, "Main Identity.rge", "Mail/marker", "already holds an export"},
    };
    const QString counted = counts(kSampleMailCount, kSampleEvents, kSampleNotes, kSampleContacts, kSampleTasks);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.command.toStdString());
        QTemporaryDir dir;
        const QString target = dir.filePath(QStringLiteral("out dir")); // made when missing
        const auto expectWritten = [&] {
            for (const QString& entry : row.written)
                EXPECT_GT(QFileInfo(target + '/' + entry).size(), 0) << entry.toStdString();
            EXPECT_FALSE(QFileInfo::exists(target + '/' + row.notWritten));
        };
        CliRun r = run({row.command, kSample, target});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_EQ(r.out, counted);
        expectWritten();

        touch(target + '/' + row.taken);
        touch(target + QStringLiteral("/mine.txt"));
        r = run({row.command, kSample, target});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_TRUE(r.err.contains(row.refusal)) << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty()) << "refused before scanning";
        EXPECT_TRUE(QFileInfo::exists(target + '/' + row.taken));

        r = run({row.command, QStringLiteral("--replace"), kSample, target});
        EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
        EXPECT_FALSE(QFileInfo::exists(target + '/' + row.taken));
        EXPECT_TRUE(QFileInfo::exists(target + QStringLiteral("/mine.txt")));
        expectWritten();
    }
    // Any one export entry makes a directory taken.
    QTemporaryDir other;
    touch(other.filePath(QStringLiteral("README.txt")));
    EXPECT_EQ(run({QStringLiteral("export"), kSample, other.path()}).exitCode, 1);
}
