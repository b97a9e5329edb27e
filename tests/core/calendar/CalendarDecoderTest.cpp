#include "PimBlocks.h"

#include "calendar/CalendarRecords.h"
#include "archive/BlockScanner.h"
#include "format/BlockView.h"
#include "format/ByteOrder.h"
#include "archive/ScanState.h"

#include <gtest/gtest.h>

using namespace testdb;
using er::EventField;

namespace {

er::EventView decode(er::ScanState& state, const QByteArray& block)
{
    er::decodeBlock(state, er::BlockTag::CLRC, er::BlockView::whole(block));
    return state.events.back();
}

quint32 firstWord(const std::optional<std::array<quint8, 8>>& field)
{
    return field ? er::bigEndianU32(field->data()) : 0xDEADBEEF;
}

} // namespace

TEST(CalendarDecoder, WideTitleInBothForms)
{
    er::ScanState state;
    const auto& utf16 = decode(state, eventBlock({wideProp(kEventSummaryTag, "Meeting")}));
    EXPECT_EQ(*utf16.field(EventField::Summary), "Meeting");
    EXPECT_EQ(utf16.length(EventField::Summary), 8u);
    const auto& marked = decode(state, eventBlock({markedProp(kEventSummaryTag, "Meeting")}));
    EXPECT_EQ(*marked.field(EventField::Summary), "Meeting");
    EXPECT_EQ(marked.length(EventField::Summary), 7u);
}

TEST(CalendarDecoder, WrappedTextDependsOnTheDatabaseVersion)
{
    const QByteArray utf16 = utf16be(QString::fromUtf8("Café"));
    const QList<Property> props{wrappedProp(kEventSummaryWrappedTag, utf16),
                                wrappedProp(kEventLocationWrappedTag, narrow("Room 12")),
                                wrappedProp(kEventDescriptionWrappedTag, QByteArray("a\0b", 3))};

    er::ScanState office2008;
    const auto& e8 = decode(office2008, eventBlock(props));
    EXPECT_EQ(*e8.field(EventField::Summary), QString::fromUtf8("Café").toUtf8());
    EXPECT_EQ(e8.length(EventField::Summary), 5u);
    EXPECT_EQ(*e8.field(EventField::Location), "Room 12");
    EXPECT_EQ(e8.length(EventField::Location), 7u);

    er::ScanState office2004;
    office2004.office2004 = true;
    const auto& e4 = decode(office2004, eventBlock(props));
    EXPECT_EQ(*e4.field(EventField::Summary), utf16); // byte for byte, zero bytes kept
    EXPECT_EQ(e4.length(EventField::Summary), 8u);
    EXPECT_EQ(*e4.field(EventField::Location), "Room 12");
    EXPECT_EQ(e4.length(EventField::Location), 7u);
    EXPECT_EQ(*e4.field(EventField::Description), QByteArray("a\0b", 3));
    EXPECT_EQ(e4.length(EventField::Description), 3u);
}

TEST(CalendarDecoder, WrappedTextEndsWithItsProperty)
{
    // A length past the property (into the next one, or past the block) reads
    // the property's own text and nothing of its neighbours.
    for (const quint32 length : {5000u, 2u * 10u + 1u, 0xFFFFFFFFu}) {
        QByteArray data = wrapped(utf16be(QStringLiteral("Lunch")));
        data.replace(24, 4, be32(length));
        er::ScanState state;
        const auto& e = decode(state, eventBlock({prop(kEventSummaryWrappedTag, data),
                                                  wideProp(kEventLocationTag, "Next door")}));
        ASSERT_TRUE(e.field(EventField::Summary)) << length;
        EXPECT_EQ(QString::fromUtf8(*e.field(EventField::Summary)), QStringLiteral("Lunch")) << length;
        EXPECT_EQ(*e.field(EventField::Location), "Next door");
    }
}

TEST(CalendarDecoder, AlarmFlagFollowsTheLengthWord)
{
    er::ScanState state;
    const auto& none = decode(state, eventBlock({prop(kEventHasAlarmTag, {}), prop(kEventOrganizerTag, "a@b.c")}));
    EXPECT_FALSE(none->HasAlarm);
    EXPECT_EQ(*none.field(EventField::Organizer), "a@b.c");
    // The one data byte moves the next property's data on by one.
    const auto& one = decode(state, eventBlock({prop(kEventHasAlarmTag, "\x01"), prop(kEventOrganizerTag, "a@b.c")}));
    EXPECT_TRUE(one->HasAlarm);
    EXPECT_EQ(*one.field(EventField::Organizer), "a@b.c");
}

TEST(CalendarDecoder, UuidOnlyAtTextLength)
{
    const QByteArray uuid("6F1C2A7E-0B3D-4E59-9A21-3C5D7E8F9012");
    er::ScanState state;
    const auto& whole = decode(state, eventBlock({prop(kEventUuidTag, uuid)}));
    EXPECT_EQ(*whole.field(EventField::EntourageUUID), uuid);
    EXPECT_EQ(whole.length(EventField::EntourageUUID), 36u);
    const auto& cut = decode(state, eventBlock({prop(kEventUuidTag, uuid.left(35))}));
    EXPECT_FALSE(cut.field(EventField::EntourageUUID));
    EXPECT_EQ(cut.length(EventField::EntourageUUID), 35u);
}

TEST(CalendarDecoder, TimeFieldWidthsDependOnTheDatabaseVersion)
{
    const quint32 start = calendarStamp(2008, 5, 7, 10);
    const quint32 mac = macStamp(2008, 5, 2, 8, 15);
    const QList<Property> props{prop(kEventStartTag, calendarTime(start)),
                                prop(kEventStart2004Tag, be32(start - 120) + be32(0xAABBCCDD)),
                                prop(kEventStampTime2004Tag, macTime(mac))};
    er::ScanState office2008;
    const auto& e8 = decode(office2008, eventBlock(props));
    EXPECT_EQ(firstWord(e8->StartTime), start);
    EXPECT_FALSE(e8->EndTime);
    EXPECT_EQ((*e8->StartTime2004)[7], 0xDD);
    EXPECT_EQ(*e8.field(EventField::StampTime2004), macTime(mac));

    er::ScanState office2004;
    office2004.office2004 = true;
    const auto& e4 = decode(office2004, eventBlock(props));
    EXPECT_EQ(firstWord(e4->StartTime2004), start - 120);
    EXPECT_EQ((*e4->StartTime2004)[7], 0); // four bytes only
    EXPECT_EQ(*e4.field(EventField::StampTime2004), be32(mac));
}

TEST(CalendarDecoder, TimeZoneOffice2008)
{
    er::ScanState state;
    const auto& e =
        decode(state, eventBlock({prop(kEventTimeZoneTag, timeZone2008(34, "Europe/Berlin", "W. Europe")),
                                  wideProp(kEventSummaryTag, "After")}));
    EXPECT_EQ(e->TimeZoneID, 34u);
    EXPECT_EQ(*e.field(EventField::TimeZoneText1), "Europe/Berlin");
    EXPECT_EQ(e.length(EventField::TimeZoneText1), 13u);
    EXPECT_EQ(*e.field(EventField::TimeZoneText2), "W. Europe");
    EXPECT_EQ(e.length(EventField::TimeZoneText2), 9u);
    EXPECT_EQ(e.length(EventField::TimeZoneData), quint32(timeZone2008(34, "Europe/Berlin", "W. Europe").size()));
    EXPECT_EQ(*e.field(EventField::Summary), "After");

    // Text lengths that reach past the block copy nothing.
    QByteArray broken = timeZone2008(7, "Zone", "Name");
    broken.replace(24, 4, be32(100000));
    const auto& b = decode(state, eventBlock({prop(kEventTimeZoneTag, broken)}));
    EXPECT_EQ(*b.field(EventField::TimeZoneText1), "Zone");
    EXPECT_FALSE(b.field(EventField::TimeZoneText2));
    EXPECT_EQ(b->TimeZoneID, 7u);
}

TEST(CalendarDecoder, TimeZoneOffice2004Markers)
{
    er::ScanState state;
    state.office2004 = true;
    const QByteArray skipped = QByteArray("\x04\x01\x2E\x00\x1E", 5) + be32(0xFFFFFFFF)
        + QByteArray("\x04\x01\x2F\x00\x1E", 5);
    const auto& e = decode(state, eventBlock({prop(kEventTimeZoneTag, skipped + timeZone2004(12, "Berlin"))}));
    EXPECT_EQ(e->TimeZoneID, 12u);
    EXPECT_EQ(*e.field(EventField::TimeZoneText1), "Berlin");
    EXPECT_EQ(e.length(EventField::TimeZoneText1), 6u);
    EXPECT_FALSE(e.field(EventField::TimeZoneText2));

    // The id needs i + 57 below the data length, the name i + 13 + s.
    QByteArray idAtEnd = QByteArray("\x04\x01\x30\x00\x1E", 5) + QByteArray(48, '\0') + be32(9);
    const auto& shortId = decode(state, eventBlock({prop(kEventTimeZoneTag, idAtEnd)}));
    EXPECT_EQ(shortId->TimeZoneID, 0u);
    const auto& longId = decode(state, eventBlock({prop(kEventTimeZoneTag, idAtEnd + '\0')}));
    EXPECT_EQ(longId->TimeZoneID, 9u);
    const QByteArray nameAtEnd = QByteArray("\x04\x01\x2C\x00\x1E", 5) + be32(4) + QByteArray(4, '\0') + "Rome";
    EXPECT_FALSE(decode(state, eventBlock({prop(kEventTimeZoneTag, nameAtEnd)})).has(EventField::TimeZoneText1));
    EXPECT_EQ(*decode(state, eventBlock({prop(kEventTimeZoneTag, nameAtEnd + '\0')})).field(EventField::TimeZoneText1), "Rome");
}

TEST(CalendarDecoder, RecurrenceFlagOnlyWhenItsDataFit)
{
    er::ScanState state;
    const auto& e = decode(state, eventBlock({prop(kEventRecurringTag, "\x01"), prop(0x0813, "ALARM")}));
    EXPECT_TRUE(e->IsRecurring);
    EXPECT_EQ(*e.field(EventField::AlarmData), "ALARM"); // 00 00 08 13 is the other alarm tag
    QByteArray block = eventBlock({prop(kEventRecurringTag, "\x01")});
    block.replace(36, 4, be32(1000));
    EXPECT_FALSE(decode(state, block)->IsRecurring);
}

TEST(CalendarDecoder, EveryBlockIsAnEventInFileOrder)
{
    er::ScanState state;
    decode(state, eventBlock({prop(0x7777, "nothing handled")}));
    EXPECT_EQ(state.eventCount, 1u);
    decode(state, eventBlock({prop(kEventGuidTag, guidBytes(5)), wideProp(kEventSummaryTag, "First")}));
    decode(state, eventBlock({prop(kEventGuidTag, guidBytes(5)), wideProp(kEventSummaryTag, "Second")}));
    EXPECT_EQ(state.eventCount, 3u);
    ASSERT_EQ(state.events.size(), 3u);
    EXPECT_FALSE(state.events[0].field(EventField::Summary));
    EXPECT_EQ(*state.events[1].field(EventField::Summary), "First");
    EXPECT_EQ(*state.events[2].field(EventField::Summary), "Second");
}
