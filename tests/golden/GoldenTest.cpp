// Whole outputs of the sample database against their stored copies: the
// archive bundle, the portable export, and what the window lists and
// previews. Runs with TZ=UTC and a pinned clock, so the stored bytes hold on
// every host and every day.

#include "GoldenFiles.h"

#include "../core/PythonCheck.h"
#include "../core/TestFiles.h"
#include "../core/ScanTestSupport.h"
#include "DescribedDatabase.h"
#include "SampleDatabase.h"
#include "calendar/CalendarPreview.h"
#include "contacts/ContactPreview.h"
#include "notes/NotePreview.h"
#include "archive/MessageActions.h"
#include "mail/MessagePreview.h"
#include "archive/OutputRun.h"
#include "archive/MailList.h"
#include "archive/BlockScanner.h"
#include "format/Clock.h"
#include "archive/FolderTree.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

using namespace er;

namespace {

void writeLines(const QString& path, const QStringList& lines)
{
    ertest::writeFile(path, lines.join(QLatin1Char('\n')).toUtf8() + '\n');
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

// The database that NAME.db.txt beside the golden sets describes, scanned.
struct Described : ertest::ScannedDatabase {
    explicit Described(const char* name) : ScannedDatabase(bytesOf(name)) {}
    static QByteArray bytesOf(const char* name)
    {
        QString error;
        const QByteArray bytes = testdb::describedDatabaseFile(QStringLiteral(ER_GOLDEN_DIR "/") + name + ".db.txt", &error);
        EXPECT_TRUE(error.isEmpty()) << error.toStdString();
        return bytes;
    }
};

// Writes the outputs named in `cases` below `dir` through the run a user
// gets and compares each with its golden set; the folder of the last.
QString expectOutputsMatch(const ScanState& state, const FolderTreeModel& tree, const QString& dir,
                           const std::vector<std::pair<OutputFormat, const char*>>& cases)
{
    QString output;
    for (const auto& [format, name] : cases) {
        OutputTarget request;
        request.format = format;
        request.folder = dir + QLatin1Char('/') + QLatin1String(name);
        request.databasePath = state.databasePath;
        const OutputResult result = writeOutput(state, tree, request);
        EXPECT_TRUE(result.succeeded()) << result.firstFailures.join(QLatin1Char('\n')).toStdString();
        ertest::expectMatchesGolden(QLatin1String(name), result.output);
        output = result.output;
    }
    return output;
}

// What the list shows of every folder, with each message's preview when
// asked; calls `folderListed` with each folder's id and rows.
QStringList mailLists(ScanState& state, const FolderTreeModel& tree, bool withPreviews,
                      const std::function<void(quint64, const std::vector<MailListRow>&)>& folderListed = {})
{
    QStringList lines;
    for (const int index : tree.preOrder()) {
        const quint64 id = tree.item(index).folderId;
        if (id == 0)
            continue;
        const std::vector<MailListRow> rows = mailListRows(state, id);
        lines << QStringLiteral("folder: ") + tree.path(index);
        for (const MailListRow& row : rows) {
            QStringList preview;
            if (withPreviews) {
                const MessagePreview shown = previewMessage(messageTextOfRow(state, row));
                preview = shown.headerLines + QStringList(QString::fromUtf8(shown.bodyHtml));
            }
            lines << recordLines(row.text, QStringLiteral("%1 %2%3").arg(row.offset).arg(row.size)
                                               .arg(row.hasAttachment ? QStringLiteral(" attachment") : QString()),
                                 preview);
        }
        if (folderListed)
            folderListed(id, rows);
    }
    return lines;
}

} // namespace

// Both outputs and the per-message actions over the mail cases
// (mail-cases.db.txt): the stored bytes, then what independent readers make
// of them.
TEST(Golden, MailCases)
{
    Described described("mail-cases");
    const QTemporaryDir& dir = described.dir;
    ScanState& state = described.state;
    const FolderTreeModel tree = buildFolderTree(state);
    const QString exported = expectOutputsMatch(state, tree, dir.path(), {{OutputFormat::Bundle, "mail-bundle"},
                                                                          {OutputFormat::PortableExport, "mail-export"}});

    // What the list shows of every folder; every listed message as a file,
    // with its attachments, folder by folder; and one folder exported with
    // its subfolders.
    const QString actions = dir.filePath(QStringLiteral("actions"));
    writeLines(actions + QStringLiteral("/lists.txt"), mailLists(state, tree, true, [&](quint64 id, const auto& rows) {
        // The folders named only for their names hold nothing new here.
        if ((id > 10 && id <= 100000) || rows.empty())
            return;
        const QString folder = actions + QStringLiteral("/%1/").arg(id);
        const MessageActionResult eml = saveMessagesAsEml(state, rows, folder + QStringLiteral("eml"));
        EXPECT_TRUE(eml.succeeded()) << eml.firstFailures.join(QLatin1Char('\n')).toStdString();
        const MessageActionResult parts = saveAttachments(state, rows, folder + QStringLiteral("attachments"));
        EXPECT_TRUE(parts.succeeded()) << parts.firstFailures.join(QLatin1Char('\n')).toStdString();
    }));
    const MessageActionResult projects = exportMailFolder(state, tree, 27, actions + QStringLiteral("/Projects export"));
    ASSERT_TRUE(projects.succeeded()) << projects.firstFailures.join(QLatin1Char('\n')).toStdString();
    ertest::expectMatchesGolden(QStringLiteral("mail-actions"), actions);

    ERTEST_REQUIRE_PYTHON("email, mailbox");
    QStringList emlFiles;
    for (QDirIterator it(actions, {QStringLiteral("*.eml")}, QDir::Files, QDirIterator::Subdirectories); it.hasNext();)
        emlFiles << it.next();
    for (const QJsonValue eml : ertest::readBack("eml", emlFiles)) {
        EXPECT_TRUE(eml["crlf"].toBool()) << eml["path"].toString().toStdString();
        EXPECT_TRUE(eml["defects"].toArray().isEmpty()) << eml["path"].toString().toStdString();
    }
    const QString mail = exported + QStringLiteral("/Mail/On My Computer/");
    for (const QJsonValue box : ertest::readBack("mbox", {mail + QStringLiteral("Composed.mbox"),
                                                                     mail + QStringLiteral("Portable.mbox")}))
        for (const QJsonValue message : box["messages"].toArray())
            EXPECT_EQ(message["defects"].toInt(), 0) << box["path"].toString().toStdString();
}

// Record fields at and past their limits, and the From_ lines of every Date
// shape and sender (mail-fields.db.txt), through both outputs.
TEST(Golden, MailFields)
{
    Described s("mail-fields");
    expectOutputsMatch(s.state, buildFolderTree(s.state), s.dir.path(), {{OutputFormat::Bundle, "mail-fields-bundle"},
                                                                   {OutputFormat::PortableExport, "mail-fields-export"}});
}

// Both outputs as a user gets them, through the run that writes them, and
// what the window lists and previews.
TEST(Golden, Sample)
{
    ertest::ScannedDatabase s(testdb::buildSampleDatabase());
    const FolderTreeModel tree = buildFolderTree(s.state);
    QTemporaryDir out;
    expectOutputsMatch(s.state, tree, out.path(), {{OutputFormat::Bundle, "sample-bundle"},
                                                   {OutputFormat::PortableExport, "sample-export"}});
    QTemporaryDir lists;
    writeLines(lists.filePath(QStringLiteral("mail.txt")), mailLists(s.state, tree, false));

    QStringList contacts, notes, events, tasks;
    for (const ContactView c : s.state.contacts)
        if (isUsableContact(c))
            contacts << recordLines(contactRowText(c), itemKeyText(c), contactPreviewLines(c));
    for (const NoteView n : s.state.notes)
        notes << recordLines(noteRowText(n), itemKeyText(n), notePreviewLines(n));
    for (const EventView e : s.state.events)
        events << recordLines(eventRowText(e), itemKeyText(e), eventPreviewLines(e));
    for (const TaskView t : s.state.tasks)
        tasks << recordLines(taskRowText(t), itemKeyText(t), taskPreviewLines(t));
    writeLines(lists.filePath(QStringLiteral("contacts.txt")), contacts);
    writeLines(lists.filePath(QStringLiteral("notes.txt")), notes);
    writeLines(lists.filePath(QStringLiteral("events.txt")), events);
    writeLines(lists.filePath(QStringLiteral("tasks.txt")), tasks);
    ertest::expectMatchesGolden(QStringLiteral("sample-lists"), lists.path());
}

// Text in every kind of item, stored 8-bit and as UTF-16 (text-export.db.txt),
// through the portable export: the files are stored, and read back once by
// readers the core does not link (Python's email, vobject and icalendar).
TEST(Golden, TextOfEveryKindInTheExport)
{
    const std::string macRomanText = "Müller Café", utf8Text = "Grüß Gott", wideText = "会議 🎉";
    Described s("text-export");
    const QString output = expectOutputsMatch(s.state, buildFolderTree(s.state), s.dir.path(),
                                              {{OutputFormat::PortableExport, "text-export"}});

    // Each file as an independent reader decodes it holds every text it was
    // given, undamaged; the golden copy says in which field.
    ERTEST_REQUIRE_PYTHON("icalendar, vobject");
    const struct {
        const char* kind;
        const char* file;
        std::vector<std::string> texts;
    } reads[] = {
        {"mbox", "Mail/On My Computer/Inbox.mbox", {"[[\"Müller, Hans\",\"hans@example.de\"]]", "Zoë 🎉", macRomanText, wideText}},
        {"vcard", "contacts.vcf", {utf8Text, macRomanText, wideText}},
        {"ical", "calendar.ics", {macRomanText, utf8Text, wideText}},
        {"ical", "notes.ics", {utf8Text, wideText}},
    };
    for (const auto& r : reads) {
        const QJsonObject file = ertest::readBack(r.kind, {output + QLatin1Char('/') + r.file}).at(0).toObject();
        QByteArray seen = QJsonDocument(file).toJson(QJsonDocument::Compact);
        for (const QJsonValue message : file["messages"].toArray()) {
            EXPECT_EQ(message["defects"].toInt(), 0);
            seen += QByteArray::fromBase64(message["bytes"].toString().toLatin1());
        }
        for (const std::string& text : r.texts)
            EXPECT_TRUE(seen.contains(text.c_str())) << r.file << " lacks " << text << ":\n" << seen.constData();
    }
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
