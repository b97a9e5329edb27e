// Saving selected messages as .eml files, saving their attachments, and
// exporting one folder with its subfolders: on the sample database, read
// back with Python's email and mailbox modules.

#include "../PythonCheck.h"
#include "../ScanTestSupport.h"

#include "DatabaseBuilder.h"
#include "SampleDatabase.h"
#include "archive/FolderTree.h"
#include "archive/MailList.h"
#include "archive/MessageActions.h"

#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>

using namespace er;
using namespace testdb;

namespace {

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

// Files below a directory, relative to it, sorted.
QStringList filesBelow(const QString& dir)
{
    QStringList found;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        found << it.next().mid(dir.size() + 1);
    found.sort();
    return found;
}

QStringList fileNames(const QStringList& paths)
{
    QStringList names;
    for (const QString& path : paths)
        names << QFileInfo(path).fileName();
    return names;
}

// A scanned database and a place to write to.
struct Scanned {
    QTemporaryDir dir;
    ScanState state;
    FolderTreeModel tree;

    explicit Scanned(const QByteArray& database = buildSampleDatabase())
    {
        const QString path = dir.filePath(QStringLiteral("Database"));
        writeFile(path, database);
        EXPECT_EQ(scanDatabase(path, state).kind, ScanOutcome::Completed);
        tree = buildFolderTree(state);
    }
    QString target(const QString& name) const { return dir.filePath(name); }

    // The row of the folder whose list shows the subject.
    MailListRow row(quint64 folderId, const QString& subject)
    {
        for (const MailListRow& row : mailListRows(state, folderId))
            if (row.text.section(QLatin1Char('\n'), -1).simplified() == subject)
                return row;
        ADD_FAILURE() << "no row " << subject.toStdString() << " in folder " << folderId;
        return {};
    }
};

constexpr quint64 kInbox = 1;
constexpr quint64 kSent = 3;
constexpr quint64 kDeleted = 5;
constexpr quint64 kProjects = 101;
constexpr quint64 kOrphans = 100000;

struct EmlCase {
    quint64 folder;
    const char* subject;   // as the list shows it
    const char* fileName;  // the .eml written for it
    const char* bodyStart; // the start of its text as Python decodes it
};

const EmlCase kEmlCases[] = {
    {kInbox, "Slides for Monday", "2008-01-15 Slides for Monday.eml", "Here are my notes for the slides."},
    {kInbox, "Caf\u00e9 on Friday?", "2008-01-08 Caf\u00e9 on Friday-.eml", "Shall we meet at the caf\u00e9"},
    {kDeleted, "Special offer: 20% off office chairs", "2008-01-21 Special offer- 20% off office chairs.eml",
     "Upgrade your workspace"},
    // Composed from its record: no stored text.
    {kSent, "Numbers for the slides", "2008-01-18 Numbers for the slides.eml", "Daniel,"},
    {4, "Draft: reading list", "2008-01-29 Draft- reading list.eml", "Ideas for next season:"},
    // A folded Subject header; found through no record of its own.
    {kOrphans, "Minutes of the planning meeting and next steps",
     "2008-01-13 Minutes of the planning meeting and next steps.eml", "Minutes are below."},
};

} // namespace

TEST(MessageActions, EmlFilesReadBackWithCrLfLineEndsUnderTheirDateAndSubject)
{
    Scanned s;
    std::vector<MailListRow> rows;
    for (const EmlCase& c : kEmlCases)
        rows.push_back(s.row(c.folder, QString::fromUtf8(c.subject)));
    unsigned int range = 0;
    int ticks = 0;
    MessageActionHooks hooks;
    hooks.initialSettings = [&](unsigned int r) { range = r; };
    hooks.progress = [&] { ++ticks; };
    const MessageActionResult result = saveMessagesAsEml(s.state, rows, s.target(QStringLiteral("eml")), hooks);
    ASSERT_TRUE(result.succeeded()) << result.firstFailures.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(range, std::size(kEmlCases));
    EXPECT_EQ(ticks, int(std::size(kEmlCases)));
    ASSERT_EQ(result.written.size(), int(std::size(kEmlCases)));
    EXPECT_EQ(filesBelow(s.target(QStringLiteral("eml"))).size(), int(std::size(kEmlCases)));

    const QJsonArray files = ertest::pythonCheck("eml_check.py", result.written);
    ASSERT_EQ(files.size(), int(std::size(kEmlCases)));
    for (int i = 0; i < files.size(); ++i) {
        const EmlCase& c = kEmlCases[i];
        SCOPED_TRACE(c.subject);
        const QJsonObject file = files[i].toObject();
        EXPECT_EQ(QFileInfo(result.written[i]).fileName(), QString::fromUtf8(c.fileName));
        EXPECT_TRUE(file[QLatin1String("crlf")].toBool());
        EXPECT_TRUE(file[QLatin1String("defects")].toArray().isEmpty())
            << QJsonDocument(file[QLatin1String("defects")].toArray()).toJson().constData();
        EXPECT_EQ(file[QLatin1String("subject")].toString().simplified(), QString::fromUtf8(c.subject));
        EXPECT_TRUE(file[QLatin1String("text")].toString().trimmed().startsWith(QString::fromUtf8(c.bodyStart)))
            << file[QLatin1String("text")].toString().toStdString();
    }
}

TEST(MessageActions, EmlNamesAreUniqueAndNothingOnDiskIsWrittenOver)
{
    Scanned s;
    const QString dir = s.target(QStringLiteral("eml"));
    ASSERT_TRUE(QDir().mkpath(dir));
    writeFile(dir + QStringLiteral("/2008-01-15 Slides for Monday.eml"), "mine");
    // A dangling link takes its name too: writing through it would create
    // a file elsewhere.
    ASSERT_TRUE(QFile::link(s.target(QStringLiteral("elsewhere")), dir + QStringLiteral("/2008-01-15 Slides for Monday (2).eml")));
    const MailListRow row = s.row(kInbox, QStringLiteral("Slides for Monday"));
    const MessageActionResult result = saveMessagesAsEml(s.state, {row, row}, dir);
    ASSERT_TRUE(result.succeeded()) << result.firstFailures.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(fileNames(result.written), (QStringList{QStringLiteral("2008-01-15 Slides for Monday (3).eml"),
                                                      QStringLiteral("2008-01-15 Slides for Monday (4).eml")}));
    EXPECT_EQ(readFile(dir + QStringLiteral("/2008-01-15 Slides for Monday.eml")), QByteArray("mine"));
    EXPECT_FALSE(QFileInfo::exists(s.target(QStringLiteral("elsewhere"))));
    EXPECT_EQ(readFile(result.written[0]), readFile(result.written[1]));
}

namespace {

struct StoredEmlCase {
    QByteArray stored;   // the message text as the database holds it
    const char* name;    // the .eml file written for it
    QByteArray written;  // its bytes
};

const StoredEmlCase kStoredEmlCases[] = {
    // An old envelope line is no part of the message file; the name has
    // the date as the header writes it, not as UTC has it.
    {"From someone@example.com Tue Mar  4 10:00:00 2008\rDate: Tue, 4 Mar 2008 23:30:00 -0500\r"
     "Subject: Envelope\r\rbody\r",
     "2008-03-04 Envelope.eml", "Date: Tue, 4 Mar 2008 23:30:00 -0500\r\nSubject: Envelope\r\n\r\nbody\r\n"},
    // No Date header and no record: the subject alone; LF lines, the last
    // one unended.
    {"Subject: Undated\n\nfirst\nlast", "Undated.eml", "Subject: Undated\r\n\r\nfirst\r\nlast\r\n"},
    // Every line end form in one text; no subject.
    {"Date: Wed, 5 Mar 2008 08:00:00 +0000\r\n\r\none\rtwo\nthree\r\n\r\r\n",
     "2008-03-05 No Subject.eml", "Date: Wed, 5 Mar 2008 08:00:00 +0000\r\n\r\none\r\ntwo\r\nthree\r\n\r\n\r\n"},
    // Characters no disk takes in a name, and a name a device has on Windows.
    {"Subject: a/b\\c: <d> \"e\" | f? *\r\rx\r", "a-b-c- -d- -e- - f- -.eml",
     "Subject: a/b\\c: <d> \"e\" | f? *\r\n\r\nx\r\n"},
    {"Subject: CON\r\rx\r", "CON-.eml", "Subject: CON\r\n\r\nx\r\n"},
};

} // namespace

TEST(MessageActions, EmlFilesOfStoredTextsHaveCrLfLinesAndSafeNames)
{
    Database db;
    for (size_t i = 0; i < std::size(kStoredEmlCases); ++i)
        db.add(msrcBlock(quint32(1 + i), kStoredEmlCases[i].stored));
    Scanned s(db.bytes());
    ASSERT_EQ(s.state.mail.messages.size(), std::size(kStoredEmlCases));
    std::vector<MailListRow> rows(std::size(kStoredEmlCases));
    for (size_t i = 0; i < rows.size(); ++i)
        rows[i].summary = &s.state.mail.messages[i];
    const MessageActionResult result = saveMessagesAsEml(s.state, rows, s.target(QStringLiteral("eml")));
    ASSERT_TRUE(result.succeeded()) << result.firstFailures.join(QLatin1Char('\n')).toStdString();
    ASSERT_EQ(result.written.size(), int(std::size(kStoredEmlCases)));
    for (int i = 0; i < result.written.size(); ++i) {
        EXPECT_EQ(QFileInfo(result.written[i]).fileName(), QString::fromUtf8(kStoredEmlCases[i].name));
        EXPECT_EQ(readFile(result.written[i]), kStoredEmlCases[i].written) << kStoredEmlCases[i].name;
    }
}

TEST(MessageActions, AttachmentsAreTheirDecodedBytesUnderTheirOwnNames)
{
    Scanned s;
    const MailListRow stored = s.row(kInbox, QStringLiteral("Slides for Monday"));
    const MailListRow composed = s.row(kSent, QStringLiteral("Numbers for the slides"));
    const MailListRow plain = s.row(kProjects, QStringLiteral("Project kickoff agenda"));
    const MessageActionResult result =
        saveAttachments(s.state, {stored, plain, composed, stored}, s.target(QStringLiteral("attachments")));
    ASSERT_TRUE(result.succeeded()) << result.firstFailures.join(QLatin1Char('\n')).toStdString();

    const std::pair<const char*, QByteArray> expected[] = {
        {"slides-notes.txt", "Slide 3: revenue by region\nSlide 4: headcount plan\nSlide 7: next steps and owners\n"},
        {"budget.csv", "Line,Plan,Actual\nTravel,12000,11350\nTraining,8000,8420\nHardware,15000,14210\n"},
        {"slides-notes (2).txt",
         "Slide 3: revenue by region\nSlide 4: headcount plan\nSlide 7: next steps and owners\n"},
    };
    ASSERT_EQ(result.written.size(), int(std::size(expected)));
    for (int i = 0; i < result.written.size(); ++i) {
        EXPECT_EQ(QFileInfo(result.written[i]).fileName(), QString::fromLatin1(expected[i].first));
        EXPECT_EQ(readFile(result.written[i]), expected[i].second) << expected[i].first;
    }
}

TEST(MessageActions, AttachmentsWithoutUsableNamesGetNamesOfTheirMessage)
{
    const QByteArray text = "Date: Tue, 4 Mar 2008 10:00:00 +0000\r"
                            "Subject: Scans\r"
                            "Mime-version: 1.0\r"
                            "Content-type: multipart/mixed; boundary=\"b\"\r\r"
                            "--b\r"
                            "Content-type: text/plain\r\r"
                            "See the scans.\r"
                            "--b\r"
                            "Content-type: application/octet-stream\r"
                            "Content-disposition: attachment\r"
                            "Content-transfer-encoding: base64\r\r"
                            + QByteArray("\x00\x01\xFF scan", 8).toBase64() + "\r"
                            "--b\r"
                            "Content-type: text/plain; name=\"../../outside.txt\"\r"
                            "Content-disposition: attachment; filename=\"../../outside.txt\"\r\r"
                            "kept inside\r"
                            "--b--\r";
    Database db;
    db.add(msrcBlock(1, text));
    Scanned s(db.bytes());
    ASSERT_EQ(s.state.mail.messages.size(), 1u);
    MailListRow row;
    row.summary = &s.state.mail.messages[0];
    const MessageActionResult result = saveAttachments(s.state, {row}, s.target(QStringLiteral("a")));
    ASSERT_TRUE(result.succeeded()) << result.firstFailures.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(fileNames(result.written),
              (QStringList{QStringLiteral("2008-03-04 Scans part 1"), QStringLiteral("outside.txt")}));
    ASSERT_EQ(result.written.size(), 2);
    EXPECT_EQ(readFile(result.written[0]), QByteArray("\x00\x01\xFF scan", 8));
    EXPECT_EQ(readFile(result.written[1]), QByteArray("kept inside"));
    EXPECT_EQ(filesBelow(s.target(QStringLiteral("a"))).size(), 2);
}

namespace {

struct FolderExportCase {
    quint64 folderId;
    // Each mailbox the export holds, and the folder whose mail it holds.
    std::vector<std::pair<const char*, quint64>> mailboxes;
};

const FolderExportCase kFolderExports[] = {
    {kProjects,
     {{"Projects.mbox", 101},
      {"Projects/Budget 2008.mbox", 102},
      {"Projects/Q1-Q2 Reports.mbox", 103},
      {"Projects/Z\u00fcrich Office.mbox", 105}}},
    {102, {{"Budget 2008.mbox", 102}}},
    {kInbox, {{"Inbox.mbox", 1}, {"Inbox/Family.mbox", 104}}},
    {kSampleAccountFolderId, {{"Work Account/Inbox.mbox", 201}}},
};

} // namespace

TEST(MessageActions, AnExportedFolderReadsBackWithItsSubfolders)
{
    Scanned s;
    QMap<quint64, int> mailsOf;
    for (const SampleFolder& f : sampleFolders())
        mailsOf[f.id] = f.mails;
    for (const FolderExportCase& c : kFolderExports) {
        SCOPED_TRACE(c.folderId);
        const QString target = s.target(QStringLiteral("folder-%1/export").arg(c.folderId));
        const MessageActionResult result = exportMailFolder(s.state, s.tree, c.folderId, target);
        ASSERT_TRUE(result.succeeded()) << result.firstFailures.join(QLatin1Char('\n')).toStdString();

        QStringList expected, paths;
        for (const auto& [mailbox, folder] : c.mailboxes) {
            expected << QString::fromUtf8(mailbox);
            paths << target + QLatin1Char('/') + QString::fromUtf8(mailbox);
        }
        expected.sort();
        EXPECT_EQ(filesBelow(target), expected);
        const QJsonArray files = ertest::pythonCheck("mbox_check.py", paths);
        ASSERT_EQ(files.size(), int(c.mailboxes.size()));
        for (int i = 0; i < files.size(); ++i) {
            const QJsonArray messages = files[i][QLatin1String("messages")].toArray();
            EXPECT_EQ(messages.size(), mailsOf.value(c.mailboxes[i].second)) << c.mailboxes[i].first;
            for (const QJsonValue m : messages)
                EXPECT_EQ(m[QLatin1String("defects")].toInt(), 0);
        }
    }
}

TEST(MessageActions, AnExportIntoAnExistingDirectoryIsRefusedAndLeavesItAlone)
{
    Scanned s;
    const QString target = s.target(QStringLiteral("existing"));
    ASSERT_TRUE(QDir().mkpath(target));
    writeFile(target + QStringLiteral("/Projects.mbox"), "mine");
    const MessageActionResult result = exportMailFolder(s.state, s.tree, kProjects, target);
    EXPECT_FALSE(result.succeeded());
    EXPECT_EQ(result.failureCount, 1);
    EXPECT_TRUE(result.written.isEmpty());
    EXPECT_EQ(filesBelow(target), QStringList{QStringLiteral("Projects.mbox")});
    EXPECT_EQ(readFile(target + QStringLiteral("/Projects.mbox")), QByteArray("mine"));
}

namespace {

// Each action, run on a selection that has something to write.
using Action = std::function<MessageActionResult(Scanned&, const QString& target, const MessageActionHooks&)>;

std::vector<std::pair<const char*, Action>> actions()
{
    return {
        {"eml",
         [](Scanned& s, const QString& target, const MessageActionHooks& hooks) {
             return saveMessagesAsEml(s.state, {s.row(kInbox, QStringLiteral("Slides for Monday")),
                                                s.row(kSent, QStringLiteral("Numbers for the slides"))},
                                      target, hooks);
         }},
        {"attachments",
         [](Scanned& s, const QString& target, const MessageActionHooks& hooks) {
             return saveAttachments(s.state, {s.row(kInbox, QStringLiteral("Slides for Monday")),
                                              s.row(kSent, QStringLiteral("Numbers for the slides"))},
                                    target, hooks);
         }},
        {"folder",
         [](Scanned& s, const QString& target, const MessageActionHooks& hooks) {
             return exportMailFolder(s.state, s.tree, kProjects, target, hooks);
         }},
    };
}

} // namespace

TEST(MessageActions, AnUnwritableTargetIsAFailureNeverASuccess)
{
    Scanned s;
    const QString file = s.target(QStringLiteral("a file"));
    writeFile(file, "not a directory");
    for (const auto& [name, action] : actions()) {
        SCOPED_TRACE(name);
        for (const QString& target : {file, file + QStringLiteral("/below")}) {
            const MessageActionResult result = action(s, target, {});
            EXPECT_FALSE(result.succeeded());
            EXPECT_GT(result.failureCount, 0);
            EXPECT_FALSE(result.firstFailures.isEmpty());
            EXPECT_TRUE(result.written.isEmpty());
        }
    }
    EXPECT_EQ(readFile(file), QByteArray("not a directory"));
}

TEST(MessageActions, AStopEndsTheRunAfterTheMessageInHand)
{
    for (const auto& [name, action] : actions()) {
        SCOPED_TRACE(name);
        Scanned s;
        std::atomic<bool> stop{false};
        MessageActionHooks hooks;
        hooks.stop = &stop;
        hooks.progress = [&] { stop = true; };
        const QString target = s.target(QStringLiteral("stopped"));
        const MessageActionResult result = action(s, target, hooks);
        EXPECT_TRUE(result.stopped);
        EXPECT_FALSE(result.succeeded());
        EXPECT_EQ(result.failureCount, 0);
        // Files already written are whole and listed; a stopped folder
        // export takes back everything it made.
        EXPECT_LE(result.written.size(), 1);
        for (const QString& path : result.written)
            EXPECT_TRUE(QFileInfo(path).isFile());
        if (QLatin1String(name) == QLatin1String("folder")) {
            EXPECT_FALSE(QFileInfo::exists(target));
        }
    }
}

TEST(MessageActions, AMessageThatCannotBeReadIsAFailure)
{
    for (const auto& [name, action] : actions()) {
        SCOPED_TRACE(name);
        Scanned s;
        ASSERT_TRUE(QFile::remove(s.state.databasePath));
        const MessageActionResult result = action(s, s.target(QStringLiteral("out")), {});
        EXPECT_FALSE(result.succeeded());
        EXPECT_GT(result.failureCount, 0);
        EXPECT_TRUE(result.written.isEmpty());
    }
}
