// Replays every input of tests/data/regressions that once broke the program or
// stands for a kind of damage: a database described as text (NAME.db.txt) or
// kept as bytes (NAME.bin). Each is scanned, its walk must stay within the
// file, and it is saved as a bundle and as the portable export; a summary of
// what the scan found and what was written must match NAME.expected.
// `regression_tests --update-golden` rewrites the expected files.

#include "../core/TestFiles.h"
#include "DescribedDatabase.h"
#include "archive/BlockScanner.h"
#include "archive/DamageReport.h"
#include "archive/FolderTree.h"
#include "archive/MailLinking.h"
#include "archive/OutputRun.h"
#include "format/Clock.h"

#include <QDir>
#include <QDirIterator>
#include <QMap>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <ctime>

using namespace er;

// Case names as gtest lists them.
void PrintTo(const QString& s, std::ostream* os) { *os << s.toStdString(); }

namespace {

bool g_updateExpected = false;

const QString kCases = QStringLiteral(ER_REGRESSIONS_DIR);

// Every file below root with its size, and the subject lines of mailboxes
// (what a lost or doubled mail changes first).
QStringList writtenFiles(const QString& root)
{
    QMap<QString, QStringList> files; // by path, so in a stable order
    QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QByteArray bytes = ertest::readFile(it.next());
        QStringList& lines = files[QDir(root).relativeFilePath(it.filePath())];
        lines << QString::number(bytes.size());
        for (const QByteArray& line : bytes.startsWith("From ") ? QByteArray(bytes).replace('\r', '\n').split('\n')
                                                                : QList<QByteArray>())
            if (line.startsWith("Subject: "))
                lines << QStringLiteral("    ") + QString::fromUtf8(line.trimmed());
    }
    QStringList out;
    for (auto f = files.cbegin(); f != files.cend(); ++f)
        out << QStringLiteral("  %1 %2").arg(f.key(), f.value().first()) << f.value().mid(1);
    return out;
}

QString summaryOf(const QString& database, const QString& work)
{
    ScanState state;
    quint64 examined = 0;
    ScanHooks hooks;
    hooks.progress = [&examined](quint64, quint32) { ++examined; };
    const ScanOutcome outcome = scanDatabase(database, state, hooks);
    // Bounded work: the walk examines each position once, at least 256 bytes
    // apart, whatever the lengths in the file claim.
    EXPECT_LE(examined, quint64(state.fileSize) / 256 + 2);
    static const char* const kOutcomes[] = {"completed", "stopped", "cannot open", "nothing usable"};
    QStringList s{QStringLiteral("scan: ") + QLatin1String(kOutcomes[outcome.kind])};
    if (outcome.kind == ScanOutcome::Completed || outcome.kind == ScanOutcome::NothingUsable) {
        s << QStringLiteral("mails %1 (texts %2, records %3), attachments %4, accounts %5, contacts %6, "
                            "events %7, tasks %8, notes %9")
                 .arg(recomputeMailCount(state))
                 .arg(state.mail.messages.size())
                 .arg(state.mail.records.size())
                 .arg(state.mail.attachments.size())
                 .arg(state.mail.accounts.size())
                 .arg(state.contactCount)
                 .arg(state.eventCount)
                 .arg(state.taskCount)
                 .arg(state.noteCount);
        for (const FolderRecord& f : state.mail.folders)
            s << QStringLiteral("folder %1 in %2: %3").arg(f.folderId).arg(f.parentFolderId).arg(f.name);
        s << damageSummaryLine(damageSummary(state));
        for (int i = 0; i < kRegionCount; ++i) {
            const ScanMap::Kind& kind = state.map.kind(Region(i));
            if (kind.regions)
                s << QStringLiteral("region %1: %2, %3 bytes").arg(regionKey(Region(i))).arg(kind.regions).arg(kind.bytes);
        }
        const FolderTreeModel tree = buildFolderTree(state);
        for (const OutputFormat format : {OutputFormat::Bundle, OutputFormat::PortableExport}) {
            const bool bundle = format == OutputFormat::Bundle;
            const OutputTarget target{format, work + (bundle ? "/bundle" : "/export"), database};
            QDir().mkpath(target.folder);
            const OutputResult result = writeOutput(state, tree, target);
            s << QStringLiteral("%1: %2 failures%3")
                     .arg(bundle ? "bundle" : "export")
                     .arg(result.failureCount)
                     .arg(result.stopped || result.refused ? ", not finished" : "")
              << writtenFiles(result.output);
        }
    }
    return s.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

class Replay : public testing::TestWithParam<QString> {};

} // namespace

TEST_P(Replay, MatchesWhatWasWrittenBefore)
{
    const QString& file = GetParam();
    const QString base = file.left(file.indexOf(QLatin1Char('.')));
    QByteArray bytes = ertest::readFile(kCases + QLatin1Char('/') + file);
    if (file.endsWith(QLatin1String(".db.txt"))) {
        QString error;
        bytes = testdb::describedDatabase(bytes, &error);
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    }
    ASSERT_LE(bytes.size(), 1 << 20) << "a case is a small file";

    QTemporaryDir work;
    ASSERT_TRUE(work.isValid());
    const QString database = work.filePath(QStringLiteral("Database"));
    ertest::writeFile(database, bytes);
    const QString summary = summaryOf(database, work.path());
    const QString expectedPath = kCases + QLatin1Char('/') + base + QStringLiteral(".expected");
    if (g_updateExpected)
        ertest::writeFile(expectedPath, summary.toUtf8());
    else
        EXPECT_EQ(summary.toStdString(), ertest::readFile(expectedPath).toStdString()) << "rewrite with --update-golden";
}

INSTANTIATE_TEST_SUITE_P(Cases, Replay,
                         testing::ValuesIn(QDir(kCases).entryList({QStringLiteral("*.db.txt"), QStringLiteral("*.bin")})),
                         [](const auto& info) {
                             return info.param.section(QLatin1Char('.'), 0, 0).replace(QLatin1Char('-'), QLatin1Char('_'))
                                 .toStdString();
                         });

int main(int argc, char** argv)
{
    // The summaries hold dates as the writers print them: UTC, at a pinned
    // clock, whatever the host.
    qputenv("TZ", "UTC");
    tzset();
    if (QDateTime(QDate(2008, 7, 1), QTime(12, 0)).offsetFromUtc() != 0) {
        std::fprintf(stderr, "regression_tests: the time zone is not UTC\n");
        return 1;
    }
    pinCurrentDateTime(QDateTime(QDate(2026, 6, 15), QTime(9, 30), Qt::UTC));
    testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i < argc; ++i)
        g_updateExpected = g_updateExpected || std::strcmp(argv[i], "--update-golden") == 0;
    return RUN_ALL_TESTS();
}
