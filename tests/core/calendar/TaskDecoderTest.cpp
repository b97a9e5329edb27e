#include "PimBlocks.h"

#include "calendar/CalendarRecords.h"
#include "format/TimeConversion.h"
#include "archive/BlockScanner.h"
#include "format/BlockView.h"
#include "format/ByteOrder.h"
#include "archive/ScanState.h"

#include <gtest/gtest.h>

using namespace testdb;
using er::TaskField;

namespace {

er::TaskView decode(er::ScanState& state, const QByteArray& block)
{
    er::decodeBlock(state, er::BlockTag::TSRC, er::BlockView::whole(block));
    return state.tasks.back();
}

qint32 priorityOf(bool office2004, const QByteArray& data)
{
    er::ScanState state;
    state.office2004 = office2004;
    return decode(state, taskBlock({prop(kTaskPriorityTag, data)}))->Priority;
}

quint32 stampOf(const er::OptionalBytes& field)
{
    return field && field->size() >= 4 ? er::bigEndianU32(reinterpret_cast<const unsigned char*>(field->constData()))
                                       : 0xDEADBEEF;
}

} // namespace

TEST(TaskDecoder, PriorityWidthDependsOnTheDatabaseVersion)
{
    EXPECT_EQ(priorityOf(false, be16(3)), 3);
    EXPECT_EQ(priorityOf(false, "\xFF\xFF"), -1);
    EXPECT_EQ(priorityOf(false, be32(0x00050000)), 5); // only the first two bytes
    EXPECT_EQ(priorityOf(false, "\x03"), 0);           // too short
    EXPECT_EQ(priorityOf(true, be32(5)), 5);
    EXPECT_EQ(priorityOf(true, be16(5)), 0);
    EXPECT_EQ(priorityOf(true, be32(0xFFFFFFFF)), -1);

    er::ScanState state;
    const auto& t = decode(state, taskBlock({prop(0x0304, be16(2))}));
    EXPECT_EQ(t->Priority, 2);
    EXPECT_EQ(t->PriorityLength, 2u);
}

TEST(TaskDecoder, DatesKeepTheMacStampOfTheLowHalf)
{
    er::ScanState state;
    const auto& t = decode(state, taskBlock({prop(kTaskDueDateTag, macTime(3000000000u)),
                                             prop(kTaskReminderDateTag, macTime(macStamp(1999, 1, 23, 9))),
                                             prop(kTaskStartDateTag, macTime(macStamp(1999, 1, 1))),
                                             prop(kTaskStampTimeTag, macTime(macStamp(1998, 12, 24)))}));
    EXPECT_EQ(stampOf(t.field(TaskField::DueDate)), 3000000000u);
    EXPECT_EQ(t.length(TaskField::DueDate), 8u);
    EXPECT_EQ(er::macStampToDateTime(stampOf(t.field(TaskField::DueDate))),
              QDateTime(QDate(1999, 1, 24), QTime(5, 20), Qt::UTC));
    EXPECT_EQ(stampOf(t.field(TaskField::ReminderDate)), macStamp(1999, 1, 23, 9));
    EXPECT_EQ(stampOf(t.field(TaskField::StartDate)), macStamp(1999, 1, 1));
    EXPECT_EQ(t.length(TaskField::StartDate), 8u);
    EXPECT_EQ(stampOf(t.field(TaskField::StampTime)), macStamp(1998, 12, 24));

    // 00 00 07 03 is the due date as well.
    EXPECT_EQ(stampOf(decode(state, taskBlock({prop(0x0703, macTime(77))})).field(TaskField::DueDate)), 77u);
}

TEST(TaskDecoder, ReminderFlagAndDataPastTheBlockEnd)
{
    er::ScanState state;
    EXPECT_TRUE(decode(state, taskBlock({prop(kTaskHasReminderTag, "\x01")}))->HasReminder);

    QByteArray block = taskBlock({prop(kTaskHasReminderTag, "\x01"), wideProp(kTaskNameTag, "Call"),
                                  prop(kTaskPriorityTag, be16(2)), prop(kTaskDueDateTag, macTime(5))});
    block.replace(36, 4, be32(0xFFFFFFF0));
    const auto& t = decode(state, block);
    EXPECT_FALSE(t->HasReminder);
    EXPECT_TRUE(t.field(TaskField::TaskName) && t.field(TaskField::TaskName)->isEmpty());
    EXPECT_EQ(t.length(TaskField::TaskName), 5u);
    EXPECT_EQ(t->Priority, 0);
    EXPECT_EQ(t->PriorityLength, 2u);
    ASSERT_TRUE(t.field(TaskField::DueDate));
    EXPECT_TRUE(t.field(TaskField::DueDate)->isEmpty());
}

TEST(TaskDecoder, EveryBlockCounts)
{
    er::ScanState state;
    decode(state, taskBlock({}));
    EXPECT_EQ(state.taskCount, 1u);
    decode(state, taskBlock({prop(0x7777, "x")}));
    EXPECT_EQ(state.taskCount, 2u);
}
