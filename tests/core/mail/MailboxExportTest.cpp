#include "../TestFiles.h"
#include "DatabaseBuilder.h"
#include "export/OutputFile.h"
#include "mail/MailboxExport.h"
#include "scan/BlockScanner.h"

#include <QDir>
#include <QDirIterator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

#include <sys/xattr.h>

using namespace er;
using namespace testdb;

namespace {

const QString kMail = QStringLiteral("/Main Identity.rge/Mail");

// Finder type and creator; nothing where the file system keeps no extended
// attributes.
QByteArray finderCodes(const QString& path)
{
    char info[32];
    const ssize_t n = getxattr(QFile::encodeName(path).constData(), "user.com.apple.FinderInfo", info, sizeof info);
    return n >= 8 ? QByteArray(info, 8) : QByteArray();
}

MailRecord stored(quint32 folder, quint32 mailId, const char* subject = nullptr)
{
    MailRecord r;
    r.folderId = folder;
    r.mailId = mailId;
    if (subject)
        r.subject = utf16be(QString::fromUtf8(subject));
    return r;
}

MailRecord withoutText(quint32 folder, const QByteArray& body)
{
    MailRecord r;
    r.folderId = folder;
    r.date = macStamp(2008, 3, 7, 8, 9, 10);
    r.body = narrow(body);
    return r;
}

QByteArray withDate(const QByteArray& date, const QByteArray& body)
{
    return "Subject: s\rDate: " + date + "\r\r" + body + "\r";
}

// A scanned database, the save directory and a folder path list made by
// hand, with the directories the bundle layout would make.
struct MailExport {
    QTemporaryDir dir;
    ScanState state;
    std::unique_ptr<SaveContext> context;
    std::atomic<bool> stop{false};
    int ticks = 0;
    QList<unsigned int> ranges;
    QStringList statuses;

    explicit MailExport(const QByteArray& database)
    {
        QFile file(dir.filePath(QStringLiteral("Database")));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(database);
        file.close();
        scanDatabase(file.fileName(), state);
        context = std::make_unique<SaveContext>(state, dir.filePath(QStringLiteral("save")));
        context->databasePath = file.fileName();
        context->hooks.stop = &stop;
        context->hooks.progress = [this] { ++ticks; };
        context->hooks.initialSettings = [this](unsigned int range) { ranges << range; };
        context->hooks.status = [this](const QString& text) { statuses << text; };
        context->treeInfo << TreeInfo{0, QStringLiteral("/Main Identity.rge")} << TreeInfo{4294967294u, kMail};
        EXPECT_TRUE(QDir().mkpath(context->saveDir + kMail));
    }
    // A folder below Mail; relative path.
    void folder(quint32 id, const QString& path, bool makeDirectory = true)
    {
        context->treeInfo << TreeInfo{id, kMail + '/' + path};
        if (makeDirectory) {
            EXPECT_TRUE(QDir().mkpath(context->saveDir + kMail + '/' + path));
        }
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
    const QByteArray text1 = withDate("5 Mar 2008 10:11:12 +0100", "From me\rsaid From you");
    const QByteArray text2 = withDate("Wed, 12 Mar 2008 10:11:12 +0100", "second");
    const QByteArray tiny = "Subject: tin\r\rtiny\r"; // 19 bytes
    const QByteArray damaged = withDate("5 Mar 2008 10:11:12 +0100", "damaged");
    const QByteArray cut = withDate("6 Mar 2008 10:11:12 +0100", "the file ends inside this text");

    Database db;
    QList<FolderEntry> folders;
    for (quint32 id = 1; id <= 6; ++id)
        folders << FolderEntry{id, {}, QStringLiteral("F%1").arg(id)};
    db.add(flidBlock(folders));
    for (const MailRecord& r : {stored(1, 101), stored(1, 102), stored(2, 103), stored(5, 106), stored(2, 107, "kept"),
                                stored(3, 104), stored(4, 105), stored(1, 108), stored(6, 109), stored(6, 110),
                                withoutText(99, "orphan body"), withoutText(1, "composed in the inbox")})
        db.add(mlrcBlock(r));
    db.add(msrcBlock(102, text2)); // scan order, not id order, is mailbox order
    db.add(msrcBlock(101, text1));
    db.add(msrcBlock(103, withDate("1 Apr 2008 00:00:00 +0000", "third")));
    db.add(msrcBlock(106, tiny));
    db.add(msrcBlock(107, tiny));
    db.add(msrcBlock(104, withDate("2 Apr 2008 00:00:00 +0000", "in A")));
    db.add(msrcBlock(105, withDate("3 Apr 2008 00:00:00 +0000", "in B")));
    db.add(msrcBlock(108, "Subject: root\r\rnever written\r"));
    const QByteArray damagedBlock = msrcBlock(109, damaged, 0x00FFFFFF); // 16 MiB claimed
    db.add(damagedBlock);
    db.add(msrcBlock(110, cut));
    MailExport e(db.bytes().left(db.bytes().lastIndexOf(cut) + 40));
    for (MailMSRC& summary : e.state.msrcList)
        if (summary.MSRCMailID == 108)
            summary.MSRCMailParentID = 0;
    const QString privet = QStringLiteral("Привет");
    e.folder(1, QStringLiteral("Inbox"));
    e.folder(2, privet);
    e.folder(3, QStringLiteral("A/Archive"));
    e.folder(4, QStringLiteral("B/Archive"));
    e.folder(5, QStringLiteral("Empty"));
    e.folder(6, QStringLiteral("Damaged"));
    e.folder(100000, QStringLiteral("Folder1"));

    // An existing mailbox is appended to and keeps its type and creator.
    ASSERT_TRUE(CreateFiles(e.mailbox("Inbox"), e.context->failures));
    setFinderInfo(e.mailbox("Inbox"), FinderCodes{"TEXT", "ttxt"});
    {
        QFile old(e.mailbox("Inbox"));
        ASSERT_TRUE(old.open(QIODevice::Append));
        old.write("old message\r");
    }

    EXPECT_TRUE(OnMailSaving(*e.context));
    EXPECT_EQ(e.context->failures.count(), 0) << e.context->failures.firstFailures().join('\n').toStdString();
    EXPECT_EQ(e.mailboxes(), QStringList({"A/Archive/Archive.mbox", "B/Archive/Archive.mbox", "Damaged/Damaged.mbox",
                                          "Folder1/Folder1.mbox", "Inbox/Inbox.mbox", privet + '/' + privet + ".mbox"}))
        << "none for a folder whose only summary is skipped, none for folder id 0";

    const QByteArray inbox = ertest::readFile(e.mailbox("Inbox"));
    const QByteArray storedPart = "old message\rFrom ???@??? Wed Mar 12 10:11:12 2008\r" + text2
        + "\rFrom ???@???  Mar 05 10:11:12 2008\r" + escapeMboxFromLines(text1) + "\r";
    EXPECT_TRUE(inbox.startsWith(storedPart)) << inbox.toStdString();
    EXPECT_TRUE(storedPart.contains("\rfrom me\rsaid From you\r"));
    EXPECT_TRUE(inbox.mid(storedPart.size()).startsWith("From ???@???\rUser-Agent: Microsoft-Entourage/12.0.0\r"));
    EXPECT_TRUE(inbox.endsWith("--\r\r\r") && inbox.contains("composed in the inbox"));
    if (!finderCodes(e.mailbox("Inbox")).isEmpty()) {
        EXPECT_EQ(finderCodes(e.mailbox("Inbox")), QByteArray("TEXTttxt"));
        EXPECT_EQ(finderCodes(e.mailbox(privet)), QByteArray("MBOXOPIM"));
    }
    EXPECT_EQ(ertest::readFile(e.mailbox(privet)), "From ???@???  Apr 01 00:00:00 2008\r"
                                                + withDate("1 Apr 2008 00:00:00 +0000", "third")
                                                + "\rFrom ???@??? : tin   \r" + tiny + "\r");
    EXPECT_TRUE(ertest::readFile(e.mailbox("A/Archive")).contains("in A"));
    EXPECT_TRUE(ertest::readFile(e.mailbox("B/Archive")).contains("in B"));
    EXPECT_FALSE(ertest::readFile(e.mailbox("B/Archive")).contains("in A"));
    EXPECT_TRUE(ertest::readFile(e.mailbox("Folder1")).startsWith("From ???@???\rUser-Agent: "));
    EXPECT_TRUE(ertest::readFile(e.mailbox("Folder1")).contains("orphan body"));
    // The damaged size is bounded by the block; the cut text by the file.
    EXPECT_EQ(ertest::readFile(e.mailbox("Damaged")), "From ???@???  Mar 05 10:11:12 2008\r" + damaged
                                                   + QByteArray(damagedBlock.size() - 20 - damaged.size(), '\0')
                                                   + "\rFrom ???@???  Mar 06 10:11:12 2008\r" + cut.left(40) + "\r");

    EXPECT_EQ(e.ticks, 8) << "one tick per stored message copied";
    EXPECT_EQ(e.ranges, QList<unsigned int>({static_cast<unsigned int>(e.state.SizeOfAllMails / 512)}));
    EXPECT_EQ(e.statuses, QStringList({QStringLiteral("Saving Mail Folders...")}));
}

TEST(MailboxExport, LargeTextsAreCopiedWhole)
{
    constexpr int kChunk = 1024 * 1024;
    const QByteArray line = QByteArray(99, 'a') + '\r';
    // A "From " line that straddles the first 1 MiB of the text.
    QByteArray early = withDate("5 Mar 2008 10:11:12 +0100", QByteArray());
    early += line.repeated((kChunk - 3 - early.size()) / line.size());
    early += QByteArray(kChunk - 3 - early.size(), 'b') + "\rFrom the middle\r" + line.repeated(15000);
    // A Date header that comes only after the first 1 MiB.
    const QByteArray late = "Subject: late\r" + line.repeated(11000) + withDate("6 Mar 2008 10:11:12 +0100", "x");

    Database db;
    db.add(flidBlock({FolderEntry{1, {}, QStringLiteral("Inbox")}}));
    db.add(mlrcBlock(stored(1, 101)));
    db.add(mlrcBlock(stored(1, 102)));
    db.add(msrcBlock(101, early));
    db.add(msrcBlock(102, late));
    MailExport e(db.bytes());
    e.folder(1, QStringLiteral("Inbox"));

    EXPECT_TRUE(OnMailSaving(*e.context));
    const QByteArray mbox = ertest::readFile(e.mailbox("Inbox"));
    EXPECT_TRUE(mbox.contains("\rfrom the middle\r"));
    EXPECT_TRUE(mbox == "From ???@???  Mar 05 10:11:12 2008\r" + escapeMboxFromLines(early)
                           + "\rFrom ???@???  Mar 06 10:11:12 2008\r" + late + "\r");
}

TEST(MailboxExport, UnwritableMailboxesAreCounted)
{
    Database db;
    db.add(flidBlock({FolderEntry{1, {}, "A"}, FolderEntry{2, {}, "B"}, FolderEntry{3, {}, "C"}}));
    for (const MailRecord& r : {stored(1, 101), stored(1, 102), stored(2, 103), withoutText(3, "a"), withoutText(3, "b")})
        db.add(mlrcBlock(r));
    for (quint32 id : {101, 102, 103})
        db.add(msrcBlock(id, withDate("5 Mar 2008 10:11:12 +0100", "text")));
    MailExport e(db.bytes());

    // A regular file where the folder's directory belongs.
    e.folder(1, QStringLiteral("Blocked"), false);
    QFile blocker(e.context->saveDir + kMail + QStringLiteral("/Blocked"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    // A mailbox on the device that is always full.
    e.folder(2, QStringLiteral("Full"));
    const bool devFull = QFile::link(QStringLiteral("/dev/full"), e.mailbox("Full"));
    // Records without stored text whose directory is missing.
    e.folder(3, QStringLiteral("Gone"), false);

    EXPECT_TRUE(OnMailSaving(*e.context));
    EXPECT_EQ(e.context->failures.count(), devFull ? 3 : 2) << "one failure per mailbox that cannot be written";
    const QString failures = e.context->failures.firstFailures().join('\n');
    EXPECT_TRUE(failures.contains("/Blocked/Blocked.mbox") && failures.contains("/Gone/Gone.mbox"))
        << failures.toStdString();
}

TEST(MailboxExport, StopRequestsAndAnUnreadableDatabase)
{
    Database db;
    db.add(flidBlock({FolderEntry{1, {}, "Inbox"}, FolderEntry{2, {}, "Sent"}}));
    for (const MailRecord& r : {stored(1, 101), stored(1, 102), stored(2, 103), withoutText(2, "body")})
        db.add(mlrcBlock(r));
    for (quint32 id : {101, 102, 103})
        db.add(msrcBlock(id, withDate("5 Mar 2008 10:11:12 +0100", "text " + QByteArray::number(id))));

    MailExport during(db.bytes());
    during.folder(1, QStringLiteral("Inbox"));
    during.folder(2, QStringLiteral("Sent"));
    during.context->hooks.progress = [&during] { during.stop = true; };
    OnMailSaving(*during.context);
    EXPECT_TRUE(ertest::readFile(during.mailbox("Inbox")).contains("text 101"));
    EXPECT_FALSE(ertest::readFile(during.mailbox("Inbox")).contains("text 102")) << "the walk ends after the message";
    EXPECT_EQ(during.mailboxes(), QStringList({"Inbox/Inbox.mbox"}));

    MailExport before(db.bytes());
    before.folder(1, QStringLiteral("Inbox"));
    before.stop = true;
    OnMailSaving(*before.context);
    EXPECT_TRUE(before.mailboxes().isEmpty());

    MailExport missing(db.bytes());
    missing.context->databasePath = missing.dir.filePath(QStringLiteral("missing"));
    EXPECT_FALSE(OnMailSaving(*missing.context));
    EXPECT_EQ(missing.context->failures.count(), 1) << "a save without its mail is no success";
    EXPECT_TRUE(missing.ranges.isEmpty());
}
