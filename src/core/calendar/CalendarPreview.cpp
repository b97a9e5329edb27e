#include "calendar/CalendarPreview.h"

#include "calendar/CalendarExport.h"
#include "format/TimeConversion.h"
#include "format/PropertyText.h"
#include "format/ByteOrder.h"

namespace er {

namespace {

QString calendarDateText(const std::array<quint8, 8>& field)
{
    return previewDateText(calendarStampToDateTime(bigEndianU32(field.data())));
}

// A task date is the Mac stamp in the field's first four bytes. A field
// stored shorter than that has no date: reading one would run past it.
void addTaskDateLine(QStringList& lines, const char* caption, const OptionalBytes& field, quint32 length)
{
    if (field && length >= 4)
        lines << QLatin1String(caption) + previewDateText(macStampToDateTime(leadingStamp(*field)));
}

QString priorityWord(qint32 priority)
{
    switch (priority) {
    case 1: return QStringLiteral("Highest");
    case 2: return QStringLiteral("High");
    case 3: return QStringLiteral("Normal");
    case 4: return QStringLiteral("Low");
    case 5: return QStringLiteral("Lowest");
    default: return QString();
    }
}

} // namespace

QString eventRowText(const EventRecord& event)
{
    return previewText(event.Summary) + QLatin1Char(' ');
}

QString itemKeyText(const EventRecord& event)
{
    return guidKeyText(event.GUID, event.GUIDLength);
}

QStringList eventPreviewLines(const EventRecord& event)
{
    QStringList lines;
    if (event.Organizer)
        lines << QStringLiteral("Organizer: ") + cappedPreviewText(event.Organizer);
    if (event.Summary)
        lines << QStringLiteral("Summary: ") + previewText(event.Summary);
    if (event.Location)
        lines << QStringLiteral("Location: ") + previewText(event.Location);
    if (event.StartTime)
        lines << QStringLiteral("Start: ") + calendarDateText(*event.StartTime);
    if (event.EndTime)
        lines << QStringLiteral("End: ") + calendarDateText(*event.EndTime);
    if (event.Description)
        lines << QStringLiteral("Description: ") + previewText(event.Description);
    return lines;
}

QString taskRowText(const TaskRecord& task)
{
    return previewText(task.TaskName) + QLatin1Char(' ');
}

QString itemKeyText(const TaskRecord& task)
{
    return guidKeyText(task.GUID, task.GUIDLength);
}

QStringList taskPreviewLines(const TaskRecord& task)
{
    QStringList lines;
    if (task.TaskName)
        lines << QStringLiteral("Task: ") + previewText(task.TaskName);
    addTaskDateLine(lines, "Start: ", task.StartDate, task.StartDateLength);
    addTaskDateLine(lines, "Due Date: ", task.DueDate, task.DueDateLength);
    addTaskDateLine(lines, "Reminder: ", task.ReminderDate, task.ReminderDateLength);
    if (task.Priority != 0)
        lines << QStringLiteral("Priority: ") + priorityWord(task.Priority);
    if (task.Note)
        lines << QStringLiteral("Note:\n") + previewText(task.Note);
    return lines;
}

} // namespace er
