#include "../TestFiles.h"
#include "DatabaseBuilder.h"
#include "mail/MessageWriter.h"
#include "archive/BlockScanner.h"

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
const QByteArray kEnd = "\r--" + kOuter + "--\r\r\r";

// One folder and the given blocks, scanned by the real scanner and kept on disk
// for the writer to read back; the file ends 10 bytes into `cutInside` if given.
struct Scanned {
    QTemporaryDir dir;
    ScanState state;
    DatabaseFile database;
    std::unique_ptr<SaveContext> context;
    std::atomic<bool> stop{false};

    explicit Scanned(const QList<QByteArray>& blocks, bool olderFormat = false, const QByteArray& cutInside = {})
    {
        Database db(olderFormat);
        db.add(flidBlock({FolderEntry{1, {}, QStringLiteral("Inbox")}}));
        for (const QByteArray& b : blocks)
            db.add(b);
        const QString path = dir.filePath(QStringLiteral("Database"));
        EXPECT_TRUE(db.writeTo(path));
        if (!cutInside.isEmpty()) {
            EXPECT_TRUE(QFile::resize(path, db.bytes().indexOf(cutInside) + 10));
        }
        scanDatabase(path, state);
        EXPECT_TRUE(database.open(path));
        context = std::make_unique<SaveContext>(dir.path());
        context->office2004 = state.office2004;
        context->hooks.stop = &stop;
    }
    QByteArray compose(int index = 0)
    {
        return MessageWriter(database, state.mail, *context).composedMessage(state.mail.records.at(static_cast<size_t>(index)));
    }
};

const Address kAlice{"alice@example.com", QStringLiteral("Alice")};
const quint32 kStamp = macStamp(2008, 3, 5, 10, 11, 12);

MailRecordBlock record(const QByteArray& body)
{
    return MailRecordBlock{1, {}, kAlice, utf16be(QStringLiteral("Hello")), kStamp, {}, {}, body};
}

// The header line that starts with `name`, up to its CR; empty when absent.
QByteArray headerLine(const QByteArray& message, const QByteArray& name)
{
    const int at = message.indexOf("\r" + name) + 1;
    return at > 0 ? message.mid(at, message.indexOf('\r', at) - at) : QByteArray();
}

// The parts as an independent MIME reader, Python's email package, sees them,
// one line each: type, charset, transfer encoding, boundary, then "=" and the
// decoded payload (CR LF read back as CR).
std::string mimeParts(const QByteArray& message)
{
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {QFileInfo(QStringLiteral(__FILE__)).dir().filePath(QStringLiteral("../../support/mime_check.py"))});
    python.write(message);
    python.closeWriteChannel();
    EXPECT_TRUE(python.waitForFinished(60000));
    EXPECT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    QByteArrayList parts;
    for (const QJsonValue& p : QJsonDocument::fromJson(python.readAllStandardOutput()).array()) {
        EXPECT_TRUE(p[QStringLiteral("defects")].toArray().isEmpty())
            << p[QStringLiteral("type")].toString().toStdString();
        QByteArrayList words;
        for (const char* key : {"type", "charset", "encoding", "boundary"})
            words << p[QLatin1String(key)].toString().toUtf8();
        const QByteArray payload = QByteArray::fromBase64(p[QStringLiteral("payload")].toString().toLatin1());
        words << (payload.isEmpty() ? QByteArray() : "= " + QByteArray(payload).replace("\r\n", "\r").trimmed());
        words.removeAll(QByteArray());
        parts << words.join(' ');
    }
    return parts.join('\n').toStdString();
}

// An address list of exactly `total` bytes in `entries` entries named "N"
// (5 bytes for the list, 34 for each entry besides its address).
QList<Address> listOfSize(int total, int entries)
{
    QList<Address> list;
    for (int k = 1; k <= entries; ++k)
        list << Address{QByteArray((total - 5) / entries - 34 + (k < entries ? 0 : (total - 5) % entries), 'a'), "N"};
    return list;
}

} // namespace

TEST(MessageWriter, ComposedMessagesReadBackAsMime)
{
    if (!QFileInfo::exists(QStringLiteral("/usr/bin/python3")))
        GTEST_SKIP() << "/usr/bin/python3 is not installed";
    const QByteArray binary("\x00\x01\x02\x03 binary", 11);
    const QByteArray longLine = QByteArray("a=b ").repeated(40);
    const QByteArray body = "Hello <world> & you\rFrom me\r\n" + longLine + "\nlast line";
    const MailRecordBlock r{1, {}, kAlice, utf16be("Hello"), kStamp,
                       QList<Address>{{"bob@example.com", "Bob"}, {"carol@example.com", "Carol"}},
                       QList<Address>{{"dave@example.com", "Dave"}}, narrow(body), {7, 8},
                       "1234@example.com", "AcB1Zw==", utf16be("Topic")};
    const QString wideBody = QStringLiteral("Ünïcödé <b>\rzweite Zeile 😀");
    const MailRecordBlock wide{1, {}, Address{"zoe@example.com", QStringLiteral("Zoë")}, utf16be(QStringLiteral("Grüße ☃")),
                          kStamp, QList<Address>{{"o@example.com", QStringLiteral("Ωmega")}}, {}, utf16be(wideBody),
                          {}, {}, {}, utf16be(QStringLiteral("Thème"))};
    Scanned s({mlrcBlock(r), attcBlock(7, "Content-Type: application/octet-stream\rContent-Transfer-Encoding: base64\r\r"
                                              + binary.toBase64() + "\r"),
               attcBlock(8, "Content-Type: text/plain\r\rAttached note\r"), mlrcBlock(wide),
               mlrcBlock(record(narrow("caf\x8E")))}); // 8-bit text that is not UTF-8 is read as Mac Roman

    const QByteArray message = s.compose(0);
    const QByteArray zone = dateHeaderText(0, QDateTime::currentDateTime().offsetFromUtc()).right(5);
    EXPECT_TRUE(message.startsWith("User-Agent: ")) << message.left(100).toStdString();
    EXPECT_TRUE(message.mid(message.indexOf('\r')).startsWith(
        "\rDate: Wed, 5 Mar 2008 10:11:12 " + zone
        + "\rSubject: Hello\rFrom: Alice<alice@example.com>\rTo: Bob<bob@example.com>,\r\tCarol<carol@example.com>\r"
          "Cc: Dave<dave@example.com>\rMessage-ID: <1234@example.com>\rThread-Topic: Topic\rThread-Index: AcB1Zw==\r"
          "Mime-version: 1.1\rContent-type: multipart/related;\r\tboundary=\""
        + kOuter + "\"\r"))
        << message.left(600).toStdString();
    EXPECT_TRUE(message.endsWith(kEnd));
    const QByteArray multiparts = "multipart/related " + kOuter + "\nmultipart/alternative B_3363326825_103213\n";
    EXPECT_EQ(mimeParts(message),
              (multiparts + "text/plain us-ascii 7bit = " + body + "\ntext/html us-ascii quoted-printable = "
               + "Hello &lt;world&gt; &amp; you<br>\rFrom me<br>\r" + longLine + "<br>\rlast line\n"
               + "application/octet-stream base64 = " + binary + "\ntext/plain = Attached note").toStdString());
    // Encoded HTML lines keep the line limit and never begin "From ".
    const int htmlAt = message.indexOf("quoted-printable\r\r") + 18;
    for (const QByteArray& line : message.mid(htmlAt, message.indexOf("\r--B_", htmlAt) - htmlAt).split('\r')) {
        EXPECT_LE(line.size(), 76);
        EXPECT_FALSE(line.startsWith("From "));
    }

    // Text outside ASCII comes out as UTF-8, in the header lines and both alternatives.
    const QByteArray utf8 = s.compose(1);
    for (const QString& line : {QStringLiteral("Subject: Grüße ☃"), QStringLiteral("From: Zoë<zoe@example.com>"),
                                QStringLiteral("To: Ωmega<o@example.com>"), QStringLiteral("Thread-Topic: Thème")})
        EXPECT_EQ(headerLine(utf8, line.toUtf8().left(line.indexOf(' ') + 1)), line.toUtf8());
    const QByteArray utf8Parts = multiparts + "text/plain utf-8 8bit = %1\ntext/html utf-8 quoted-printable = %2";
    EXPECT_EQ(mimeParts(utf8),
              QString(utf8Parts).arg(wideBody, QStringLiteral("Ünïcödé &lt;b&gt;<br>\rzweite Zeile 😀")).toStdString());
    EXPECT_EQ(mimeParts(s.compose(2)), QString(utf8Parts).arg(QStringLiteral("café")).arg("café").toStdString());
}

TEST(MessageWriter, HeaderFieldsAndTheirLimits)
{
    const MailRecordBlock atLimits{1, {}, Address{"a@example.com", QString(55, 'n')}, utf16be(QString(60, 's')), kStamp,
                              listOfSize(1000, 1), listOfSize(40000, 100), narrow("x")};
    const MailRecordBlock overLimits{1, {}, kAlice, utf16be(QStringLiteral("😀").repeated(60)), kStamp, // 120 code units
                                listOfSize(1001, 1), listOfSize(40001, 100), narrow("x")};
    // A name of 256 bytes and one that runs past the data are written empty.
    const MailRecordBlock emptyCc{1, {}, kAlice, {}, kStamp, {}, QList<Address>{}, narrow("x"), {}, {}, {}, {},
                             {prop(kToTag, be32(3) + QByteArray(25, '\0') + be32(3) + "a@x" + be32(2) + utf16be("A")
                                               + QByteArray(24, '\0') + be32(3) + "b@x" + be32(256)
                                               + QByteArray(256, 'B') + QByteArray(24, '\0') + be32(3) + "c@x"
                                               + be32(50) + utf16be("C"))}};
    Scanned s({mlrcBlock(atLimits), mlrcBlock(overLimits), mlrcBlock(emptyCc)});

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

    // The agent's version follows the database's version.
    const QByteArray agent = first.left(first.indexOf('\r'));
    EXPECT_TRUE(agent.startsWith("User-Agent: ") && agent.endsWith("/12.0.0")) << agent.constData();
    EXPECT_TRUE(Scanned({mlrcBlock(record(narrow("x")))}, true).compose().startsWith(agent.chopped(6) + "11.0.0\r"));

    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); // names stay English
    EXPECT_EQ(dateHeaderText(macStamp(2008, 3, 5, 10, 11, 12), -5 * 3600), "Wed, 5 Mar 2008 10:11:12 -0500");
    EXPECT_EQ(dateHeaderText(macStamp(2011, 12, 25, 23, 59, 58), 19800), "Sun, 25 Dec 2011 23:59:58 +0530");
    QLocale::setDefault(QLocale::c());
}

TEST(MessageWriter, BodyAttachmentsAndStopRequestsDecideWhatIsWritten)
{
    MailRecordBlock attached = record(narrow("From me\rsaid From you"));
    attached.attachmentIds = {7, 99, 7, 8, 7}; // a repeated id is written once
    const QByteArray first = "Content-Type: text/plain\r\rfirst\r", second = "Content-Type: text/plain\r\rsecond\r";
    // The file ends inside the last record's body.
    Scanned s({mlrcBlock(record(QByteArray())), mlrcBlock(attached), attcBlock(7, first), attcBlock(7, "shadowed"),
               attcBlock(8, second), mlrcBlock(record(narrow(QByteArray(300, 'q'))))},
              false, QByteArray(300, 'q'));

    const QByteArray headerOnly = s.compose(0);
    EXPECT_TRUE(headerOnly.endsWith("Mime-version: 1.1\r\r")) << "a record without body gives its header lines";
    const QByteArray boundary = "\r--" + kOuter + "\r";
    const QByteArray message = s.compose(1);
    EXPECT_TRUE(message.contains(boundary + first)) << message.toStdString();
    EXPECT_TRUE(message.endsWith(boundary + boundary + second
                                 + QByteArray(attcStoredLength(second.size()) - second.size(), '\r') + kEnd))
        << "an id without block gives a boundary followed by nothing";
    EXPECT_FALSE(message.contains("shadowed")) << "the first block of an id is used";
    EXPECT_EQ(message.count(first), 1);
    EXPECT_TRUE(s.compose(2).endsWith("Mime-version: 1.1\r" + kEnd)) << "a body not read whole gives no body parts";

    // Into a mailbox: a separator line, "From " lowered at line starts only;
    // the record without body gives its header lines.
    const QString path = s.dir.filePath(QStringLiteral("Inbox.mbox"));
    {
        AppendFile mailbox(path, s.context->failures);
        MessageWriter writer(s.database, s.state.mail, *s.context);
        writer.appendComposedMessage(s.state.mail.records.at(0), mailbox);
        writer.appendComposedMessage(s.state.mail.records.at(1), mailbox);
    }
    EXPECT_EQ(ertest::readFile(path),
              "From ???@???\r" + headerOnly + "From ???@???\r" + QByteArray(message).replace("\rFrom me\r", "\rfrom me\r"));
    EXPECT_EQ(s.context->failures.count(), 0);

    QByteArray written;
    MessageWriter(s.database, s.state.mail, *s.context).composeMessage(s.state.mail.records.at(1), [&](const char* data, qint64 n) {
        written.append(data, static_cast<int>(n));
        s.stop = true;
        return true;
    });
    EXPECT_EQ(written, message.left(message.indexOf('\r') + 1)) << "the message ends where it stands";
    EXPECT_TRUE(s.compose(1).isEmpty()) << "a stop request on entry composes nothing";
}
