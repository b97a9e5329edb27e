// What a run checks before it writes: only its own earlier output is ever
// taken for replacing, never the database it reads; any file, folder or link
// at the output path counts as taken; a disk too full is said before
// writing; temporaries of killed runs are reported; a database that is no
// regular file or disk is refused without blocking.

#include "../ScanTestSupport.h"
#include "../TestFiles.h"

#include "SampleDatabase.h"
#include "archive/BundleLayout.h"
#include "archive/OutputRun.h"
#include "archive/BlockScanner.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace er;
using ertest::writeFile;

TEST(OutputRun, VerdictsBeforeWriting)
{
    QTemporaryDir db;
    const QString database = db.filePath(QStringLiteral("Database"));
    writeFile(database, testdb::buildSampleDatabase());
    const auto bundle = OutputFormat::Bundle;
    const auto portable = OutputFormat::PortableExport;
    const struct {
        const char* what;
        OutputFormat format;
        std::function<void(const QString& folder)> arrange;
        bool replace;
        OutputCheck::Verdict verdict;
    } cases[] = {
        {"empty folder", bundle, [](const QString&) {}, false, OutputCheck::Ready},
        {"a folder at the bundle path", bundle, [](const QString& f) { QDir().mkpath(bundlePath(f)); }, false,
         OutputCheck::Taken},
        {"a file at the bundle path", bundle, [](const QString& f) { writeFile(bundlePath(f)); }, false,
         OutputCheck::Taken},
        {"a link at the bundle path", bundle, [](const QString& f) { QFile::link(f + "/nowhere", bundlePath(f)); },
         false, OutputCheck::Taken},
        {"a bundle, replaced", bundle, [](const QString& f) { QDir().mkpath(bundlePath(f)); }, true,
         OutputCheck::Ready},
        {"the database inside the bundle", bundle,
         [&](const QString& f) {
             QDir().mkpath(bundlePath(f));
             QFile::link(database, bundlePath(f) + "/link to it"); // a link is not the file
             ::link(QFile::encodeName(database).constData(),
                    QFile::encodeName(bundlePath(f) + "/Database").constData());
         },
         true, OutputCheck::HoldsDatabase},
        {"a maildir and a README of the user's", portable,
         [](const QString& f) {
             writeFile(f + "/Mail/cur/1");
             writeFile(f + "/README.txt");
         },
         true, OutputCheck::NotOurs},
        {"an export of ours with a README the user added", portable,
         [](const QString& f) {
             writeFile(f + "/contacts.vcf");
             writeFile(f + '/' + kExportMarkerName, "contacts.vcf\n");
             writeFile(f + "/README.txt");
         },
         true, OutputCheck::NotOurs},
        {"an export of ours", portable,
         [](const QString& f) {
             writeFile(f + "/contacts.vcf");
             writeFile(f + '/' + kExportMarkerName, "contacts.vcf\n");
         },
         false, OutputCheck::Taken},
        {"the database as an entry of our export", portable,
         [&](const QString& f) {
             ::link(QFile::encodeName(database).constData(), QFile::encodeName(f + "/notes.ics").constData());
             writeFile(f + '/' + kExportMarkerName, "notes.ics\n");
         },
         true, OutputCheck::HoldsDatabase},
    };
    for (const auto& c : cases) {
        QTemporaryDir folder;
        c.arrange(folder.path());
        const OutputCheck result = checkOutput({c.format, folder.path(), database, c.replace}, false,
                                               [](const QString&) { return qint64(1) << 40; });
        EXPECT_EQ(result.verdict, c.verdict) << c.what << ": " << result.message.toStdString();
        EXPECT_EQ(result.message.isEmpty(), c.verdict == OutputCheck::Ready) << c.what;
    }
}

TEST(OutputRun, ARunRefusesWhatWasNotOursEvenWhenItAppearedDuringTheScan)
{
    ertest::ScannedDatabase s(testdb::buildSampleDatabase());
    ScanState& state = s.state;
    QTemporaryDir folder;
    // Checked as free; then a bundle appears before the run writes.
    OutputTarget target;
    target.folder = folder.path();
    target.databasePath = s.path;
    ASSERT_EQ(checkOutput(target).verdict, OutputCheck::Ready);
    writeFile(bundlePath(folder.path()) + "/theirs");
    const OutputResult result = writeOutput(state, buildFolderTree(state), target);
    EXPECT_TRUE(result.refused);
    EXPECT_EQ(QDir(bundlePath(folder.path())).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
              QStringList{QStringLiteral("theirs")});

    // A disk whose files cannot hold a folder's mail (FAT32's 4 GiB, here
    // 1,000 bytes) is said before anything is written.
    QTemporaryDir fat;
    target.folder = fat.path();
    target.format = OutputFormat::PortableExport;
    target.largestFile = [](const QString&) { return qint64(1000); };
    const OutputResult tooLarge = writeOutput(state, buildFolderTree(state), target);
    EXPECT_TRUE(tooLarge.refused);
    EXPECT_TRUE(tooLarge.refusal.contains(QStringLiteral("FAT32"))) << tooLarge.refusal.toStdString();
    EXPECT_TRUE(QDir(fat.path()).isEmpty());
}

TEST(OutputRun, RoomLeftoversAndDatabasesThatAreNoFiles)
{
    QTemporaryDir db, folder;
    const QString database = db.filePath(QStringLiteral("Database"));
    writeFile(database, QByteArray(4096, 'x'));
    ASSERT_TRUE(QDir().mkdir(folder.filePath(QLatin1String(kPartialOutputPrefix) + "killed")));
    OutputTarget target;
    target.folder = folder.path();
    target.databasePath = database;
    target.replace = true;
    const auto tooSmall = [](const QString&) { return qint64(5000); };
    const OutputCheck short_ = checkOutput(target, false, tooSmall);
    EXPECT_EQ(short_.verdict, OutputCheck::NoRoom);
    EXPECT_EQ(short_.neededBytes, 8192) << "twice the database when replacing";
    EXPECT_EQ(checkOutput(target, true, tooSmall).verdict, OutputCheck::Ready) << "the user chose to go on";
    EXPECT_EQ(short_.leftovers, QStringList{folder.filePath(QLatin1String(kPartialOutputPrefix) + "killed")});

    // A FIFO would block a plain open for ever; a folder is no database.
    const QString fifo = db.filePath(QStringLiteral("fifo"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString& path : {fifo, db.path()}) {
        ScanState state;
        const ScanOutcome outcome = scanDatabase(path, state);
        EXPECT_EQ(outcome.kind, ScanOutcome::CannotOpen) << path.toStdString();
        EXPECT_FALSE(outcome.reason.isEmpty());
    }
}
