#pragma once
// The task step of a save: one iCalendar file with a single VTODO per task,
// following the event writer's conventions.

#include "calendar/CalendarRecords.h"
#include "output/SaveContext.h"

#include <QByteArray>

#include <deque>

namespace er {

// The database's priority, 1 (highest) to 5 (lowest), as iCalendar's 1 to 9
// (1, 3, 5, 7, 9); empty for any other value.
QByteArray taskPriorityICalendarValue(qint32 priority);

// The whole file of one task.
QByteArray taskICalendarText(const TaskView& task, bool office2004);

// Writes every task of the task list into the bundle's "Tasks" directory.
// Honours the stop token between tasks.
void writeTaskFiles(const TaskStore& tasks, SaveContext& context);

} // namespace er
