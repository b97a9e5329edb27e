#pragma once
// Calendar event ("CLRC") and task ("TSRC") records.
//
// Property fields live in the store (format/FieldStore.h) and follow the
// convention of format/PropertyText.h: std::nullopt with length 0 when absent;
// when present, the length the record format gives the field and the bytes
// (UTF-8 text without terminator, or the raw bytes; nothing held when the
// data did not fit the block).
//
// Fixed-width fields, kept in the record, are present when their property occurs; bytes that lie
// outside the block read as zeros. Stamps are big-endian: read them with
// bigEndianU32(field->data()).

#include "format/FieldStore.h"

#include <QtGlobal>

#include <array>
#include <optional>

namespace er {

// The property fields of an event, held by the store when present.
enum class EventField : quint8 {
    // First byte 0: timed, 1: all-day.
    AllDayData,
    Organizer, // 8-bit mail address
    Summary,
    Location,
    // Office 2004: the Mac stamp (4 bytes), its length left at 0 as the
    // format does; Office 2008: the raw property.
    StampTime2004,
    AlarmData,
    // Split from TimeZoneData; raw bytes.
    TimeZoneText1,
    TimeZoneText2,
    Description,
    // Present only for a textual UUID of exactly 36 bytes; the length is the
    // stored one whatever it is.
    EntourageUUID,
    RecurrenceData,
    TimeZoneData,
    Property0D02,
    Property0305,
    Property0307,
    GUID,
};

struct EventRecord {
    quint64 CalendarID = 0;
    quint64 TimeZoneID = 0;
    FieldRange fields;
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
    bool HasAlarm = false;
    bool IsRecurring = false;
};

enum class TaskField : quint8 {
    TaskName,
    Note,
    // Date fields: the Mac stamp is in their first four bytes.
    StartDate,
    DueDate,
    StampTime, // last change
    GUID,
    ReminderDate,
    Property0B05,
};

struct TaskRecord {
    FieldRange fields;
    // 1 highest .. 5 lowest; 0 when absent or unreadable.
    qint32 Priority = 0;
    quint32 PriorityLength = 0;
    bool HasReminder = false;
};

using EventStore = FieldStore<EventRecord, EventField>;
using EventView = EventStore::View;
using TaskStore = FieldStore<TaskRecord, TaskField>;
using TaskView = TaskStore::View;

} // namespace er
