#include "../TestFiles.h"
#include "PimBlocks.h"

#include "calendar/TaskExport.h"
#include "scan/BlockScanner.h"
#include "scan/BlockView.h"
#include "scan/ByteOrder.h"

#include <gtest/gtest.h>

using namespace er;
using namespace testdb;

namespace {

const TasksInformation& decodeTask(ScanState& state, const QList<Property>& props)
{
    decodeBlock(state, BlockTag::TSRC, BlockView::whole(taskBlock(props)));
    return state.tsrcList.back();
}

// The same task in both database versions; they differ in the priority's width.
QList<Property> fullTask(bool office2004, bool withReminderDate = true)
{
    QList<Property> props{prop(kTaskGuidTag, guidBytes(0)),
                          prop(kTaskStampTimeTag, macTime(macStamp(2008, 5, 7, 8, 5, 9))),
                          wideProp(kTaskNameTag, "Buy milk"),
                          wideProp(kTaskNoteTag, "Two litres\rsemi-skimmed"),
                          prop(kTaskDueDateTag, macTime(3000000000u)),
                          prop(kTaskStartDateTag, macTime(macStamp(2008, 5, 1))),
                          office2004 ? prop(kTaskPriority2004Tag, be32(3)) : prop(kTaskPriorityTag, be16(3)),
                          prop(kTaskHasReminderTag, QByteArray(1, '\1'))};
    if (withReminderDate)
        props << prop(kTaskReminderDateTag, macTime(macStamp(1999, 1, 23, 18, 0)));
    return props;
}

const QList<QByteArray> kHead{"BEGIN:VCALENDAR", "VERSION:2.0",
                              "PRODID:-//Microsoft Corporation//Entourage Mac 11.0 MIMEDIR//EN", "METHOD:PUBLISH",
                              "BEGIN:VTODO", "UID:00010203-0405-0607-0809-0A0B0C0D0E0F"};

} // namespace

TEST(TaskFile, BothFormsLineByLine)
{
    using Lines = QList<QByteArray>;
    const Lines body{"SUMMARY:Buy milk", "DESCRIPTION:Two litres\\nsemi-skimmed", "DUE:19990124T052000", "Priority:5"};
    const Lines tail{"END:VTODO", "END:VCALENDAR"};

    ScanState office2008;
    const Lines expected2008 = kHead + Lines{"DTSTAMP:20080507T080509Z"} + body + tail;
    EXPECT_EQ(ertest::crlfLines(taskICalendarText(decodeTask(office2008, fullTask(false)), false)), expected2008);

    ScanState office2004;
    office2004.OfficeEntourage2004 = true;
    const Lines alarm{"BEGIN:VALARM", "ACTION:DISPLAY", "DESCRIPTION:REMINDER",
                      "TRIGGER;RELATED=DATE-TIME:19990123T180000", "END:VALARM"};
    const Lines expected2004 = kHead + Lines{"DTSTAMP:20080507T080509"} + body + alarm + tail;
    EXPECT_EQ(ertest::crlfLines(taskICalendarText(decodeTask(office2004, fullTask(true)), true)), expected2004);
    // A reminder without its date keeps the TRIGGER label, empty.
    const Lines undated = ertest::crlfLines(taskICalendarText(decodeTask(office2004, fullTask(true, false)), true));
    EXPECT_TRUE(undated.contains("TRIGGER;RELATED=DATE-TIME:"));

    // Only what the task holds: no UID, DTSTAMP, DESCRIPTION, DUE or priority.
    const Lines bare = kHead.mid(0, 5) + Lines{"SUMMARY:Bare"} + tail;
    EXPECT_EQ(ertest::crlfLines(taskICalendarText(decodeTask(office2008, {wideProp(kTaskNameTag, "Bare")}), false)), bare);
}

TEST(TaskFile, PriorityAndTextRules)
{
    auto priorityLines = [](qint32 priority) {
        TasksInformation task;
        task.Priority = priority;
        QList<QByteArray> found;
        for (const QByteArray& line : ertest::crlfLines(taskICalendarText(task, false)))
            if (line.startsWith("Priority:"))
                found << line;
        return found;
    };
    EXPECT_TRUE(priorityLines(0).isEmpty());
    const QByteArray digits = "13579";
    for (int p = 1; p <= 5; ++p)
        EXPECT_EQ(priorityLines(p), QList<QByteArray>{"Priority:" + digits.mid(p - 1, 1)});
    EXPECT_EQ(priorityLines(7), QList<QByteArray>{"Priority:"});
    EXPECT_EQ(priorityLines(-1), QList<QByteArray>{"Priority:"});

    // 8-bit texts may keep a terminating zero; no zero byte reaches the file.
    ScanState state;
    const QList<QByteArray> lines = ertest::crlfLines(taskICalendarText(
        decodeTask(state, {markedProp(kTaskNameTag, QByteArray("Call\0", 5)),
                           markedProp(kTaskNoteTag, QByteArray("One line\0", 9))}),
        false));
    EXPECT_TRUE(lines.contains("SUMMARY:Call"));
    EXPECT_TRUE(lines.contains("DESCRIPTION:One line"));
}
