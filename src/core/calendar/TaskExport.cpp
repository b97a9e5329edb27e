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

QByteArray taskICalendarText(const TaskRecord& task, bool office2004)
{
    QByteArray out;
    addLine(out, "BEGIN:VCALENDAR");
    addLine(out, "VERSION:2.0");
    addLine(out, "PRODID:-//Microsoft Corporation//Entourage Mac 11.0 MIMEDIR//EN");
    addLine(out, "METHOD:PUBLISH");
    addLine(out, "BEGIN:VTODO");
    if (task.GUID)
        addLine(out, "UID:", uidOf(task.GUID, task.GUIDLength));
    if (task.StampTime)
        addLine(out, "DTSTAMP:", dateText(*task.StampTime, !office2004));
    if (task.TaskName)
        addLine(out, "SUMMARY:", withoutZeroBytes(*task.TaskName));
    if (task.Note)
        addLine(out, "DESCRIPTION:", crAsBackslashN(*task.Note));
    if (task.DueDate)
        addLine(out, "DUE:", dateText(*task.DueDate));
    if (task.Priority != 0)
        addLine(out, "Priority:", taskPriorityICalendarValue(task.Priority));
    if (task.HasReminder && office2004) {
        addLine(out, "BEGIN:VALARM");
        addLine(out, "ACTION:DISPLAY");
        addLine(out, "DESCRIPTION:REMINDER");
        addLine(out, "TRIGGER;RELATED=DATE-TIME:", task.ReminderDate ? dateText(*task.ReminderDate) : QByteArray());
        addLine(out, "END:VALARM");
    }
    addLine(out, "END:VTODO");
    addLine(out, "END:VCALENDAR");
    return out;
}

void writeTaskFiles(const std::deque<TaskRecord>& tasks, SaveContext& context)
{
    writeItemFiles(tasks, context, "Tasks", "Saving Task Items...", kICalendarCodes, everyRecord<TaskRecord>,
                   [&](const TaskRecord& task) { return taskICalendarText(task, context.office2004); });
}

} // namespace er
