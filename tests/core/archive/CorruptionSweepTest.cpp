// The sample database damaged in many ways: truncated, bytes flipped, ranges
// zeroed. Scan and save must always finish, and every block the damage left
// alone must still be recovered.

#include "../ScanTestSupport.h"

#include "DatabaseBuilder.h"
#include "SampleDatabase.h"
#include "archive/SaveRun.h"
#include "format/BlockView.h"
#include "archive/FolderTree.h"

#include <QRandomGenerator>

using namespace er;

namespace {

QString text(const std::optional<QByteArray>& v)
{
    return v ? QString::fromUtf8(v->toHex()) : QStringLiteral("-");
}

// What identifies each recovered item by content, independent of folder
// numbering and file names.
QStringList fingerprints(const ScanState& s)
{
    QStringList out;
    for (const FolderRecord& f : s.mail.folders)
        if (f.kind == 0) // account folders are named after the scan: compare their account
            out << QStringLiteral("folder %1 %2").arg(f.folderId).arg(
                f.nameLength == 0 ? QStringLiteral("account %1").arg(f.accountId) : f.name);
    for (const StoredMessage& m : s.mail.messages)
        out << QStringLiteral("text %1 %2 %3").arg(m.mailId).arg(m.blockOffset).arg(m.textSize);
    for (const MailRecord& m : s.mail.records)
        out << QStringLiteral("record %1 %2 %3").arg(m.mailId).arg(m.subject).arg(m.bodyOffset);
    for (const ContactRecord& c : s.contacts)
        out << QStringLiteral("contact %1 %2 %3").arg(text(c.GUID), text(c.FirstName), text(c.LastName));
    for (const NoteRecord& n : s.notes)
        out << QStringLiteral("note %1 %2").arg(text(n.GUID), text(n.Summary));
    for (const EventRecord& e : s.events)
        out << QStringLiteral("event %1 %2").arg(text(e.GUID), text(e.Summary));
    for (const TaskRecord& t : s.tasks)
        out << QStringLiteral("task %1 %2").arg(text(t.GUID), text(t.TaskName));
    return out;
}

BlockTag tagOf(const QByteArray& t)
{
    return blockTagOf(reinterpret_cast<const unsigned char*>(t.constData()));
}

// The items of the blocks that the scanner reaches in the damaged file and
// whose bytes equal the clean file's: each decoded on its own.
QStringList untouchedItems(const QByteArray& clean, const QByteArray& damaged)
{
    QStringList out;
    for (const testdb::ScannedBlock& b : testdb::scanBlocks(damaged)) {
        if (b.offset + b.length > clean.size() || b.offset + b.length > damaged.size())
            continue;
        const QByteArray bytes = damaged.mid(static_cast<int>(b.offset), static_cast<int>(b.length));
        if (bytes != clean.mid(static_cast<int>(b.offset), static_cast<int>(b.length)))
            continue;
        if (static_cast<quint64>(b.length) > blockLimitOf(tagOf(b.tag)))
            continue;
        ScanState single;
        decodeBlock(single, tagOf(b.tag), BlockView::whole(bytes, b.offset));
        out << fingerprints(single);
    }
    return out;
}

void checkRecovery(const QByteArray& clean, const QByteArray& damaged, const std::string& what)
{
    SCOPED_TRACE(what);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Database"));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(damaged);
    }
    ScanState state;
    const ScanOutcome outcome = scanDatabase(path, state);
    ASSERT_NE(outcome.kind, ScanOutcome::CannotOpen);
    ASSERT_NE(outcome.kind, ScanOutcome::Stopped);

    QStringList found = fingerprints(state);
    for (const QString& item : untouchedItems(clean, damaged)) {
        const int at = found.indexOf(item);
        EXPECT_GE(at, 0) << "lost: " << item.toStdString();
        if (at >= 0)
            found.removeAt(at);
    }

    if (outcome.kind == ScanOutcome::Completed) {
        const FolderTreeModel tree = buildFolderTree(state);
        const QString target = dir.filePath(QStringLiteral("out"));
        ASSERT_TRUE(QDir().mkpath(target));
        const SaveResult result = saveBundle(state, tree, target);
        EXPECT_EQ(result.failureCount, 0) << result.firstFailures.join(QLatin1Char('\n')).toStdString();
    }
}

} // namespace

TEST(CorruptionSweep, TruncatedAtManyPoints)
{
    const QByteArray clean = testdb::buildSampleDatabase();
    QRandomGenerator rng(20261206);
    for (int i = 0; i < 40; ++i) {
        const int cut = i < 8 ? i * 37 : static_cast<int>(rng.bounded(clean.size()));
        checkRecovery(clean, clean.left(cut), "truncated at " + std::to_string(cut));
    }
}

TEST(CorruptionSweep, FlippedBytes)
{
    const QByteArray clean = testdb::buildSampleDatabase();
    QRandomGenerator rng(424242);
    for (int round = 0; round < 40; ++round) {
        QByteArray damaged = clean;
        const int flips = 1 + static_cast<int>(rng.bounded(20));
        for (int i = 0; i < flips; ++i) {
            const int at = static_cast<int>(rng.bounded(damaged.size()));
            damaged[at] = static_cast<char>(damaged[at] ^ (1 + rng.bounded(255)));
        }
        checkRecovery(clean, damaged, "flip round " + std::to_string(round));
    }
}

TEST(CorruptionSweep, ZeroedAndGarbledRanges)
{
    const QByteArray clean = testdb::buildSampleDatabase();
    QRandomGenerator rng(777);
    for (int round = 0; round < 30; ++round) {
        QByteArray damaged = clean;
        const int start = static_cast<int>(rng.bounded(damaged.size()));
        const int length = qMin(damaged.size() - start, 1 + static_cast<int>(rng.bounded(4096)));
        for (int i = 0; i < length; ++i)
            damaged[start + i] = round % 2 ? static_cast<char>(rng.bounded(256)) : '\0';
        checkRecovery(clean, damaged, "range round " + std::to_string(round));
    }
    // Header words of every block set to extremes: sizes, table lengths,
    // entry lengths and counts that point far outside the file.
    for (const testdb::ScannedBlock& b : testdb::scanBlocks(clean)) {
        for (const int offset : {24, 28, 32, 36, 40}) {
            QByteArray damaged = clean;
            if (b.offset + offset + 4 > damaged.size())
                continue;
            damaged.replace(static_cast<int>(b.offset) + offset, 4, QByteArray("\xFF\xFF\xFF\xF0", 4));
            checkRecovery(clean, damaged, "word " + std::to_string(offset) + " of block at " + std::to_string(b.offset));
        }
    }
}
