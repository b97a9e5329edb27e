// Folder names as both outputs lay them out on disk: every component fits
// every file system, twins that a disk would fold together get "-2", and
// every mail is written exactly once, whatever the names.

#include "../TestFiles.h"

#include "DatabaseBuilder.h"
#include "archive/OutputRun.h"
#include "output/PathComponents.h"
#include "archive/BlockScanner.h"

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace er;

namespace {

// Sibling folders under "On My Computer" (id 7), one mail each, "Mail <id>".
struct Case {
    const char* what;
    QList<testdb::FolderEntry> folders;
};

QList<Case> cases()
{
    const QString cjk = QString(120, QChar(0x65E5)); // 360 bytes of UTF-8
    return {
        {"a long CJK name", {{1, 7, cjk}}},
        {"Box and Box.mbox, nested and side by side", {{1, 7, "Box"}, {2, 1, "Box.mbox"}, {3, 7, "Box.mbox"}}},
        {"empty, newline, colon, trailing dot, CON",
         {{1, 7, ""}, {2, 7, "Line\nbreak"}, {3, 7, "Re: plans"}, {4, 7, "Misc."}, {5, 7, "CON"}}},
        {"case twins", {{1, 7, "Inbox"}, {2, 7, "inbox"}, {3, 7, "INBOX"}}},
        {"NFC and NFD", {{1, 7, QString::fromUtf8("Z\u00fcrich")}, {2, 7, QString::fromUtf8("Zu\u0308rich")}}},
        {"exact twins share", {{1, 7, "Same"}, {2, 7, "Same"}}},
        {"a decoded folder with the first orphan folder's id", {{100000, 7, "Hundred thousand"}}},
    };
}

QByteArray database(const Case& c)
{
    testdb::Database db;
    QList<testdb::FolderEntry> folders{{7, {}, QStringLiteral("On My Computer")}};
    folders += c.folders;
    db.add(testdb::flidBlock(folders));
    quint32 mailId = 1;
    for (const testdb::FolderEntry& folder : c.folders) {
        testdb::MailRecordBlock record;
        record.folderId = folder.id;
        record.mailId = mailId;
        db.add(testdb::mlrcBlock(record));
        db.add(testdb::msrcBlock(mailId, "Subject: Mail " + QByteArray::number(folder.id) + "\r\rText\r"));
        ++mailId;
    }
    // An orphan: no mail record names its text.
    db.add(testdb::msrcBlock(999, "Subject: Mail orphan\r\rText\r"));
    return db.bytes();
}

} // namespace

TEST(FolderNames, EveryComponentFitsAndEveryMailIsWrittenOnce)
{
    for (const Case& c : cases()) {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Database"));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(database(c));
        f.close();
        ScanState state;
        ASSERT_EQ(scanDatabase(path, state).kind, ScanOutcome::Completed) << c.what;
        const FolderTreeModel tree = buildFolderTree(state);
        for (const OutputFormat format : {OutputFormat::Bundle, OutputFormat::PortableExport}) {
            OutputTarget target;
            target.format = format;
            target.folder = dir.filePath(format == OutputFormat::Bundle ? QStringLiteral("bundle") : QStringLiteral("export"));
            target.databasePath = path;
            const OutputResult result = writeOutput(state, tree, target);
            ASSERT_TRUE(result.succeeded()) << c.what << ": " << result.firstFailures.join('\n').toStdString();

            QDirIterator it(result.output, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                            QDirIterator::Subdirectories);
            while (it.hasNext()) {
                it.next();
                const QString name = it.fileName();
                EXPECT_LE(name.toUtf8().size(), 255) << c.what;
                EXPECT_FALSE(name.contains(QRegularExpression(QStringLiteral("[\\x00-\\x1f:*?\"<>|\\\\]"))))
                    << c.what << ": " << name.toStdString();
                EXPECT_FALSE(name.endsWith('.') || name.endsWith(' ')) << c.what << ": " << name.toStdString();
            }
            QMap<QByteArray, int> written;
            const QByteArray bytes = ertest::allMailboxes(result.output);
            for (int at = bytes.indexOf("Subject: Mail "); at >= 0; at = bytes.indexOf("Subject: Mail ", at + 1)) {
                const int end = bytes.indexOf(format == OutputFormat::Bundle ? '\r' : '\n', at);
                ++written[bytes.mid(at + 14, end - at - 14)];
            }
            QMap<QByteArray, int> expected{{"orphan", 1}};
            for (const testdb::FolderEntry& folder : c.folders)
                expected.insert(QByteArray::number(folder.id), 1);
            EXPECT_EQ(written, expected) << c.what << (format == OutputFormat::Bundle ? " (bundle)" : " (export)");
        }
    }
}

TEST(FolderNames, ComponentRules)
{
    const struct {
        QString name;
        QString component;
    } rules[] = {
        {"", "Untitled"},
        {".", "-"},
        {"..", "--"},
        {"a/b\\c:d*e?f\"g<h>i|j", "a-b-c-d-e-f-g-h-i-j"},
        {"tab\there", "tab-here"},
        {"Misc. ", "Misc.-"},
        {"con", "con-"},
        {"LPT1.txt", "LPT1.txt-"},
        {"COM10", "COM10"},
        {QString(130, QChar(0x00E9)), QString(120, QChar(0x00E9))},
    };
    for (const auto& r : rules)
        EXPECT_EQ(safePathComponent(r.name), r.component) << r.name.toStdString();

    SiblingComponents siblings;
    siblings.reserve(QStringLiteral("Box.mbox"));
    EXPECT_EQ(siblings.claim("Inbox", "Inbox"), "Inbox");
    EXPECT_EQ(siblings.claim("INBOX", "INBOX"), "INBOX-2");
    EXPECT_EQ(siblings.claim("Inbox", "Inbox"), "Inbox") << "exact twins share";
    EXPECT_EQ(siblings.claim("inbox", "inbox"), "inbox-3");
    EXPECT_EQ(siblings.claim("box.MBOX", "box.MBOX"), "box.MBOX-2");
}
