#include "../TestFiles.h"
#include "PimBlocks.h"
#include "RecordDraft.h"

#include "calendar/TaskExport.h"
#include "archive/BlockScanner.h"
#include "format/BlockView.h"
#include "format/ByteOrder.h"

using namespace er;
using namespace testdb;
using Lines = QList<QByteArray>;

namespace {

Lines taskLines(bool form2004, const QList<Property>& props)
{
    ScanState state;
    state.office2004 = form2004;
    decodeBlock(state, BlockTag::TSRC, BlockView::whole(taskBlock(props)));
    return ertest::crlfLines(taskICalendarText(state.tasks.back(), form2004));
}

} // namespace

// The same task in both forms: they differ in the priority's width, the
// stamp's UTC mark and the alarm, which only the 2004 form writes.
TEST(TaskFile, BothFormsLineByLine)
{
    const Lines head{"BEGIN:VCALENDAR", "VERSION:2.0",
                     "PRODID:-//Microsoft Corporation//Entourage Mac 11.0 MIMEDIR//EN", "METHOD:PUBLISH",
                     "BEGIN:VTODO"};
    const Lines body{"SUMMARY:Buy milk", "DESCRIPTION:Two litres\\nsemi-skimmed", "DUE:19990124T052000", "Priority:5"};
    const Lines tail{"END:VTODO", "END:VCALENDAR"};
    const Lines alarm{"BEGIN:VALARM", "ACTION:DISPLAY", "DESCRIPTION:REMINDER"};
    for (bool form2004 : {false, true}) {
        QList<Property> props{prop(kTaskGuidTag, guidBytes(0)),
                              prop(kTaskStampTimeTag, macTime(macStamp(2008, 5, 7, 8, 5, 9))),
                              wideProp(kTaskNameTag, "Buy milk"), wideProp(kTaskNoteTag, "Two litres\rsemi-skimmed"),
                              prop(kTaskDueDateTag, macTime(3000000000u)),
                              prop(kTaskStartDateTag, macTime(macStamp(2008, 5, 1))),
                              form2004 ? prop(kTaskPriority2004Tag, be32(3)) : prop(kTaskPriorityTag, be16(3)),
                              prop(kTaskHasReminderTag, QByteArray(1, '\1'))};
        const Lines idAndStamp{"UID:00010203-0405-0607-0809-0A0B0C0D0E0F",
                               form2004 ? "DTSTAMP:20080507T080509" : "DTSTAMP:20080507T080509Z"};
        // Without its date, a reminder keeps the TRIGGER label, empty.
        EXPECT_EQ(taskLines(form2004, props),
                  head + idAndStamp + body
                      + (form2004 ? alarm + Lines{"TRIGGER;RELATED=DATE-TIME:", "END:VALARM"} : Lines()) + tail);
        props << prop(kTaskReminderDateTag, macTime(macStamp(1999, 1, 23, 18, 0)));
        EXPECT_EQ(taskLines(form2004, props).contains("TRIGGER;RELATED=DATE-TIME:19990123T180000"), form2004);
    }
    // Only what the task holds: no UID, DTSTAMP, DESCRIPTION, DUE or priority.
    EXPECT_EQ(taskLines(false, {wideProp(kTaskNameTag, "Bare")}), head + Lines{"SUMMARY:Bare"} + tail);
}

TEST(TaskFile, PriorityAndTextRules)
{
    // 1 (highest) to 5 onto 1 to 9; 0 writes no line, other values a bare label.
    const char* digits[] = {nullptr, "1", "3", "5", "7", "9", "", ""};
    for (qint32 priority = 0; priority <= 7; ++priority) {
        TaskDraft task;
        task->Priority = priority;
        const Lines lines = ertest::crlfLines(taskICalendarText(task, false));
        const Lines expected = digits[priority] ? Lines{QByteArray("Priority:") + digits[priority]} : Lines();
        EXPECT_EQ(lines.mid(5, lines.size() - 7), expected) << priority;
    }
    // 8-bit texts may keep a terminating zero; no zero byte reaches the file.
    const Lines lines = taskLines(false, {markedProp(kTaskNameTag, QByteArray("Call\0", 5)),
                                          markedProp(kTaskNoteTag, QByteArray("One line\0", 9))});
    EXPECT_TRUE(lines.contains("SUMMARY:Call") && lines.contains("DESCRIPTION:One line"));
}
