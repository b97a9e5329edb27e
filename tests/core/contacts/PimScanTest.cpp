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
    EXPECT_FALSE(withoutGuid.GUID);
    EXPECT_EQ(*withoutGuid.FirstName, QString::fromUtf8("Zoë").toUtf8());
    EXPECT_EQ(*state.contacts[1].FirstName, "Bob");
    EXPECT_EQ(*state.events[1].Summary, "Company holiday");
    EXPECT_TRUE(state.events[2].HasAlarm && state.events[2].IsRecurring);
    EXPECT_EQ(*state.events[0].TimeZoneText2, "W. Europe Standard Time");
    EXPECT_EQ(state.tasks[1].Priority, 3);
    EXPECT_EQ(*state.notes[0].Description, "Milk\rBread\rCoffee");
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
    EXPECT_EQ(*state.events.at(0).Summary, "Lunch");
    EXPECT_EQ(state.events.at(0).SummaryLength, 5u);
    EXPECT_EQ(*state.events.at(0).TimeZoneText1, "Europe/Rome");
    EXPECT_EQ(state.events.at(0).TimeZoneID, 21u);
    EXPECT_EQ(state.tasks.at(0).Priority, 4);
    ASSERT_EQ(state.contacts.size(), 1u);
    const auto& c = state.contacts.front();
    EXPECT_EQ(*c.Email1, "x@y.z");
    EXPECT_EQ(*c.FirstName, "A"); // 00 41, then zeros
    EXPECT_EQ(c.FirstNameLength, 4u);
    EXPECT_EQ(state.contactCount, 1u);
}
