// The bundle's mailbox form, piece by piece: the separator line made from a
// message's Date header, and "From " lowered at line starts however the
// text arrives. Whole mailboxes are in the golden files (mail-bundle).

#include "../ScanTestSupport.h"
#include "../TestFiles.h"
#include "SampleDatabase.h"
#include "archive/BlockScanner.h"
#include "mail/MailboxExport.h"
#include "mail/MboxrdExport.h"

#include <gtest/gtest.h>

using namespace er;
using namespace testdb;

TEST(MailboxSeparator, WordsComeFromTheDateHeader)
{
    const std::pair<const char*, const char*> cases[] = {
        {"Subject: a\rDate: 5 Mar 2008 10:11:12 +0100\r\rbody", "From ???@???  Mar 05 10:11:12 2008\r"},
        {"Subject: a\rDate: 12 Mar 2008 10:11:12 +0100\r", "From ???@???  Mar 12 10:11:12 2008\r"},
        {"Subject: a\rDate: Wed 12 Mar 2008 10:11:12 +0100\r", "From ???@??? Wed 12 Mar 2008 10:11:12\r"},
        {"Subject: a\rDate: Wed Mar 5 10:11:12 2008\r", "From ???@??? Wed Mar 05 10:11:12 2008\r"},
        {"Subject: a\rDate: Wed, 5 Mar 2008 10:11:12 +0100\r", "From ???@??? Wed Mar 05 10:11:12 2008\r"},
        {"Subject: a\rDate: Wed, 12 Mar 2008 10:11:12 +0100\r", "From ???@??? Wed Mar 12 10:11:12 2008\r"},
        // The first Date value fits no shape; the next one is used.
        {"Subject: a\rDate: Wednesday, 5 Mar 2008\rX: y\rDate: 6 Mar 2008 01:02:03 +0000\r",
         "From ???@???  Mar 06 01:02:03 2008\r"},
        // No Date header: the words are read from byte 7 of the text.
        {"Subject: Hello World\rFrom: a@b\r\rtext", "From ???@??? : Hello World  \r"},
        // Values cut short by the end of the text or of their line.
        {"X: y\rDate: 5 Mar 2008", "From ???@???  Mar 05  2008\r"},
        {"X\rDate: 5 Ma", "From ???@???  Ma 05  \r"},
        {"X\rDate: Wed, 5 Mar\rSubject: 2008 10:11:12", "From ???@??? Wed Mar 05  \r"},
        // Found behind long lines, and behind a line that starts with "D".
        {"X-Long: 0123456789012345678901234567890123456789\rDo: x\rDate: 5 Mar 2008 10:11:12 +0100\r",
         "From ???@???  Mar 05 10:11:12 2008\r"},
    };
    for (const auto& [text, line] : cases) {
        EXPECT_EQ(separatorLineFor(text), QByteArray(line)) << text;
        SeparatorLineFinder finder;
        for (const char* c = text; *c; ++c)
            finder.feed(c, 1);
        EXPECT_EQ(finder.line(), QByteArray(line)) << "fed byte by byte: " << text;
    }
}

TEST(MailboxFromEscaping, LowersFromOnlyAtLineStarts)
{
    const QByteArray text = "From me\rFrom: x\rsay From here\nFrom there\r\nFrom  x\rFromage\rFro";
    const QByteArray expected = "from me\rFrom: x\rsay From here\nfrom there\r\nfrom  x\rFromage\rFro";
    for (int piece : {1, 2, 3, 4, 5, 6, 1000}) {
        MboxFromEscaper escaper;
        QByteArray out;
        for (int i = 0; i < text.size(); i += piece)
            escaper.feed(text.mid(i, piece), &out);
        escaper.finish(&out);
        EXPECT_EQ(out, expected) << "pieces of " << piece;
    }
    // Line starts at every offset of a long text (it is searched sixteen
    // bytes at a time), whole and in pieces.
    QByteArray longText, longExpected;
    for (int pad = 0; pad < 40; ++pad) {
        longText += QByteArray(pad, 'F') + '\r' + text;
        longExpected += QByteArray(pad, 'F') + '\r' + expected;
    }
    for (int piece : {7, 16, 17, 100000}) {
        QByteArray out;
        MboxFromEscaper escaper;
        for (int i = 0; i < longText.size(); i += piece)
            escaper.feed(longText.mid(i, piece), &out);
        escaper.finish(&out);
        EXPECT_EQ(out, escapeMboxFromLines(longText)) << "pieces of " << piece;
    }
    EXPECT_EQ(escapeMboxFromLines(longText), longExpected);
}

// Texts longer than one read (tests/data/cases/large-texts.db.txt): a "From "
// line across the first 1 MiB, and a Date header that only comes after it.
TEST(MailboxExport, LargeTextsAreCopiedWhole)
{
    const QByteArray bytes = describedCase(QStringLiteral("large-texts"));
    ertest::ScannedDatabase db(bytes);
    const ScanState& state = db.state;
    ASSERT_EQ(state.mail.messages.size(), 2u);
    QList<QByteArray> texts;
    for (const StoredMessage& m : state.mail.messages)
        texts << bytes.mid(int(m.text().offset), int(m.text().length));
    ASSERT_EQ(texts[0].indexOf("\rFrom the middle"), 1024 * 1024 - 3);
    SaveContext context(db.dir.filePath(QStringLiteral("save")));
    context.databasePath = db.path;
    context.folderPaths << FolderPath{1, QStringLiteral("/Inbox")};
    ASSERT_TRUE(QDir().mkpath(context.saveDir + QStringLiteral("/Inbox")));

    EXPECT_TRUE(writeMailboxes(state.mail, context));
    const QByteArray quotedFirst = mboxrdText(texts[0]);
    const QByteArray quotedSecond = mboxrdText(texts[1]);
    EXPECT_TRUE(ertest::readFile(mailboxPathFor(context.saveDir, QStringLiteral("/Inbox")))
                == "From ???@???  Mar 05 10:11:12 2008\r" + texts[0].replace("\rFrom the", "\rfrom the")
                       + "\rFrom ???@???  Mar 06 10:11:12 2008\r" + texts[1] + "\r");

    // The portable export reads them in the same pieces.
    SaveContext portable(db.dir.filePath(QStringLiteral("portable")));
    portable.databasePath = db.path;
    const QString inbox = QStringLiteral("/Main Identity.rge/Mail/Inbox");
    portable.folderPaths << FolderPath{1, inbox};
    ASSERT_TRUE(QDir().mkpath(portable.saveDir));
    CreatedPaths created;
    writePortableMailboxes(state.mail, portable, portable.saveDir, &created);
    const QByteArray mbox = ertest::readFile(portableMailboxPath(portable.saveDir, inbox));
    // Each message: its From_ line, the quoted text, an empty line.
    const int firstText = mbox.indexOf('\n') + 1;
    ASSERT_GT(firstText, 0);
    EXPECT_TRUE(mbox.mid(firstText).startsWith(quotedFirst + "\nFrom "));
    const QByteArray second = mbox.mid(firstText + quotedFirst.size() + 1);
    EXPECT_TRUE(second.mid(second.indexOf('\n') + 1) == quotedSecond + "\n");
    EXPECT_EQ(portable.failures.count(), 0);
}
