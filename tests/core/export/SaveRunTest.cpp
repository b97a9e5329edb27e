#include "../ScanTestSupport.h"

#include "DatabaseBuilder.h"
#include "SampleDatabase.h"
#include "export/BundleLayout.h"
#include "export/SaveRun.h"
#include "mail/MailLinking.h"
#include "scan/DatabaseFile.h"
#include "scan/FolderTree.h"

#include <QDirIterator>
#include <QRegularExpression>

using namespace er;

namespace {

struct Saved {
    ScanState state;
    QTemporaryDir database;
    QTemporaryDir target;
    SaveResult result;
};

void scanSample(Saved& s, const QByteArray& bytes)
{
    const QString path = s.database.filePath(QStringLiteral("Database"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    f.close();
    ASSERT_EQ(scanDatabase(path, s.state).kind, ScanOutcome::Completed);
}

// The messages of a mailbox: each begins with a "From ???@???" line at the
// start of the file or right after a CR (lines of a text that begin "From "
// are lowered, so no text line can look like one).
QList<QByteArray> splitMailbox(const QByteArray& mbox)
{
    QList<QByteArray> messages;
    int start = 0;
    while (start < mbox.size()) {
        int next = mbox.indexOf("\rFrom ???@???", start + 1);
        const int end = next < 0 ? mbox.size() : next + 1;
        messages << mbox.mid(start, end - start);
        start = end;
    }
    return messages;
}

QByteArray lowerFromAtLineStarts(QByteArray text)
{
    for (int i = 0; i + 5 <= text.size(); ++i)
        if ((i == 0 || text[i - 1] == '\r' || text[i - 1] == '\n') && text.mid(i, 5) == "From ")
            text[i] = 'f';
    return text;
}

QMap<QString, QByteArray> mailboxes(const QString& bundle)
{
    QMap<QString, QByteArray> out;
    QDirIterator it(bundle + QStringLiteral("/Mail"), {QStringLiteral("*.mbox")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        out.insert(path.mid(bundle.size()), f.readAll());
    }
    return out;
}

} // namespace

TEST(SaveRun, SampleRoundTripsThroughTheMailboxes)
{
    Saved s;
    scanSample(s, testdb::buildSampleDatabase());
    const FolderTreeModel tree = buildFolderTree(s.state);
    QStringList statuses;
    unsigned int range = 0;
    int ticks = 0;
    SaveHooks hooks;
    hooks.status = [&](const QString& text) {
        if (statuses.isEmpty() || statuses.last() != text)
            statuses << text;
    };
    hooks.initialSettings = [&](unsigned int r) { range = r; };
    hooks.progress = [&] { ++ticks; };
    s.result = saveBundle(s.state, tree, s.target.path(), hooks);
    EXPECT_TRUE(s.result.succeeded()) << s.result.firstFailures.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(s.result.bundle, s.target.filePath(QStringLiteral("Main Identity.rge")));
    EXPECT_EQ(statuses, QStringList({QStringLiteral("Saving Mail Folders..."), QStringLiteral("Saving Note Items..."),
                                     QStringLiteral("Saving Task Items..."), QStringLiteral("Saving Calendar Items..."),
                                     QStringLiteral("Saving Contacts Items...")}));
    EXPECT_EQ(range, static_cast<unsigned int>(s.state.SizeOfAllMails / 512));
    EXPECT_EQ(ticks, testdb::kSampleSummaries);

    // Every stored text comes back exactly once, behind its separator line,
    // with only line-initial "From " lowered.
    DatabaseFile db(s.state.m_strDatabasePath);
    QMultiMap<QByteArray, int> expected;
    for (const MailMSRC& summary : s.state.msrcList) {
        QByteArray text;
        ASSERT_TRUE(db.readExactly(summary.MSRCMailSourceOffset + 20, summary.MSRCMailSourceSize, &text));
        expected.insert(lowerFromAtLineStarts(text), 0);
    }
    int composed = 0;
    int stored = 0;
    const auto boxes = mailboxes(s.result.bundle);
    EXPECT_FALSE(boxes.isEmpty());
    for (auto box = boxes.cbegin(); box != boxes.cend(); ++box) {
        for (const QByteArray& message : splitMailbox(box.value())) {
            ASSERT_TRUE(message.startsWith("From ???@???")) << box.key().toStdString();
            ASSERT_TRUE(message.endsWith('\r'));
            const QByteArray body = message.mid(message.indexOf('\r') + 1).chopped(1);
            if (expected.contains(body)) {
                expected.remove(body, 0);
                ++stored;
            } else {
                EXPECT_TRUE(body.startsWith("User-Agent: Microsoft-Entourage/12.0.0\r")) << body.left(200).toStdString();
                ++composed;
            }
        }
    }
    EXPECT_TRUE(expected.isEmpty()) << expected.size() << " stored texts were not written";
    EXPECT_EQ(stored, testdb::kSampleSummaries);
    EXPECT_EQ(composed, testdb::kSampleMailRecordsWithoutSource);
    EXPECT_TRUE(boxes.contains(QStringLiteral("/Mail/Folder1/Folder1.mbox")));
}

TEST(SaveRun, StopRemovesThePartialBundle)
{
    Saved s;
    scanSample(s, testdb::buildSampleDatabase());
    const FolderTreeModel tree = buildFolderTree(s.state);
    std::atomic<bool> stop{false};
    SaveHooks hooks;
    hooks.stop = &stop;
    hooks.progress = [&] { stop = true; };
    s.result = saveBundle(s.state, tree, s.target.path(), hooks);
    EXPECT_TRUE(s.result.stopped);
    EXPECT_FALSE(s.result.succeeded());
    EXPECT_FALSE(QFileInfo::exists(s.result.bundle));
    EXPECT_TRUE(QFileInfo(s.target.path()).isDir()) << "only the bundle goes";
}

TEST(SaveRun, FailuresAreReportedNotSuccess)
{
    Saved s;
    scanSample(s, testdb::buildSampleDatabase());
    const FolderTreeModel tree = buildFolderTree(s.state);
    // A regular file where the Inbox's directory belongs.
    const QString bundle = bundlePath(s.target.path());
    QString inboxPath;
    for (const TreeInfo& info : ScanTree(tree))
        if (info.folderId == 1)
            inboxPath = s.target.path() + info.path;
    ASSERT_FALSE(inboxPath.isEmpty());
    ASSERT_TRUE(QDir().mkpath(QFileInfo(inboxPath).path()));
    QFile blocker(inboxPath);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    s.result = saveBundle(s.state, tree, s.target.path());
    EXPECT_FALSE(s.result.succeeded());
    EXPECT_FALSE(s.result.stopped);
    EXPECT_GT(s.result.failureCount, 0);
    ASSERT_FALSE(s.result.firstFailures.isEmpty());
    EXPECT_TRUE(s.result.firstFailures.first().startsWith(inboxPath)) << s.result.firstFailures.first().toStdString();
    // Everything else was still written.
    EXPECT_TRUE(QFileInfo::exists(bundle + QStringLiteral("/Archive.xml")));
}
