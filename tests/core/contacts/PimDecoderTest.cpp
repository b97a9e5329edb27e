// The contact, event, task and note decoders: one table of single properties
// per kind, then what a table of rows cannot say (several properties, damaged
// blocks, counting) as a golden file.

#include "PimBlocks.h"

#include "PimGolden.h"

#include "archive/BlockScanner.h"
#include "archive/ScanState.h"
#include "format/BlockView.h"
#include "format/ByteOrder.h"

#include <gtest/gtest.h>

using namespace er;
using namespace testdb;

namespace {

enum Form { Wide, Marked, Raw, Wrapped };

// One property of `form` and what the decoder makes of it: the field's bytes
// (a null array: no field) and its stored length.
struct Row {
    quint32 tag;
    Form form;
    QByteArray data;
    int field;
    QByteArray expected;
    quint32 length;
    bool office2004 = false;
};

QByteArray blockOf(BlockTag kind, const QList<Property>& props)
{
    switch (kind) {
    case BlockTag::CTRC: return contactBlock(props);
    case BlockTag::CLRC: return eventBlock(props);
    case BlockTag::TSRC: return taskBlock(props);
    default: return noteBlock(props);
    }
}

Property property(const Row& r)
{
    switch (r.form) {
    case Wide: return wideProp(r.tag, QString::fromUtf8(r.data.constData(), r.data.size()));
    case Marked: return markedProp(r.tag, r.data);
    case Wrapped: return wrappedProp(r.tag, r.data);
    default: return prop(r.tag, r.data);
    }
}

template <typename Store>
void expectRows(BlockTag kind, Store ScanState::*store, const std::vector<Row>& rows)
{
    for (const Row& r : rows) {
        SCOPED_TRACE(QByteArray::number(r.tag, 16).toStdString() + " " + r.data.toHex().toStdString());
        ScanState state;
        state.office2004 = r.office2004;
        decodeBlock(state, kind, BlockView::whole(blockOf(kind, {property(r)})));
        ASSERT_EQ((state.*store).size(), 1u);
        const auto view = (state.*store)[0];
        const auto field = static_cast<typename Store::FieldId>(r.field);
        EXPECT_EQ(view.field(field).has_value(), !r.expected.isNull());
        EXPECT_EQ(view.field(field).value_or(QByteArray()), r.expected);
        EXPECT_EQ(view.length(field), r.length);
    }
}

// The record decoded from one block; a fresh state each time, so that no
// view outlives its store's growth.
template <typename Store>
Store decodeOne(BlockTag kind, const QByteArray& block, Store ScanState::*store, bool office2004 = false)
{
    ScanState state;
    state.office2004 = office2004;
    decodeBlock(state, kind, BlockView::whole(block));
    return std::move(state.*store);
}

// Each field up to `last` that is present or has a length: its bytes (as
// text when printable) and its length.
template <typename View, typename Field>
QStringList fieldLines(const View& v, Field last)
{
    QStringList lines;
    for (int f = 0; f <= int(last); ++f) {
        const QByteArray bytes = v.field(Field(f)).value_or("(absent)");
        const bool printable = std::all_of(bytes.begin(), bytes.end(), [](char c) { return c >= ' ' && c < 127; });
        if (v.has(Field(f)) || v.length(Field(f)) != 0)
            lines << QStringLiteral("field %1 [%2]: %3").arg(f).arg(v.length(Field(f))).arg(QString::fromLatin1(printable ? bytes : "0x" + bytes.toHex()));
    }
    return lines;
}

template <std::size_t N>
QString hex(const std::optional<std::array<quint8, N>>& bytes)
{
    return bytes ? QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(bytes->data()), int(N)).toHex()) : QStringLiteral("-");
}

#define F(kind, name) int(kind::name)
const QByteArray kNone;

} // namespace

TEST(ContactDecoder, EachTagFillsItsFieldInItsForm)
{
    using C = ContactField;
    const QString nonBmp = QString::fromUtf8("Ørsted-李 \U0001F600");
    // Which tag fills which field: the every-field contact of the bundle's golden file.
    expectRows(BlockTag::CTRC, &ScanState::contacts, {
        {kFirstNameTag, Wide, "Ann", F(C, FirstName), "Ann", 4}, // characters and the terminator
        {kTitleTag, Marked, "Dr", F(C, Title), "Dr", 2},         // no terminator after the marker
        {kLastNameTag, Wide, nonBmp.toUtf8(), F(C, LastName), nonBmp.toUtf8(), quint32(nonBmp.size() + 1)},
        {kCompanyTag, Wide, QByteArray("Acme\0", 5), F(C, Company), "Acme", 6},
        {kEmail1Tag, Raw, QByteArray("a@b.c\0", 6), F(C, Email1), QByteArray("a@b.c\0", 6), 6}, // as stored
        {kCompanyTag, Wide, "Acme", F(C, Suffix), kNone, 0},
    });
}

TEST(EventDecoder, EachTagFillsItsFieldInItsForm)
{
    using E = EventField;
    const QByteArray uuid("6F1C2A7E-0B3D-4E59-9A21-3C5D7E8F9012");
    const QByteArray cafe = utf16be(QString::fromUtf8("Café"));
    const QByteArray berlin = timeZone2008(34, "Europe/Berlin", "W. Europe");
    expectRows(BlockTag::CLRC, &ScanState::events, {
        {kEventSummaryTag, Wide, "Meeting", F(E, Summary), "Meeting", 8},
        {kEventSummaryTag, Marked, "Meeting", F(E, Summary), "Meeting", 7},
        // Wrapped text is UTF-16 or marked 8-bit in 2008 databases, bytes as stored in 2004 ones.
        {kEventSummaryWrappedTag, Wrapped, cafe, F(E, Summary), QString::fromUtf8("Café").toUtf8(), 5},
        {kEventLocationWrappedTag, Wrapped, narrow("Room 12"), F(E, Location), "Room 12", 7},
        {kEventSummaryWrappedTag, Wrapped, cafe, F(E, Summary), cafe, 8, true},
        {kEventLocationWrappedTag, Wrapped, narrow("Room 12"), F(E, Location), "Room 12", 7, true},
        {kEventDescriptionWrappedTag, Wrapped, QByteArray("a\0b", 3), F(E, Description), QByteArray("a\0b", 3), 3, true},
        {kEventUuidTag, Raw, uuid, F(E, EntourageUUID), uuid, 36},
        {kEventUuidTag, Raw, uuid.left(35), F(E, EntourageUUID), kNone, 35}, // only at its text length
        {kEventOrganizerTag, Raw, "a@b.c", F(E, Organizer), "a@b.c", 5},
        {0x0813, Raw, "ALARM", F(E, AlarmData), "ALARM", 5},
        {kEventTimeZoneTag, Raw, berlin, F(E, TimeZoneText1), "Europe/Berlin", 13},
        {kEventTimeZoneTag, Raw, berlin, F(E, TimeZoneText2), "W. Europe", 9},
        {kEventTimeZoneTag, Raw, berlin, F(E, TimeZoneData), berlin, quint32(berlin.size())},
        {kEventStampTime2004Tag, Raw, macTime(77), F(E, StampTime2004), macTime(77), 8},
        {kEventStampTime2004Tag, Raw, macTime(77), F(E, StampTime2004), be32(77), 0, true},
    });
}

TEST(TaskDecoder, EachTagFillsItsFieldInItsForm)
{
    using T = TaskField;
    // Dates keep the Mac stamp of their low half; 00 00 07 03 is the due date too.
    expectRows(BlockTag::TSRC, &ScanState::tasks, {
        {kTaskNameTag, Wide, "Call", F(T, TaskName), "Call", 5},
        {kTaskNoteTag, Marked, "a\rb", F(T, Note), "a\rb", 3},
        {kTaskDueDateTag, Raw, macTime(3000000000u), F(T, DueDate), be32(3000000000u) + be32(0), 8},
        {0x0703, Raw, macTime(77), F(T, DueDate), be32(77) + be32(0), 8},
        {kTaskReminderDateTag, Raw, macTime(5), F(T, ReminderDate), be32(5) + be32(0), 8},
        {kTaskStartDateTag, Raw, macTime(6), F(T, StartDate), be32(6), 8},
        {kTaskStampTimeTag, Raw, macTime(7), F(T, StampTime), be32(7), 8},
        {kTaskGuidTag, Raw, guidBytes(2), F(T, GUID), guidBytes(2), 16},
    });
}

TEST(NoteDecoder, EachTagFillsItsFieldInItsForm)
{
    using N = NoteField;
    const QString summary = QString::fromUtf8("Ideen für März");
    expectRows(BlockTag::NTRC, &ScanState::notes, {
        {kNoteSummaryTag, Wide, summary.toUtf8(), F(N, Summary), summary.toUtf8(), 15},
        {kNoteDescriptionTag, Marked, "a\rb", F(N, Description), "a\rb", 3},
        {kNote1F06Tag, Wide, "abc", F(N, Property1F06), "abc", 3}, // no terminator counted
        {kNoteGuidTag, Raw, guidBytes(3), F(N, GUID), guidBytes(3), 16},
    });
    const NoteStore n = decodeOne(BlockTag::NTRC, noteBlock({prop(kNoteStampTimeTag, macTime(123456))}), &ScanState::notes);
    EXPECT_EQ(bigEndianU32(n[0]->StampTime->data()), 123456u);
}

// What the decoders make of damaged and odd tables (the described databases
// decoded*.db.txt): every field present or with a length, and the record's
// fixed fields, one section per record.
TEST(PimDecoders, DamagedTablesFlagsAndCounts)
{
    Golden golden("decoded.txt");
    for (const char* name : {"decoded.db.txt", "decoded-2004.db.txt"}) {
        ScanState state;
        scanDescribed(name, state);
        const QByteArray db = name;
        addEach(golden, "contact in " + db, state.contacts, [](ContactView c) {
            return fieldLines(c, ContactField::Interests) << QStringLiteral("id %1%2").arg(c->ContactID).arg(isUsableContact(c) ? ", counted" : "");
        });
        addEach(golden, "event in " + db, state.events, [](EventView e) {
            return fieldLines(e, EventField::GUID) << QStringLiteral("zone id %1, alarm %2, recurring %3").arg(e->TimeZoneID).arg(e->HasAlarm).arg(e->IsRecurring)
                                                << "start " + hex(e->StartTime) + ", end " + hex(e->EndTime) + ", start 2004 " + hex(e->StartTime2004);
        });
        addEach(golden, "task in " + db, state.tasks, [](TaskView t) {
            return fieldLines(t, TaskField::Property0B05) << QStringLiteral("priority %1 [%2], reminder %3").arg(t->Priority).arg(t->PriorityLength).arg(t->HasReminder);
        });
        addEach(golden, "note in " + db, state.notes, [](NoteView n) { return fieldLines(n, NoteField::GUID); });
        golden.add("counted in " + db, QStringLiteral("contacts %1, events %2, tasks %3, notes %4").arg(state.contactCount)
                   .arg(state.eventCount).arg(state.taskCount).arg(state.noteCount).toUtf8());
    }
}
