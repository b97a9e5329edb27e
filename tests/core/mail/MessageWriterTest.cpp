#include "DatabaseBuilder.h"
#include "mail/MessageWriter.h"
#include "scan/BlockScanner.h"

#include <QDateTime>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

using namespace er;
using namespace testdb;

namespace {

const QByteArray kOuter = "B_3363326825_117679";

// One folder and the given blocks, scanned by the real scanner and kept on
// disk for the writer to read back.
struct Scanned {
    QTemporaryDir dir;
    ScanState state;
    DatabaseFile database;
    std::unique_ptr<SaveContext> context;
    std::atomic<bool> stop{false};

    // cutInside: the file ends 10 bytes into the first occurrence of these bytes.
    explicit Scanned(const QList<QByteArray>& blocks, bool office2004 = false, const QByteArray& cutInside = {})
    {
        Database db(office2004);
        db.add(flidBlock({FolderEntry{1, {}, QStringLiteral("Inbox")}}));
        for (const QByteArray& b : blocks)
            db.add(b);
        QFile file(dir.filePath(QStringLiteral("Database")));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(cutInside.isEmpty() ? db.bytes() : db.bytes().left(db.bytes().indexOf(cutInside) + 10));
        file.close();
        scanDatabase(file.fileName(), state);
        EXPECT_TRUE(database.open(file.fileName()));
        context = std::make_unique<SaveContext>(state, dir.path());
        context->hooks.stop = &stop;
    }
    QByteArray compose(int index = 0)
    {
        return MessageWriter(database, *context).composedMessage(state.mlrcList.at(static_cast<size_t>(index)));
    }
};

MailRecord record(const QByteArray& body)
{
    MailRecord r;
    r.folderId = 1;
    r.subject = utf16be(QStringLiteral("Hello"));
    r.sender = Address{"alice@example.com", QStringLiteral("Alice")};
    r.date = macStamp(2008, 3, 5, 10, 11, 12);
    r.body = body;
    return r;
}

// The header line that starts with `name`, up to its CR; empty when absent.
QByteArray headerLine(const QByteArray& message, const QByteArray& name)
{
    const int at = message.indexOf("\r" + name) + 1;
    return at > 0 ? message.mid(at, message.indexOf('\r', at) - at) : QByteArray();
}

// The parts as an independent MIME reader, Python's email package, sees them.
QJsonArray mimeParts(const QByteArray& message)
{
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QFileInfo(QStringLiteral(__FILE__)).dir().filePath(QStringLiteral("../../support/mime_check.py"))});
    python.write(message);
    python.closeWriteChannel();
    EXPECT_TRUE(python.waitForFinished(60000));
    EXPECT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    const QJsonArray parts = QJsonDocument::fromJson(python.readAllStandardOutput()).array();
    for (const QJsonValue& p : parts)
        EXPECT_TRUE(p[QStringLiteral("defects")].toArray().isEmpty()) << p[QStringLiteral("type")].toString().toStdString();
    return parts;
}

QString field(const QJsonArray& parts, int i, const char* key)
{
    return parts[i][QLatin1String(key)].toString();
}

QByteArray payload(const QJsonArray& parts, int i)
{
    return QByteArray::fromBase64(field(parts, i, "payload").toLatin1()).replace("\r\n", "\r").trimmed();
}

QStringList typesOf(const QJsonArray& parts)
{
    QStringList types;
    for (int i = 0; i < parts.size(); ++i)
        types << field(parts, i, "type");
    return types;
}

#define REQUIRE_PYTHON()                                                                                               \
    if (!QFileInfo::exists(QStringLiteral("/usr/bin/python3")))                                                       \
    GTEST_SKIP() << "/usr/bin/python3 is not installed"

// An address list of exactly `total` bytes in `entries` entries named "N".
QList<Address> listOfSize(int total, int entries)
{
    QList<Address> list;
    for (int k = 0, used = 5; k < entries; ++k) {
        const int size = k + 1 < entries ? (total - 5) / entries : total - used;
        list << Address{QByteArray(size - 34, 'a'), QStringLiteral("N")};
        used += size;
    }
    return list;
}

} // namespace

TEST(MessageWriter, ComposedMessageReadsBackAsMime)
{
    REQUIRE_PYTHON();
    const QByteArray binary("\x00\x01\x02\x03 binary", 11);
    const QByteArray firstPayload =
        "Content-Type: application/octet-stream\rContent-Transfer-Encoding: base64\r\r" + binary.toBase64() + "\r";
    const QByteArray secondPayload = "Content-Type: text/plain\r\rAttached note\r";
    const QByteArray longLine = QByteArray("a=b ").repeated(40);
    const QByteArray body = "Hello <world> & you\rFrom me\r\n" + longLine + "\nlast line";
    MailRecord r = record(narrow(body));
    r.to = QList<Address>{{"bob@example.com", QStringLiteral("Bob")}, {"carol@example.com", QStringLiteral("Carol")}};
    r.cc = QList<Address>{{"dave@example.com", QStringLiteral("Dave")}};
    r.messageId = "1234@example.com";
    r.threadTopic = utf16be(QStringLiteral("Topic"));
    r.threadIndex = "AcB1Zw==";
    r.attachmentIds = {7, 8};
    Scanned s({mlrcBlock(r), attcBlock(7, firstPayload), attcBlock(8, secondPayload)});
    const QByteArray message = s.compose();

    const QByteArray zone = dateHeaderText(0, QDateTime::currentDateTime().offsetFromUtc()).right(5);
    EXPECT_TRUE(message.startsWith("User-Agent: Microsoft-Entourage/12.0.0\rDate: Wed, 5 Mar 2008 10:11:12 " + zone
                                   + "\rSubject: Hello\rFrom: Alice<alice@example.com>\r"
                                     "To: Bob<bob@example.com>,\r\tCarol<carol@example.com>\r"
                                     "Cc: Dave<dave@example.com>\r"
                                     "Message-ID: <1234@example.com>\rThread-Topic: Topic\rThread-Index: AcB1Zw==\r"
                                     "Mime-version: 1.1\rContent-type: multipart/related;\r\tboundary=\""
                                   + kOuter + "\"\r"))
        << message.left(600).toStdString();
    EXPECT_TRUE(message.endsWith("\r--" + kOuter + "--\r\r\r"));

    const QJsonArray parts = mimeParts(message);
    ASSERT_EQ(typesOf(parts), QStringList({"multipart/related", "multipart/alternative", "text/plain", "text/html",
                                           "application/octet-stream", "text/plain"}));
    EXPECT_EQ(field(parts, 0, "boundary"), QString::fromLatin1(kOuter));
    EXPECT_EQ(field(parts, 1, "boundary"), QStringLiteral("B_3363326825_103213"));
    EXPECT_EQ(field(parts, 2, "charset") + field(parts, 2, "encoding"), QStringLiteral("us-ascii7bit"));
    EXPECT_EQ(payload(parts, 2), body);
    EXPECT_EQ(field(parts, 3, "encoding"), QStringLiteral("quoted-printable"));
    EXPECT_EQ(payload(parts, 3), "Hello &lt;world&gt; &amp; you<br>\rFrom me<br>\r" + longLine + "<br>\rlast line");
    EXPECT_EQ(QByteArray::fromBase64(field(parts, 4, "payload").toLatin1()), binary);
    EXPECT_EQ(payload(parts, 5), QByteArray("Attached note"));

    // Encoded HTML lines keep the line limit and never begin "From ".
    const int htmlAt = message.indexOf("quoted-printable\r\r") + 18;
    for (const QByteArray& line : message.mid(htmlAt, message.indexOf("\r--B_", htmlAt) - htmlAt).split('\r')) {
        EXPECT_LE(line.size(), 76);
        EXPECT_FALSE(line.startsWith("From "));
    }
}

TEST(MessageWriter, TextOutsideAsciiComesOutAsUtf8)
{
    REQUIRE_PYTHON();
    const QString body = QStringLiteral("Ünïcödé <b>\rzweite Zeile 😀");
    MailRecord wide = record(utf16be(body));
    wide.subject = utf16be(QStringLiteral("Grüße ☃"));
    wide.sender = Address{"zoe@example.com", QStringLiteral("Zoë")};
    wide.to = QList<Address>{{"o@example.com", QStringLiteral("Ωmega")}};
    wide.threadTopic = utf16be(QStringLiteral("Thème"));
    // 8-bit text that is not UTF-8 is read as Latin-1.
    Scanned s({mlrcBlock(wide), mlrcBlock(record(narrow("caf\xE9")))});

    const QByteArray message = s.compose(0);
    EXPECT_EQ(headerLine(message, "Subject: "), QStringLiteral("Subject: Grüße ☃").toUtf8());
    EXPECT_EQ(headerLine(message, "From: "), QStringLiteral("From: Zoë<zoe@example.com>").toUtf8());
    EXPECT_EQ(headerLine(message, "To: "), QStringLiteral("To: Ωmega<o@example.com>").toUtf8());
    EXPECT_EQ(headerLine(message, "Thread-Topic: "), QStringLiteral("Thread-Topic: Thème").toUtf8());
    QJsonArray parts = mimeParts(message);
    ASSERT_EQ(parts.size(), 4);
    EXPECT_EQ(field(parts, 2, "charset") + field(parts, 2, "encoding"), QStringLiteral("utf-88bit"));
    EXPECT_EQ(payload(parts, 2), body.toUtf8());
    EXPECT_EQ(field(parts, 3, "charset") + field(parts, 3, "encoding"), QStringLiteral("utf-8quoted-printable"));
    EXPECT_EQ(payload(parts, 3), QStringLiteral("Ünïcödé &lt;b&gt;<br>\rzweite Zeile 😀").toUtf8());

    parts = mimeParts(s.compose(1));
    ASSERT_EQ(parts.size(), 4);
    EXPECT_EQ(field(parts, 2, "charset"), QStringLiteral("utf-8"));
    EXPECT_EQ(payload(parts, 2), QStringLiteral("café").toUtf8());
    EXPECT_EQ(payload(parts, 3), QStringLiteral("café").toUtf8());
}

TEST(MessageWriter, HeaderFieldsAndTheirLimits)
{
    MailRecord long1 = record(narrow("x"));
    long1.subject = utf16be(QString(60, QLatin1Char('s')));
    long1.sender = Address{"a@example.com", QString(55, QLatin1Char('n'))};
    long1.to = listOfSize(1000, 1);
    long1.cc = listOfSize(40000, 100);
    MailRecord long2 = record(narrow("x"));
    long2.subject = utf16be(QStringLiteral("😀").repeated(60)); // 120 code units
    long2.to = listOfSize(1001, 1);
    long2.cc = listOfSize(40001, 100);
    MailRecord emptyCc = record(narrow("x"));
    emptyCc.cc = QList<Address>{};
    // A name of 256 bytes and one that runs past the data are written empty.
    emptyCc.extra = {prop(kToTag, be32(3) + QByteArray(25, '\0') + be32(3) + "a@x" + be32(2) + utf16be("A")
                                      + QByteArray(24, '\0') + be32(3) + "b@x" + be32(256) + QByteArray(256, 'B')
                                      + QByteArray(24, '\0') + be32(3) + "c@x" + be32(50) + utf16be("C"))};
    Scanned s({mlrcBlock(long1), mlrcBlock(long2), mlrcBlock(emptyCc)});
    Scanned office2004({mlrcBlock(record(narrow("x")))}, true);

    const QByteArray first = s.compose(0);
    EXPECT_EQ(headerLine(first, "Subject: "), "Subject: " + QByteArray(50, 's'));
    EXPECT_EQ(headerLine(first, "From: "), "From: " + QByteArray(50, 'n') + "<a@example.com>");
    EXPECT_EQ(headerLine(first, "To: "), "To: N<" + QByteArray(961, 'a') + ">");
    EXPECT_EQ(first.count(",\r\tN<"), 99) << "100 Cc entries, folded";
    const QByteArray second = s.compose(1);
    EXPECT_EQ(headerLine(second, "Subject: "), "Subject: " + QStringLiteral("😀").repeated(50).toUtf8());
    EXPECT_FALSE(second.contains("\rTo: ") || second.contains("\rCc: "));
    const QByteArray third = s.compose(2);
    EXPECT_TRUE(third.contains("\rTo: A<a@x>,\r\t<b@x>,\r\t<c@x>\r"));
    EXPECT_FALSE(third.contains("\rCc: "));
    EXPECT_TRUE(office2004.compose().startsWith("User-Agent: Microsoft-Entourage/11.0.0\r"));
}

TEST(MessageWriter, DateHeaderUsesEnglishNamesAndTheGivenZone)
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(dateHeaderText(macStamp(2008, 3, 5, 10, 11, 12), -5 * 3600), "Wed, 5 Mar 2008 10:11:12 -0500");
    EXPECT_EQ(dateHeaderText(macStamp(2011, 12, 25, 23, 59, 58), 19800), "Sun, 25 Dec 2011 23:59:58 +0530");
    QLocale::setDefault(QLocale::c());
}

TEST(MessageWriter, BodyAndAttachmentsDecideWhatIsWritten)
{
    MailRecord noBody = record(QByteArray());
    MailRecord attached = record(narrow("body"));
    attached.attachmentIds = {7, 99, 8};
    MailRecord unreadable = record(narrow(QByteArray(300, 'q')));
    const QByteArray first = "Content-Type: text/plain\r\rfirst\r";
    const QByteArray second = "Content-Type: text/plain\r\rsecond\r";
    const QList<QByteArray> blocks{mlrcBlock(noBody), mlrcBlock(attached), attcBlock(7, first),
                                   attcBlock(7, "shadowed"), attcBlock(8, second), mlrcBlock(unreadable)};
    // The file ends inside the last record's body.
    Scanned s(blocks, false, QByteArray(300, 'q'));

    EXPECT_TRUE(s.compose(0).isEmpty()) << "a record without body gives no message";
    const QByteArray boundary = "\r--" + kOuter + "\r";
    const QByteArray padding = QByteArray(attcStoredLength(second.size()) - second.size(), '\r');
    const QByteArray message = s.compose(1);
    EXPECT_TRUE(message.contains(boundary + first)) << message.toStdString();
    EXPECT_TRUE(message.contains(boundary + boundary + second + padding + "\r--" + kOuter + "--\r\r\r"))
        << "an id without block gives a boundary followed by nothing";
    EXPECT_FALSE(message.contains("shadowed")) << "the first block of an id is used";
    EXPECT_TRUE(s.compose(2).endsWith("Mime-version: 1.1\r\r--" + kOuter + "--\r\r\r"))
        << "a body that cannot be read whole leaves out the body parts";
}

TEST(MessageWriter, MailboxOutputAndStopRequests)
{
    Scanned s({mlrcBlock(record(narrow("From me\rsaid From you"))), mlrcBlock(record(QByteArray()))});
    const QString path = s.dir.filePath(QStringLiteral("Inbox.mbox"));
    {
        AppendFile mailbox(path, s.context->failures);
        MessageWriter writer(s.database, *s.context);
        writer.WriteTheFileForSentITems(s.state.mlrcList.at(1), mailbox);
        writer.WriteTheFileForSentITems(s.state.mlrcList.at(0), mailbox);
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray mbox = file.readAll();
    EXPECT_TRUE(mbox.startsWith("From ???@???\rUser-Agent: ")) << "nothing at all for the record without body";
    EXPECT_TRUE(mbox.contains("\rFrom: Alice<alice@example.com>\r"));
    EXPECT_TRUE(mbox.contains("\r\r\r\rfrom me\rsaid From you\r\r"));
    EXPECT_TRUE(mbox.contains("\r=46rom me<br>\rsaid From you\r"));
    EXPECT_EQ(s.context->failures.count(), 0);

    QByteArray written;
    MessageWriter(s.database, *s.context).composeMessage(s.state.mlrcList.at(0), [&](const char* data, qint64 n) {
        written.append(data, static_cast<int>(n));
        s.stop = true;
        return true;
    });
    EXPECT_EQ(written, QByteArray("User-Agent: Microsoft-Entourage/12.0.0\r")) << "the message ends where it stands";
    EXPECT_TRUE(s.compose().isEmpty()) << "a stop request on entry composes nothing";
}
