// The portable export's mail, piece by piece: mboxrd quoting, the mailbox
// layout, and entries already there. Whole exports, with the From_ lines of
// every Date shape and sender, are in the golden files (mail-export,
// mail-fields-export, sample-export).

#include "../ScanTestSupport.h"
#include "../TestFiles.h"

#include "SampleDatabase.h"
#include "archive/FolderTree.h"
#include "archive/PortableExport.h"
#include "mail/MboxrdExport.h"

using namespace er;

namespace {

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

TEST(Mboxrd, MailboxPathsMirrorTheFolderTree)
{
    const QString mail = QStringLiteral("/Main Identity.rge/Mail");
    const QString longName(200, QChar(0x65E5)); // 600 bytes of UTF-8
    // Plain paths are in the golden files (mail-export).
    const std::pair<QString, QString> cases[] = {
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

// An entry already in the folder is not ours: a file keeps its bytes, and a
// link, even one to nothing, is never written through.
TEST(PortableExport, EntriesAlreadyThereAreNeitherWrittenOverNorThrough)
{
    ertest::ScannedDatabase s(testdb::buildSampleDatabase());
    const QString target = s.dir.filePath(QStringLiteral("export"));
    ertest::writeFile(target + QStringLiteral("/README.txt"), "mine");
    ASSERT_TRUE(QFile::link(s.dir.filePath(QStringLiteral("elsewhere")), target + QStringLiteral("/contacts.vcf")));

    const PortableResult result = exportPortable(s.state, buildFolderTree(s.state), target);
    EXPECT_EQ(result.failureCount, 2);
    EXPECT_FALSE(QFileInfo::exists(s.dir.filePath(QStringLiteral("elsewhere"))));
    EXPECT_EQ(ertest::readFile(target + QStringLiteral("/README.txt")), QByteArray("mine"));
}
