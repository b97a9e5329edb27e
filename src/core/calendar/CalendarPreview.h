#pragma once
// What the window shows of a calendar event or a task: the text of its list
// row, its key (the GUID as hex digits) and its preview, line by line. Dates
// are shown in the preview format of TimeConversion.h. The window only
// displays these.

#include "calendar/CalendarRecords.h"

#include <QString>
#include <QStringList>

namespace er {

// The summary followed by one blank.
QString eventRowText(const EventView& event);
QString itemKeyText(const EventView& event);
// Organizer, summary, location, start, end and description, each when the
// event has it. Start and end are the stored wall-clock times, also for
// Office 2004 events.
QStringList eventPreviewLines(const EventView& event);

// The task's name followed by one blank.
QString taskRowText(const TaskView& task);
QString itemKeyText(const TaskView& task);
// Name, start, due date, reminder, priority and note, each when the task has
// it. The note entry holds a line break after its caption.
QStringList taskPreviewLines(const TaskView& task);
// "Highest" (1) to "Lowest" (5); empty for anything else.
QString taskPriorityText(qint32 priority);

} // namespace er
