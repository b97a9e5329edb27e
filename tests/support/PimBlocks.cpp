#include "PimBlocks.h"

#include <QDateTime>

namespace testdb {

namespace {

QByteArray zeros(int n)
{
    return QByteArray(qMax(n, 0), '\0');
}

} // namespace

Property wideProp(quint32 tagCode, const QString& text)
{
    return prop(tagCode, utf16be(text));
}

Property markedProp(quint32 tagCode, const QByteArray& bytes)
{
    return prop(tagCode, narrow(bytes));
}

Property wrappedProp(quint32 tagCode, const QByteArray& text)
{
    return prop(tagCode, wrapped(text));
}

QByteArray guidBytes(quint8 seed)
{
    QByteArray g(16, '\0');
    for (int i = 0; i < 16; ++i)
        g[i] = char(quint8(seed + i));
    return g;
}

quint32 calendarStamp(int year, int month, int day, int hour, int minute)
{
    const QDateTime base(QDate(1601, 1, 1), QTime(0, 0), Qt::UTC);
    const QDateTime at(QDate(year, month, day), QTime(hour, minute), Qt::UTC);
    return quint32(base.secsTo(at) / 60);
}

QByteArray calendarTime(quint32 stamp)
{
    return be32(stamp) + be32(0);
}

QByteArray macTime(quint32 stamp)
{
    return be32(0) + be32(stamp);
}

QByteArray timeZone2008(quint32 zoneId, const QByteArray& text1, const QByteArray& text2)
{
    return zeros(16) + be32(quint32(text1.size())) + zeros(4) + be32(quint32(text2.size())) + zeros(8) + text1
        + text2 + be32(zoneId);
}

QByteArray timeZone2004(quint32 zoneId, const QByteArray& name)
{
    const QByteArray nameMarker("\x04\x01\x2C\x00\x1E", 5);
    const QByteArray idMarker("\x04\x01\x30\x00\x1E", 5);
    QByteArray data = nameMarker + be32(quint32(name.size())) + zeros(4) + name + zeros(3);
    data += idMarker + zeros(48) + be32(zoneId) + zeros(4);
    return data;
}

QByteArray contactBlock(const QList<Property>& props, std::optional<quint32> tableLength)
{
    return propertyBlock(kCTRC, props, tableLength);
}

QByteArray noteBlock(const QList<Property>& props, std::optional<quint32> tableLength)
{
    return propertyBlock(kNTRC, props, tableLength);
}

QByteArray eventBlock(const QList<Property>& props, std::optional<quint32> tableLength)
{
    return propertyBlock(kCLRC, props, tableLength);
}

QByteArray taskBlock(const QList<Property>& props, std::optional<quint32> tableLength)
{
    return propertyBlock(kTSRC, props, tableLength);
}

void appendSamplePimBlocks(Database& db)
{
    // Contacts.
    db.add(contactBlock({prop32(kContactIdTag, 101), prop(kContactGuidTag, guidBytes(0x10)),
                         wideProp(kFirstNameTag, "Ann"), wideProp(kLastNameTag, "Lee"),
                         wideProp(kCompanyTag, "Harbour Ltd"), prop(kEmail1Tag, "ann.lee@example.com"),
                         wideProp(kMobilePhoneTag, "+1 555 0100"), wideProp(kBirthdayTag, "1970-05-07")}));
    db.add(contactBlock({prop32(kContactIdTag, 102), prop(kContactGuidTag, guidBytes(0x20)),
                         markedProp(kFirstNameTag, "Bob"), markedProp(kLastNameTag, "Stone"),
                         markedProp(kJobTitleTag, "Engineer"), prop(kEmail1Tag, "bob@example.org"),
                         prop(kEmail1Tag + 1, "bob.stone@example.org")}));
    db.add(contactBlock({prop32(kContactIdTag, 103), prop(kContactGuidTag, guidBytes(0x30)),
                         wideProp(kCompanyTag, "Acme Supplies")}));
    db.add(contactBlock({prop32(kContactIdTag, 104), wideProp(kFirstNameTag, QString::fromUtf8("Zoë")),
                         wideProp(kLastNameTag, QString::fromUtf8("Ørsted")), prop(kEmail1Tag, "zoe@example.net"),
                         wideProp(kContactNotesTag, QString::fromUtf8("Met in Århus"))}));

    // Events.
    const quint32 changed = macStamp(2008, 5, 2, 8, 15);
    db.add(eventBlock({prop32(kEventIdTag, 201), prop(kEventGuidTag, guidBytes(0x40)),
                       prop(kEventStampTag, macTime(changed)), prop(kEventModifiedTag, macTime(changed)),
                       wideProp(kEventSummaryTag, "Project meeting"), wideProp(kEventLocationTag, "Room 12"),
                       prop(kEventOrganizerTag, "ann.lee@example.com"),
                       prop(kEventStartTag, calendarTime(calendarStamp(2008, 5, 7, 10, 0))),
                       prop(kEventEndTag, calendarTime(calendarStamp(2008, 5, 7, 11, 0))),
                       prop(kEventAllDayTag, QByteArray(1, '\0')),
                       prop(kEventTimeZoneTag, timeZone2008(34, "Europe/Berlin", "W. Europe Standard Time")),
                       prop(kEventUuidTag, "6F1C2A7E-0B3D-4E59-9A21-3C5D7E8F9012")}));
    db.add(eventBlock({prop32(kEventIdTag, 202), prop(kEventGuidTag, guidBytes(0x50)),
                       prop(kEventStampTag, macTime(changed)),
                       wrappedProp(kEventSummaryWrappedTag, utf16be("Company holiday")),
                       prop(kEventStartTag, calendarTime(calendarStamp(2008, 5, 12))),
                       prop(kEventEndTag, calendarTime(calendarStamp(2008, 5, 13))),
                       prop(kEventAllDayTag, QByteArray(1, '\1'))}));
    const QByteArray rule("FREQ=WEEKLY;INTERVAL=1;BYDAY=FR");
    const QByteArray recurrence = QByteArray("\x04\x00\x85\x00\x1E", 5) + be32(quint32(rule.size())) + zeros(4)
        + rule + zeros(4);
    const QByteArray trigger("-PT15M\0\0\0\0\0\0", 12);
    const QByteArray alarm = QByteArray("\x04\x01\x91\x00\x1E", 5) + be32(7) + zeros(4) + "DISPLAY"
        + QByteArray("\x05\x00\x10\x00\x1E", 5) + zeros(9) + trigger + zeros(4);
    db.add(eventBlock({prop32(kEventIdTag, 203), prop(kEventGuidTag, guidBytes(0x60)),
                       prop(kEventStampTag, macTime(changed)), wideProp(kEventSummaryTag, "Weekly review"),
                       wideProp(kEventDescriptionTag, "Status of the open tasks"),
                       prop(kEventStartTag, calendarTime(calendarStamp(2008, 5, 9, 15, 0))),
                       prop(kEventEndTag, calendarTime(calendarStamp(2008, 5, 9, 15, 30))),
                       prop(kEventHasAlarmTag, QByteArray(1, '\1')), prop(kEventAlarmTag, alarm),
                       prop(kEventRecurringTag, QByteArray(1, '\1')), prop(kEventRecurrenceTag, recurrence)}));

    // Tasks (Office 2008: 16-bit priorities).
    db.add(taskBlock({prop(kTaskGuidTag, guidBytes(0x70)), wideProp(kTaskNameTag, "Buy milk"),
                      prop(kTaskPriorityTag, be16(1)), prop(kTaskDueDateTag, macTime(macStamp(2008, 5, 10)))}));
    db.add(taskBlock({prop(kTaskGuidTag, guidBytes(0x80)), wideProp(kTaskNameTag, "File tax return"),
                      wideProp(kTaskNoteTag, "Forms are\rin the drawer"), prop(kTaskPriorityTag, be16(3)),
                      prop(kTaskDueDateTag, macTime(macStamp(2008, 6, 1, 17, 0))),
                      prop(kTaskHasReminderTag, QByteArray(1, '\1')),
                      prop(kTaskReminderDateTag, macTime(macStamp(2008, 5, 30, 9, 0)))}));
    db.add(taskBlock({prop(kTaskGuidTag, guidBytes(0x90)), wideProp(kTaskNameTag, QString::fromUtf8("Call Zoë")),
                      prop(kTaskPriorityTag, be16(5)), prop(kTaskStartDateTag, macTime(macStamp(2008, 5, 5))),
                      prop(kTaskStampTimeTag, macTime(changed))}));

    // Notes.
    db.add(noteBlock({prop(kNoteGuidTag, guidBytes(0xA0)), wideProp(kNoteSummaryTag, "Shopping list"),
                      wideProp(kNoteDescriptionTag, "Milk\rBread\rCoffee"),
                      prop(kNoteStampTimeTag, macTime(changed))}));
    db.add(noteBlock({prop(kNoteGuidTag, guidBytes(0xB0)), wideProp(kNoteSummaryTag, "Ideas"),
                      wideProp(kNoteDescriptionTag, QString::fromUtf8("Names for the café"))}));
}

} // namespace testdb
