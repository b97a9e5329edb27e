#include "../TestFiles.h"
#include "DatabaseBuilder.h"
#include "output/OutputFile.h"
#include "mail/MailboxExport.h"
#include "archive/BlockScanner.h"

#include <QDir>
#include <QDirIterator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

#include <sys/xattr.h>

using namespace er;
using namespace testdb;
using ertest::readFile;

namespace {

const QString kMail = QStringLiteral("/My Identity/Mail");
const QByteArray kDate = "5 Mar 2008 10:11:12 +0100", kSeparator = "From ???@???  Mar 05 10:11:12 2008\r";

// Type and creator codes as stored in the file's user extended attribute;
// nothing where the file system keeps none.
QByteArray typeAndCreator(const QString& path)
{
    const QByteArray file = QFile::encodeName(path);
    char names[512], value[32];
    const ssize_t n = listxattr(file.constData(), names, sizeof names);
    for (const QByteArray& name : QByteArray(names, int(qMax<ssize_t>(n, 0))).split('\0'))
        if (name.startsWith("user.") && getxattr(file.constData(), name.constData(), value, sizeof value) >= 8)
            return QByteArray(value, 8);
    return {};
}

// A record without stored text: its message is composed.
MailRecordBlock withoutText(quint32 folder, const QByteArray& body)
{
    return MailRecordBlock{folder, {}, {}, {}, macStamp(2008, 3, 7, 8, 9, 10), {}, {}, narrow(body)};
}

QByteArray withDate(const QByteArray& date, const QByteArray& body)
{
    return "Subject: s\rDate: " + date + "\r\r" + body + "\r";
}

// A folder table of the given ids, the records, then the message text blocks.
QByteArray database(const QList<quint32>& folderIds, const QList<MailRecordBlock>& records, const QList<QByteArray>& texts)
{
    Database db;
    QList<FolderEntry> folders;
    for (quint32 id : folderIds)
        folders << FolderEntry{id, {}, QStringLiteral("F%1").arg(id)};
    db.add(flidBlock(folders));
    for (const MailRecordBlock& r : records)
        db.add(mlrcBlock(r));
    for (const QByteArray& text : texts)
        db.add(text);
    return db.bytes();
}

// A scanned database, the save directory and a folder path list made by hand.
struct MailExport {
    QTemporaryDir dir;
    ScanState state;
    std::unique_ptr<SaveContext> context;
    std::atomic<bool> stop{false};
    int ticks = 0;

    explicit MailExport(const QByteArray& database)
    {
        const QString path = dir.filePath(QStringLiteral("Database"));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(database) == database.size());
        file.close();
        scanDatabase(path, state);
        context = std::make_unique<SaveContext>(dir.filePath(QStringLiteral("save")));
        context->office2004 = state.office2004;
        context->databasePath = path;
        context->hooks.stop = &stop;
        context->hooks.progress = [this] { ++ticks; };
        context->folderPaths << FolderPath{0, kMail.section('/', 0, 1)} << FolderPath{4294967294u, kMail};
    }
    // A folder below Mail, with its directory unless told otherwise.
    void folder(quint32 id, const QString& path, bool makeDirectory = true)
    {
        context->folderPaths << FolderPath{id, kMail + '/' + path};
        EXPECT_TRUE(!makeDirectory || QDir().mkpath(context->saveDir + kMail + '/' + path));
    }
    QString mailbox(const QString& path) const { return mailboxPathFor(context->saveDir, kMail + '/' + path); }
    QStringList mailboxes() const
    {
        QStringList found;
        QDirIterator it(context->saveDir + kMail, {QStringLiteral("*.mbox")}, QDir::Files | QDir::System,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            found << it.next().mid(context->saveDir.size() + kMail.size() + 1);
        found.sort();
        return found;
    }
};

} // namespace

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
    SeparatorLineFinder finder;
    finder.feed(QByteArray("Subject: a\rDate: 5 Mar 2008 10:11:12 +0100\r"));
    EXPECT_TRUE(finder.done()) << "the line is known once the Date line has ended";
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

TEST(MailboxExport, WritesEveryFolderItsMailbox)
{
    const QByteArray text1 = withDate(kDate, "From me\rsaid From you");
    const QByteArray text2 = withDate("Wed, 12 Mar 2008 10:11:12 +0100", "second");
    const QByteArray third = withDate("1 Apr 2008 00:00:00 +0000", "third");
    const QByteArray tiny = "Subject: tin\r\rtiny\r"; // 19 bytes
    const QByteArray damaged = withDate(kDate, "damaged");
    const QByteArray cut = withDate("6 Mar 2008 10:11:12 +0100", "the file ends inside this text");
    const QByteArray damagedBlock = msrcBlock(109, damaged, 0x00FFFFFF);
    const QByteArray bytes = database(
        {1, 2, 3, 4, 5, 6},
        {{1, 101}, {1, 102}, {2, 103}, {5, 106}, MailRecordBlock{2, 107, {}, utf16be("kept")},
         {3, 104}, {4, 105}, {1, 108}, {6, 109}, {6, 110},
         withoutText(99, "orphan body"), withoutText(1, "composed in the inbox")},
        // Scan order, not id order, is mailbox order; 109 claims 16 MiB.
        {msrcBlock(102, text2), msrcBlock(101, text1), msrcBlock(103, third), msrcBlock(106, tiny),
         msrcBlock(107, tiny), msrcBlock(104, withDate("2 Apr 2008 00:00:00 +0000", "in A")),
         msrcBlock(105, withDate("3 Apr 2008 00:00:00 +0000", "in B")),
         msrcBlock(108, "Subject: root\r\rnever written\r"), damagedBlock, msrcBlock(110, cut)});
    MailExport e(bytes.left(bytes.lastIndexOf(cut) + 40));
    for (StoredMessage& summary : e.state.mail.messages)
        if (summary.mailId == 108)
            summary.parentFolderId = 0;
    const QString privet = QStringLiteral("Привет");
    const QStringList paths{"Inbox", privet, "A/Archive", "B/Archive", "Empty", "Damaged"};
    for (int k = 0; k < paths.size(); ++k)
        e.folder(quint32(k + 1), paths[k]);
    e.folder(100000, QStringLiteral("Folder1"));

    // An existing mailbox is appended to and keeps its type and creator.
    ASSERT_TRUE(createEmptyFile(e.mailbox("Inbox"), e.context->failures));
    setFinderInfo(e.mailbox("Inbox"), FinderCodes{"TEXT", "ttxt"});
    {
        QFile old(e.mailbox("Inbox"));
        ASSERT_TRUE(old.open(QIODevice::Append) && old.write("old message\r") > 0);
    }

    EXPECT_TRUE(writeMailboxes(e.state.mail, *e.context));
    EXPECT_EQ(e.context->failures.count(), 0) << e.context->failures.firstFailures().join('\n').toStdString();
    EXPECT_EQ(e.mailboxes(), QStringList({"A/Archive/Archive.mbox", "B/Archive/Archive.mbox", "Damaged/Damaged.mbox",
                                          "Folder1/Folder1.mbox", "Inbox/Inbox.mbox", privet + '/' + privet + ".mbox"}))
        << "none for a folder whose only summary is skipped, none for folder id 0";
    EXPECT_EQ(e.ticks, 8) << "one tick per stored message copied";

    const QByteArray inbox = readFile(e.mailbox("Inbox"));
    const QByteArray copiedTexts = "old message\rFrom ???@??? Wed Mar 12 10:11:12 2008\r" + text2 + "\r" + kSeparator
        + withDate(kDate, "from me\rsaid From you") + "\r";
    EXPECT_TRUE(inbox.startsWith(copiedTexts + "From ???@???\rUser-Agent: ")) << inbox.toStdString();
    EXPECT_TRUE(inbox.endsWith("--\r\r\r") && inbox.contains("composed in the inbox"));
    if (!typeAndCreator(e.mailbox("Inbox")).isEmpty()) {
        EXPECT_EQ(typeAndCreator(e.mailbox("Inbox")), QByteArray("TEXTttxt"));
        EXPECT_EQ(typeAndCreator(e.mailbox(privet)), QByteArray("MBOXOPIM"));
    }
    EXPECT_EQ(readFile(e.mailbox(privet)), "From ???@???  Apr 01 00:00:00 2008\r" + third + "\rFrom ???@??? : tin   \r"
                                               + tiny + "\r");
    EXPECT_TRUE(readFile(e.mailbox("A/Archive")).contains("in A"));
    EXPECT_TRUE(readFile(e.mailbox("B/Archive")).contains("in B"));
    EXPECT_FALSE(readFile(e.mailbox("B/Archive")).contains("in A"));
    EXPECT_TRUE(readFile(e.mailbox("Folder1")).startsWith("From ???@???\rUser-Agent: "));
    EXPECT_TRUE(readFile(e.mailbox("Folder1")).contains("orphan body"));
    // The damaged size is bounded by the block; the cut text by the file.
    EXPECT_EQ(readFile(e.mailbox("Damaged")), kSeparator + damaged
                                                  + QByteArray(damagedBlock.size() - 20 - damaged.size(), '\0')
                                                  + "\rFrom ???@???  Mar 06 10:11:12 2008\r" + cut.left(40) + "\r");
}

TEST(MailboxExport, LargeTextsAreCopiedWhole)
{
    constexpr int kChunk = 1024 * 1024;
    const QByteArray line = QByteArray(99, 'a') + '\r';
    // A "From " line that straddles the first 1 MiB of the text.
    QByteArray early = withDate(kDate, QByteArray());
    early += line.repeated((kChunk - 3 - early.size()) / line.size());
    early += QByteArray(kChunk - 3 - early.size(), 'b') + "\rFrom the middle\r" + line.repeated(15000);
    // A Date header that comes only after the first 1 MiB.
    const QByteArray late = "Subject: late\r" + line.repeated(11000) + withDate("6 Mar 2008 10:11:12 +0100", "x");
    MailExport e(database({1}, {{1, 101}, {1, 102}}, {msrcBlock(101, early), msrcBlock(102, late)}));
    e.folder(1, QStringLiteral("Inbox"));

    EXPECT_TRUE(writeMailboxes(e.state.mail, *e.context));
    EXPECT_TRUE(readFile(e.mailbox("Inbox")) == kSeparator + QByteArray(early).replace("\rFrom the", "\rfrom the")
                                                   + "\rFrom ???@???  Mar 06 10:11:12 2008\r" + late + "\r");
}

TEST(MailboxExport, UnwritableMailboxesAreCounted)
{
    MailExport e(database({1, 2, 3}, {{1, 101}, {1, 102}, {2, 103}, withoutText(3, "a"), withoutText(3, "b")},
                          {msrcBlock(101, withDate(kDate, "1")), msrcBlock(102, withDate(kDate, "2")),
                           msrcBlock(103, withDate(kDate, "3"))}));
    // A regular file where the folder's directory belongs.
    e.folder(1, QStringLiteral("Blocked"), false);
    ASSERT_TRUE(QDir().mkpath(e.context->saveDir + kMail));
    QFile blocker(e.context->saveDir + kMail + QStringLiteral("/Blocked"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    // A mailbox on the device that is always full.
    e.folder(2, QStringLiteral("Full"));
    const bool devFull = QFile::link(QStringLiteral("/dev/full"), e.mailbox("Full"));
    // Records without stored text whose directory is missing.
    e.folder(3, QStringLiteral("Gone"), false);

    EXPECT_TRUE(writeMailboxes(e.state.mail, *e.context));
    EXPECT_EQ(e.context->failures.count(), devFull ? 3 : 2) << "one failure per mailbox that cannot be written";
    const QString failures = e.context->failures.firstFailures().join('\n');
    EXPECT_TRUE(failures.contains("/Blocked/Blocked.mbox") && failures.contains("/Gone/Gone.mbox"))
        << failures.toStdString();
}

TEST(MailboxExport, StopRequestsAndAnUnreadableDatabase)
{
    QList<QByteArray> texts;
    for (quint32 id : {101, 102, 103})
        texts << msrcBlock(id, withDate(kDate, "text " + QByteArray::number(id)));
    const QByteArray bytes = database({1, 2}, {{1, 101}, {1, 102}, {2, 103}, withoutText(2, "body")}, texts);
    MailExport during(bytes), before(bytes), missing(bytes);
    for (MailExport* e : {&during, &before})
        e->folder(1, QStringLiteral("Inbox")), e->folder(2, QStringLiteral("Sent"));
    during.context->hooks.progress = [&during] { during.stop = true; };
    writeMailboxes(during.state.mail, *during.context);
    EXPECT_TRUE(readFile(during.mailbox("Inbox")).contains("text 101"));
    EXPECT_FALSE(readFile(during.mailbox("Inbox")).contains("text 102")) << "the walk ends after the message";
    EXPECT_EQ(during.mailboxes(), QStringList({"Inbox/Inbox.mbox"}));
    before.stop = true;
    writeMailboxes(before.state.mail, *before.context);
    EXPECT_TRUE(before.mailboxes().isEmpty());

    missing.context->databasePath = missing.dir.filePath(QStringLiteral("missing"));
    EXPECT_FALSE(writeMailboxes(missing.state.mail, *missing.context));
    EXPECT_EQ(missing.context->failures.count(), 1) << "a save without its mail is no success";
}
