// The sample database damaged in many ways: truncated, bytes flipped, ranges
// zeroed or garbled, header words set to extremes. Scan and save must always
// finish, and every block of the clean file that the damage left alone must
// be recovered: its items are in the scan, its message text in a mailbox.
// Single damaged inputs worth keeping go to tests/data/regressions instead.

#include "../ScanTestSupport.h"
#include "../TestFiles.h"

#include "Damage.h"
#include "SampleDatabase.h"
#include "archive/FolderTree.h"
#include "archive/SaveRun.h"
#include "format/BlockView.h"
#include "mail/MailboxExport.h"

#include <QSet>

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
        out << QStringLiteral("record %1 %2 %3").arg(m.mailId).arg(s.mail.text(m.subject)).arg(s.mail.span(m, MailProperty::Body).offset);
    for (const ContactView c : s.contacts)
        out << "contact " + text(c.field(ContactField::GUID)) + text(c.field(ContactField::FirstName));
    for (const NoteView n : s.notes)
        out << "note " + text(n.field(NoteField::GUID)) + text(n.field(NoteField::Summary));
    for (const EventView e : s.events)
        out << "event " + text(e.field(EventField::GUID)) + text(e.field(EventField::Summary));
    for (const TaskView t : s.tasks)
        out << "task " + text(t.field(TaskField::GUID)) + text(t.field(TaskField::TaskName));
    return out;
}

void checkRecovery(const QByteArray& clean, const QByteArray& damaged)
{
    // The blocks of the clean file whose bytes the damaged copy still holds,
    // each decoded on its own.
    QStringList intactItems;
    QList<QByteArray> intactTexts;
    for (const testdb::ScannedBlock& b : testdb::scanBlocks(clean)) {
        const BlockTag tag = blockTagOf(reinterpret_cast<const unsigned char*>(b.tag.constData()));
        if (!testdb::untouched(clean, damaged, {b}) || static_cast<quint64>(b.length) > blockLimitOf(tag))
            continue;
        ScanState single;
        decodeBlock(single, tag, BlockView::whole(damaged.mid(int(b.offset), int(b.length)), b.offset));
        intactItems << fingerprints(single);
        for (const StoredMessage& m : single.mail.messages)
            intactTexts << damaged.mid(int(m.text().offset), int(m.text().length));
    }

    QTemporaryDir dir; // the save reads the texts from the database again
    const QString path = dir.filePath(QStringLiteral("Database"));
    ertest::writeFile(path, damaged);
    ScanState state;
    const ScanOutcome outcome = scanDatabase(path, state);
    ASSERT_TRUE(outcome.kind == ScanOutcome::Completed || outcome.kind == ScanOutcome::NothingUsable);
    QStringList found = fingerprints(state);
    for (const QString& item : intactItems)
        EXPECT_TRUE(found.removeOne(item)) << "lost: " << item.toStdString();
    if (outcome.kind != ScanOutcome::Completed) {
        EXPECT_TRUE(intactItems.isEmpty());
        return;
    }
    const QString out = dir.filePath(QStringLiteral("out"));
    ASSERT_TRUE(QDir().mkpath(out));
    const SaveResult result = saveBundle(state, buildFolderTree(state), out);
    EXPECT_EQ(result.failureCount, 0) << result.firstFailures.join(QLatin1Char('\n')).toStdString();
    const QByteArray mailboxes = ertest::allMailboxes(out);
    for (const QByteArray& message : intactTexts)
        EXPECT_TRUE(mailboxes.contains(escapeMboxFromLines(message))) << "not saved: " << message.left(80).toStdString();
}

} // namespace

TEST(CorruptionSweep, RecoversEveryIntactBlock)
{
    const QByteArray clean = testdb::buildSampleDatabase();
    const QList<testdb::ScannedBlock> blocks = testdb::scanBlocks(clean);
    // A size field that still passes the block check is trusted: the walk
    // jumps over whatever length it claims, intact blocks included
    // (bench/recovery measures that). The flips leave size fields alone.
    QSet<qint64> sizeFields;
    for (const testdb::ScannedBlock& b : blocks)
        sizeFields << b.offset + 4 << b.offset + 5 << b.offset + 6;
    QRandomGenerator rng(20261206);
    for (int round = 0; round < 24; ++round) {
        SCOPED_TRACE(round);
        const int cut = round < 6 ? round * 37 : int(rng.bounded(clean.size()));
        checkRecovery(clean, clean.left(cut));
        checkRecovery(clean, testdb::flipBytes(clean, 1 + int(rng.bounded(20)), rng,
                                               [&sizeFields](qint64 at) { return sizeFields.contains(at); }));
        QByteArray ranged = clean;
        const int start = int(rng.bounded(clean.size()));
        for (int i = start; i < qMin(clean.size(), start + 1 + int(rng.bounded(4096))); ++i)
            ranged[i] = round % 2 ? char(rng.bounded(256)) : '\0';
        checkRecovery(clean, ranged);
    }
    // Header words of one block of each tag set to extremes: table lengths,
    // entry lengths and counts that point far outside the file.
    QSet<QByteArray> tags;
    for (const testdb::ScannedBlock& b : blocks) {
        if (tags.contains(b.tag) || b.offset + 44 > clean.size())
            continue;
        tags << b.tag;
        for (const int offset : {24, 28, 32, 36, 40}) {
            SCOPED_TRACE(b.tag.toStdString() + " word " + std::to_string(offset));
            checkRecovery(clean, QByteArray(clean).replace(int(b.offset) + offset, 4, "\xFF\xFF\xFF\xF0"));
        }
    }
}
