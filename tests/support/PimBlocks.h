#pragma once
// Builders for contact ("CTRC"), note ("NTRC"), calendar event ("CLRC") and
// task ("TSRC") blocks. All four are property-table blocks (see
// DatabaseBuilder.h).

#include "DatabaseBuilder.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>

namespace testdb {

// ---- Property tags ---------------------------------------------------------

enum ContactTag : quint32 {
    kContactGuidTag = 0x4800,
    kFirstNameTag = 0x1F01,
    kLastNameTag = 0x1F02,
    kTitleTag = 0x1F3F,
    kCompanyTag = 0x1F14,
    kEmail1Tag = 0x1D66,  // Email1 .. Email13: 0x1D66 .. 0x1D72
};

enum NoteTag : quint32 {
    kNoteSummaryTag = 0x1F01,
    kNoteDescriptionTag = 0x1F02,
    kNote1F06Tag = 0x1F06,
    kNoteStampTimeTag = 0x0703,
    kNoteGuidTag = 0x4800,
};

enum EventTag : quint32 {
    kEventStart2004Tag = 0x0313,
    kEventStartTag = 0x0317,
    kEventEndTag = 0x0318,
    kEventAllDayTag = 0x0B07,
    kEventOrganizerTag = 0x1E01,
    kEventSummaryTag = 0x1F02,
    kEventSummaryWrappedTag = 0x0088001E,
    kEventLocationWrappedTag = 0x007D001E,
    kEventDescriptionWrappedTag = 0x0076001E,
    kEventStampTime2004Tag = 0x0780,
    kEventTimeZoneTag = 0x0D09,
    kEventUuidTag = 0x1E04,
    kEventGuidTag = 0x4800,
};

enum TaskTag : quint32 {
    kTaskNameTag = 0x1F01,
    kTaskNoteTag = 0x1F0B,
    kTaskStartDateTag = 0x070C,
    kTaskDueDateTag = 0x0705,
    kTaskStampTimeTag = 0x0780,
    kTaskGuidTag = 0x4800,
    kTaskReminderDateTag = 0x0709,
    kTaskPriorityTag = 0x0281,
};

// ---- Property data ---------------------------------------------------------

// Wide text in its UTF-16BE form (Office 2008 style), no terminator.
inline Property wideProp(quint32 tagCode, const QString& text) { return prop(tagCode, utf16be(text)); }
// Wide text in its FF FF + 8-bit form (Office 2004 style).
inline Property markedProp(quint32 tagCode, const QByteArray& bytes) { return prop(tagCode, narrow(bytes)); }
// The calendar's wrapped text around already-encoded text bytes.
inline Property wrappedProp(quint32 tagCode, const QByteArray& text) { return prop(tagCode, wrapped(text)); }
// Sixteen GUID bytes seed, seed + 1, ...
QByteArray guidBytes(quint8 seed);

// Minutes since 1601-01-01 00:00:00 of a wall-clock time (no zone).
quint32 calendarStamp(int year, int month, int day, int hour = 0, int minute = 0);
// An event's 8-byte start or end: the calendar stamp, then four zero bytes.
inline QByteArray calendarTime(quint32 stamp) { return be32(stamp) + be32(0); }

// Office 2008 time-zone data: s1 at 16, s2 at 24, the texts from 36, the id
// in the last four bytes.
QByteArray timeZone2008(quint32 zoneId, const QByteArray& text1, const QByteArray& text2);
// Office 2004 time-zone data: the zone-name marker 04 01 2C 00 1E with its
// text, then the zone-id marker 04 01 30 00 1E with the id 53 bytes on.
QByteArray timeZone2004(quint32 zoneId, const QByteArray& name);

inline QByteArray contactBlock(const QList<Property>& props, std::optional<quint32> tableLength = {})
{
    return propertyBlock(kCTRC, props, tableLength);
}
inline QByteArray noteBlock(const QList<Property>& props, std::optional<quint32> tableLength = {})
{
    return propertyBlock(kNTRC, props, tableLength);
}
inline QByteArray eventBlock(const QList<Property>& props, std::optional<quint32> tableLength = {})
{
    return propertyBlock(kCLRC, props, tableLength);
}
inline QByteArray taskBlock(const QList<Property>& props, std::optional<quint32> tableLength = {})
{
    return propertyBlock(kTSRC, props, tableLength);
}

// The counts a scan of the sample's contacts, events, tasks and notes
// reports (see tests/data/sample/sample.db.txt).
constexpr quint32 kSampleContacts = 3;
constexpr quint32 kSampleEvents = 3;
constexpr quint32 kSampleTasks = 3;
constexpr quint32 kSampleNotes = 2;

} // namespace testdb
