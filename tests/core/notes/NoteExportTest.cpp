#include "../TestFiles.h"

#include "notes/NoteExport.h"
#include "RecordDraft.h"
#include "archive/BundleLayout.h"
#include "format/ByteOrder.h"

#include <QTemporaryDir>

using namespace er;

namespace {

NoteDraft note(const QByteArray& summary, const QByteArray& description, const QByteArray& guid = {})
{
    NoteDraft n;
    if (!summary.isNull())
        n.set(NoteField::Summary, summary), n.setLength(NoteField::Summary, quint32(summary.size() + 1));
    n.set(NoteField::Description, description), n.setLength(NoteField::Description, quint32(description.size() + 1));
    if (!guid.isEmpty())
        n.set(NoteField::GUID, guid), n.setLength(NoteField::GUID, quint32(guid.size()));
    return n;
}

} // namespace

TEST(NoteExport, JournalLines)
{
    const QByteArray head = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Microsoft Corporation//Entourage Mac 11.1 "
                            "MIMEDIR//EN\r\nMETHOD:PUBLISH\r\nBEGIN:VJOURNAL\r\n";
    const QByteArray tail = "END:VJOURNAL\r\nEND:VCALENDAR\r\n";
    EXPECT_EQ(noteICalendar(note("Shopping list", "a\rb", QByteArray::fromHex("a0a1a2a3a4a5a6a7a8a9aaabacadaeaf"))),
              head + "UID:A0A1A2A3-A4A5-A6A7-A8A9-AAABACADAEAF\r\nSUMMARY:Shopping list\r\nDESCRIPTION:a\\nb\r\n"
                  + tail);
    // No GUID, no summary: no line. No zero byte of 8-bit text reaches the file.
    EXPECT_EQ(noteICalendar(note(QByteArray("Ideas\0", 6), "one line only")),
              head + "SUMMARY:Ideas\r\nDESCRIPTION:one line only\r\n" + tail);
    EXPECT_EQ(noteICalendar(note(QByteArray(), QByteArray("x\0y\r\0", 5))), head + "DESCRIPTION:xy\\n\r\n" + tail);
    // GUID bytes that lay past the block's end read as zeros.
    NoteDraft cut = note("t", "d");
    cut.set(NoteField::GUID, QByteArray()), cut.setLength(NoteField::GUID, 16);
    EXPECT_TRUE(noteICalendar(cut).contains("\r\nUID:00000000-0000-0000-0000-000000000000\r\n"));
}

TEST(NoteExport, SavingKeepsEveryNoteStopsAndCountsFailures)
{
    QTemporaryDir target;
    const QString dir = bundlePath(target.path()) + "/Notes", none(26, 'A');
    ScanState state;
    appendDrafts(state.notes, note("first", "1"), note("second", "2"), note("third", "3", QByteArray(16, '\x07')));
    QStringList statuses;
    std::atomic<bool> stop{false};
    auto run = [&](bool stopAtFirst) {
        statuses.clear();
        SaveContext context(target.path());
        context.hooks.stop = &stop;
        context.hooks.status = [&](const QString& text) {
            statuses << text;
            stop = stopAtFirst;
        };
        writeNoteFiles(state.notes, context);
        return context.failures.count();
    };
    auto files = [&] { return QDir(dir).entryList(QDir::Files, QDir::Name); };
    ASSERT_TRUE(QDir().mkpath(dir));
    EXPECT_EQ(run(false), 0);
    EXPECT_EQ(statuses.count("Saving Note Items..."), 3);
    EXPECT_EQ(files(), QStringList({none, none + "-2", guidFileName(QByteArray(16, '\x07'))}));
    EXPECT_TRUE(ertest::readFile(dir + '/' + none + "-2").contains("\r\nSUMMARY:second\r\n"));

    ASSERT_TRUE(QDir(dir).removeRecursively() && QDir().mkpath(dir));
    EXPECT_EQ(run(true), 0);
    EXPECT_EQ(files(), QStringList{none}) << "the current note is finished, no further one begun";
    // A regular file where the directory belongs: every note fails.
    stop = false;
    ASSERT_TRUE(QDir(dir).removeRecursively() && QFile(dir).open(QIODevice::WriteOnly));
    EXPECT_EQ(run(false), 3);
}
