// Whole outputs of the sample database against their stored copies: the
// archive bundle, the portable export, and what the window lists and
// previews. Runs with TZ=UTC and a pinned clock, so the stored bytes hold on
// every host and every day.

#include "GoldenFiles.h"

#include "../core/PythonCheck.h"
#include "DatabaseBuilder.h"
#include "DescribedDatabase.h"
#include "PimBlocks.h"
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
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <cstring>
#include <map>

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

// Both outputs and the per-message actions over the mail cases
// (mail-cases.db.txt): the stored bytes, then what independent readers make
// of them.
TEST(Golden, MailCases)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Database"));
    QString error;
    const QByteArray database = testdb::describedDatabaseFile(QStringLiteral(ER_GOLDEN_DIR "/mail-cases.db.txt"), &error);
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(database) == database.size());
    file.close();
    ScanState state;
    ASSERT_EQ(scanDatabase(path, state).kind, ScanOutcome::Completed);
    const FolderTreeModel tree = buildFolderTree(state);
    QString exported;
    for (const auto& [format, name] : {std::pair<OutputFormat, const char*>{OutputFormat::Bundle, "mail-bundle"},
                                       {OutputFormat::PortableExport, "mail-export"}}) {
        OutputTarget request;
        request.format = format;
        request.folder = dir.filePath(QLatin1String(name));
        request.databasePath = path;
        const OutputResult result = writeOutput(state, tree, request);
        ASSERT_TRUE(result.succeeded()) << result.firstFailures.join(QLatin1Char('\n')).toStdString();
        ertest::expectMatchesGolden(QLatin1String(name), result.output);
        exported = result.output;
    }

    // What the list shows of every folder; every listed message as a file,
    // with its attachments, folder by folder; and one folder exported with
    // its subfolders.
    const QString actions = dir.filePath(QStringLiteral("actions"));
    QStringList lists;
    for (const int index : tree.preOrder()) {
        const quint64 id = tree.item(index).folderId;
        if (id == 0)
            continue;
        const std::vector<MailListRow> rows = mailListRows(state, id);
        lists << QStringLiteral("folder: ") + tree.path(index);
        for (const MailListRow& row : rows) {
            const MessagePreview preview = previewMessage(messageTextOfRow(state, row));
            lists << recordLines(row.text, QStringLiteral("%1 %2%3").arg(row.offset).arg(row.size)
                                               .arg(row.hasAttachment ? QStringLiteral(" attachment") : QString()),
                                 preview.headerLines + QStringList(QString::fromUtf8(preview.bodyHtml)));
        }
        // The folders named only for their names hold nothing new here.
        if ((id > 10 && id <= 100000) || rows.empty())
            continue;
        const QString folder = actions + QStringLiteral("/%1/").arg(id);
        const MessageActionResult eml = saveMessagesAsEml(state, rows, folder + QStringLiteral("eml"));
        ASSERT_TRUE(eml.succeeded()) << eml.firstFailures.join(QLatin1Char('\n')).toStdString();
        const MessageActionResult parts = saveAttachments(state, rows, folder + QStringLiteral("attachments"));
        ASSERT_TRUE(parts.succeeded()) << parts.firstFailures.join(QLatin1Char('\n')).toStdString();
    }
    writeLines(actions + QStringLiteral("/lists.txt"), lists);
    const MessageActionResult projects = exportMailFolder(state, tree, 27, actions + QStringLiteral("/Projects export"));
    ASSERT_TRUE(projects.succeeded()) << projects.firstFailures.join(QLatin1Char('\n')).toStdString();
    ertest::expectMatchesGolden(QStringLiteral("mail-actions"), actions);

    ERTEST_REQUIRE_PYTHON("email, mailbox");
    QStringList composedFiles;
    for (const QString& name : QDir(actions + QStringLiteral("/8/eml")).entryList(QDir::Files))
        composedFiles << actions + QStringLiteral("/8/eml/") + name;
    for (const QJsonValue eml : ertest::readBack("eml", composedFiles)) {
        EXPECT_TRUE(eml["crlf"].toBool()) << eml["path"].toString().toStdString();
        EXPECT_TRUE(eml["defects"].toArray().isEmpty()) << eml["path"].toString().toStdString();
    }
    const QString mail = exported + QStringLiteral("/Mail/On My Computer/");
    for (const QJsonValue box : ertest::readBack("mbox", {mail + QStringLiteral("Composed.mbox"),
                                                                     mail + QStringLiteral("Portable.mbox")}))
        for (const QJsonValue message : box["messages"].toArray())
            EXPECT_EQ(message["defects"].toInt(), 0) << box["path"].toString().toStdString();
}

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
    for (const ContactView c : s.state.contacts)
        if (isUsableContact(c))
            contacts << recordLines(contactRowText(c), itemKeyText(c), contactPreviewLines(c));
    for (const NoteView n : s.state.notes)
        notes << recordLines(noteRowText(n), itemKeyText(n), notePreviewLines(n));
    for (const EventView e : s.state.events)
        events << recordLines(eventRowText(e), itemKeyText(e), eventPreviewLines(e));
    for (const TaskView t : s.state.tasks)
        tasks << recordLines(taskRowText(t), itemKeyText(t), taskPreviewLines(t));
    writeLines(out.filePath(QStringLiteral("contacts.txt")), contacts);
    writeLines(out.filePath(QStringLiteral("notes.txt")), notes);
    writeLines(out.filePath(QStringLiteral("events.txt")), events);
    writeLines(out.filePath(QStringLiteral("tasks.txt")), tasks);
    ertest::expectMatchesGolden(QStringLiteral("sample-lists"), out.path());
}

// Text in every kind of item, stored 8-bit (Mac Roman, or UTF-8 in the
// Latin-1 range) and as UTF-16 (CJK, emoji), through the portable export:
// the files are stored, and read back once by readers the core does not
// link (Python's email, vobject and icalendar).
TEST(Golden, TextOfEveryKindInTheExport)
{
    using namespace testdb;
    const QByteArray macRoman = "M\x9Fller Caf\x8E";      // "Müller Café"
    const QByteArray utf8 = "Gr\xC3\xBC\xC3\x9F Gott";  // "Grüß Gott"
    const QString wide = QString::fromUtf8("会議 🎉");
    const std::string macRomanText = "Müller Café", utf8Text = "Grüß Gott", wideText = "会議 🎉";

    Database db;
    db.add(flidBlock({{7, {}, QStringLiteral("On My Computer")}, {1, 7u, QStringLiteral("Inbox")}}));
    MailRecordBlock mail{1, {}, Address{"hans@example.de", QString::fromUtf8("Müller, Hans")}, narrow(macRoman),
                         macStamp(2008, 3, 7, 8, 9, 10),
                         QList<Address>{{"zoe@example.net", QString::fromUtf8("Zoë 🎉")}}};
    mail.body = utf16be(wide);
    db.add(mlrcBlock(mail));
    db.add(contactBlock({markedProp(kFirstNameTag, macRoman), markedProp(kLastNameTag, utf8),
                         wideProp(kCompanyTag, wide), prop(kContactGuidTag, guidBytes(1))}));
    db.add(eventBlock({markedProp(kEventSummaryTag, macRoman), markedProp(kEventLocationTag, utf8),
                       wideProp(kEventDescriptionTag, wide), prop(kEventGuidTag, guidBytes(2)),
                       prop(kEventStartTag, calendarTime(calendarStamp(2008, 5, 7, 10)))}));
    db.add(taskBlock({markedProp(kTaskNameTag, macRoman), wideProp(kTaskNoteTag, wide), prop(kTaskGuidTag, guidBytes(3))}));
    db.add(noteBlock({markedProp(kNoteSummaryTag, utf8), wideProp(kNoteDescriptionTag, wide),
                      prop(kNoteGuidTag, guidBytes(4))}));

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Database"));
    ASSERT_TRUE(db.writeTo(path));
    ScanState state;
    ASSERT_EQ(scanDatabase(path, state).kind, ScanOutcome::Completed);
    OutputTarget request;
    request.format = OutputFormat::PortableExport;
    request.folder = dir.filePath(QStringLiteral("out"));
    request.databasePath = path;
    const OutputResult result = writeOutput(state, buildFolderTree(state), request);
    ASSERT_TRUE(result.succeeded()) << result.firstFailures.join(QLatin1Char('\n')).toStdString();
    ertest::expectMatchesGolden(QStringLiteral("text-export"), result.output);

    ERTEST_REQUIRE_PYTHON("icalendar, vobject");
    const QString out = result.output + QLatin1Char('/');
    const QJsonObject message = ertest::readBack("mbox", {out + QStringLiteral("Mail/On My Computer/Inbox.mbox")})
                                    .at(0)["messages"].toArray().at(0).toObject();
    const QJsonObject headers = message["headers"].toObject();
    const auto json = [](const QJsonValue& v) { return QJsonDocument(v.toArray()).toJson(QJsonDocument::Compact).toStdString(); };
    EXPECT_EQ(json(headers["From"]), R"([["Müller, Hans","hans@example.de"]])");
    EXPECT_EQ(json(headers["To"]), R"([["Zoë 🎉","zoe@example.net"]])");
    EXPECT_EQ(headers["Subject"].toString().toStdString(), macRomanText);
    EXPECT_EQ(message["defects"].toInt(), 0);
    EXPECT_TRUE(QByteArray::fromBase64(message["bytes"].toString().toLatin1()).contains(wide.toUtf8()));

    const QJsonObject card = ertest::readBack("vcard", {out + QStringLiteral("contacts.vcf")})
                                 .at(0)["cards"].toArray().at(0).toObject();
    EXPECT_EQ(card["n"].toArray().at(0)["value"].toArray().at(0).toString().toStdString(), utf8Text);
    EXPECT_EQ(card["n"].toArray().at(0)["value"].toArray().at(1).toString().toStdString(), macRomanText);
    EXPECT_EQ(card["org"].toArray().at(0)["value"].toVariant().toStringList().join(QString()).toStdString(), wideText);

    const auto propsOf = [](const QJsonValue& component) {
        std::map<std::string, std::string> props;
        for (const QJsonValue p : component["props"].toArray())
            props[p["name"].toString().toStdString()] = p["value"].toVariant().toString().toStdString();
        return props;
    };
    const QJsonArray calendar = ertest::readBack("ical", {out + QStringLiteral("calendar.ics")})
                                    .at(0)["calendar"]["components"].toArray();
    std::map<std::string, std::map<std::string, std::string>> byKind;
    for (const QJsonValue c : calendar)
        byKind[c["name"].toString().toStdString()] = propsOf(c);
    EXPECT_EQ(byKind["VEVENT"]["SUMMARY"], macRomanText);
    EXPECT_EQ(byKind["VEVENT"]["LOCATION"], utf8Text);
    EXPECT_EQ(byKind["VEVENT"]["DESCRIPTION"], wideText);
    EXPECT_EQ(byKind["VTODO"]["SUMMARY"], macRomanText);
    EXPECT_EQ(byKind["VTODO"]["DESCRIPTION"], wideText);
    const QJsonArray notes = ertest::readBack("ical", {out + QStringLiteral("notes.ics")})
                                 .at(0)["calendar"]["components"].toArray();
    ASSERT_EQ(notes.size(), 1);
    EXPECT_EQ(propsOf(notes.at(0))["SUMMARY"], utf8Text);
    EXPECT_EQ(propsOf(notes.at(0))["DESCRIPTION"], wideText);
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
