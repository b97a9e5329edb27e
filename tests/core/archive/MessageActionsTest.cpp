// Saving selected messages as .eml files, saving their attachments, and
// exporting one folder with its subfolders, on the sample database: nothing
// on disk written over, and every failure and stop said. What each action
// writes for many kinds of message is in the golden files (mail-actions),
// read back there by Python's email module.

#include "../ScanTestSupport.h"
#include "../TestFiles.h"

#include "SampleDatabase.h"
#include "archive/FolderTree.h"
#include "archive/MailList.h"
#include "archive/MessageActions.h"

#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>

using namespace er;
using namespace testdb;
using ertest::readFile;
using ertest::writeFile;

namespace {

// A scanned database and a place to write to.
struct Scanned : ertest::ScannedDatabase {
    FolderTreeModel tree = buildFolderTree(state);

    Scanned() : ScannedDatabase(buildSampleDatabase()) {}
    QString target(const QString& name) const { return dir.filePath(name); }

    // The row of the folder whose list shows the subject.
    MailListRow row(quint64 folderId, const QString& subject)
    {
        for (const MailListRow& row : mailListRows(state, folderId))
            if (row.text.section(QLatin1Char('\n'), -1).simplified() == subject)
                return row;
        ADD_FAILURE() << "no row " << subject.toStdString() << " in folder " << folderId;
        return {};
    }
};

constexpr quint64 kInbox = 1;
constexpr quint64 kSent = 3;
constexpr quint64 kProjects = 101;

} // namespace

// Names are unique, nothing on disk is written over, and a folder export
// into a directory that exists is refused and leaves it alone.
TEST(MessageActions, NothingOnDiskIsWrittenOver)
{
    Scanned s;
    const QString dir = s.target(QStringLiteral("eml"));
    writeFile(dir + QStringLiteral("/2008-01-15 Slides for Monday.eml"), "mine");
    // A dangling link takes its name too: writing through it would create
    // a file elsewhere.
    ASSERT_TRUE(QFile::link(s.target(QStringLiteral("elsewhere")), dir + QStringLiteral("/2008-01-15 Slides for Monday (2).eml")));
    const MailListRow row = s.row(kInbox, QStringLiteral("Slides for Monday"));
    const MessageActionResult result = saveMessagesAsEml(s.state, {row, row}, dir);
    ASSERT_TRUE(result.succeeded()) << result.firstFailures.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(result.written, (QStringList{dir + QStringLiteral("/2008-01-15 Slides for Monday (3).eml"),
                                           dir + QStringLiteral("/2008-01-15 Slides for Monday (4).eml")}));
    EXPECT_EQ(readFile(dir + QStringLiteral("/2008-01-15 Slides for Monday.eml")), QByteArray("mine"));
    EXPECT_FALSE(QFileInfo::exists(s.target(QStringLiteral("elsewhere"))));
    EXPECT_EQ(readFile(result.written[0]), readFile(result.written[1]));

    const MessageActionResult folder = exportMailFolder(s.state, s.tree, kProjects, dir);
    EXPECT_FALSE(folder.succeeded());
    EXPECT_EQ(folder.failureCount, 1);
    EXPECT_TRUE(folder.written.isEmpty());
    EXPECT_EQ(QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System).size(), 4);
}

// A target that cannot be made, a database that is gone and a stop: never
// a success, nothing listed that was not written whole, and a stopped
// folder export takes back what it made.
TEST(MessageActions, FailuresAndStopsAreSaid)
{
    enum Situation { FileAsTarget, BelowAFile, DatabaseGone, Stop };
    for (const Situation situation : {FileAsTarget, BelowAFile, DatabaseGone, Stop}) {
        for (const std::string_view action : {"eml", "attachments", "folder"}) {
            SCOPED_TRACE(std::string(action) + " in situation " + std::to_string(situation));
            Scanned s;
            const std::vector<MailListRow> rows{s.row(kInbox, QStringLiteral("Slides for Monday")),
                                                s.row(kSent, QStringLiteral("Numbers for the slides"))};
            const QString file = s.target(QStringLiteral("a file"));
            writeFile(file, "not a directory");
            QString target = s.target(QStringLiteral("out"));
            std::atomic<bool> stop{false};
            MessageActionHooks hooks;
            if (situation == FileAsTarget || situation == BelowAFile)
                target = situation == FileAsTarget ? file : file + QStringLiteral("/below");
            if (situation == DatabaseGone) {
                ASSERT_TRUE(QFile::remove(s.state.databasePath));
            }
            if (situation == Stop) {
                hooks.stop = &stop;
                hooks.progress = [&] { stop = true; };
            }
            const MessageActionResult result = action == "eml" ? saveMessagesAsEml(s.state, rows, target, hooks)
                                               : action == "attachments"
                                                   ? saveAttachments(s.state, rows, target, hooks)
                                                   : exportMailFolder(s.state, s.tree, kProjects, target, hooks);
            EXPECT_FALSE(result.succeeded());
            EXPECT_EQ(result.stopped, situation == Stop);
            EXPECT_EQ(result.failureCount > 0, situation != Stop);
            EXPECT_EQ(result.firstFailures.isEmpty(), situation == Stop);
            EXPECT_LE(result.written.size(), situation == Stop ? 1 : 0);
            for (const QString& path : result.written)
                EXPECT_TRUE(QFileInfo(path).isFile());
            if (situation == Stop && action == "folder") {
                EXPECT_FALSE(QFileInfo::exists(target));
            }
            EXPECT_EQ(readFile(file), QByteArray("not a directory"));
        }
    }
}
