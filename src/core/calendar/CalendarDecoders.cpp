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
FieldValue wrappedTextField(const BlockView& b, quint64 d, quint32 n, bool office2004)
{
    if (n == 0)
        return {};
    const quint32 room = n > kWrappedPreamble ? static_cast<quint32>(n - kWrappedPreamble) : 0;
    const quint32 t = qMin(room, b.contains(d + kWrappedLengthAt, 4) ? b.u32(d + kWrappedLengthAt) : 0);
    const quint64 at = d + kWrappedPreamble;
    const bool fits = b.contains(at, t);
    const QByteArray text = fits ? b.bytes(at, t) : QByteArray();
    const bool marked = fits && t >= 2 && b.u16(at) == 0xFFFF;
    if (office2004 && !marked)
        return {fits ? text : QByteArray(""), t};
    return wideTextOf(text, fits, t);
}

// Office 2004 time-zone data: 5-byte markers, each followed by its value.
// Of the others found there (04 01 2E 00 1E, 04 01 2F 00 1E) nothing is used.
const char kMarkerTimeZoneID[] = "\x04\x01\x30\x00\x1E";
const char kMarkerTimeZoneName[] = "\x04\x01\x2C\x00\x1E";

void splitTimeZone2004(EventRecord& event, const QByteArray& data)
{
    const quint64 n = static_cast<quint64>(data.size());
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.constData());
    for (quint64 i = 0; i + 6 <= n; ++i) {
        if (std::memcmp(bytes + i, kMarkerTimeZoneID, 5) == 0) {
            if (i + 57 < n)
                event.TimeZoneID = bigEndianU32(bytes + i + 53);
        } else if (std::memcmp(bytes + i, kMarkerTimeZoneName, 5) == 0) {
            const quint64 s = i + 9 <= n ? bigEndianU32(bytes + i + 5) : 0;
            if (s != 0 && i + 13 + s < n) {
                event.TimeZoneText1 = data.mid(static_cast<int>(i + 13), static_cast<int>(s));
                event.TimeZoneText1Length = s;
            }
        }
    }
}

// Office 2008 time-zone data: text lengths s1 at 16 and s2 at 24, the texts
// one after the other from 36, the zone id in the last four bytes.
void splitTimeZone2008(EventRecord& event, const BlockView& b, quint64 d, quint32 n)
{
    if (n >= 4 && b.contains(d + n - 4, 4))
        event.TimeZoneID = b.u32(d + n - 4);
    const quint64 s1 = b.contains(d + 16, 4) ? b.u32(d + 16) : 0;
    const quint64 s2 = b.contains(d + 24, 4) ? b.u32(d + 24) : 0;
    if (s1 != 0 && b.contains(d + 36, s1)) {
        event.TimeZoneText1 = b.bytes(d + 36, s1);
        event.TimeZoneText1Length = s1;
    }
    if (s2 != 0 && b.contains(d + 36 + s1, s2)) {
        event.TimeZoneText2 = b.bytes(d + 36 + s1, s2);
        event.TimeZoneText2Length = s2;
    }
}

void decodeTimeZone(EventRecord& event, const BlockView& b, quint64 d, quint32 n, bool office2004)
{
    assignField(event.TimeZoneData, event.TimeZoneDataLength, rawField(b, d, n));
    // The derived fields describe the latest time-zone property only.
    event.TimeZoneText1.reset();
    event.TimeZoneText1Length = 0;
    event.TimeZoneText2.reset();
    event.TimeZoneText2Length = 0;
    event.TimeZoneID = 0;
    if (n == 0)
        return;
    if (office2004) {
        if (b.contains(d, n))
            splitTimeZone2004(event, *event.TimeZoneData);
    } else {
        splitTimeZone2008(event, b, d, n);
    }
}

// A date field of a task: the n bytes at d + 4, whose first four are a Mac
// stamp (an 8-byte time property keeps its low half first).
FieldValue taskDateField(const BlockView& b, quint64 d, quint32 n)
{
    return rawField(b, d + 4, n);
}

// A stamp field of a task: n bytes of which only the first four, the Mac
// stamp at d + 4, are kept.
FieldValue taskStampField(const BlockView& b, quint64 d, quint32 n)
{
    if (n == 0)
        return {};
    const std::array<quint8, 4> stamp = fixedBytes<4>(b, d + 4);
    return {QByteArray(reinterpret_cast<const char*>(stamp.data()), 4), n};
}

} // namespace

EventRecord decodeEvent(const BlockView& b, bool office2004)
{
    EventRecord event;

    walkPropertyTable(b, TableBound::TableLengthLess20, [&](const PropertyDescriptor& p) {
        const quint64 d = p.dataOffset;
        const quint32 n = p.length;
        switch (p.tag) {
        case kTagCalendarID:
            event.CalendarID = b.contains(d, 4) ? b.u32(d) : 0;
            break;
        case kTagCreatedStamp:
            event.CreatedStamp = fixedBytes<4>(b, d + 4);
            break;
        case kTagModifiedStamp:
            event.ModifiedStamp = fixedBytes<4>(b, d + 4);
            break;
        case kTagStampTime:
            event.StampTime = fixedBytes<4>(b, d + 4);
            break;
        case kTagStartTime2004:
            event.StartTime2004 = fixedBytes<8>(b, d, office2004 ? 4 : 8);
            break;
        case kTagEndTime2004:
            event.EndTime2004 = fixedBytes<8>(b, d, office2004 ? 4 : 8);
            break;
        case kTagStartTime:
            event.StartTime = fixedBytes<8>(b, d);
            break;
        case kTagEndTime:
            event.EndTime = fixedBytes<8>(b, d);
            break;
        case kTagAllDay:
            assignField(event.AllDayData, event.AllDayDataLength, rawField(b, d, n));
            break;
        case kTagOrganizer:
            assignField(event.Organizer, event.OrganizerLength, eightBitField(b, d, n));
            break;
        case kTagSummary:
            assignField(event.Summary, event.SummaryLength, wideTextField(b, d, n));
            break;
        case kTagSummaryWrapped:
            assignField(event.Summary, event.SummaryLength, wrappedTextField(b, d, n, office2004));
            break;
        case kTagLocation:
            assignField(event.Location, event.LocationLength, wideTextField(b, d, n));
            break;
        case kTagLocationWrapped:
            assignField(event.Location, event.LocationLength, wrappedTextField(b, d, n, office2004));
            break;
        case kTagDescription:
            assignField(event.Description, event.DescriptionLength, wideTextField(b, d, n));
            break;
        case kTagDescriptionWrapped:
            assignField(event.Description, event.DescriptionLength, wrappedTextField(b, d, n, office2004));
            break;
        case kTagStampTime2004:
            if (office2004) {
                const std::array<quint8, 4> stamp = fixedBytes<4>(b, d + 4);
                event.StampTime2004 = QByteArray(reinterpret_cast<const char*>(stamp.data()), 4);
            } else {
                assignField(event.StampTime2004, event.StampTime2004Length, rawField(b, d, n));
            }
            break;
        case kTagAlarm:
        case kTagAlarmOther:
            assignField(event.AlarmData, event.AlarmDataLength, rawField(b, d, n));
            break;
        case kTagHasAlarm:
            event.HasAlarm = n != 0;
            break;
        case kTagRecurring:
            if (b.contains(d, n))
                event.IsRecurring = n != 0;
            break;
        case kTagTimeZone:
        case kTagTimeZoneOther:
            decodeTimeZone(event, b, d, n, office2004);
            break;
        case kTagEntourageUUID:
            event.EntourageUUIDLength = n;
            if (n == kUuidTextLength)
                event.EntourageUUID = eightBitField(b, d, n).bytes;
            else
                event.EntourageUUID.reset();
            break;
        case kTagRecurrence:
            assignField(event.RecurrenceData, event.RecurrenceDataLength, rawField(b, d, n));
            break;
        case kTagProperty0D02:
            assignField(event.Property0D02, event.Property0D02Length, rawField(b, d, n));
            break;
        case kTagProperty0305:
            assignField(event.Property0305, event.Property0305Length, rawField(b, d, n));
            break;
        case kTagProperty0307:
            assignField(event.Property0307, event.Property0307Length, rawField(b, d, n));
            break;
        case kTagGUID:
            assignField(event.GUID, event.GUIDLength, rawField(b, d, n));
            break;
        default:
            break;
        }
    });

    return event;
}

TaskRecord decodeTask(const BlockView& b, bool office2004)
{
    TaskRecord task;
    // Office 2008 stores the priority in 16 bits, Office 2004 in 32.
    const quint32 priorityWidth = office2004 ? 4 : 2;

    walkPropertyTable(b, TableBound::TableLengthLess20, [&](const PropertyDescriptor& p) {
        const quint64 d = p.dataOffset;
        const quint32 n = p.length;
        switch (p.tag) {
        case kTagHasReminder:
            if (b.contains(d, n))
                task.HasReminder = n != 0;
            break;
        case kTagTaskName:
            assignField(task.TaskName, task.TaskNameLength, wideTextField(b, d, n));
            break;
        case kTagNote:
            assignField(task.Note, task.NoteLength, wideTextField(b, d, n));
            break;
        case kTagStartDate:
            assignField(task.StartDate, task.StartDateLength, taskStampField(b, d, n));
            break;
        case kTagDueDate:
        case kTagDueDateOther:
            assignField(task.DueDate, task.DueDateLength, taskDateField(b, d, n));
            break;
        case kTagTaskStampTime:
            assignField(task.StampTime, task.StampTimeLength, taskStampField(b, d, n));
            break;
        case kTagTaskGUID:
            assignField(task.GUID, task.GUIDLength, rawField(b, d, n));
            break;
        case kTagReminderDate:
            assignField(task.ReminderDate, task.ReminderDateLength, taskDateField(b, d, n));
            break;
        case kTagPriority:
        case kTagPriorityOther:
            task.PriorityLength = n;
            task.Priority = 0;
            if (n >= priorityWidth && b.contains(d, n))
                task.Priority = priorityWidth == 2 ? static_cast<qint16>(b.u16(d)) : static_cast<qint32>(b.u32(d));
            break;
        case kTagProperty0B05:
            assignField(task.Property0B05, task.Property0B05Length, rawField(b, d, n));
            break;
        default:
            break;
        }
    });

    return task;
}

} // namespace er
