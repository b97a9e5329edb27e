#include "contacts/NoteExport.h"
#include "export/BundleLayout.h"
#include "scan/ByteOrder.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace er;

namespace {

const QByteArray kHead = "BEGIN:VCALENDAR\r\nVERSION:2.0\r\n"
                         "PRODID:-//Microsoft Corporation//Entourage Mac 11.1 MIMEDIR//EN\r\n"
                         "METHOD:PUBLISH\r\nBEGIN:VJOURNAL\r\n";
const QByteArray kTail = "END:VJOURNAL\r\nEND:VCALENDAR\r\n";

NotesInformation note(const QByteArray& summary, const QByteArray& description, const QByteArray& guid = {})
{
    NotesInformation n;
    if (!summary.isNull()) {
        n.Summary = summary;
        n.SummaryLength = quint32(summary.size() + 1);
    }
    n.Description = description;
    n.DescriptionLength = quint32(description.size() + 1);
    if (!guid.isEmpty()) {
        n.GUID = guid;
        n.GUIDLength = quint32(guid.size());
    }
    return n;
}

struct NotesBundle {
    QTemporaryDir target;
    ScanState state;
    SaveContext context{state, target.path()};
    std::atomic<bool> stop{false};
    QStringList statuses;
    const QString dir = bundlePath(target.path()) + QStringLiteral("/Notes");

    NotesBundle()
    {
        context.hooks.stop = &stop;
        context.hooks.status = [this](const QString& text) { statuses << text; };
        QDir().mkpath(dir);
    }
    QStringList files() const { return QDir(dir).entryList(QDir::Files, QDir::Name); }
    QByteArray file(const QString& name) const
    {
        QFile f(dir + QLatin1Char('/') + name);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

} // namespace

TEST(NoteExport, JournalLines)
{
    const QByteArray guid = QByteArray::fromHex("a0a1a2a3a4a5a6a7a8a9aaabacadaeaf");
    EXPECT_EQ(noteICalendar(note("Shopping list", "a\rb", guid)),
              kHead + "UID:A0A1A2A3-A4A5-A6A7-A8A9-AAABACADAEAF\r\nSUMMARY:Shopping list\r\nDESCRIPTION:a\\nb\r\n"
                  + kTail);
    EXPECT_EQ(noteICalendar(note("Ideas", "one line only")),
              kHead + "SUMMARY:Ideas\r\nDESCRIPTION:one line only\r\n" + kTail);
    // No summary, no GUID: neither line. 8-bit text keeps its zero bytes in
    // the record; none reaches the file.
    EXPECT_EQ(noteICalendar(note(QByteArray(), QByteArray("x\0y\r\0", 5))), kHead + "DESCRIPTION:xy\\n\r\n" + kTail);
    EXPECT_EQ(noteICalendar(note(QByteArray("Title\0", 6), "")), kHead + "SUMMARY:Title\r\nDESCRIPTION:\r\n" + kTail);
    // GUID bytes that lay past the block's end read as zeros.
    NotesInformation cut = note("t", "d");
    cut.GUID = QByteArray();
    cut.GUIDLength = 16;
    EXPECT_TRUE(noteICalendar(cut).contains("\r\nUID:00000000-0000-0000-0000-000000000000\r\n"));
}

TEST(NoteExport, SavingKeepsEveryNoteStopsAndCountsFailures)
{
    NotesBundle b;
    const QByteArray guid(16, '\x07');
    b.state.ntrcList = {note("first", "1"), note("second", "2"), note("third", "3", guid)};
    OnNotesSaving(b.context);
    EXPECT_EQ(b.context.failures.count(), 0);
    EXPECT_EQ(b.statuses.size(), 3);
    EXPECT_EQ(b.statuses.count(QStringLiteral("Saving Note Items...")), 3);
    const QString none(26, QLatin1Char('A'));
    EXPECT_EQ(b.files().size(), 3);
    EXPECT_TRUE(b.file(none).contains("\r\nSUMMARY:first\r\n"));
    EXPECT_TRUE(b.file(none + QStringLiteral("-2")).contains("\r\nSUMMARY:second\r\n"));
    EXPECT_TRUE(b.file(guidFileName(guid)).contains("\r\nSUMMARY:third\r\n"));

    NotesBundle stopped;
    stopped.state.ntrcList = {note("first", "1"), note("second", "2")};
    stopped.context.hooks.status = [&stopped](const QString&) { stopped.stop = true; };
    OnNotesSaving(stopped.context);
    EXPECT_EQ(stopped.files(), QStringList{none});

    // A regular file where the directory belongs: every note fails.
    NotesBundle blocked;
    ASSERT_TRUE(QDir(blocked.dir).removeRecursively());
    QFile blocker(blocked.dir);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    blocked.state.ntrcList = {note("first", "1"), note("second", "2")};
    OnNotesSaving(blocked.context);
    EXPECT_EQ(blocked.context.failures.count(), 2);
}
