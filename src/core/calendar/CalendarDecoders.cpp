#include "calendar/CalendarDecoders.h"

#include "format/PropertyText.h"
#include "format/ByteOrder.h"
#include "format/PropertyTable.h"

#include <cstring>

namespace er {

namespace {

enum EventTag : quint32 {
    kTagCalendarID = 0x00000301,
    kTagCreatedStamp = 0x00000701,
    kTagModifiedStamp = 0x00000702,
    kTagStampTime = 0x00000703,
    kTagStartTime2004 = 0x00000313,
    kTagEndTime2004 = 0x00000314,
    kTagStartTime = 0x00000317,
    kTagEndTime = 0x00000318,
    kTagAllDay = 0x00000B07,
    kTagOrganizer = 0x00001E01,
    kTagSummary = 0x00001F02,
    kTagSummaryWrapped = 0x0088001E,
    kTagLocation = 0x00001F04,
    kTagLocationWrapped = 0x007D001E,
    kTagStampTime2004 = 0x00000780,
    kTagAlarm = 0x00000306,
    kTagAlarmOther = 0x00000813,
    kTagHasAlarm = 0x00000B09,
    kTagRecurring = 0x00000B03,
    kTagTimeZone = 0x00000D09,
    kTagTimeZoneOther = 0x00000812,
    kTagDescription = 0x00001F01,
    kTagDescriptionWrapped = 0x0076001E,
    kTagEntourageUUID = 0x00001E04,
    kTagRecurrence = 0x0085001E,
    kTagProperty0D02 = 0x00000D02,
    kTagProperty0305 = 0x00000305,
    kTagProperty0307 = 0x00000307,
    kTagGUID = 0x00004800,
};

enum TaskTag : quint32 {
    kTagHasReminder = 0x00000B08,
    kTagTaskName = 0x00001F01,
    kTagNote = 0x00001F0B,
    kTagStartDate = 0x0000070C,
    kTagDueDate = 0x00000705,
    kTagDueDateOther = 0x00000703,
    kTagTaskStampTime = 0x00000780,
    kTagTaskGUID = 0x00004800,
    kTagReminderDate = 0x00000709,
    kTagPriority = 0x00000281,
    kTagPriorityOther = 0x00000304,
    kTagProperty0B05 = 0x00000B05,
};

constexpr quint64 kUuidTextLength = 36;
constexpr quint64 kWrappedPreamble = 32;
constexpr quint64 kWrappedLengthAt = 24;

// Wrapped text: a 32-byte preamble whose u32 at 24 is the text length t, then
// the text. FF FF starts 8-bit text; otherwise the text is UTF-16 in Office
// 2008 databases and 8-bit as stored in Office 2004 ones. The text never
// reaches past its own property: a larger t (damage, or a crafted file whose
// wrapped texts overlap) is cut to what the property holds.
template <typename Field>
void setWrappedText(FieldWriter<Field>& fields, Field f, const BlockView& b, quint64 d, quint32 n, bool office2004)
{
    if (n == 0) {
        fields.remove(f);
        return;
    }
    const quint32 room = n > kWrappedPreamble ? static_cast<quint32>(n - kWrappedPreamble) : 0;
    const quint32 t = qMin(room, b.contains(d + kWrappedLengthAt, 4) ? b.u32(d + kWrappedLengthAt) : 0);
    const quint64 at = d + kWrappedPreamble;
    const bool fits = b.contains(at, t);
    const bool marked = fits && t >= 2 && b.u16(at) == 0xFFFF;
    if (office2004 && !marked) {
        if (fits)
            fields.held(f, b, at, t, t);
        else
            fields.bytes(f, nullptr, 0, t);
        return;
    }
    const unsigned char* p = fits ? b.pointer(at) : nullptr;
    fields.wideTextOf(f, p, p ? qMin<quint64>(t, b.available() - at) : 0, fits, t);
}

// Office 2004 time-zone data: 5-byte markers, each followed by its value.
// Of the others found there (04 01 2E 00 1E, 04 01 2F 00 1E) nothing is used.
const char kMarkerTimeZoneID[] = "\x04\x01\x30\x00\x1E";
const char kMarkerTimeZoneName[] = "\x04\x01\x2C\x00\x1E";

void splitTimeZone2004(EventStore::Appended& event, const unsigned char* bytes, quint64 n)
{
    for (quint64 i = 0; i + 6 <= n; ++i) {
        if (std::memcmp(bytes + i, kMarkerTimeZoneID, 5) == 0) {
            if (i + 57 < n)
                event.record.TimeZoneID = bigEndianU32(bytes + i + 53);
        } else if (std::memcmp(bytes + i, kMarkerTimeZoneName, 5) == 0) {
            const quint64 s = i + 9 <= n ? bigEndianU32(bytes + i + 5) : 0;
            if (s != 0 && i + 13 + s < n)
                event.fields.bytes(EventField::TimeZoneText1, reinterpret_cast<const char*>(bytes + i + 13), s,
                                   static_cast<quint32>(s));
        }
    }
}

// Office 2008 time-zone data: text lengths s1 at 16 and s2 at 24, the texts
// one after the other from 36, the zone id in the last four bytes.
void splitTimeZone2008(EventStore::Appended& event, const BlockView& b, quint64 d, quint32 n)
{
    if (n >= 4 && b.contains(d + n - 4, 4))
        event.record.TimeZoneID = b.u32(d + n - 4);
    const quint64 s1 = b.contains(d + 16, 4) ? b.u32(d + 16) : 0;
    const quint64 s2 = b.contains(d + 24, 4) ? b.u32(d + 24) : 0;
    if (s1 != 0 && b.contains(d + 36, s1))
        event.fields.held(EventField::TimeZoneText1, b, d + 36, s1, static_cast<quint32>(s1));
    if (s2 != 0 && b.contains(d + 36 + s1, s2))
        event.fields.held(EventField::TimeZoneText2, b, d + 36 + s1, s2, static_cast<quint32>(s2));
}

void decodeTimeZone(EventStore::Appended& event, const BlockView& b, quint64 d, quint32 n, bool office2004)
{
    event.fields.raw(EventField::TimeZoneData, b, d, n);
    // The derived fields describe the latest time-zone property only.
    event.fields.remove(EventField::TimeZoneText1);
    event.fields.remove(EventField::TimeZoneText2);
    event.record.TimeZoneID = 0;
    if (n == 0)
        return;
    if (office2004) {
        if (b.contains(d, n)) {
            const unsigned char* p = b.pointer(d);
            splitTimeZone2004(event, p, p ? qMin<quint64>(n, b.available() - d) : 0);
        }
    } else {
        splitTimeZone2008(event, b, d, n);
    }
}

// A date field of a task: the n bytes at d + 4, whose first four are a Mac
// stamp (an 8-byte time property keeps its low half first).
void setTaskDate(FieldWriter<TaskField>& fields, TaskField f, const BlockView& b, quint64 d, quint32 n)
{
    fields.raw(f, b, d + 4, n);
}

// A stamp field of a task: n bytes of which only the first four, the Mac
// stamp at d + 4, are kept.
void setTaskStamp(FieldWriter<TaskField>& fields, TaskField f, const BlockView& b, quint64 d, quint32 n)
{
    if (n == 0) {
        fields.remove(f);
        return;
    }
    const std::array<quint8, 4> stamp = fixedBytes<4>(b, d + 4);
    fields.bytes(f, reinterpret_cast<const char*>(stamp.data()), 4, n);
}

} // namespace

void decodeEvent(const BlockView& b, bool office2004, EventStore& store)
{
    EventStore::Appended event = store.append();
    EventRecord& record = event.record;
    FieldWriter<EventField>& fields = event.fields;

    walkPropertyTable(b, TableBound::TableLengthLess20, [&](const PropertyDescriptor& p) {
        const quint64 d = p.dataOffset;
        const quint32 n = p.length;
        switch (p.tag) {
        case kTagCalendarID:
            record.CalendarID = b.contains(d, 4) ? b.u32(d) : 0;
            break;
        case kTagCreatedStamp:
            record.CreatedStamp = fixedBytes<4>(b, d + 4);
            break;
        case kTagModifiedStamp:
            record.ModifiedStamp = fixedBytes<4>(b, d + 4);
            break;
        case kTagStampTime:
            record.StampTime = fixedBytes<4>(b, d + 4);
            break;
        case kTagStartTime2004:
            record.StartTime2004 = fixedBytes<8>(b, d, office2004 ? 4 : 8);
            break;
        case kTagEndTime2004:
            record.EndTime2004 = fixedBytes<8>(b, d, office2004 ? 4 : 8);
            break;
        case kTagStartTime:
            record.StartTime = fixedBytes<8>(b, d);
            break;
        case kTagEndTime:
            record.EndTime = fixedBytes<8>(b, d);
            break;
        case kTagAllDay:
            fields.raw(EventField::AllDayData, b, d, n);
            break;
        case kTagOrganizer:
            fields.eightBit(EventField::Organizer, b, d, n);
            break;
        case kTagSummary:
            fields.wideText(EventField::Summary, b, d, n);
            break;
        case kTagSummaryWrapped:
            setWrappedText(fields, EventField::Summary, b, d, n, office2004);
            break;
        case kTagLocation:
            fields.wideText(EventField::Location, b, d, n);
            break;
        case kTagLocationWrapped:
            setWrappedText(fields, EventField::Location, b, d, n, office2004);
            break;
        case kTagDescription:
            fields.wideText(EventField::Description, b, d, n);
            break;
        case kTagDescriptionWrapped:
            setWrappedText(fields, EventField::Description, b, d, n, office2004);
            break;
        case kTagStampTime2004:
            if (office2004) {
                const std::array<quint8, 4> stamp = fixedBytes<4>(b, d + 4);
                fields.bytes(EventField::StampTime2004, reinterpret_cast<const char*>(stamp.data()), 4,
                             fields.length(EventField::StampTime2004));
            } else {
                fields.raw(EventField::StampTime2004, b, d, n);
            }
            break;
        case kTagAlarm:
        case kTagAlarmOther:
            fields.raw(EventField::AlarmData, b, d, n);
            break;
        case kTagHasAlarm:
            record.HasAlarm = n != 0;
            break;
        case kTagRecurring:
            if (b.contains(d, n))
                record.IsRecurring = n != 0;
            break;
        case kTagTimeZone:
        case kTagTimeZoneOther:
            decodeTimeZone(event, b, d, n, office2004);
            break;
        case kTagEntourageUUID:
            if (n == kUuidTextLength)
                fields.eightBit(EventField::EntourageUUID, b, d, n);
            else
                fields.lengthOnly(EventField::EntourageUUID, n);
            break;
        case kTagRecurrence:
            fields.raw(EventField::RecurrenceData, b, d, n);
            break;
        case kTagProperty0D02:
            fields.raw(EventField::Property0D02, b, d, n);
            break;
        case kTagProperty0305:
            fields.raw(EventField::Property0305, b, d, n);
            break;
        case kTagProperty0307:
            fields.raw(EventField::Property0307, b, d, n);
            break;
        case kTagGUID:
            fields.raw(EventField::GUID, b, d, n);
            break;
        default:
            break;
        }
    });

}

void decodeTask(const BlockView& b, bool office2004, TaskStore& store)
{
    TaskStore::Appended task = store.append();
    TaskRecord& record = task.record;
    FieldWriter<TaskField>& fields = task.fields;
    // Office 2008 stores the priority in 16 bits, Office 2004 in 32.
    const quint32 priorityWidth = office2004 ? 4 : 2;

    walkPropertyTable(b, TableBound::TableLengthLess20, [&](const PropertyDescriptor& p) {
        const quint64 d = p.dataOffset;
        const quint32 n = p.length;
        switch (p.tag) {
        case kTagHasReminder:
            if (b.contains(d, n))
                record.HasReminder = n != 0;
            break;
        case kTagTaskName:
            fields.wideText(TaskField::TaskName, b, d, n);
            break;
        case kTagNote:
            fields.wideText(TaskField::Note, b, d, n);
            break;
        case kTagStartDate:
            setTaskStamp(fields, TaskField::StartDate, b, d, n);
            break;
        case kTagDueDate:
        case kTagDueDateOther:
            setTaskDate(fields, TaskField::DueDate, b, d, n);
            break;
        case kTagTaskStampTime:
            setTaskStamp(fields, TaskField::StampTime, b, d, n);
            break;
        case kTagTaskGUID:
            fields.raw(TaskField::GUID, b, d, n);
            break;
        case kTagReminderDate:
            setTaskDate(fields, TaskField::ReminderDate, b, d, n);
            break;
        case kTagPriority:
        case kTagPriorityOther:
            record.PriorityLength = n;
            record.Priority = 0;
            if (n >= priorityWidth && b.contains(d, n))
                record.Priority = priorityWidth == 2 ? static_cast<qint16>(b.u16(d)) : static_cast<qint32>(b.u32(d));
            break;
        case kTagProperty0B05:
            fields.raw(TaskField::Property0B05, b, d, n);
            break;
        default:
            break;
        }
    });

}

} // namespace er
