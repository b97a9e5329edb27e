// The bundle's mailbox form, piece by piece: the separator line made from a
// message's Date header, and "From " lowered at line starts however the
// text arrives. Whole mailboxes are in the golden files (mail-bundle).

#include "../TestFiles.h"
#include "DatabaseBuilder.h"
#include "archive/BlockScanner.h"
#include "mail/MailboxExport.h"

#include <QTemporaryDir>

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
}

// Texts longer than one read: a "From " line across the first 1 MiB, and a
// Date header that only comes after it.
TEST(MailboxExport, LargeTextsAreCopiedWhole)
{
    constexpr int kChunk = 1024 * 1024;
    const auto dated = [](const QByteArray& date, const QByteArray& body) {
        return "Subject: s\rDate: " + date + "\r\r" + body + "\r";
    };
    const QByteArray line = QByteArray(99, 'a') + '\r';
    QByteArray early = dated("5 Mar 2008 10:11:12 +0100", QByteArray());
    early += line.repeated((kChunk - 3 - early.size()) / line.size());
    early += QByteArray(kChunk - 3 - early.size(), 'b') + "\rFrom the middle\r" + line.repeated(15000);
    const QByteArray late = "Subject: late\r" + line.repeated(11000) + dated("6 Mar 2008 10:11:12 +0100", "x");

    Database db;
    db.add(flidBlock({{1, {}, QStringLiteral("Inbox")}}));
    db.add(mlrcBlock({1, 101}));
    db.add(mlrcBlock({1, 102}));
    db.add(msrcBlock(101, early));
    db.add(msrcBlock(102, late));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Database"));
    ASSERT_TRUE(db.writeTo(path));
    ScanState state;
    scanDatabase(path, state);
    SaveContext context(dir.filePath(QStringLiteral("save")));
    context.databasePath = path;
    context.folderPaths << FolderPath{1, QStringLiteral("/Inbox")};
    ASSERT_TRUE(QDir().mkpath(context.saveDir + QStringLiteral("/Inbox")));

    EXPECT_TRUE(writeMailboxes(state.mail, context));
    EXPECT_TRUE(ertest::readFile(mailboxPathFor(context.saveDir, QStringLiteral("/Inbox")))
                == "From ???@???  Mar 05 10:11:12 2008\r" + QByteArray(early).replace("\rFrom the", "\rfrom the")
                       + "\rFrom ???@???  Mar 06 10:11:12 2008\r" + late + "\r");
}
