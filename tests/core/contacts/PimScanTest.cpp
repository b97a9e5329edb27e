// Contacts, notes, events and tasks found by a scan of a whole file.

#include "PimBlocks.h"

#include "../ScanTestSupport.h"

#include <gtest/gtest.h>

using namespace testdb;

namespace {

er::ScanOutcome scan(const Database& db, er::ScanState& state)
{
    return ertest::scanBytes(db.bytes(), state);
}

} // namespace

TEST(PimScan, SampleItemsAreFoundAndCounted)
{
    Database db;
    db.addGarbage(2, 11);
    appendSamplePimBlocks(db);
    er::ScanState state;
    EXPECT_EQ(scan(db, state).kind, er::ScanOutcome::Completed);

    EXPECT_EQ(state.contactCount, kSampleContacts);
    EXPECT_EQ(state.contacts.size(), kSampleContactBlocks);
    EXPECT_EQ(state.eventCount, kSampleEvents);
    EXPECT_EQ(state.taskCount, kSampleTasks);
    EXPECT_EQ(state.noteCount, kSampleNotes);

    const auto& withoutGuid = state.contacts.back();
    EXPECT_FALSE(withoutGuid.field(er::ContactField::GUID));
    EXPECT_EQ(*withoutGuid.field(er::ContactField::FirstName), QString::fromUtf8("Zoë").toUtf8());
    EXPECT_EQ(*state.contacts[1].field(er::ContactField::FirstName), "Bob");
    EXPECT_EQ(*state.events[1].field(er::EventField::Summary), "Company holiday");
    EXPECT_TRUE(state.events[2]->HasAlarm && state.events[2]->IsRecurring);
    EXPECT_EQ(*state.events[0].field(er::EventField::TimeZoneText2), "W. Europe Standard Time");
    EXPECT_EQ(state.tasks[1]->Priority, 3);
    EXPECT_EQ(*state.notes[0].field(er::NoteField::Description), "Milk\rBread\rCoffee");
}

TEST(PimScan, Office2004FormsAndATruncatedLastBlock)
{
    Database db(true);
    db.add(eventBlock({wrappedProp(kEventSummaryWrappedTag, "Lunch"),
                       prop(kEventTimeZoneTag, timeZone2004(21, "Europe/Rome"))}));
    db.add(taskBlock({wideProp(kTaskNameTag, "Pay"), prop(kTaskPriority2004Tag, be32(4))}));
    // The file ends inside the contact's data: the missing bytes read as zeros.
    const QByteArray contact = contactBlock({prop(kEmail1Tag, "x@y.z"), wideProp(kFirstNameTag, "Ann")});
    db.addRaw(contact.left(32 + 16 + 5 + 2));

    er::ScanState state;
    EXPECT_EQ(scan(db, state).kind, er::ScanOutcome::Completed);
    ASSERT_TRUE(state.office2004);
    EXPECT_EQ(*state.events.at(0).field(er::EventField::Summary), "Lunch");
    EXPECT_EQ(state.events.at(0).length(er::EventField::Summary), 5u);
    EXPECT_EQ(*state.events.at(0).field(er::EventField::TimeZoneText1), "Europe/Rome");
    EXPECT_EQ(state.events.at(0)->TimeZoneID, 21u);
    EXPECT_EQ(state.tasks.at(0)->Priority, 4);
    ASSERT_EQ(state.contacts.size(), 1u);
    const auto& c = state.contacts[0];
    EXPECT_EQ(*c.field(er::ContactField::Email1), "x@y.z");
    EXPECT_EQ(*c.field(er::ContactField::FirstName), "A"); // 00 41, then zeros
    EXPECT_EQ(c.length(er::ContactField::FirstName), 4u);
    EXPECT_EQ(state.contactCount, 1u);
}
