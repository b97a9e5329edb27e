// Whole outputs of the sample database against their stored copies: the
// archive bundle, the portable export, and what the window lists and
// previews. Runs with TZ=UTC and a pinned clock, so the stored bytes hold on
// every host and every day.

#include "GoldenFiles.h"

#include "../core/PythonCheck.h"
#include "DatabaseBuilder.h"
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

// ---- The mail side, on a database of its own --------------------------------

// Folders, message texts and mail records that take the mail rules to their
// edges: separator lines of every Date shape, line-start From, a damaged
// text length and a file that ends inside a body, composed messages at and
// over their limits with attachments named twice or not at all, folder
// names that a disk would fold together or refuse, orphans and a repeated
// mail id.
QByteArray mailCasesDatabase()
{
    using namespace testdb;
    const auto u = [](const char* utf8) { return QString::fromUtf8(utf8); };
    QList<FolderEntry> folders{{7, {}, u("On My Computer")}, {1, 7u, u("Inbox")}, {3, 7u, u("A")},
                               {31, 3u, u("Archive")}, {4, 7u, u("B")}, {41, 4u, u("Archive")},
                               {5, 7u, u("Empty")}, {6, 7u, u("Damaged")}, {8, 7u, u("Composed")},
                               {9, 7u, u("Portable")}, {10, 7u, u("Eml")}, {30, 7u, u("List")},
                               {32, 7u, u("Preview")}};
    FolderEntry eightBit{2, 7u, u("Привет")};
    eightBit.eightBit = true;
    folders << eightBit;
    // One stored message each, "Mail <id>": the names are what is tested.
    const QList<FolderEntry> named{
        {11, 7u, u("inbox")}, {12, 7u, u("INBOX")}, {13, 7u, u("Box")}, {14, 13u, u("Box.mbox")},
        {15, 7u, u("Box.mbox")}, {16, 7u, QString()}, {17, 7u, u("Line\nbreak")}, {18, 7u, u("Re: plans")},
        {19, 7u, u("Misc.")}, {20, 7u, u("CON")}, {21, 7u, u("Trailing ")}, {22, 7u, u("Zürich")},
        {23, 7u, u("Zu\u0308rich")}, {24, 7u, u("Same")}, {25, 7u, u("Same")}, {26, 7u, QString(120, QChar(0x65E5))},
        {27, 7u, u("Projects")}, {28, 27u, u("Q1/Q2")}, {29, 28u, u("Deep")}, {100000, 7u, u("Hundred thousand")}};
    folders += named;

    Database db;
    db.add(flidBlock(folders));
    const auto stored = [&db](quint32 folder, quint32 id, const QByteArray& text, MailRecordBlock r = {}) {
        r.folderId = folder;
        r.mailId = id;
        db.add(mlrcBlock(r));
        db.add(msrcBlock(id, text));
    };
    const auto dated = [](const QByteArray& date, const QByteArray& body) {
        return "Subject: s\rDate: " + date + "\r\r" + body + "\r";
    };
    // Scan order, not id order, is mailbox order.
    stored(1, 102, dated("Wed, 12 Mar 2008 10:11:12 +0100", "second"));
    stored(1, 101, dated("5 Mar 2008 10:11:12 +0100", "From me\rsaid From you"));
    stored(1, 103, dated("Wed Mar 5 10:11:12 2008", "asctime"));
    stored(1, 104, "Subject: a\rDate: Wednesday, 5 Mar 2008\rX: y\rDate: 6 Mar 2008 01:02:03 +0000\r\rsecond Date\r");
    stored(1, 105, "Subject: Hello World\rFrom: a@b\r\rno Date header\r");
    stored(2, 106, dated("1 Apr 2008 00:00:00 +0000", "third"));
    MailRecordBlock subjectOnly;
    subjectOnly.subject = utf16be(u("kept"));
    stored(2, 107, "Subject: tin\r\rtiny\r", subjectOnly); // 19 bytes, kept for its subject
    stored(5, 108, "Subject: tin\r\rtiny\r");              // 19 bytes and nothing else: not written
    stored(31, 109, dated("2 Apr 2008 00:00:00 +0000", "in A"));
    stored(41, 110, dated("3 Apr 2008 00:00:00 +0000", "in B"));
    db.add(mlrcBlock({6, 111}));
    db.add(msrcBlock(111, dated("5 Mar 2008 10:11:12 +0100", "a length far past the block"), 0x00FFFFFF));
    for (const FolderEntry& f : named)
        stored(f.id, 1000 + f.id, "Subject: Mail " + QByteArray::number(f.id) + "\r\rText\r");

    // The portable export's quoting, line ends and From_ lines.
    MailRecordBlock someone;
    someone.sender = Address{"sender@example.org", u("Someone")};
    stored(9, 201, "Subject: quoting\rDate: Thu, 2 Sep 2004 13:25:43 +0200\r\rFrom here on\r>From quoted\r"
                   ">>From twice\rFrom\r From indented\r>>>\rFrom the end", someone);
    stored(9, 202, "Subject: Caf\xC3\xA9\r\nDate: 7 Jan 2008 08:00:00 -0500\r\n\r\nLigne une\r\nFrom deux\r\n");
    stored(9, 203, "Subject: \xE4\xBC\x9A\xE8\xAD\xB0\nDate: Thu, 2 Sep 2004 13:25:43 +0900\n\n>From\n", someone);
    MailRecordBlock undated = someone;
    undated.date = macStamp(1999, 12, 31, 23, 59, 58);
    stored(9, 204, "Subject: no date\r\rFrom a time long ago\r", undated);
    stored(9, 205, "From junk@x Sat Jan  1 00:00:00 2000\rSubject: odd\rDate: bad\r\r\r\r");

    // Message files: envelope lines, every line end, names no disk takes,
    // attachments without usable names.
    stored(10, 301, "From someone@example.com Tue Mar  4 10:00:00 2008\rDate: Tue, 4 Mar 2008 23:30:00 -0500\r"
                    "Subject: Envelope\r\rbody\r");
    stored(10, 302, "Subject: Undated\n\nfirst\nlast");
    stored(10, 303, "Date: Wed, 5 Mar 2008 08:00:00 +0000\r\n\r\none\rtwo\nthree\r\n\r\r\n");
    stored(10, 304, "Subject: a/b\\c: <d> \"e\" | f? *\r\rx\r");
    stored(10, 305, "Subject: CON\r\rx\r");
    stored(10, 306, "Date: Tue, 4 Mar 2008 10:00:00 +0000\rSubject: Scans\rMime-version: 1.0\r"
                    "Content-type: multipart/mixed; boundary=\"b\"\r\r--b\rContent-type: text/plain\r\rSee the scans.\r"
                    "--b\rContent-type: application/octet-stream\rContent-disposition: attachment\r"
                    "Content-transfer-encoding: base64\r\r" + QByteArray("\x00\x01\xFF scan", 8).toBase64() + "\r"
                    "--b\rContent-type: text/plain; name=\"../../outside.txt\"\r"
                    "Content-disposition: attachment; filename=\"../../outside.txt\"\r\rkept inside\r--b--\r");

    // List rows: a sender, a subject, both or neither in the record, the
    // text read for what is missing, and the attachment mark.
    const auto listed = [&](quint32 id, std::optional<Address> sender, const char* subject, const QByteArray& text) {
        MailRecordBlock r;
        r.sender = sender;
        if (subject)
            r.subject = utf16be(u(subject));
        stored(30, id, text, r);
    };
    listed(501, Address{"a@x", u("Ann")}, "Both", "X: 1\rSubject: not read\r\r");
    listed(502, {}, "Subject only", "X: 1\rFrom: not read\r\r");
    listed(503, Address{"b@x", u("Bob")}, nullptr, "X: 1\rX-Other: nothing to find\r\rbody");
    listed(504, {}, nullptr, "X: 1\rFrom: Carol <c@x>\rSubject: From the text\r\rbody");
    // The text is read behind the block's 20-byte header; the attachment
    // test reads from the block's start, missing the text's last 20 bytes.
    listed(505, {}, nullptr, "X: 1\r" + QByteArray(40, 'x') + "\rSubject: at the end\r");
    listed(506, {}, nullptr, "X: 1\r" + QByteArray(40, 'x') + "\rContent-Description: a\r");
    listed(507, {}, "s", "X: 1\rContent-Description: a.pdf\r" + QByteArray(40, 'x'));
    listed(508, {}, "s", "X: 1\rContent-Description:   \r" + QByteArray(40, 'x'));
    MailRecordBlock inRecord{30};
    inRecord.body = narrow("0123456789012345678\rSubject: from the record body\r\r");
    db.add(mlrcBlock(inRecord));

    // Previews: header lines in their fixed order, attachment names, 8-bit
    // header text, bodies in every encoding and structure.
    const QList<QByteArray> previewed{
        "Received: x\nSubject: Quarterly\n\tfigures\nTo: bob@example.com\nFrom: Ann <a@x>\nCc: cc@x\nBcc: bcc@x\n"
        "Date: Wed, 5 Mar 2008 10:11:12 +0100\nSubject: second\n\nHello <Bob> & co\nsecond line\n",
        "From: first@x\nSubject: s\n\nsome body text\n",
        "X-Padding: 0123456789\nTo: a value that runs to the end",
        "X-Padding: 0123456789\nCc: near end",
        "Subject: s\nContent-Description:a\nX: y\nContent-Description:b\n\nbody of the message\n",
        "Subject: s\nContent-Description: " + QByteArray(253, 'x') + "\xC3\xA9tail\n\nbody of the message\n",
        "X: y\nSubject: caf\xC3\xA9\nFrom: Fran\x8Dois\n\nbody of the message\n",
        "Subject: s\nContent-Type: text/plain; charset=\"ISO-8859-1\"\nContent-Transfer-Encoding: 8bit\n\n"
        "caf\xE9 <b>\nline two\n",
        "Content-Type: text/plain; charset=x-nowhere\n\nna\xC3\xAFve text\n",
        "Content-Type: text/plain; charset=x-nowhere\n\nna\x95ve text\n",
        "Subject: s\nContent-Type: text/html; charset=utf-8\nContent-Transfer-Encoding: quoted-printable\n\n"
        "<html><head><meta http-equiv=3D\"Content-Type\" content=3D\"text/html; charset=3Diso-8859-1\">"
        "</head><body>Caf=C3=A9 =\nau lait</body></html>\n",
        "Subject: s\nContent-Type: text/html; charset=iso-8859-1\nContent-Transfer-Encoding: base64\n\n"
            + QByteArray("<p>Gr\xFC\xDF" "e</p>").toBase64() + "\n",
        "Subject: s\nContent-Type: multipart/mixed;\n\tboundary=\"outer\"\n\npreamble\n--outer\n"
        "Content-Type: multipart/alternative; boundary=inner\n\n--inner\nContent-Type: text/plain\n\nplain words\n"
        "--inner\nContent-Type: text/html\nContent-Transfer-Encoding: quoted-printable\n\n<b>html=20words</b>\n"
        "--inner--\n--outer\nContent-Type: text/html; name=a.html\nContent-Disposition: attachment\n"
        "Content-Description: a.html\n\n<i>attached</i>\n--outer--\n",
        "Subject: s\nContent-Type: multipart/mixed; boundary=b\n\n--b\nContent-Type: application/pdf\n"
        "Content-Transfer-Encoding: base64\nContent-Description: a.pdf\n\nJVBERi0=\n--b--\n",
        "Subject: s\nContent-Type: image/png\n\nPNGDATA\n",
        "Subject: s\nContent-Type: text/plain\n\n \n\n",
        "Subject: s\nContent-Type: multipart/mixed; boundary=gone\n\nleft over words\n",
    };
    quint32 previewId = 600;
    for (const QByteArray& text : previewed) {
        stored(32, ++previewId, QByteArray(text).replace('\n', '\r'));
        stored(32, ++previewId, QByteArray(text).replace("\n", "\r\n")); // CR LF reads the same
    }

    // Under a repeated mail id the later text is linked, the earlier one is
    // an orphan; so are a text without record and one whose folder is lost.
    stored(1, 400, "Subject: earlier 400\r\rtext\r");
    db.add(msrcBlock(400, "Subject: later 400\r\rtext\r"));
    db.add(msrcBlock(401, "Subject: no record\r\rtext\r"));
    stored(99, 402, "Subject: folder lost\r\rtext\r");

    // Composed messages: records without stored text.
    const quint32 stamp = macStamp(2008, 3, 5, 10, 11, 12);
    const Address alice{"alice@example.com", u("Alice")};
    const auto composed = [&](MailRecordBlock r) {
        if (!r.folderId)
            r.folderId = 8;
        if (!r.sender)
            r.sender = alice;
        if (!r.date)
            r.date = stamp;
        db.add(mlrcBlock(r));
    };
    const auto listOfSize = [](int total, int entries) { // 5 bytes for the list, 34 per entry and its address
        QList<Address> list;
        for (int k = 1; k <= entries; ++k)
            list << Address{QByteArray((total - 5) / entries - 34 + (k < entries ? 0 : (total - 5) % entries), 'a'), "N"};
        return list;
    };
    const QByteArray binary("\x00\x01\x02\x03 binary", 11);
    composed({{}, {}, {}, utf16be(u("Hello")), {}, QList<Address>{{"bob@example.com", "Bob"}, {"carol@example.com", "Carol"}},
              QList<Address>{{"dave@example.com", "Dave"}},
              narrow("Hello <world> & you\rFrom me\r\n" + QByteArray("a=b ").repeated(40) + "\nlast line"), {7, 8},
              "1234@example.com", "AcB1Zw==", utf16be(u("Topic"))});
    composed({{}, {}, Address{"zoe@example.com", u("Zoë")}, utf16be(u("Grüße ☃")), {},
              QList<Address>{{"o@example.com", u("Ωmega")}}, {}, utf16be(u("Ünïcödé <b>\rzweite Zeile 😀")), {}, {}, {},
              utf16be(u("Thème"))});
    composed({{}, {}, {}, {}, {}, {}, {}, narrow("caf\x8E")});
    composed({{}, {}, Address{"a@example.com", QString(55, 'n')}, utf16be(QString(60, 's')), {}, listOfSize(1000, 1),
              listOfSize(40000, 100), narrow("at the limits")});
    composed({{}, {}, {}, utf16be(u("😀").repeated(60)), {}, listOfSize(1001, 1), listOfSize(40001, 100),
              narrow("over the limits")});
    // A name of 256 bytes and one that runs past the data are written empty.
    composed({{}, {}, {}, {}, {}, {}, QList<Address>{}, narrow("x"), {}, {}, {}, {},
              {prop(kToTag, be32(3) + QByteArray(25, '\0') + be32(3) + "a@x" + be32(2) + utf16be("A")
                                + QByteArray(24, '\0') + be32(3) + "b@x" + be32(256) + QByteArray(256, 'B')
                                + QByteArray(24, '\0') + be32(3) + "c@x" + be32(50) + utf16be("C"))}});
    composed({{}, {}, {}, utf16be(u("header only")), {}, {}, {}, QByteArray()});
    MailRecordBlock attached{{}, {}, {}, utf16be(u("attached")), {}, {}, {}, narrow("From me\rsaid From you")};
    attached.attachmentIds = {7, 99, 7, 8, 7};
    composed(attached);
    composed({{}, {}, Address{"me@example.com", u("Müller, Hans")}, utf16be(u("Grüße, \"Notes\"")), {},
              QList<Address>{{"bob@example.org", u("Stone, Bob")}, {"zoe@example.net", u("Zoë")}},
              QList<Address>{{"ayse@example.tr", u("Ayşe Ünal")}, {"", u("No Address")}},
              narrow("From the desk of Me\r>From here\rbye")});
    composed({9, {}, {}, utf16be(u("議事録とメモ")), {}, {}, {}, utf16be(u("本文です\rFrom 二行目"))});
    composed({99, {}, {}, utf16be(u("orphan")), {}, {}, {}, narrow("orphan body")});
    composed({1, {}, {}, utf16be(u("composed in the inbox")), {}, {}, {}, narrow("composed in the inbox")});
    db.add(attcBlock(7, "Content-Type: application/octet-stream\rContent-Transfer-Encoding: base64\r\r"
                            + binary.toBase64() + "\r"));
    db.add(attcBlock(7, "shadowed"));
    db.add(attcBlock(8, "Content-Type: text/plain\r\rAttached note\r"));
    // The file ends inside the last body: no body parts for it.
    composed({{}, {}, {}, utf16be(u("cut")), {}, {}, {}, narrow(QByteArray(300, 'q'))});
    return db.bytes().left(db.bytes().lastIndexOf(QByteArray(300, 'q')) + 10);
}

} // namespace

// Both outputs and the per-message actions over the mail cases: the stored
// bytes, then what independent readers make of them.
TEST(Golden, MailCases)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Database"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(mailCasesDatabase());
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
