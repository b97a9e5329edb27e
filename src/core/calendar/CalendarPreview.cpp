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

} // namespace

QString taskPriorityText(qint32 priority)
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


QString eventRowText(const EventView& event)
{
    return previewText(event.field(EventField::Summary)) + QLatin1Char(' ');
}

QString itemKeyText(const EventView& event)
{
    return guidKeyText(event.field(EventField::GUID), event.length(EventField::GUID));
}

QStringList eventPreviewLines(const EventView& event)
{
    QStringList lines;
    if (event.has(EventField::Organizer))
        lines << QStringLiteral("Organizer: ") + cappedPreviewText(event.field(EventField::Organizer));
    if (event.has(EventField::Summary))
        lines << QStringLiteral("Summary: ") + previewText(event.field(EventField::Summary));
    if (event.has(EventField::Location))
        lines << QStringLiteral("Location: ") + previewText(event.field(EventField::Location));
    if (event->StartTime)
        lines << QStringLiteral("Start: ") + calendarDateText(*event->StartTime);
    if (event->EndTime)
        lines << QStringLiteral("End: ") + calendarDateText(*event->EndTime);
    if (event.has(EventField::Description))
        lines << QStringLiteral("Description: ") + previewText(event.field(EventField::Description));
    return lines;
}

QString taskRowText(const TaskView& task)
{
    return previewText(task.field(TaskField::TaskName)) + QLatin1Char(' ');
}

QString itemKeyText(const TaskView& task)
{
    return guidKeyText(task.field(TaskField::GUID), task.length(TaskField::GUID));
}

QStringList taskPreviewLines(const TaskView& task)
{
    QStringList lines;
    if (task.has(TaskField::TaskName))
        lines << QStringLiteral("Task: ") + previewText(task.field(TaskField::TaskName));
    addTaskDateLine(lines, "Start: ", task.field(TaskField::StartDate), task.length(TaskField::StartDate));
    addTaskDateLine(lines, "Due Date: ", task.field(TaskField::DueDate), task.length(TaskField::DueDate));
    addTaskDateLine(lines, "Reminder: ", task.field(TaskField::ReminderDate), task.length(TaskField::ReminderDate));
    if (task->Priority != 0)
        lines << QStringLiteral("Priority: ") + taskPriorityText(task->Priority);
    if (task.has(TaskField::Note))
        lines << QStringLiteral("Note:\n") + previewText(task.field(TaskField::Note));
    return lines;
}

} // namespace er
