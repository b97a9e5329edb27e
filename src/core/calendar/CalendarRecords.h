#pragma once
// Calendar event ("CLRC") and task ("TSRC") records.
//
// Field pairs follow the convention of format/PropertyText.h: std::nullopt
// with length 0 when absent; when present, the length the record format gives
// the field and the bytes (UTF-8 text without terminator, or the raw bytes;
// nothing held when the data did not fit the block).
//
// Fixed-width fields are present when their property occurs; bytes that lie
// outside the block read as zeros. Stamps are big-endian: read them with
// bigEndianU32(field->data()).

#include "format/PropertyText.h"

#include <QByteArray>
#include <QtGlobal>

#include <array>
#include <optional>

namespace er {

struct EventRecord {
    quint64 CalendarID = 0;
    // Mac stamps.
    std::optional<std::array<quint8, 4>> CreatedStamp;
    std::optional<std::array<quint8, 4>> ModifiedStamp;
    std::optional<std::array<quint8, 4>> StampTime;
    // Calendar stamp in UTC in the first four bytes. Office 2004 stores four
    // bytes (the rest stays zero), Office 2008 eight.
    std::optional<std::array<quint8, 8>> StartTime2004;
    std::optional<std::array<quint8, 8>> EndTime2004;
    // Calendar stamp of the local wall-clock time in the first four bytes.
    std::optional<std::array<quint8, 8>> StartTime;
    std::optional<std::array<quint8, 8>> EndTime;
    // First byte 0: timed, 1: all-day.
    OptionalBytes AllDayData; quint32 AllDayDataLength = 0;
    OptionalBytes Organizer; quint32 OrganizerLength = 0; // 8-bit mail address
    OptionalBytes Summary; quint32 SummaryLength = 0;
    OptionalBytes Location; quint32 LocationLength = 0;
    // Office 2004: the Mac stamp (4 bytes), its length left at 0 as the
    // format does; Office 2008: the raw property.
    OptionalBytes StampTime2004; quint32 StampTime2004Length = 0;
    OptionalBytes AlarmData; quint32 AlarmDataLength = 0;
    bool HasAlarm = false;
    bool IsRecurring = false;
    // Split from TimeZoneData; raw bytes.
    OptionalBytes TimeZoneText1; quint64 TimeZoneText1Length = 0;
    OptionalBytes TimeZoneText2; quint64 TimeZoneText2Length = 0;
    OptionalBytes Description; quint32 DescriptionLength = 0;
    // Present only for a textual UUID of exactly 36 bytes; the length is the
    // stored one whatever it is.
    OptionalBytes EntourageUUID; quint32 EntourageUUIDLength = 0;
    OptionalBytes RecurrenceData; quint32 RecurrenceDataLength = 0;
    OptionalBytes TimeZoneData; quint32 TimeZoneDataLength = 0;
    OptionalBytes Property0D02; quint32 Property0D02Length = 0;
    quint64 TimeZoneID = 0;
    OptionalBytes Property0305; quint32 Property0305Length = 0;
    OptionalBytes Property0307; quint32 Property0307Length = 0;
    OptionalBytes GUID; quint64 GUIDLength = 0;
};

struct TaskRecord {
    bool HasReminder = false;
    OptionalBytes TaskName; quint32 TaskNameLength = 0;
    OptionalBytes Note; quint32 NoteLength = 0;
    // Date fields: the Mac stamp is in their first four bytes.
    OptionalBytes StartDate; quint32 StartDateLength = 0;
    OptionalBytes DueDate; quint32 DueDateLength = 0;
    OptionalBytes StampTime; quint32 StampTimeLength = 0; // last change
    OptionalBytes GUID; quint32 GUIDLength = 0;
    OptionalBytes ReminderDate; quint32 ReminderDateLength = 0;
    // 1 highest .. 5 lowest; 0 when absent or unreadable.
    qint32 Priority = 0; quint32 PriorityLength = 0;
    OptionalBytes Property0B05; quint32 Property0B05Length = 0;
};

} // namespace er
