// The portable export's mail: mboxrd quoting, the From_ line, the mailbox
// layout, and whole exports read back by Python's mailbox module and by KMime.

#include "../PythonCheck.h"
#include "../ScanTestSupport.h"
#include "../TestFiles.h"

#include "DatabaseBuilder.h"
#include "SampleDatabase.h"
#include "archive/PortableExport.h"
#include "mail/MboxrdExport.h"
#include "mail/MessageWriter.h"
#include "archive/FolderTree.h"

#include <KMime/Message>

#include <QDirIterator>
#include <QJsonDocument>
#include <QJsonObject>

#include <memory>

using namespace er;
using namespace testdb;

namespace {

// What a reader gets back from a stored text: CR LF and CR as LF, and the
// last line ended.
QByteArray withLf(QByteArray text)
{
    text.replace("\r\n", "\n");
    text.replace('\r', '\n');
    if (!text.isEmpty() && !text.endsWith('\n'))
        text += '\n';
    return text;
}

QByteArray quotedInPieces(const QByteArray& text, int cut1, int cut2)
{
    MboxrdQuoter quoter;
    QByteArray out;
    quoter.feed(text.left(cut1), &out);
    quoter.feed(text.mid(cut1, cut2 - cut1), &out);
    quoter.feed(text.mid(cut2), &out);
    quoter.finish(&out);
    return out;
}

// A scanned database, its folder tree, and the export directory.
struct Exported {
    QTemporaryDir dir;
    ScanState state;
    FolderTreeModel tree;
    QString target;
    PortableResult result;

    explicit Exported(const QByteArray& database)
    {
        const QString path = dir.filePath(QStringLiteral("Database"));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(database) == database.size());
        file.close();
        EXPECT_EQ(scanDatabase(path, state).kind, ScanOutcome::Completed);
        tree = buildFolderTree(state);
        target = dir.filePath(QStringLiteral("export"));
    }
    void run(const PortableHooks& hooks = {}) { result = exportPortable(state, tree, target, hooks); }
    QString mail(const QString& relative) const { return target + QStringLiteral("/Mail/") + relative; }
    QStringList mailboxes() const
    {
        QStringList found;
        QDirIterator it(target + QStringLiteral("/Mail"), QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext())
            found << it.next().mid(target.size() + 6);
        found.sort();
        return found;
    }
    // The message composed for a record without stored text, in the
    // export's form.
    QByteArray composed(const MailRecord& record)
    {
        SaveContext context(target);
        context.office2004 = state.office2004;
        DatabaseFile database(state.databasePath);
        MessageWriter writer(database, state.mail, context);
        writer.setPortableForm(true);
        return writer.composedMessage(record);
    }
};

struct ReadBack {
    QList<QByteArray> fromLines;
    QList<QByteArray> messages;
    // Per message: the address and subject headers as the reader parsed
    // them, and the defects it found in them.
    QList<QJsonObject> headers;
    QList<int> defects;
};

// Every mailbox as Python's mailbox module splits it, un-quoted.
QMap<QString, ReadBack> readWithPython(const Exported& e)
{
    QStringList paths;
    for (const QString& box : e.mailboxes())
        paths << e.mail(box);
    QMap<QString, ReadBack> out;
    for (const QJsonValue file : ertest::pythonCheck("mbox_check.py", paths)) {
        ReadBack& back = out[file[QLatin1String("path")].toString().mid(e.target.size() + 6)];
        for (const QJsonValue message : file[QLatin1String("messages")].toArray()) {
            back.fromLines << message[QLatin1String("from")].toString().toUtf8();
            back.messages << QByteArray::fromBase64(message[QLatin1String("bytes")].toString().toLatin1());
            back.headers << message[QLatin1String("headers")].toObject();
            back.defects << message[QLatin1String("defects")].toInt();
        }
    }
    return out;
}

// A record and its stored text.
void addStored(Database& db, quint32 folder, quint32 mailId, const QByteArray& sender, const QString& subject,
               const QByteArray& text, quint32 date = 0)
{
    MailRecordBlock r;
    r.folderId = folder;
    r.mailId = mailId;
    r.sender = Address{sender, QStringLiteral("Someone")};
    r.subject = utf16be(subject);
    if (date)
        r.date = date;
    db.add(mlrcBlock(r));
    db.add(msrcBlock(mailId, text));
}

} // namespace

TEST(Mboxrd, LineEndsBecomeLfAndFromLinesAreQuoted)
{
    const std::pair<QByteArray, QByteArray> cases[] = {
        {"a\rb\r\nc\nd", "a\nb\nc\nd\n"},
        {"a\r\r\n\rb\r", "a\n\n\nb\n"},
        {"From x\rFrom\r From x\rFrom:x\r", ">From x\nFrom\n From x\nFrom:x\n"},
        {">From x\r>>From y\r>>>From z\r> From w\r>>", ">>From x\n>>>From y\n>>>>From z\n> From w\n>>\n"},
        {"x\n\nFrom the desk", "x\n\n>From the desk\n"},
        {"Fro", "Fro\n"},
        {"", ""},
        {"\r", "\n"},
    };
    for (const auto& [in, want] : cases) {
        EXPECT_EQ(mboxrdText(in), want) << in.toStdString();
        // Every way of cutting the text into three pieces gives the same
        // bytes: held line starts and CR LF pairs survive the cuts.
        for (int a = 0; a <= in.size(); ++a)
            for (int b = a; b <= in.size(); ++b)
                ASSERT_EQ(quotedInPieces(in, a, b), want) << in.toStdString() << " cut at " << a << ", " << b;
    }
    // The quoter starts every text afresh.
    MboxrdQuoter quoter;
    QByteArray out;
    quoter.feed("x\rFro", &out);
    quoter.finish(&out);
    quoter.feed("From y", &out);
    quoter.finish(&out);
    EXPECT_EQ(out, QByteArray("x\nFro\n>From y\n"));
}

TEST(Mboxrd, FromLineTakesTheDateHeaderInUtc)
{
    const std::pair<QByteArray, QByteArray> cases[] = {
        {"Subject: a\rDate: Thu, 2 Sep 2004 13:25:43 +0200\r\rbody", "Thu Sep  2 11:25:43 2004"},
        {"date:  Wed, 31 Dec 2008 22:30:00 -0500 (EST)\r\n\r\n", "Thu Jan  1 03:30:00 2009"},
        // Folded, obsolete zone, two-digit year, asctime form.
        {"Date: Mon,\r\n 12 Mar 07\r\n 10:11 PST\r\n\r\n", "Mon Mar 12 18:11:00 2007"},
        {"Date: Wed Mar 5 10:11:12 2008\n\n", "Wed Mar  5 10:11:12 2008"},
        // An unreadable first Date header gives way to a readable one.
        {"Date: soon\rDate: 6 Mar 2008 01:02:03 +0000\r\r", "Thu Mar  6 01:02:03 2008"},
    };
    for (const auto& [text, date] : cases)
        EXPECT_EQ(mboxrdFromLine("a@b", messageHeaderDate(text)), "From a@b " + date + '\n') << text.toStdString();

    // No date to be had: in the body only, unreadable, a day that does not
    // exist, the zero of the Mac clock, no header section at all.
    for (const QByteArray& text : {QByteArray("Subject: a\r\rDate: 6 Mar 2008 01:02:03 +0000\r"),
                                  QByteArray("Date: yesterday\r\r"), QByteArray("Date: 31 Feb 2008 01:02:03 +0000\r"),
                                  QByteArray("Date: Fri, 1 Jan 1904 00:00:00 +0000\r"), QByteArray("\rDate: 6 Mar 2008")})
        EXPECT_FALSE(messageHeaderDate(text).isValid()) << text.toStdString();
    EXPECT_EQ(mboxrdFromLine("a@b", QDateTime()), "From a@b Thu Jan  1 00:00:00 1970\n");
    EXPECT_EQ(mboxFallbackDate(), QDateTime(QDate(1970, 1, 1), QTime(0, 0), Qt::UTC));

    // The sender is one word; none at all is MAILER-DAEMON.
    const QDateTime when(QDate(2008, 3, 14), QTime(9, 5, 7), Qt::UTC);
    EXPECT_EQ(mboxrdFromLine("  jo smith@x.org\r\n", when), "From josmith@x.org Fri Mar 14 09:05:07 2008\n");
    EXPECT_EQ(mboxrdFromLine(QByteArray("a@b\0junk", 8), when), "From a@b Fri Mar 14 09:05:07 2008\n");
    EXPECT_EQ(mboxrdFromLine(" \t", when), "From MAILER-DAEMON Fri Mar 14 09:05:07 2008\n");
    EXPECT_EQ(mboxrdFromLine("m\xC3\xBC@x", when), "From m\xC3\xBC@x Fri Mar 14 09:05:07 2008\n");
}

TEST(Mboxrd, MailboxPathsMirrorTheFolderTree)
{
    const QString mail = QStringLiteral("/Main Identity.rge/Mail");
    const QString longName(200, QChar(0x65E5)); // 600 bytes of UTF-8
    const std::pair<QString, QString> cases[] = {
        {mail + QStringLiteral("/Inbox"), QStringLiteral("/x/Inbox.mbox")},
        {mail + QStringLiteral("/On My Computer/Projects/Q1-Q2"), QStringLiteral("/x/On My Computer/Projects/Q1-Q2.mbox")},
        // A directory never ends in ".mbox": it would be a sibling's mailbox.
        {mail + QStringLiteral("/Old.mbox/Child"), QStringLiteral("/x/Old.mbox.d/Child.mbox")},
        {mail + QStringLiteral("/Old.mbox"), QStringLiteral("/x/Old.mbox.mbox")},
        {mail + QStringLiteral("/"), QStringLiteral("/x/-.mbox")},
        {mail, QStringLiteral("/x/Mail.mbox")},
        {QStringLiteral("/Main Identity.rge"), QString()},
        {QStringLiteral("/Main Identity.rge/Mailbox"), QString()},
    };
    for (const auto& [folder, path] : cases)
        EXPECT_EQ(portableMailboxPath(QStringLiteral("/x"), folder), path) << folder.toStdString();

    const QString cut = portableMailboxPath(QStringLiteral("/x"), mail + '/' + longName);
    const QString name = cut.mid(3);
    EXPECT_TRUE(name.endsWith(QStringLiteral(".mbox")));
    EXPECT_LE(name.toUtf8().size(), 255);
    EXPECT_TRUE(longName.startsWith(name.chopped(5)));
}

TEST(PortableMail, MailboxesRoundTripThroughPythonsMailboxReader)
{
    ERTEST_REQUIRE_PYTHON("mailbox");
    Database db;
    db.add(flidBlock({{1, {}, QStringLiteral("Inbox")},
                      {101, {}, QStringLiteral("Projects")},
                      {102, 101u, QStringLiteral("Q1/Q2")},
                      {103, 102u, QStringLiteral("Deep")},
                      {104, {}, QString::fromUtf8("日本語フォルダ")},
                      {105, {}, QStringLiteral("Archive.mbox")},
                      {106, 105u, QStringLiteral("Old")},
                      {107, {}, QStringLiteral("Archive")}}));
    const QByteArray quoting = "Subject: quoting\rDate: Thu, 2 Sep 2004 13:25:43 +0200\r\r"
                               "From here on\r>From quoted\r>>From twice\rFrom\r From indented\r>>>\rFrom the end";
    const QByteArray crlf = "Subject: Caf\xC3\xA9\r\nDate: 7 Jan 2008 08:00:00 -0500\r\n\r\nLigne une\r\nFrom deux\r\n";
    const QByteArray cjk = "Subject: \xE4\xBC\x9A\xE8\xAD\xB0\nDate: Thu, 2 Sep 2004 13:25:43 +0900\n\n"
                           "\xE8\xAD\xB0\xE4\xBA\x8B\xE9\x8C\xB2\n>From\n";
    const QByteArray undated = "Subject: no date\r\rFrom a time long ago\r";
    const QByteArray separatorFirst = "From junk@x Sat Jan  1 00:00:00 2000\rSubject: odd\rDate: bad\r\r\r\r";
    addStored(db, 1, 11, "sender@example.org", QStringLiteral("quoting"), quoting);
    addStored(db, 1, 12, "", QString::fromUtf8("Café"), crlf);
    addStored(db, 103, 13, "cjk@example.jp", QString::fromUtf8("会議"), cjk);
    addStored(db, 106, 14, "old@example.org", QStringLiteral("no date"), undated, macStamp(1999, 12, 31, 23, 59, 58));
    addStored(db, 107, 15, "", QStringLiteral("odd"), separatorFirst);

    // A "Last, First" name and names outside ASCII in every address header.
    MailRecordBlock plain{101, {}, Address{"me@example.com", QString::fromUtf8("Müller, Hans")},
                          utf16be(QString::fromUtf8("Grüße, \"Notes\"")), macStamp(2008, 3, 7, 8, 9, 10),
                          QList<Address>{{"bob@example.org", QStringLiteral("Stone, Bob")},
                                         {"zoe@example.net", QString::fromUtf8("Zoë")}},
                          QList<Address>{{"ayse@example.tr", QString::fromUtf8("Ayşe Ünal")},
                                         {"", QStringLiteral("No Address")}}};
    plain.body = narrow("From the desk of Me\r>From here\rbye");
    db.add(mlrcBlock(plain));
    MailRecordBlock wide{104, {}, Address{"me@example.com", QStringLiteral("Me")},
                    utf16be(QString::fromUtf8("議事録とメモ")), macStamp(2008, 3, 8)};
    wide.body = utf16be(QString::fromUtf8("本文です\rFrom 二行目"));
    db.add(mlrcBlock(wide));

    Exported e(db.bytes());
    e.run();
    ASSERT_TRUE(e.result.succeeded()) << e.result.firstFailures.join('\n').toStdString();
    EXPECT_EQ(e.mailboxes(), QStringList({QStringLiteral("Archive.mbox"), QStringLiteral("Archive.mbox.d/Old.mbox"),
                                          QStringLiteral("Inbox.mbox"), QStringLiteral("Projects.mbox"),
                                          QStringLiteral("Projects/Q1-Q2/Deep.mbox"),
                                          QString::fromUtf8("日本語フォルダ.mbox")}));

    QByteArray plainComposed, wideComposed;
    for (const MailRecord& record : e.state.mail.records)
        if (record.mailId == 0)
            (record.folderId() == 101 ? plainComposed : wideComposed) = e.composed(record);
    ASSERT_FALSE(plainComposed.isEmpty());
    ASSERT_FALSE(wideComposed.isEmpty());

    const QMap<QString, ReadBack> boxes = readWithPython(e);
    const auto expect = [&](const QString& box, const QList<QByteArray>& texts, const QList<QByteArray>& fromLines) {
        const ReadBack back = boxes.value(box);
        ASSERT_EQ(back.messages.size(), texts.size()) << box.toStdString();
        for (int i = 0; i < texts.size(); ++i) {
            EXPECT_EQ(back.messages[i], withLf(texts[i])) << box.toStdString() << " #" << i;
            EXPECT_EQ(back.fromLines[i], fromLines[i]) << box.toStdString() << " #" << i;
        }
    };
    expect(QStringLiteral("Inbox.mbox"), {quoting, crlf},
           {"sender@example.org Thu Sep  2 11:25:43 2004", "MAILER-DAEMON Mon Jan  7 13:00:00 2008"});
    expect(QStringLiteral("Projects/Q1-Q2/Deep.mbox"), {cjk}, {"cjk@example.jp Thu Sep  2 04:25:43 2004"});
    // No Date header: the record's stored date.
    expect(QStringLiteral("Archive.mbox.d/Old.mbox"), {undated}, {"old@example.org Fri Dec 31 23:59:58 1999"});
    // An old envelope line first: it gives way to ours, which takes its
    // sender and, the Date header being bad, its date.
    expect(QStringLiteral("Archive.mbox"), {separatorFirst.mid(separatorFirst.indexOf('\r') + 1)},
           {"junk@x Sat Jan  1 00:00:00 2000"});
    // Composed messages: the bundle's message with LF; the From_ line's date
    // is their Date header's.
    const QByteArray plainDate = mboxrdFromLine("me@example.com", messageHeaderDate(plainComposed)).mid(5).chopped(1);
    expect(QStringLiteral("Projects.mbox"), {plainComposed}, {plainDate});
    const QJsonObject parsed = boxes.value(QStringLiteral("Projects.mbox")).headers.value(0);
    const auto addresses = [&](const char* name) { return QJsonDocument(parsed[QLatin1String(name)].toArray()).toJson(QJsonDocument::Compact).toStdString(); };
    EXPECT_EQ(addresses("From"), R"([["Müller, Hans","me@example.com"]])");
    EXPECT_EQ(addresses("To"), R"([["Stone, Bob","bob@example.org"],["Zoë","zoe@example.net"]])");
    EXPECT_EQ(addresses("Cc"), R"([["Ayşe Ünal","ayse@example.tr"]])");
    EXPECT_EQ(parsed[QLatin1String("Subject")].toString(), QString::fromUtf8("Grüße, \"Notes\""));
    EXPECT_EQ(boxes.value(QStringLiteral("Projects.mbox")).defects.value(0), 0);
    // An entry without an address keeps its name, as an empty group.
    EXPECT_TRUE(plainComposed.contains("Cc: =?UTF-8?B?QXnFn2Ugw5xuYWw=?= <ayse@example.tr>, No Address:;\r"))
        << plainComposed.left(600).toStdString();
    EXPECT_EQ(boxes.value(QString::fromUtf8("日本語フォルダ.mbox")).messages.value(0), withLf(wideComposed));

    // The mailbox bytes themselves: quoted lines, one empty line after each
    // message.
    const QByteArray inbox = ertest::readFile(e.mail(QStringLiteral("Inbox.mbox")));
    EXPECT_TRUE(inbox.contains("\n>From here on\n>>From quoted\n>>>From twice\nFrom\n From indented\n>>>\n>From the end\n\n"
                               "From MAILER-DAEMON "));
    EXPECT_TRUE(inbox.endsWith("From deux\n\n"));
    EXPECT_FALSE(inbox.contains('\r'));
}

TEST(PortableMail, UnwritableTargetsAreCountedNeverSuccess)
{
    // A regular file where Mail belongs: the mail is missing, the rest is written.
    {
        Exported e(buildSampleDatabase());
        ASSERT_TRUE(QDir().mkpath(e.target));
        QFile blocker(e.target + QStringLiteral("/Mail"));
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        int ticks = 0;
        unsigned int range = 0;
        PortableHooks hooks;
        hooks.initialSettings = [&](unsigned int r) { range = r; };
        hooks.progress = [&] { ++ticks; };
        e.run(hooks);
        EXPECT_FALSE(e.result.succeeded());
        EXPECT_EQ(e.result.failureCount, 1);
        EXPECT_EQ(e.result.firstFailures, QStringList{blocker.fileName() + QStringLiteral(": cannot create the directory")});
        EXPECT_EQ(ticks, int(range)) << "progress still reaches its end";
        for (const char* name : {"contacts.vcf", "calendar.ics", "notes.ics", "README.txt"})
            EXPECT_TRUE(QFileInfo(e.target + '/' + name).size() > 0) << name;
    }
    // The database is gone by the time of the export: the mail cannot be read.
    {
        Exported e(buildSampleDatabase());
        ASSERT_TRUE(QFile::remove(e.state.databasePath));
        e.run();
        EXPECT_FALSE(e.result.succeeded());
        EXPECT_EQ(e.result.failureCount, 1);
    }
}

TEST(PortableMail, SampleExportReadByPythonAndKMime)
{
    ERTEST_REQUIRE_PYTHON("mailbox");
    Exported e(buildSampleDatabase());
    QStringList statuses;
    unsigned int range = 0;
    int ticks = 0;
    PortableHooks hooks;
    hooks.status = [&](const QString& text) { statuses << text; };
    hooks.initialSettings = [&](unsigned int r) { range = r; };
    hooks.progress = [&] { ++ticks; };
    e.run(hooks);
    ASSERT_TRUE(e.result.succeeded()) << e.result.firstFailures.join('\n').toStdString();
    EXPECT_EQ(e.result.directory, e.target);
    EXPECT_EQ(statuses, QStringList({QStringLiteral("Exporting Mail Folders..."), QStringLiteral("Exporting Contacts..."),
                                     QStringLiteral("Exporting Calendar Items and Tasks..."),
                                     QStringLiteral("Exporting Notes..."), QStringLiteral("Writing Import Instructions...")}));
    EXPECT_EQ(range, unsigned(kSampleMailCount + kSampleContactBlocks + kSampleEvents + kSampleTasks + kSampleNotes));
    EXPECT_EQ(ticks, int(range));

    // Python's mailbox reader finds every message (which mailbox holds which
    // is in the golden files).
    const QMap<QString, ReadBack> boxes = readWithPython(e);
    int all = 0;
    for (const ReadBack& box : boxes)
        all += box.messages.size();
    EXPECT_EQ(all, kSampleMailCount);

    // KMime, a second reader, parses each message; every record's subject is
    // among the subjects it reads.
    QStringList subjects;
    for (const ReadBack& box : boxes) {
        for (const QByteArray& bytes : box.messages) {
            KMime::Message message;
            message.setContent(bytes);
            message.parse();
            const QString subject = message.subject()->asUnicodeString();
            EXPECT_FALSE(subject.isEmpty()) << bytes.left(300).toStdString();
            EXPECT_TRUE(message.date(false) && message.date()->dateTime().isValid());
            subjects << subject;
        }
    }
    QStringList recordSubjects;
    for (const StoredMessage& summary : e.state.mail.messages)
        if (!summary.subject.isEmpty())
            recordSubjects << e.state.mail.text(summary.subject);
    for (const MailRecord& record : e.state.mail.records)
        if (record.mailId == 0)
            recordSubjects << e.state.mail.text(record.subject);
    // The two summaries without a mail record have no subject of their own.
    EXPECT_EQ(recordSubjects.size(), kSampleSummaries - 2 + kSampleMailRecordsWithoutSource);
    for (const QString& subject : recordSubjects)
        EXPECT_TRUE(subjects.contains(subject)) << subject.toStdString();
    EXPECT_TRUE(subjects.contains(QString::fromUtf8("Z\u00fcrich office opening")));
}
