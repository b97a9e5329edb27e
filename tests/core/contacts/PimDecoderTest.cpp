// The contact, event, task and note decoders: one table of single properties
// per kind, then what a table of rows cannot say (several properties, damaged
// blocks, counting) and a scan of whole files.

#include "PimBlocks.h"

#include "../ScanTestSupport.h"

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

#define F(kind, name) int(kind::name)
const QByteArray kNone;

} // namespace

TEST(ContactDecoder, EachTagFillsItsFieldInItsForm)
{
    using C = ContactField;
    const QString nonBmp = QString::fromUtf8("Ørsted-李 \U0001F600");
    // Which tag fills which field: the every-field contact of the bundle's golden file.
    std::vector<Row> rows{
        {kFirstNameTag, Wide, "Ann", F(C, FirstName), "Ann", 4}, // characters and the terminator
        {kTitleTag, Marked, "Dr", F(C, Title), "Dr", 2},         // no terminator after the marker
        {kLastNameTag, Wide, nonBmp.toUtf8(), F(C, LastName), nonBmp.toUtf8(), quint32(nonBmp.size() + 1)},
        {kCompanyTag, Wide, QByteArray("Acme\0", 5), F(C, Company), "Acme", 6},
        {kEmail1Tag, Raw, QByteArray("a@b.c\0", 6), F(C, Email1), QByteArray("a@b.c\0", 6), 6}, // as stored
        {kContactGuidTag, Raw, guidBytes(1), F(C, GUID), guidBytes(1), 16},
        {kCompanyTag, Wide, "Acme", F(C, Suffix), kNone, 0},
    };
    expectRows(BlockTag::CTRC, &ScanState::contacts, rows);

    const ContactStore c = decodeOne(BlockTag::CTRC, contactBlock({prop32(kContactIdTag, 4711)}), &ScanState::contacts);
    EXPECT_EQ(c[0]->ContactID, 4711u);
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
    // The priority's width depends on the database version.
    const struct {
        bool office2004;
        QByteArray data;
        qint32 priority;
    } priorities[] = {{false, be16(3), 3}, {false, "\xFF\xFF", -1}, {false, be32(0x00050000), 5}, {false, "\x03", 0},
                      {true, be32(5), 5},  {true, be16(5), 0},      {true, be32(0xFFFFFFFF), -1}};
    for (const auto& p : priorities) {
        const TaskStore t = decodeOne(BlockTag::TSRC, taskBlock({prop(kTaskPriorityTag, p.data)}), &ScanState::tasks, p.office2004);
        EXPECT_EQ(t[0]->Priority, p.priority) << p.data.toHex().constData();
    }
    const TaskStore other = decodeOne(BlockTag::TSRC, taskBlock({prop(kTaskPriority2004Tag, be16(2))}), &ScanState::tasks);
    EXPECT_EQ(other[0]->Priority, 2);
    EXPECT_EQ(other[0]->PriorityLength, 2u);
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

TEST(PimDecoders, LengthsPastThePropertyOrTheBlockReadNothingOfTheNeighbours)
{
    // The title claims 600 bytes of a 256-byte block; the data after it, at
    // their running offsets, lie past the end too: present, empty, counted.
    QByteArray block = contactBlock({wideProp(kFirstNameTag, "Ann"), wideProp(kTitleTag, "Dr"),
                                     wideProp(kLastNameTag, "Lee"), prop(kEmail1Tag, "a@b")});
    block.replace(32 + 8 + 4, 4, be32(600));
    const ContactStore c = decodeOne(BlockTag::CTRC, block, &ScanState::contacts);
    EXPECT_EQ(*c[0].field(ContactField::FirstName), "Ann");
    for (const auto& [field, length] : {std::pair{ContactField::Title, 301u}, {ContactField::LastName, 4u},
                                        {ContactField::Email1, 3u}}) {
        EXPECT_EQ(c[0].field(field), QByteArray(""));
        EXPECT_EQ(c[0].length(field), length);
    }
    block.replace(32 + 4, 4, be32(0xFFFFFFFFu)); // a length near 4 GiB sizes nothing
    const ContactStore huge = decodeOne(BlockTag::CTRC, block, &ScanState::contacts);
    EXPECT_EQ(huge[0].field(ContactField::FirstName), QByteArray(""));
    EXPECT_EQ(huge[0].length(ContactField::FirstName), 0x80000000u);

    // A wrapped length past the property (into the next one, or past the block).
    for (const quint32 length : {5000u, 21u, 0xFFFFFFFFu}) {
        QByteArray data = wrapped(utf16be(QStringLiteral("Lunch")));
        data.replace(24, 4, be32(length));
        const EventStore e = decodeOne(
            BlockTag::CLRC, eventBlock({prop(kEventSummaryWrappedTag, data), wideProp(kEventLocationTag, "Next")}),
            &ScanState::events);
        EXPECT_EQ(e[0].field(EventField::Summary), QByteArray("Lunch")) << length;
        EXPECT_EQ(e[0].field(EventField::Location), QByteArray("Next")) << length;
    }

    // Zone texts that reach past the data copy nothing.
    QByteArray zone = timeZone2008(7, "Zone", "Name");
    zone.replace(24, 4, be32(100000));
    const EventStore z = decodeOne(BlockTag::CLRC, eventBlock({prop(kEventTimeZoneTag, zone)}), &ScanState::events);
    EXPECT_EQ(z[0].field(EventField::TimeZoneText1), QByteArray("Zone"));
    EXPECT_FALSE(z[0].field(EventField::TimeZoneText2));
    EXPECT_EQ(z[0]->TimeZoneID, 7u);

    // A task whose table runs past the block: its flag unset, its fields present and empty.
    QByteArray task = taskBlock({prop(kTaskHasReminderTag, "\x01"), wideProp(kTaskNameTag, "Call"),
                                 prop(kTaskPriorityTag, be16(2)), prop(kTaskDueDateTag, macTime(5))});
    task.replace(36, 4, be32(0xFFFFFFF0));
    const TaskStore t = decodeOne(BlockTag::TSRC, task, &ScanState::tasks);
    EXPECT_FALSE(t[0]->HasReminder);
    EXPECT_EQ(t[0].field(TaskField::TaskName), QByteArray(""));
    EXPECT_EQ(t[0].length(TaskField::TaskName), 5u);
    EXPECT_EQ(t[0]->Priority, 0);
    EXPECT_EQ(t[0]->PriorityLength, 2u);
    EXPECT_EQ(t[0].field(TaskField::DueDate), QByteArray(""));
}

TEST(PimDecoders, FlagsAndOffice2004ZoneMarkers)
{
    auto event = [](const QList<Property>& props, bool office2004 = false) {
        return decodeOne(BlockTag::CLRC, eventBlock(props), &ScanState::events, office2004);
    };
    // An alarm flag's one data byte moves the next property's data on by one.
    EXPECT_FALSE(event({prop(kEventHasAlarmTag, {}), prop(kEventOrganizerTag, "a@b.c")})[0]->HasAlarm);
    const EventStore alarm = event({prop(kEventHasAlarmTag, "\x01"), prop(kEventOrganizerTag, "a@b.c")});
    EXPECT_TRUE(alarm[0]->HasAlarm);
    EXPECT_EQ(alarm[0].field(EventField::Organizer), QByteArray("a@b.c"));
    // The recurrence flag only when its data fit.
    EXPECT_TRUE(event({prop(kEventRecurringTag, "\x01")})[0]->IsRecurring);
    QByteArray unfit = eventBlock({prop(kEventRecurringTag, "\x01")});
    unfit.replace(36, 4, be32(1000));
    EXPECT_FALSE(decodeOne(BlockTag::CLRC, unfit, &ScanState::events)[0]->IsRecurring);
    // Start times: eight bytes in 2008 databases, four in 2004 ones.
    const QList<Property> times{prop(kEventStartTag, calendarTime(500)), prop(kEventStart2004Tag, be32(380) + be32(0xAABBCCDD))};
    const EventStore e8 = event(times), e4 = event(times, true);
    EXPECT_EQ(bigEndianU32(e8[0]->StartTime->data()), 500u);
    EXPECT_EQ((*e8[0]->StartTime2004)[7], 0xDD);
    EXPECT_FALSE(e8[0]->EndTime);
    EXPECT_EQ(bigEndianU32(e4[0]->StartTime2004->data()), 380u);
    EXPECT_EQ((*e4[0]->StartTime2004)[7], 0);
    EXPECT_TRUE(decodeOne(BlockTag::TSRC, taskBlock({prop(kTaskHasReminderTag, "\x01")}), &ScanState::tasks)[0]->HasReminder);

    // 2004 zone data: markers skipped; the id needs i + 57 below the data's
    // length, the name i + 13 + its size.
    const QByteArray skipped = QByteArray("\x04\x01\x2E\x00\x1E", 5) + be32(0xFFFFFFFF) + QByteArray("\x04\x01\x2F\x00\x1E", 5);
    const EventStore named = event({prop(kEventTimeZoneTag, skipped + timeZone2004(12, "Berlin"))}, true);
    EXPECT_EQ(named[0]->TimeZoneID, 12u);
    EXPECT_EQ(named[0].field(EventField::TimeZoneText1), QByteArray("Berlin"));
    EXPECT_EQ(named[0].length(EventField::TimeZoneText1), 6u);
    const QByteArray idAtEnd = QByteArray("\x04\x01\x30\x00\x1E", 5) + QByteArray(48, '\0') + be32(9);
    EXPECT_EQ(event({prop(kEventTimeZoneTag, idAtEnd)}, true)[0]->TimeZoneID, 0u);
    EXPECT_EQ(event({prop(kEventTimeZoneTag, idAtEnd + '\0')}, true)[0]->TimeZoneID, 9u);
    const QByteArray nameAtEnd = QByteArray("\x04\x01\x2C\x00\x1E", 5) + be32(4) + QByteArray(4, '\0') + "Rome";
    EXPECT_FALSE(event({prop(kEventTimeZoneTag, nameAtEnd)}, true)[0].has(EventField::TimeZoneText1));
    EXPECT_EQ(event({prop(kEventTimeZoneTag, nameAtEnd + '\0')}, true)[0].field(EventField::TimeZoneText1), QByteArray("Rome"));
}

TEST(PimDecoders, WhatCountsAndWhatWins)
{
    ScanState state;
    auto add = [&state](BlockTag kind, const QList<Property>& props) {
        decodeBlock(state, kind, BlockView::whole(blockOf(kind, props)));
    };
    // A contact counts with a name or one of the first four addresses; a
    // later occurrence replaces an earlier one, also when it is empty.
    add(BlockTag::CTRC, {wideProp(kCompanyTag, "Acme")});
    add(BlockTag::CTRC, {wideProp(kLastNameTag, "Lee")});
    add(BlockTag::CTRC, {prop(kEmail1Tag + 3, "fourth@example.com")});
    add(BlockTag::CTRC, {prop(kEmail1Tag + 4, "fifth@example.com")});
    add(BlockTag::CTRC, {wideProp(kFirstNameTag, "Ann"), prop(kFirstNameTag, {})});
    EXPECT_EQ(state.contacts.size(), 5u);
    EXPECT_EQ(state.contactCount, 2u);
    // Every event, task and note block counts, in file order, even one whose table is unusable.
    add(BlockTag::CLRC, {prop(0x7777, "nothing handled")});
    add(BlockTag::CLRC, {prop(kEventGuidTag, guidBytes(5)), wideProp(kEventSummaryTag, "Second")});
    add(BlockTag::TSRC, {});
    QByteArray unusable = noteBlock({wideProp(kNoteSummaryTag, "lost")});
    unusable.replace(36, 4, be32(4000));
    decodeBlock(state, BlockTag::NTRC, BlockView::whole(unusable));
    EXPECT_EQ(state.eventCount, 2u);
    EXPECT_EQ(state.events[1].field(EventField::Summary), QByteArray("Second"));
    EXPECT_EQ(state.taskCount, 1u);
    EXPECT_EQ(state.noteCount, 1u);
    EXPECT_EQ(state.notes[0].field(NoteField::Summary), QByteArray(""));
}

TEST(PimScan, Office2004FileEndingInsideAContact)
{
    Database old(true);
    old.add(eventBlock({wrappedProp(kEventSummaryWrappedTag, "Lunch"), prop(kEventTimeZoneTag, timeZone2004(21, "Rome"))}));
    old.add(taskBlock({prop(kTaskPriority2004Tag, be32(4))}));
    // The file ends inside the contact's data: the missing bytes read as zeros.
    old.addRaw(contactBlock({prop(kEmail1Tag, "x@y.z"), wideProp(kFirstNameTag, "Ann")}).left(32 + 16 + 5 + 2));
    ScanState state2004;
    ASSERT_EQ(ertest::scanBytes(old.bytes(), state2004).kind, ScanOutcome::Completed);
    ASSERT_TRUE(state2004.office2004);
    EXPECT_EQ(state2004.events.at(0).field(EventField::Summary), QByteArray("Lunch"));
    EXPECT_EQ(state2004.events.at(0)->TimeZoneID, 21u);
    EXPECT_EQ(state2004.tasks.at(0)->Priority, 4);
    ASSERT_EQ(state2004.contacts.size(), 1u);
    EXPECT_EQ(state2004.contacts[0].field(ContactField::Email1), QByteArray("x@y.z"));
    EXPECT_EQ(state2004.contacts[0].field(ContactField::FirstName), QByteArray("A")); // 00 41, then zeros
    EXPECT_EQ(state2004.contacts[0].length(ContactField::FirstName), 4u);
}
