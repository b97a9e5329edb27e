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
    kEmail1Tag = 0x1D66,  // Email1 .. Email13: 0x1D66 .. 0x1D72
};
enum NoteTag : quint32 { kNoteSummaryTag = 0x1F01, kNoteDescriptionTag = 0x1F02, kNoteGuidTag = 0x4800 };
enum EventTag : quint32 {
    kEventStartTag = 0x0317,
    kEventEndTag = 0x0318,
    kEventSummaryTag = 0x1F02,
    kEventSummaryWrappedTag = 0x0088001E,
    kEventLocationWrappedTag = 0x007D001E,
    kEventDescriptionWrappedTag = 0x0076001E,
    kEventGuidTag = 0x4800,
};
enum TaskTag : quint32 { kTaskNameTag = 0x1F01, kTaskGuidTag = 0x4800, kTaskPriorityTag = 0x0281 };

// ---- Property data ---------------------------------------------------------

// Wide text in its UTF-16BE form (Office 2008 style), no terminator.
inline Property wideProp(quint32 tagCode, const QString& text) { return prop(tagCode, utf16be(text)); }
// Sixteen GUID bytes seed, seed + 1, ...
QByteArray guidBytes(quint8 seed);

// Minutes since 1601-01-01 00:00:00 of a wall-clock time (no zone).
quint32 calendarStamp(int year, int month, int day, int hour = 0, int minute = 0);
// An event's 8-byte start or end: the calendar stamp, then four zero bytes.
inline QByteArray calendarTime(quint32 stamp) { return be32(stamp) + be32(0); }

inline QByteArray contactBlock(const QList<Property>& props) { return propertyBlock(kCTRC, props); }
inline QByteArray noteBlock(const QList<Property>& props) { return propertyBlock(kNTRC, props); }
inline QByteArray eventBlock(const QList<Property>& props) { return propertyBlock(kCLRC, props); }
inline QByteArray taskBlock(const QList<Property>& props) { return propertyBlock(kTSRC, props); }

// The counts a scan of the sample's contacts, events, tasks and notes
// reports (see tests/data/sample/sample.db.txt).
constexpr quint32 kSampleContacts = 3;
constexpr quint32 kSampleEvents = 3;
constexpr quint32 kSampleTasks = 3;
constexpr quint32 kSampleNotes = 2;

} // namespace testdb
