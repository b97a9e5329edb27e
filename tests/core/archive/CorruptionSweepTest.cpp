// The sample database damaged in many ways: truncated, bytes flipped, ranges
// zeroed or garbled, header words set to extremes. Scan and save must always
// finish, and every block of the clean file that the damage left alone must
// be recovered: its items are in the scan, its message text in a mailbox.

#include "../ScanTestSupport.h"
#include "../TestFiles.h"

#include "Damage.h"
#include "DatabaseBuilder.h"
#include "SampleDatabase.h"
#include "archive/FolderTree.h"
#include "archive/SaveRun.h"
#include "format/BlockView.h"
#include "mail/MailboxExport.h"

#include <QSet>

#include <functional>

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
        out << QStringLiteral("record %1 %2 %3").arg(m.mailId).arg(s.mail.text(m.subject)).arg(m.fileOffset(m.body));
    for (const ContactView c : s.contacts)
        out << QStringLiteral("contact %1 %2 %3").arg(text(c.field(ContactField::GUID)), text(c.field(ContactField::FirstName)), text(c.field(ContactField::LastName)));
    for (const NoteView n : s.notes)
        out << QStringLiteral("note %1 %2").arg(text(n.field(NoteField::GUID)), text(n.field(NoteField::Summary)));
    for (const EventView e : s.events)
        out << QStringLiteral("event %1 %2").arg(text(e.field(EventField::GUID)), text(e.field(EventField::Summary)));
    for (const TaskView t : s.tasks)
        out << QStringLiteral("task %1 %2").arg(text(t.field(TaskField::GUID)), text(t.field(TaskField::TaskName)));
    return out;
}

// The blocks of the clean file whose bytes the damaged copy still holds, each
// decoded on its own.
struct IntactBlocks {
    QStringList items;
    QList<QByteArray> messageTexts;
};

IntactBlocks intactBlocks(const QByteArray& clean, const QByteArray& damaged)
{
    IntactBlocks out;
    for (const testdb::ScannedBlock& b : testdb::scanBlocks(clean)) {
        const BlockTag tag = blockTagOf(reinterpret_cast<const unsigned char*>(b.tag.constData()));
        if (!testdb::untouched(clean, damaged, {b}) || static_cast<quint64>(b.length) > blockLimitOf(tag))
            continue;
        ScanState single;
        decodeBlock(single, tag, BlockView::whole(damaged.mid(static_cast<int>(b.offset), static_cast<int>(b.length)),
                                                  b.offset));
        out.items << fingerprints(single);
        for (const StoredMessage& m : single.mail.messages)
            out.messageTexts << damaged.mid(static_cast<int>(m.text().offset), static_cast<int>(m.text().length));
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

    const IntactBlocks intact = intactBlocks(clean, damaged);
    QStringList found = fingerprints(state);
    for (const QString& item : intact.items) {
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
        const QByteArray mailboxes = ertest::allMailboxes(target);
        for (const QByteArray& message : intact.messageTexts)
            EXPECT_TRUE(mailboxes.contains(escapeMboxFromLines(message))) << "not saved: " << message.left(80).toStdString();
    } else {
        EXPECT_TRUE(intact.items.isEmpty());
    }
}

using Copies = QList<std::pair<std::string, QByteArray>>;

struct Sweep {
    const char* name;
    std::function<Copies(const QByteArray& clean)> copies;
};

void PrintTo(const Sweep& sweep, std::ostream* out)
{
    *out << sweep.name;
}

Copies truncated(const QByteArray& clean)
{
    QRandomGenerator rng(20261206);
    Copies out;
    for (int i = 0; i < 40; ++i) {
        const int cut = i < 8 ? i * 37 : static_cast<int>(rng.bounded(clean.size()));
        out.append({"truncated at " + std::to_string(cut), clean.left(cut)});
    }
    return out;
}

// A size field that still passes the block check is trusted: the walk jumps
// over whatever length it claims, intact blocks included (bench/recovery
// measures that). The flips here leave size fields alone.
Copies flipped(const QByteArray& clean)
{
    QSet<qint64> sizeFields;
    for (const testdb::ScannedBlock& b : testdb::scanBlocks(clean))
        sizeFields << b.offset + 4 << b.offset + 5 << b.offset + 6;
    QRandomGenerator rng(424242);
    Copies out;
    for (int round = 0; round < 40; ++round)
        out.append({"flip round " + std::to_string(round),
                     testdb::flipBytes(clean, 1 + static_cast<int>(rng.bounded(20)), rng,
                                       [&sizeFields](qint64 at) { return sizeFields.contains(at); })});
    return out;
}

Copies rangesAndHeaderWords(const QByteArray& clean)
{
    QRandomGenerator rng(777);
    Copies out;
    for (int round = 0; round < 30; ++round) {
        QByteArray damaged = clean;
        const int start = static_cast<int>(rng.bounded(damaged.size()));
        const int length = qMin(damaged.size() - start, 1 + static_cast<int>(rng.bounded(4096)));
        for (int i = 0; i < length; ++i)
            damaged[start + i] = round % 2 ? static_cast<char>(rng.bounded(256)) : '\0';
        out.append({"range round " + std::to_string(round), damaged});
    }
    // Header words of every block set to extremes: table lengths, entry
    // lengths and counts that point far outside the file.
    for (const testdb::ScannedBlock& b : testdb::scanBlocks(clean)) {
        for (const int offset : {24, 28, 32, 36, 40}) {
            if (b.offset + offset + 4 > clean.size())
                continue;
            QByteArray damaged = clean;
            damaged.replace(static_cast<int>(b.offset) + offset, 4, QByteArray("\xFF\xFF\xFF\xF0", 4));
            out.append({"word " + std::to_string(offset) + " of block at " + std::to_string(b.offset), damaged});
        }
    }
    return out;
}

class CorruptionSweep : public testing::TestWithParam<Sweep> {};

} // namespace

TEST_P(CorruptionSweep, RecoversEveryIntactBlock)
{
    const QByteArray clean = testdb::buildSampleDatabase();
    for (const auto& [what, damaged] : GetParam().copies(clean))
        checkRecovery(clean, damaged, what);
}

INSTANTIATE_TEST_SUITE_P(Damage, CorruptionSweep,
                         testing::Values(Sweep{"Truncated", truncated}, Sweep{"FlippedBytes", flipped},
                                         Sweep{"ZeroedGarbledRangesAndHeaderWords", rangesAndHeaderWords}),
                         [](const testing::TestParamInfo<Sweep>& info) { return std::string(info.param.name); });
