// Whole outputs of the sample database against their stored copies: the
// archive bundle, the portable export, and what the window lists and
// previews. Runs with TZ=UTC and a pinned clock, so the stored bytes hold on
// every host and every day.

#include "GoldenFiles.h"

#include "SampleDatabase.h"
#include "calendar/CalendarPreview.h"
#include "contacts/ContactPreview.h"
#include "notes/NotePreview.h"
#include "archive/OutputRun.h"
#include "archive/MailList.h"
#include "archive/BlockScanner.h"
#include "format/Clock.h"
#include "archive/FolderTree.h"

#include <QCoreApplication>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <cstring>

using namespace er;

namespace {

struct ScannedSample {
    QTemporaryDir dir;
    ScanState state;
    FolderTreeModel tree;

    ScannedSample()
    {
        const QString path = dir.filePath(QStringLiteral("Database"));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(testdb::buildSampleDatabase());
        f.close();
        EXPECT_EQ(scanDatabase(path, state).kind, ScanOutcome::Completed);
        tree = buildFolderTree(state);
    }
};

void writeLines(const QString& path, const QStringList& lines)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    for (const QString& line : lines)
        f.write(line.toUtf8() + '\n');
}

// One record's lines, set apart from the next.
QStringList recordLines(const QString& row, const QString& key, const QStringList& preview)
{
    QStringList lines{QStringLiteral("row: ") + QString(row).replace(QLatin1Char('\n'), QStringLiteral("\\n")),
                      QStringLiteral("key: ") + key};
    for (const QString& line : preview)
        lines << QStringLiteral("  ") + QString(line).replace(QLatin1Char('\n'), QStringLiteral("\n  "));
    return lines << QString();
}

} // namespace

// Both outputs as a user gets them, through the run that writes them.
TEST(Golden, SampleBundleAndExport)
{
    ScannedSample s;
    for (const auto& [format, name] : {std::pair<OutputFormat, const char*>{OutputFormat::Bundle, "sample-bundle"},
                                       {OutputFormat::PortableExport, "sample-export"}}) {
        QTemporaryDir target;
        OutputTarget request;
        request.format = format;
        request.folder = target.path();
        request.databasePath = s.state.databasePath;
        const OutputResult result = writeOutput(s.state, s.tree, request);
        ASSERT_TRUE(result.succeeded()) << result.firstFailures.join(QLatin1Char('\n')).toStdString();
        ertest::expectMatchesGolden(QLatin1String(name), result.output);
    }
}

TEST(Golden, SampleListsAndPreviews)
{
    ScannedSample s;
    QTemporaryDir out;

    QStringList mail;
    for (const int index : s.tree.preOrder()) {
        const FolderTreeItem& folder = s.tree.item(index);
        const quint64 id = folder.folderId;
        if (id == 0)
            continue;
        mail << QStringLiteral("folder: ") + s.tree.path(index);
        for (const MailListRow& row : mailListRows(s.state, id))
            mail << recordLines(row.text, QStringLiteral("%1 %2%3").arg(row.offset).arg(row.size)
                                              .arg(row.hasAttachment ? QStringLiteral(" attachment") : QString()),
                                {});
    }
    writeLines(out.filePath(QStringLiteral("mail.txt")), mail);

    QStringList contacts, notes, events, tasks;
    for (const ContactRecord& c : s.state.contacts)
        if (isUsableContact(c))
            contacts << recordLines(contactRowText(c), itemKeyText(c), contactPreviewLines(c));
    for (const NoteRecord& n : s.state.notes)
        notes << recordLines(noteRowText(n), itemKeyText(n), notePreviewLines(n));
    for (const EventRecord& e : s.state.events)
        events << recordLines(eventRowText(e), itemKeyText(e), eventPreviewLines(e));
    for (const TaskRecord& t : s.state.tasks)
        tasks << recordLines(taskRowText(t), itemKeyText(t), taskPreviewLines(t));
    writeLines(out.filePath(QStringLiteral("contacts.txt")), contacts);
    writeLines(out.filePath(QStringLiteral("notes.txt")), notes);
    writeLines(out.filePath(QStringLiteral("events.txt")), events);
    writeLines(out.filePath(QStringLiteral("tasks.txt")), tasks);
    ertest::expectMatchesGolden(QStringLiteral("sample-lists"), out.path());
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--update-golden") == 0)
            ertest::setUpdatingGolden(true);

    // The stored outputs were made in UTC; make sure the zone took effect
    // before comparing anything that depends on it.
    const QDateTime winter(QDate(2026, 1, 15), QTime(12, 0));
    const QDateTime summer(QDate(2026, 7, 15), QTime(12, 0));
    if (winter.offsetFromUtc() != 0 || summer.offsetFromUtc() != 0) {
        std::fprintf(stderr, "the golden files need TZ=UTC (TZ is \"%s\")\n", qgetenv("TZ").constData());
        return 1;
    }
    QLocale::setDefault(QLocale::c());
    pinCurrentDateTime(QDateTime(QDate(2026, 6, 15), QTime(9, 30), Qt::UTC));
    return RUN_ALL_TESTS();
}
