// Mail that used to be counted but not written, or neither: a record whose
// text block is lost, a record without text or body, mail filed under a
// folder 0. Each is listed, counted and written in both outputs.

#include "../TestFiles.h"

#include "DatabaseBuilder.h"
#include "archive/OutputRun.h"
#include "archive/MailLinking.h"
#include "archive/MailList.h"
#include "archive/BlockScanner.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace er;
using namespace testdb;

TEST(NothingLost, LostTextsEmptyBodiesAndFolderZero)
{
    Database db;
    db.add(flidBlock({{7, {}, QStringLiteral("On My Computer")}, {1, 7, QStringLiteral("Inbox")},
                      {0, 7, QStringLiteral("Zero")}}));
    MailRecordBlock lost{1, 21, Address{"lost@example.org", QStringLiteral("Lost")}, utf16be(QStringLiteral("Lost text"))};
    lost.body = narrow("The body is still in the record");
    db.add(mlrcBlock(lost)); // its "MSrc" block is gone
    MailRecordBlock empty{1, {}, Address{"empty@example.org", QStringLiteral("Empty")}, utf16be(QStringLiteral("No body"))};
    db.add(mlrcBlock(empty));
    MailRecordBlock zero{0, 22, {}, utf16be(QStringLiteral("Filed in zero"))};
    db.add(mlrcBlock(zero));
    db.add(msrcBlock(22, "Subject: Filed in zero\r\rText\r"));

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Database"));
    ASSERT_TRUE(db.writeTo(path));
    ScanState state;
    ASSERT_EQ(scanDatabase(path, state).kind, ScanOutcome::Completed);
    EXPECT_EQ(recomputeMailCount(state), 3u);
    QStringList inbox;
    for (const MailListRow& row : mailListRows(state, 1))
        inbox << row.text.section(QLatin1Char('\n'), -1);
    EXPECT_EQ(inbox, (QStringList{QStringLiteral("Lost text"), QStringLiteral("No body")}));

    const FolderTreeModel tree = buildFolderTree(state);
    for (const OutputFormat format : {OutputFormat::Bundle, OutputFormat::PortableExport}) {
        OutputTarget target;
        target.format = format;
        target.folder = dir.filePath(format == OutputFormat::Bundle ? QStringLiteral("b") : QStringLiteral("e"));
        target.databasePath = path;
        const OutputResult result = writeOutput(state, tree, target);
        ASSERT_TRUE(result.succeeded()) << result.firstFailures.join('\n').toStdString();
        const QByteArray all = ertest::allMailboxes(result.output);
        for (const char* subject : {"Subject: Lost text", "Subject: No body", "Subject: Filed in zero"})
            EXPECT_EQ(all.count(subject), 1) << subject << (format == OutputFormat::Bundle ? " (bundle)" : " (export)");
        EXPECT_EQ(all.count("The body is still in the record"), 2) << "its plain and HTML parts";
    }
}
