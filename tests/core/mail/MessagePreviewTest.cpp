#include "mail/MessagePreview.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

using namespace er;

namespace {

QString body(const MessagePreview& p)
{
    return QString::fromUtf8(p.bodyHtml);
}

// Message texts as the database stores them: lines ended by a bare CR.
QByteArray cr(const char* lines)
{
    return QByteArray(lines).replace('\n', '\r');
}

} // namespace

TEST(MessagePreview, HeaderLinesComeFromTheRawTextInTheirFixedOrder)
{
    const QByteArray text = cr("Received: x\nSubject: Quarterly\n\tfigures\nTo: bob@example.com\nFrom: Ann <a@x>\n"
                               "Cc: cc@x\nBcc: bcc@x\nDate: Wed, 5 Mar 2008 10:11:12 +0100\nSubject: second\n\nHello\n");
    const MessagePreview p = previewMessage(text);
    EXPECT_EQ(p.headerLines,
              QStringList({QStringLiteral("Date:  Wed, 5 Mar 2008 10:11:12 +0100"), QStringLiteral("From:  Ann <a@x>"),
                           QStringLiteral("Subject:  Quarterly\tfigures"), QStringLiteral("To:  bob@example.com"),
                           QStringLiteral("Cc:  cc@x"), QStringLiteral("Bcc:  bcc@x")}));

    // A header name counts only behind a CR: a first-line From is no header.
    const MessagePreview first = previewMessage(cr("From: first@x\nSubject: s\n\nsome body text\n"));
    EXPECT_EQ(first.headerLines, QStringList(QStringLiteral("Subject:  s")));

    // A value cut off by the end of the text ends there; names inside the
    // last 22 bytes are not looked at.
    EXPECT_EQ(previewMessage(cr("X-Padding: 0123456789\nTo: a value that runs to the end")).headerLines,
              QStringList(QStringLiteral("To:  a value that runs to the end")));
    EXPECT_TRUE(previewMessage(cr("X-Padding: 0123456789\nCc: near end")).headerLines.isEmpty());
}

TEST(MessagePreview, AttachmentNamesFromEveryContentDescription)
{
    const MessagePreview p = previewMessage(
        cr("Subject: s\nContent-Description:a\nX: y\nContent-Description:b\n\nbody of the message\n"));
    ASSERT_FALSE(p.headerLines.isEmpty());
    EXPECT_EQ(p.headerLines.last(), QStringLiteral("Attachments:  a, b"));

    // Names keep what stands behind the colon, at most 255 bytes, cut
    // between characters.
    const QByteArray longName = QByteArray(253, 'x') + "\xC3\xA9tail";
    const MessagePreview q =
        previewMessage("Subject: s\rContent-Description: " + longName + "\r\rbody of the message\r");
    EXPECT_EQ(q.headerLines.last(), QStringLiteral("Attachments:   ") + QString(253, QLatin1Char('x')));
}

TEST(MessagePreview, EightBitHeaderTextIsUtf8WhenValidElseMacRoman)
{
    const MessagePreview p = previewMessage("X: y\rSubject: caf\xC3\xA9\rFrom: Fran\x8Dois\r\rbody of the message\r");
    EXPECT_EQ(p.headerLines,
              QStringList({QString::fromUtf8("From:  Fran\xC3\xA7ois"), QString::fromUtf8("Subject:  caf\xC3\xA9")}));
    EXPECT_EQ(headerText(QByteArray("ab\0cd", 5)), QStringLiteral("ab"));
}

TEST(MessagePreview, ShortTextsShowNothing)
{
    EXPECT_TRUE(previewMessage(cr("\nSubject: s\n\nhi")).headerLines.isEmpty()); // 16 bytes
    EXPECT_FALSE(previewMessage(cr("\nSubject: s\n\nhi")).hasBody());
    EXPECT_FALSE(previewMessage(QByteArray(21, 'x')).hasBody());
    EXPECT_FALSE(previewMessage("\r\r" + QByteArray(19, 'x')).hasBody());
    EXPECT_TRUE(previewMessage("\r\r" + QByteArray(20, 'x')).hasBody());
}

TEST(MessagePreview, PlainTextBodyWithoutTransferEncodingHeaders)
{
    const MessagePreview p = previewMessage(cr("Received: x\nDate: today\nFrom: a@x\nSubject: s\n\nHello <Bob> & co\nsecond line\n"));
    EXPECT_EQ(p.headerLines.size(), 3);
    ASSERT_TRUE(p.hasBody());
    EXPECT_TRUE(p.bodyHtml.startsWith("<!DOCTYPE html><html><head><meta charset=\"utf-8\">"));
    EXPECT_TRUE(body(p).contains(QStringLiteral("font-family: sans-serif\">Hello &lt;Bob&gt; &amp; co\nsecond line</pre>")))
        << p.bodyHtml.constData();
}

TEST(MessagePreview, PlainTextInADeclaredCharsetKeepsLineBreaks)
{
    const MessagePreview p = previewMessage(cr("Subject: s\nContent-Type: text/plain; charset=\"ISO-8859-1\"\n"
                                               "Content-Transfer-Encoding: 8bit\n\ncaf\xE9 <b>\nline two\n"));
    EXPECT_TRUE(body(p).contains(QString::fromUtf8("caf\xC3\xA9 &lt;b&gt;\nline two</pre>"))) << p.bodyHtml.constData();

    // An unknown charset falls back to UTF-8 when valid, else Mac Roman.
    EXPECT_TRUE(body(previewMessage(cr("Content-Type: text/plain; charset=x-nowhere\n\nna\xC3\xAFve text\n")))
                    .contains(QString::fromUtf8("na\xC3\xAFve text")));
    EXPECT_TRUE(body(previewMessage(cr("Content-Type: text/plain; charset=x-nowhere\n\nna\x95ve text\n")))
                    .contains(QString::fromUtf8("na\xC3\xAFve text")));
}

TEST(MessagePreview, HtmlBodiesAreDecodedAndServedAsUtf8)
{
    // Quoted-printable, with a charset declaration of its own that no longer
    // holds once the text is written as UTF-8.
    const MessagePreview qp = previewMessage(
        cr("Subject: s\nContent-Type: text/html; charset=utf-8\nContent-Transfer-Encoding: quoted-printable\n\n"
           "<html><head><meta http-equiv=3D\"Content-Type\" content=3D\"text/html; charset=3Diso-8859-1\">"
           "</head><body>Caf=C3=A9 =\nau lait</body></html>\n"));
    EXPECT_TRUE(body(qp).contains(QString::fromUtf8("Caf\xC3\xA9 au lait")));
    EXPECT_FALSE(qp.bodyHtml.contains("iso-8859-1"));
    EXPECT_TRUE(qp.bodyHtml.contains("<head><meta charset=\"utf-8\">"));

    // Base64, a fragment without a document around it, in Latin-1.
    const MessagePreview b64 = previewMessage(
        cr("Subject: s\nContent-Type: text/html; charset=iso-8859-1\nContent-Transfer-Encoding: base64\n\n")
        + QByteArray("<p>Gr\xFC\xDF" "e</p>").toBase64() + "\r");
    EXPECT_TRUE(b64.bodyHtml.startsWith("<!DOCTYPE html><html><head><meta charset=\"utf-8\"></head><body><p>"));
    EXPECT_TRUE(body(b64).contains(QString::fromUtf8("<p>Gr\xC3\xBC\xC3\x9F" "e</p></body></html>")));
}

TEST(MessagePreview, MultipartPicksTheHtmlAlternativeAndSkipsAttachments)
{
    const QByteArray text = cr("Subject: s\nContent-Type: multipart/mixed;\n\tboundary=\"outer\"\n\n"
                               "preamble\n--outer\nContent-Type: multipart/alternative; boundary=inner\n\n"
                               "--inner\nContent-Type: text/plain\n\nplain words\n"
                               "--inner\nContent-Type: text/html\nContent-Transfer-Encoding: quoted-printable\n\n"
                               "<b>html=20words</b>\n--inner--\n"
                               "--outer\nContent-Type: text/html; name=a.html\nContent-Disposition: attachment\n"
                               "Content-Description: a.html\n\n<i>attached</i>\n--outer--\n");
    const MessagePreview p = previewMessage(text);
    EXPECT_TRUE(body(p).contains(QStringLiteral("<b>html words</b>"))) << p.bodyHtml.constData();
    EXPECT_FALSE(body(p).contains(QStringLiteral("plain words")));
    EXPECT_FALSE(body(p).contains(QStringLiteral("attached")));
    EXPECT_EQ(p.headerLines.last(), QStringLiteral("Attachments:   a.html"));

    // CR LF line ends read the same as bare CRs.
    QByteArray crlf = text;
    crlf.replace('\r', "\r\n");
    const MessagePreview q = previewMessage(crlf);
    EXPECT_EQ(q.bodyHtml, p.bodyHtml);
}

TEST(MessagePreview, NoReadableBodyGivesNoPage)
{
    const MessagePreview attachmentOnly = previewMessage(
        cr("Subject: s\nContent-Type: multipart/mixed; boundary=b\n\n--b\nContent-Type: application/pdf\n"
           "Content-Transfer-Encoding: base64\nContent-Description: a.pdf\n\nJVBERi0=\n--b--\n"));
    EXPECT_FALSE(attachmentOnly.hasBody());
    EXPECT_FALSE(attachmentOnly.headerLines.isEmpty()) << "the header lines are still found";
    EXPECT_FALSE(previewMessage(cr("Subject: s\nContent-Type: image/png\n\nPNGDATA\n")).hasBody());
    EXPECT_FALSE(previewMessage(cr("Subject: s\nContent-Type: text/plain\n\n \n\n")).hasBody());
    EXPECT_FALSE(previewMessage(cr("Subject: only a header, no body\n")).hasBody());
}

TEST(MessagePreview, HostileStructureIsBounded)
{
    // Thousands of nested multiparts: the walk stops descending, and the time
    // stays proportional to the text.
    QByteArray text = "Subject: deep\r";
    for (int i = 0; i < 5000; ++i)
        text += "Content-Type: multipart/mixed; boundary=b" + QByteArray::number(i) + "\r\r--b" + QByteArray::number(i)
            + "\r";
    text += "Content-Type: text/plain\r\rdeepest\r";
    QElapsedTimer timer;
    timer.start();
    const MessagePreview p = previewMessage(text);
    EXPECT_LT(timer.elapsed(), 5000);
    EXPECT_FALSE(body(p).contains(QStringLiteral("deepest")));

    // A multipart whose delimiters are lost still shows its words.
    EXPECT_TRUE(body(previewMessage(cr("Subject: s\nContent-Type: multipart/mixed; boundary=gone\n\nleft over words\n")))
                    .contains(QStringLiteral("left over words")));
}
