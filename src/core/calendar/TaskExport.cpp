#include "calendar/TaskExport.h"

#include "calendar/CalendarExport.h"
#include "format/TimeConversion.h"
#include "output/ItemFiles.h"

namespace er {

namespace {

void addLine(QByteArray& out, const char* label, const QByteArray& value = QByteArray())
{
    out += label;
    out += value;
    out += "\r\n";
}

QByteArray dateText(const QByteArray& field, bool utcMark = false)
{
    return macStampICalendarText(leadingStamp(field), utcMark);
}

} // namespace

QByteArray taskPriorityICalendarValue(qint32 priority)
{
    switch (priority) {
    case 1: return "1";
    case 2: return "3";
    case 3: return "5";
    case 4: return "7";
    case 5: return "9";
    default: return QByteArray();
    }
}

QByteArray taskICalendarText(const TaskView& task, bool office2004)
{
    QByteArray out;
    addLine(out, "BEGIN:VCALENDAR");
    addLine(out, "VERSION:2.0");
    addLine(out, "PRODID:-//Microsoft Corporation//Entourage Mac 11.0 MIMEDIR//EN");
    addLine(out, "METHOD:PUBLISH");
    addLine(out, "BEGIN:VTODO");
    if (task.has(TaskField::GUID))
        addLine(out, "UID:", uidOf(task.field(TaskField::GUID), task.length(TaskField::GUID)));
    if (task.has(TaskField::StampTime))
        addLine(out, "DTSTAMP:", dateText(*task.field(TaskField::StampTime), !office2004));
    if (task.has(TaskField::TaskName))
        addLine(out, "SUMMARY:", withoutZeroBytes(*task.field(TaskField::TaskName)));
    if (task.has(TaskField::Note))
        addLine(out, "DESCRIPTION:", crAsBackslashN(*task.field(TaskField::Note)));
    if (task.has(TaskField::DueDate))
        addLine(out, "DUE:", dateText(*task.field(TaskField::DueDate)));
    if (task->Priority != 0)
        addLine(out, "Priority:", taskPriorityICalendarValue(task->Priority));
    if (task->HasReminder && office2004) {
        addLine(out, "BEGIN:VALARM");
        addLine(out, "ACTION:DISPLAY");
        addLine(out, "DESCRIPTION:REMINDER");
        addLine(out, "TRIGGER;RELATED=DATE-TIME:", task.field(TaskField::ReminderDate) ? dateText(*task.field(TaskField::ReminderDate)) : QByteArray());
        addLine(out, "END:VALARM");
    }
    addLine(out, "END:VTODO");
    addLine(out, "END:VCALENDAR");
    return out;
}

void writeTaskFiles(const TaskStore& tasks, SaveContext& context)
{
    writeItemFiles(tasks, context, "Tasks", "Saving Task Items...", kICalendarCodes, everyRecord<TaskView>,
                   [&](const TaskView& task) { return taskICalendarText(task, context.office2004); });
}

} // namespace er
